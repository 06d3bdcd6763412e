// The history window: runs newest first, the selected run's log and report, and its undo with
// confirmation, against a real server on both databases.
#include "modulefixture.h"

#include "history/histintg.h"
#include "logreport/logintg.h"

#include <buttonflat.h>
#include <clientdataset.h>
#include <dbgrid.h>
#include <helpers.h>

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace rci06000::test;

using suite::test::allRecipeLines;

class tst_History : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void runsLogsReportAndUndo_data() { suite::test::addDialectRows(); }
    void runsLogsReportAndUndo();
    void reportPreviewsOncePerShow();

private:
    // Runs an integration the way the service does for any client, and returns its number.
    qint64 integrate(const QStringList& destinations, const QString& dishes, const QString& kinds = "FX");
    // Clicks "Relat." and runs inReport inside the report's modal loop once it has shown; then closes it.
    void openReport(TfrmHistIntg* form, const std::function<void(TfrmLogIntg*)>& inReport);
    QList<mrv::ScriptedDialogs::Shown> previews() const;

    RecordingHost m_host;
    mrv::ScriptedDialogs* m_dialogs = nullptr;
    std::unique_ptr<DemoBackend> m_backend;
};

void tst_History::initTestCase()
{
    mrv::setHostServices(&m_host);
}

void tst_History::init()
{
    auto dialogs = std::make_unique<mrv::ScriptedDialogs>();
    m_dialogs = dialogs.get();
    mrv::setDialogs(std::move(dialogs));
    m_host.errors.clear();
}

void tst_History::cleanup()
{
    if (frmHistIntg)
        delete frmHistIntg.data();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_backend.reset();
}

qint64 tst_History::integrate(const QStringList& destinations, const QString& dishes, const QString& kinds)
{
    mrv::TNetConnection connection;
    connection.ServerName = QStringLiteral("Rci06000.rdmIntgCentral");
    connection.Host = mrv::WebURL();
    connection.Port = mrv::WebPort();
    QJsonArray rows;
    for (const QString& code : destinations)
        rows.append(QJsonArray{"S", code, "", "N"});
    const QJsonObject packet{
        {"columns", QJsonArray{QJsonObject{{"name", "IDMARCADO"}, {"type", "string"}, {"size", 1}},
                               QJsonObject{{"name", "CDFILIAL"}, {"type", "string"}, {"size", 4}},
                               QJsonObject{{"name", "NMFILIAL"}, {"type", "string"}, {"size", 30}},
                               QJsonObject{{"name", "IDCNTRRESC"}, {"type", "string"}, {"size", 1}}}},
        {"rows", rows}};
    mrv::CheckResultServ(connection.call("IntgCentral", {"0001", dishes, kinds, packet, "", ""}));
    QSqlQuery q(m_backend->database().db());
    return q.exec("SELECT MAX(NRINTG) FROM INTGCENTRAL") && q.next() ? q.value(0).toLongLong() : 0;
}

void tst_History::openReport(TfrmHistIntg* form, const std::function<void(TfrmLogIntg*)>& inReport)
{
    QTimer watch;
    connect(&watch, &QTimer::timeout, this, [&] {
        if (frmLogIntg && frmLogIntg->isVisible() && frmLogIntg->isActiveWindow()) {
            watch.stop();
            QCoreApplication::processEvents();
            inReport(frmLogIntg);
            frmLogIntg->close();
        }
    });
    watch.start(20);
    QTimer::singleShot(10000, &watch, [&] { // never a hang: a report that does not come up is closed
        watch.stop();
        if (frmLogIntg)
            frmLogIntg->close();
    });
    form->sbtRelatorio->click();
    watch.stop();
}

QList<mrv::ScriptedDialogs::Shown> tst_History::previews() const
{
    QList<mrv::ScriptedDialogs::Shown> found;
    for (const mrv::ScriptedDialogs::Shown& s : m_dialogs->shown())
        if (s.kind == "preview")
            found << s;
    return found;
}

