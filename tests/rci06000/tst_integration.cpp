// The main job end to end: the screen confirms, the real server rewrites the recipes in the
// database (SQLite and PostgreSQL), and the log report shows, prints and saves the observations.
#include "modulefixture.h"

#include "logreport/logintg.h"

#include <adoibquery.h>
#include <busy.h>
#include <buttonflat.h>
#include <checkbox.h>
#include <clientdataset.h>
#include <dateeditplus.h>
#include <dbgrid.h>
#include <maskedit.h>
#include <messages.h>
#include <radiobutton.h>

#include <QAction>
#include <QElapsedTimer>
#include <QMap>
#include <QProcess>
#include <QSqlRecord>
#include <QStandardPaths>
#include <QTimer>
#include <QtTest>

using namespace rci06000::test;

namespace {

// Recipe lines by recipe: "branch|tree|dish" -> "seq|product|quantity|unit" in sequence order.
using Recipes = QMap<QString, QStringList>;

Recipes localRecipes(QSqlDatabase& db)
{
    Recipes recipes;
    QSqlQuery q(db);
    q.exec("SELECT CDFILIAL, CDFILAUXPRAT, CDPRATO, NRSEQ, CDARVPROD, QTPRODUTO, SGUNIDADE FROM RECEITA "
           "ORDER BY CDFILIAL, CDFILAUXPRAT, CDPRATO, NRSEQ");
    while (q.next())
        recipes[QStringList{q.value(0).toString(), q.value(1).toString(), q.value(2).toString()}.join('|')]
            << QStringList{q.value(3).toString(), q.value(4).toString(),
                           QString::number(q.value(5).toDouble(), 'g', 12), q.value(6).toString()}
                   .join('|');
    return recipes;
}

QStringList allRows(QSqlDatabase& db, const QString& table)
{
    QStringList rows;
    QSqlQuery q(db);
    q.exec("SELECT * FROM " + table);
    while (q.next()) {
        QStringList cells;
        for (int i = 0; i < q.record().count(); ++i)
            cells << q.value(i).toString();
        rows << cells.join('|');
    }
    rows.sort();
    return rows;
}

int runsRecorded(QSqlDatabase& db)
{
    QSqlQuery q(db);
    return q.exec("SELECT COUNT(*) FROM INTGCENTRAL") && q.next() ? q.value(0).toInt() : -1;
}

// A standard dish of the head office whose local recipe only uses products the branch may use.
QString cleanDish(QSqlDatabase& db, const QString& branch)
{
    QSqlQuery q(db);
    q.prepare("SELECT MIN(r.CDPRATO) FROM RECEITA r WHERE r.CDFILIAL = '0001' AND r.CDFILAUXPRAT = 'P' "
              "AND NOT EXISTS (SELECT 1 FROM RECEITA o WHERE o.CDFILIAL = '0001' AND o.CDFILAUXPRAT = 'P' "
              "AND o.CDPRATO = r.CDPRATO AND NOT EXISTS (SELECT 1 FROM PRODFILI f WHERE f.CDFILIAL = ? "
              "AND f.CDARVPROD = o.CDARVPROD))");
    q.addBindValue(branch);
    return q.exec() && q.next() ? q.value(0).toString() : QString();
}

// A standard dish of the head office whose local recipe uses a product the branch may not use.
QString blockedDish(QSqlDatabase& db, const QString& branch)
{
    QSqlQuery q(db);
    q.prepare("SELECT MIN(o.CDPRATO) FROM RECEITA o WHERE o.CDFILIAL = '0001' AND o.CDFILAUXPRAT = 'P' "
              "AND NOT EXISTS (SELECT 1 FROM PRODFILI f WHERE f.CDFILIAL = ? AND f.CDARVPROD = o.CDARVPROD)");
    q.addBindValue(branch);
    return q.exec() && q.next() ? q.value(0).toString() : QString();
}

struct LogKey {
    QString destination, tree, dish, kind;
};

QList<LogKey> logKeys(mrv::TDataSet* log)
{
    QList<LogKey> keys;
    auto column = [log](const char* name) { return log->FieldByName(name)->index(); };
    for (int row = 0; row < log->RecordCount(); ++row)
        keys << LogKey{log->valueAt(row, column("CDFILDESTLOG")).toString(),
                       log->valueAt(row, column("CDFAPRAORIGLOG")).toString(),
                       log->valueAt(row, column("CDPRATOLOG")).toString(),
                       log->valueAt(row, column("IDTIPORECELOG")).toString()};
    return keys;
}

// What a run of local recipes must leave: every listed dish of every destination equals the
// source's recipe, unless an observation names that destination, dish and kind; nothing else moves.
Recipes expectedLocal(const Recipes& before, const QString& source, const QStringList& destinations,
                      const QStringList& dishKeys, const QList<LogKey>& log)
{
    Recipes expected = before;
    for (const QString& destination : destinations) {
        for (const QString& key : dishKeys) {
            const QString tree = key.startsWith('P') ? "P" : source;
            const QString dish = key.mid(tree.size());
            const bool observed = std::any_of(log.begin(), log.end(), [&](const LogKey& k) {
                return k.destination == destination && k.tree == tree && k.dish == dish && k.kind == "L";
            });
            if (observed)
                continue;
            const QString target = QStringList{destination, tree == "P" ? "P" : destination, dish}.join('|');
            expected[target] = before.value(QStringList{source, tree, dish}.join('|'));
            if (expected[target].isEmpty())
                expected.remove(target);
        }
    }
    return expected;
}

QStringList rowsOf(mrv::TDataSet* dataSet)
{
    QStringList rows;
    for (int row = 0; row < dataSet->RecordCount(); ++row) {
        QStringList cells;
        for (int c = 0; c < dataSet->fields().size(); ++c)
            cells << dataSet->valueAt(row, c).toString();
        rows << cells.join('|');
    }
    return rows;
}

} // namespace