void tst_History::reportPreviewsOncePerShow()
{
    m_backend = std::make_unique<DemoBackend>();
    const QString why = m_backend->start("sqlite");
    QVERIFY2(why.isEmpty(), qPrintable(why));
    mrv::setLoginContext(m_backend->login(m_backend->server().port()));
    QSqlDatabase db = m_backend->database().db();
    const qint64 run = integrate({"0009", "0013"}, "P0101001_00010101001_");
    rci06000::IniHistorico();
    TfrmHistIntg* form = frmHistIntg;
    QVERIFY(form);
    QVERIFY(QTest::qWaitForWindowActive(form));
    QTRY_VERIFY(form->cdsLogHist->Active());
    QCOMPARE(form->cdsLogHist->RecordCount(), 2);

    QTemporaryDir dir;
    int previewsWhileOpen = -1;
    int previewsAfterButton = -1;
    QStringList csvLines;
    openReport(form, [&](TfrmLogIntg* report) {
        // The window comes back active after its preview, its title dialog and its save dialog, as
        // under a window manager; none of these previews it again. Activation is set directly: the
        // offscreen platform keeps the modal report active whatever other window asks.
        const auto activateAgain = [report] {
            QWidget other(report, Qt::Window); // a window the modal report does not block, as its dialogs
            other.show();
            QApplication::setActiveWindow(&other);
            QVERIFY(!report->isActiveWindow());
            other.close();
            QApplication::setActiveWindow(report);
            QVERIFY(report->isActiveWindow());
        };
        activateAgain();
        m_dialogs->queueInputText(QString("Integrações da semana"));
        report->sbtTitulo->click();
        activateAgain();
        m_dialogs->queueSavePath(dir.filePath("log"));
        report->actSalvarCSV->trigger();
        activateAgain();
        previewsWhileOpen = int(previews().size());
        report->sbtVisualizar->click(); // the buttons still work
        previewsAfterButton = int(previews().size());
        QFile csv(dir.filePath("log.csv"));
        if (csv.open(QIODevice::ReadOnly))
            csvLines = QString::fromUtf8(csv.readAll()).remove(QChar(0xFEFF)).split("\r\n", Qt::SkipEmptyParts);
    });
    QVERIFY2(m_host.errors.isEmpty(), qPrintable(m_host.errors.join('\n')));
    QCOMPARE(previewsWhileOpen, 1);
    QCOMPARE(previewsAfterButton, 2);
    // The past run's report names the run and its source; a title the user gave wins over it.
    const QString title = QStringLiteral("Log da integração %1 - filial de origem 0001 - %2")
                              .arg(run)
                              .arg(rci06000::test::branchName(db, "0001"));
    QCOMPARE(previews().at(0).title, title);
    QVERIFY(previews().at(0).text.contains(title));
    QCOMPARE(previews().at(1).title, QString("Integrações da semana"));
    // The CSV: the destination's code and name lead every row.
    // The source's local dish 0101001 (tree 0001), which neither destination has.
    const QString rowTail = ";0101001;0001;Virado à paulista;Local;;;Prato não cadastrado na filial destino";
    QCOMPARE(csvLines, (QStringList{
                           "Filial destino;Nome da filial destino;Prato;Árvore;Nome do prato;Receita;Produto;"
                           "Nome do produto / serviço;Observação",
                           "0009;" + rci06000::test::branchName(db, "0009") + rowTail,
                           "0013;" + rci06000::test::branchName(db, "0013") + rowTail,
                       }));

    // A new report, shown again, previews again.
    m_dialogs->clearShown();
    openReport(form, [](TfrmLogIntg*) {});
    QCOMPARE(previews().size(), 1);
}