#define SKIP_UNAVAILABLE(dialect)                                                                                      \
    if (const QString why = suite::test::TestDatabase::unavailable(dialect); !why.isEmpty())                           \
    QSKIP(qPrintable(why))

class tst_Integration : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void cleanRun_data() { suite::test::addDialectRows(); }
    void cleanRun();
    void runsWithObservationsAndTheirReports_data() { suite::test::addDialectRows(); }
    void runsWithObservationsAndTheirReports();
    void nothingChanges_data();
    void nothingChanges();
    void allDishesOfOneWeeksMenus_data() { suite::test::addDialectRows(); }
    void allDishesOfOneWeeksMenus();

private:
    // A screen on a fresh demo database and its own server, with "Todos" chosen and the
    // grouping's branches loaded; null when it could not be.
    TfrmIntgCentral* open(const QString& dialect, const QString& grouping);
    void pickDishes(TfrmIntgCentral* form, const QStringList& keys);
    void mark(TfrmIntgCentral* form, const QStringList& branches);
    // Confirms with the given answers queued; what the report showed when one was opened.
    void confirm(TfrmIntgCentral* form, const QList<int>& answers);

    RecordingHost m_host;
    mrv::ScriptedDialogs* m_dialogs = nullptr;
    std::unique_ptr<DemoBackend> m_backend;
    QStringList m_reportRows;
    std::function<void(TfrmLogIntg*)> m_inReport;
};

void tst_Integration::initTestCase()
{
    mrv::setHostServices(&m_host);
}

void tst_Integration::init()
{
    auto dialogs = std::make_unique<mrv::ScriptedDialogs>();
    m_dialogs = dialogs.get();
    mrv::setDialogs(std::move(dialogs));
    m_host.errors.clear();
    m_host.cacheRefreshes.clear();
    m_inReport = nullptr;
}

void tst_Integration::cleanup()
{
    resetModule();
    m_backend.reset();
}

TfrmIntgCentral* tst_Integration::open(const QString& dialect, const QString& grouping)
{
    m_backend = std::make_unique<DemoBackend>();
    if (const QString why = m_backend->start(dialect); !why.isEmpty()) {
        qWarning("%s", qPrintable(why));
        return nullptr;
    }
    mrv::setLoginContext(m_backend->login(m_backend->server().port()));
    TfrmIntgCentral* form = openScreen(m_host);
    if (!form || !m_host.errors.isEmpty())
        return nullptr;
    form->medCdFilial->setFocus();
    form->chbArvPadrao->setFocus();
    form->rbtTodosPrat->click();
    form->medAgrupFilial->setFocus();
    QTest::keyClicks(form->medAgrupFilial, grouping);
    form->dbgFiliGrup->setFocus();
    return form->cdsFiliGrup->Active() ? form : nullptr;
}

void tst_Integration::pickDishes(TfrmIntgCentral* form, const QStringList& keys)
{
    form->rbtListaPrat->click();
    m_dialogs->queuePick(keys);
    form->sbtPesqPrat->click();
}

void tst_Integration::mark(TfrmIntgCentral* form, const QStringList& branches)
{
    for (const QString& branch : branches) {
        QVERIFY(form->cdsFiliGrup->Locate("CDFILIAL", branch));
        form->dbgFiliGrupDblClick(form->dbgFiliGrup);
    }
}

void tst_Integration::confirm(TfrmIntgCentral* form, const QList<int>& answers)
{
    for (int answer : answers)
        m_dialogs->queueMessage(answer);
    m_reportRows.clear();
    // The report is modal: a watch looks at it and closes it from inside its own event loop,
    // once its activation has previewed it (or after a few seconds, so a test never hangs).
    const qsizetype shownBefore = m_dialogs->shown().size();
    QElapsedTimer visibleFor;
    QTimer watch;
    watch.setInterval(20);
    connect(&watch, &QTimer::timeout, this, [&] {
        if (!frmLogIntg || !frmLogIntg->isVisible())
            return;
        if (!visibleFor.isValid())
            visibleFor.start();
        const auto& shown = m_dialogs->shown();
        const bool previewed = std::any_of(shown.begin() + shownBefore, shown.end(),
                                           [](const mrv::ScriptedDialogs::Shown& s) { return s.kind == "preview"; });
        if (!previewed && visibleFor.elapsed() < 5000)
            return;
        watch.stop();
        m_reportRows = rowsOf(frmLogIntg->cdsLogIntCent);
        if (m_inReport)
            m_inReport(frmLogIntg);
        frmLogIntg->close();
    });
    watch.start();
    form->sbtConfirma->click();
    watch.stop();
    QCoreApplication::processEvents();
}

void tst_Integration::cleanRun()
{
    QFETCH(QString, dialect);
    SKIP_UNAVAILABLE(dialect);
    TfrmIntgCentral* form = open(dialect, "2");
    QVERIFY(form);
    QSqlDatabase db = m_backend->database().db();
    const QString dish = cleanDish(db, "0009");
    QVERIFY(!dish.isEmpty());
    pickDishes(form, {"P" + dish});
    form->chbServico->setChecked(false); // local recipes only: "FX"
    mark(form, {"0009"});
    const Recipes before = localRecipes(db);
    QVERIFY(before.value("0009|P|" + dish) != before.value("0001|P|" + dish)); // the run has something to do
    const QStringList perService = allRows(db, "RECEITASERV");
    const int runs = runsRecorded(db);

    confirm(form, {mrv::mrYes});

    QVERIFY2(m_host.errors.isEmpty(), qPrintable(m_host.errors.join('\n')));
    QVERIFY(form->cdsLogIntCent->Active());
    QVERIFY(form->cdsLogIntCent->IsEmpty());
    QCOMPARE(m_dialogs->lastText(), QString("Operação concluída com sucesso."));
    QCOMPARE(m_host.cacheRefreshes, QStringList{"PRATO"});
    QVERIFY(m_reportRows.isEmpty());
    QVERIFY(!mrv::ShowAviActive());
    const Recipes after = localRecipes(db);
    QCOMPARE(after, expectedLocal(before, "0001", {"0009"}, {"P" + dish}, {}));
    QCOMPARE(after.value("0009|P|" + dish), before.value("0001|P|" + dish));
    QCOMPARE(allRows(db, "RECEITASERV"), perService);
    QCOMPARE(runsRecorded(db), runs + 1);
    // The screen is as the user left it, ready for another run.
    QVERIFY(form->rbtListaPrat->isChecked());
    QCOMPARE(form->cdsFiliGrup->RecordCount(), 3);
}