void tst_History::runsLogsReportAndUndo()
{
    QFETCH(QString, dialect);
    if (const QString why = suite::test::TestDatabase::unavailable(dialect); !why.isEmpty())
        QSKIP(qPrintable(why));
    m_backend = std::make_unique<DemoBackend>();
    const QString why = m_backend->start(dialect);
    QVERIFY2(why.isEmpty(), qPrintable(why));
    mrv::setLoginContext(m_backend->login(m_backend->server().port()));
    QSqlDatabase db = m_backend->database().db();
    const QStringList before = allRecipeLines(db);
    const qint64 first = integrate({"0009", "0013"}, "P0101001_00010101001_");
    const qint64 second = integrate({"0007"}, "P0101004_");
    QVERIFY(first > 0 && second > first);

    rci06000::IniHistorico();
    TfrmHistIntg* form = frmHistIntg;
    QVERIFY(form);
    QVERIFY(QTest::qWaitForWindowActive(form));
    QTRY_VERIFY(form->cdsHistorico->Active());
    QVERIFY2(m_host.errors.isEmpty(), qPrintable(m_host.errors.join('\n')));

    // Newest first, and the selected run's log beside it.
    QCOMPARE(form->cdsHistorico->RecordCount(), 2);
    QCOMPARE(form->cdsHistorico->valueAt(0, 0).toLongLong(), second);
    QCOMPARE(form->cdsLogHist->RecordCount(), 0); // the second run had nothing to say
    form->cdsHistorico->setRecNo(1);
    QCOMPARE(form->cdsLogHist->RecordCount(), 2); // the local dish, at both destinations
    QCOMPARE(form->cdsLogHist->FieldByName("IDNUMEROERRO")->DisplayText(),
             QString("Prato não cadastrado na filial destino"));

    // Its report is the integration's log report, over these rows.
    QStringList reported;
    QTimer watch;
    connect(&watch, &QTimer::timeout, this, [&] {
        if (frmLogIntg && frmLogIntg->isVisible()) {
            watch.stop();
            for (int row = 0; row < frmLogIntg->cdsLogIntCent->RecordCount(); ++row)
                reported << frmLogIntg->cdsLogIntCent->valueAt(row, 4).toString();
            frmLogIntg->close();
        }
    });
    watch.start(20);
    form->sbtRelatorio->click();
    watch.stop();
    QCOMPARE(reported, (QStringList{"0009", "0013"}));

    // The undo asks first: "No" changes nothing, "Yes" puts back what the first run replaced (the
    // second run shares no recipe with it, so it may go first).
    const QStringList afterRuns = allRecipeLines(db);
    m_dialogs->queueMessage(mrv::mrNo);
    form->sbtDesfazer->click();
    QCOMPARE(allRecipeLines(db), afterRuns);
    m_dialogs->queueMessage(mrv::mrYes);
    form->sbtDesfazer->click();
    const auto ofFirstRun = [](const QStringList& rows) {
        return rows.filter(QRegularExpression(QStringLiteral("^RECEITA(SERV)?\\|00(09|13)\\|")));
    };
    QCOMPARE(ofFirstRun(allRecipeLines(db)), ofFirstRun(before));
    QVERIFY(ofFirstRun(afterRuns) != ofFirstRun(before));
    QVERIFY2(m_host.errors.isEmpty(), qPrintable(m_host.errors.join('\n')));
    QVERIFY(m_dialogs->lastText().startsWith(QStringLiteral("Integração %1 desfeita").arg(first)));
    QCOMPARE(form->cdsHistorico->RecordCount(), 3);                                   // refreshed, the undo on top
    QCOMPARE(form->cdsHistorico->FieldByName("NRINTG")->value().toLongLong(), first); // still selected
    QVERIFY(!form->cdsHistorico->FieldByName("DTDESFEITA")->AsString().isEmpty());
    QCOMPARE(form->cdsHistorico->valueAt(0, 1).toString(), QString("D"));

    // What cannot be undone cannot be asked for: the undone run, and the undo itself.
    QVERIFY(!form->sbtDesfazer->isEnabled());
    form->cdsHistorico->setRecNo(0);
    QVERIFY(!form->sbtDesfazer->isEnabled());
    QCOMPARE(form->cdsHistorico->FieldByName("IDTIPOINTG")->DisplayText(), QString("Desfazimento"));
    form->cdsHistorico->setRecNo(1);
    QCOMPARE(form->cdsHistorico->FieldByName("NRINTG")->value().toLongLong(), second);
    QVERIFY(form->sbtDesfazer->isEnabled());
    QCOMPARE(form->cdsHistorico->FieldByName("IDTIPORECE")->DisplayText(), QString("Local"));
}

QTEST_MAIN(tst_History)
#include "tst_history.moc"