void tst_Integration::runsWithObservationsAndTheirReports()
{
    QFETCH(QString, dialect);
    SKIP_UNAVAILABLE(dialect);
    TfrmIntgCentral* form = open(dialect, "2");
    QVERIFY(form);
    QSqlDatabase db = m_backend->database().db();

    // First run: every dish of both trees, local recipes, to the whole grouping.
    form->chbServico->setChecked(false);
    mark(form, {"0007", "0009", "0013"});
    Recipes before = localRecipes(db);
    QTemporaryDir dir;
    dir.setAutoRemove(qEnvironmentVariableIsEmpty("SUITE_KEEP_REPORTS"));
    const QString pdf = dir.filePath("log.pdf");
    const QString csv = dir.filePath("log.csv");
    m_inReport = [&](TfrmLogIntg* report) {
        m_dialogs->queueInputText(QString("Integração Região Sul"));
        m_dialogs->queueSavePath(pdf);
        report->actSalvarPDF->trigger();
        m_dialogs->queueSavePath(csv);
        report->actSalvarCSV->trigger();
    };
    confirm(form, {mrv::mrYes, mrv::mrYes});
    QVERIFY2(m_host.errors.isEmpty(), qPrintable(m_host.errors.join('\n')));
    QVERIFY(!mrv::ShowAviActive());
    QCOMPARE(m_host.cacheRefreshes.size(), 0);
    const QStringList firstLog = rowsOf(form->cdsLogIntCent);
    QVERIFY(!firstLog.isEmpty());
    QCOMPARE(m_reportRows, firstLog); // exactly the run's rows, in order
    QVERIFY(m_dialogs->shownTexts().contains(
        "Exportação realizada, com observações. Deseja Visualizar o log da integração?"));
    QVERIFY(std::any_of(m_dialogs->shown().begin(), m_dialogs->shown().end(),
                        [](const auto& s) { return s.kind == "preview"; })); // previewed on activation

    QStringList keys;
    const int keyColumn = form->qryPesqPratos->FieldByName("CDPESQPRAT")->index();
    for (int row = 0; row < form->qryPesqPratos->RecordCount(); ++row)
        keys << form->qryPesqPratos->valueAt(row, keyColumn).toString();
    QVERIFY(keys.contains("P" + cleanDish(db, "0007")));
    QVERIFY(std::any_of(keys.begin(), keys.end(), [](const QString& k) { return k.startsWith("0001"); }));
    QCOMPARE(localRecipes(db),
             expectedLocal(before, "0001", {"0007", "0009", "0013"}, keys, logKeys(form->cdsLogIntCent)));

    // The saved report: the PDF shows the title and the rows, the CSV is UTF-8 with a header row.
    QFile csvFile(csv);
    QVERIFY(csvFile.open(QIODevice::ReadOnly));
    const QStringList csvLines =
        QString::fromUtf8(csvFile.readAll()).remove(QChar(0xFEFF)).split("\r\n", Qt::SkipEmptyParts);
    QCOMPARE(csvLines.value(0), QString("Filial destino;Nome da filial destino;Prato;Árvore;Nome do prato;Receita;"
                                        "Produto;Nome do produto / serviço;Observação"));
    QCOMPARE(csvLines.size(), firstLog.size() + 1);
    QVERIFY(csvLines.join('\n').contains("Prato não cadastrado na filial destino"));
    const QString pdftotext = QStandardPaths::findExecutable("pdftotext");
    if (!pdftotext.isEmpty()) {
        QProcess read;
        read.start(pdftotext, {"-layout", pdf, "-"});
        QVERIFY(read.waitForFinished(30000));
        // Compatibility form: the PDF's "ﬁ" ligatures read back as "fi".
        const QString text = QString::fromUtf8(read.readAllStandardOutput()).normalized(QString::NormalizationForm_KC);
        QVERIFY2(text.contains("Integração Região Sul"), qPrintable(text.left(500)));
        QVERIFY2(text.contains("0013 - Filial Joinville"), qPrintable(text.left(2000)));
        QVERIFY2(text.contains("Produto não habilitado na filial destino"), qPrintable(text.left(2000)));
    } else {
        qWarning("pdftotext is not installed: the PDF's text was not read back");
    }

    // Second run: two dishes to one branch; the report shows only this run's rows.
    m_inReport = nullptr;
    const QString blocked = blockedDish(db, "0009");
    QVERIFY(!blocked.isEmpty());
    pickDishes(form, {"P" + blocked, "00010101001"});
    mark(form, {"0007", "0013"}); // unmarked again: only 0009 stays
    before = localRecipes(db);
    confirm(form, {mrv::mrYes, mrv::mrYes});
    QVERIFY2(m_host.errors.isEmpty(), qPrintable(m_host.errors.join('\n')));
    const QStringList secondLog = rowsOf(form->cdsLogIntCent);
    QCOMPARE(m_reportRows, secondLog);
    QVERIFY(secondLog != firstLog);
    for (const LogKey& key : logKeys(form->cdsLogIntCent))
        QCOMPARE(key.destination, QString("0009"));
    QCOMPARE(localRecipes(db),
             expectedLocal(before, "0001", {"0009"}, {"P" + blocked, "00010101001"}, logKeys(form->cdsLogIntCent)));

    // A failed call keeps the last rows and stops the animation.
    const int port = form->netIntgCentral->Port;
    form->netIntgCentral->Port = closedPort();
    confirm(form, {mrv::mrYes});
    form->netIntgCentral->Port = port;
    QCOMPARE(m_host.errors.size(), 1);
    QCOMPARE(rowsOf(form->cdsLogIntCent), secondLog);
    QVERIFY(!mrv::ShowAviActive());
}

void tst_Integration::nothingChanges_data()
{
    QTest::addColumn<QString>("dialect");
    QTest::addColumn<QString>("how");
    for (const QString& dialect : suite::test::dialects()) {
        QTest::newRow(qPrintable(dialect + ": No at the question")) << dialect << "no";
        QTest::newRow(qPrintable(dialect + ": no recipe kind")) << dialect << "XX";
    }
}

void tst_Integration::nothingChanges()
{
    QFETCH(QString, dialect);
    SKIP_UNAVAILABLE(dialect);
    QFETCH(QString, how);
    TfrmIntgCentral* form = open(dialect, "2");
    QVERIFY(form);
    QSqlDatabase db = m_backend->database().db();
    mark(form, {"0007", "0009", "0013"});
    const QStringList local = allRows(db, "RECEITA");
    const QStringList perService = allRows(db, "RECEITASERV");
    const int runs = runsRecorded(db);
    if (how == "XX") {
        form->chbLocal->setChecked(false);
        form->chbServico->setChecked(false);
    }

    confirm(form, {how == "no" ? mrv::mrNo : mrv::mrYes, mrv::mrNo});

    QVERIFY2(m_host.errors.isEmpty(), qPrintable(m_host.errors.join('\n')));
    QCOMPARE(allRows(db, "RECEITA"), local);
    QCOMPARE(allRows(db, "RECEITASERV"), perService);
    QCOMPARE(runsRecorded(db), how == "no" ? runs : runs + 1); // "No" calls nothing at all
    QCOMPARE(form->cdsLogIntCent->Active(), how != "no");
    QVERIFY(!mrv::ShowAviActive());
}

void tst_Integration::allDishesOfOneWeeksMenus()
{
    QFETCH(QString, dialect);
    SKIP_UNAVAILABLE(dialect);
    TfrmIntgCentral* form = open(dialect, "2");
    QVERIFY(form);
    QSqlDatabase db = m_backend->database().db();
    QSqlQuery q(db);
    QVERIFY(q.exec("SELECT MIN(DTCARDAPIO) FROM CARDAPIO WHERE CDFILIAL = '0001'") && q.next());
    const QDate monday = QDate::fromString(q.value(0).toString().left(10), Qt::ISODate).addDays(7);
    QVERIFY(monday.isValid());
    // What the head office's menus of that week hold, at the dish level the screen lists.
    QStringList onTheMenus;
    q.prepare(
        "SELECT DISTINCT c.CDFILAUXPRAT, c.CDPRATO FROM CARDAPIO c JOIN PRATO p ON p.CDFILAUXPRAT = c.CDFILAUXPRAT"
        " AND p.CDPRATO = c.CDPRATO WHERE c.CDFILIAL = '0001' AND c.DTCARDAPIO BETWEEN ? AND ?"
        " AND p.CDNVPRATO = (SELECT MAX(CDNVPRATO) FROM PRATO) ORDER BY 2, 1");
    q.addBindValue(monday.toString(Qt::ISODate));
    q.addBindValue(monday.addDays(6).toString(Qt::ISODate));
    QVERIFY(q.exec());
    while (q.next())
        onTheMenus << q.value(0).toString() + q.value(1).toString();
    QVERIFY(!onTheMenus.isEmpty());

    form->chbDadoCard->click();
    form->depDataInic->setDate(monday);
    form->depDataFina->setDate(monday.addDays(6));
    form->rbtTodosServ->click();
    form->rbtTodosPrato->click();
    form->rbtTodosPrat->click();
    form->chbServico->setChecked(false);
    mark(form, {"0009"});
    const Recipes before = localRecipes(db);
    confirm(form, {mrv::mrYes, mrv::mrNo});
    QVERIFY2(m_host.errors.isEmpty(), qPrintable(m_host.errors.join('\n')));

    // The service found exactly the week's dishes, and only their recipes changed.
    QStringList found;
    const int key = form->cdsPesqPratoDadoCard->FieldByName("CDPESQPRAT")->index();
    for (int row = 0; row < form->cdsPesqPratoDadoCard->RecordCount(); ++row)
        found << form->cdsPesqPratoDadoCard->valueAt(row, key).toString();
    QCOMPARE(found, onTheMenus);
    QCOMPARE(localRecipes(db), expectedLocal(before, "0001", {"0009"}, onTheMenus, logKeys(form->cdsLogIntCent)));
    QVERIFY(localRecipes(db) != before);
}

QTEST_MAIN(tst_Integration)
#include "tst_integration.moc"
