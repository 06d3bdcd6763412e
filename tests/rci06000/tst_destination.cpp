// The source branch row, the destination grouping and grid, and the checks of a
// confirmation, on the real screen against a real server and the demo database.
#include "modulefixture.h"

#include <btnpesquisa.h>
#include <busy.h>
#include <buttonflat.h>
#include <checkbox.h>
#include <clientdataset.h>
#include <column.h>
#include <dateeditplus.h>
#include <dbgrid.h>
#include <helpers.h>
#include <maskedit.h>
#include <messages.h>
#include <radiobutton.h>

#include <QHeaderView>
#include <QLineEdit>
#include <QSqlQuery>
#include <QtTest>

using namespace rci06000::test;

namespace {

// The demo database lists these destinations for the head office "0001" with grouping "T";
// "0010" has its contract rescinded.
const int kAllBranches = 13;
const int kRescindedRow = 8;

QString marks(TfrmIntgCentral* form)
{
    QString text;
    const int column = form->cdsFiliGrup->FieldByName("IDMARCADO")->index();
    for (int row = 0; row < form->cdsFiliGrup->RecordCount(); ++row)
        text += form->cdsFiliGrup->valueAt(row, column).toString();
    return text;
}

} // namespace

class tst_Destination : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void refusedSourceKeepsTheFocus();
    void lookUpChoiceShowsCodeAndName();
    void groupingCode_data();
    void groupingCode();
    void leavingTheGroupingWithoutTypingKeepsTheGrid();
    void markToggles_data();
    void markToggles();
    void markAllKeepsTheUsersRow();
    void rescindedBranch();
    void failedLoadIsRetried();
    void confirmationChecks_data();
    void confirmationChecks();

private:
    TfrmIntgCentral* open();
    // The focus into the grid, which loads it.
    void enterGrid(TfrmIntgCentral* form);
    void doubleClick(TfrmIntgCentral* form, int row);
    void clickMarkTitle(TfrmIntgCentral* form);
    QWidget* focused() const { return QApplication::focusWidget(); }

    RecordingHost m_host;
    mrv::ScriptedDialogs* m_dialogs = nullptr;
    DemoBackend m_backend;
};

void tst_Destination::initTestCase()
{
    mrv::setHostServices(&m_host);
    const QString why = m_backend.start();
    QVERIFY2(why.isEmpty(), qPrintable(why));
    mrv::setLoginContext(m_backend.login(m_backend.server().port()));
    // A grouping whose code has letters, for the letter-case rule.
    QSqlQuery q(m_backend.database().db());
    QVERIFY(q.exec("INSERT INTO GRUPFILI (CDGRUPFILI, NMGRUPFILI) VALUES ('00000SUL01', 'Sul maiúsculo')"));
    QVERIFY(q.exec("INSERT INTO FILIGRUP (CDGRUPFILI, CDFILIAL) VALUES ('00000SUL01', '0007')"));
}

void tst_Destination::init()
{
    auto dialogs = std::make_unique<mrv::ScriptedDialogs>();
    m_dialogs = dialogs.get();
    mrv::setDialogs(std::move(dialogs));
    m_host.errors.clear();
}

void tst_Destination::cleanup()
{
    resetModule();
}

TfrmIntgCentral* tst_Destination::open()
{
    TfrmIntgCentral* form = openScreen(m_host);
    if (!form)
        return nullptr;
    // Leaving the code edit selects "Lista"; "Todos" then lets the focus into the destination area.
    form->medCdFilial->setFocus();
    form->chbArvPadrao->setFocus();
    form->rbtTodosPrat->click();
    return form;
}

void tst_Destination::enterGrid(TfrmIntgCentral* form)
{
    form->dbgFiliGrup->setFocus();
}

void tst_Destination::doubleClick(TfrmIntgCentral* form, int row)
{
    mrv::TDBGrid* grid = form->dbgFiliGrup;
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(grid->model()->index(row, 1)).center());
}

void tst_Destination::clickMarkTitle(TfrmIntgCentral* form)
{
    QHeaderView* header = form->dbgFiliGrup->horizontalHeader();
    const int x = header->sectionViewportPosition(0) + header->sectionSize(0) / 2;
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
}

void tst_Destination::refusedSourceKeepsTheFocus()
{
    TfrmIntgCentral* form = open();
    QVERIFY(form);
    form->medCdFilial->setFocus();
    form->medCdFilial->selectAll();
    QTest::keyClicks(form->medCdFilial, "99");
    // Leaving for the destination area: refused, the focus stays on the code.
    form->medAgrupFilial->setFocus();
    QCOMPARE(focused(), static_cast<QWidget*>(form->medCdFilial));
    QCOMPARE(form->medCdFilial->text(), QString("0099"));
    QVERIFY(form->edtNmFilial->text().isEmpty());
    QCOMPARE(m_host.errors, QStringList{"Filial não cadastrada."});
    form->dbgFiliGrup->setFocus();
    QCOMPARE(focused(), static_cast<QWidget*>(form->medCdFilial));
    QVERIFY(!form->cdsFiliGrup->Active());

    // A valid short code is shown in its full form with its name, and the way is open.
    form->medCdFilial->selectAll();
    QTest::keyClicks(form->medCdFilial, "2");
    form->chbArvPadrao->setFocus();
    QCOMPARE(form->medCdFilial->text(), QString("0002"));
    QCOMPARE(form->edtNmFilial->text(), QString("Filial Campinas"));
    QVERIFY(form->rbtListaPrat->isChecked());
    form->rbtTodosPrat->click();
    form->medAgrupFilial->setFocus();
    QCOMPARE(focused(), static_cast<QWidget*>(form->medAgrupFilial));
    QCOMPARE(m_host.errors, QStringList(2, "Filial não cadastrada.")); // refused at each attempt
}

void tst_Destination::lookUpChoiceShowsCodeAndName()
{
    TfrmIntgCentral* form = open();
    QVERIFY(form);
    m_dialogs->queueLookup("0004");
    form->sbtFilial->click();
    QCOMPARE(form->medCdFilial->text(), QString("0004"));
    QCOMPARE(form->edtNmFilial->text(), QString("Cozinha Industrial Betim")); // not blanked by the code's change
    QVERIFY(form->rbtListaPrat->isChecked());
    QCOMPARE(focused(), static_cast<QWidget*>(form->chbArvPadrao)); // where it was

    // Each opening reads the table afresh: a branch added in between is offered.
    QSqlQuery q(m_backend.database().db());
    QVERIFY(q.exec("INSERT INTO FILIAL (CDFILIAL, NMFILIAL, IDCNTRRESC) VALUES ('0099', 'Filial Nova', 'N')"));
    m_dialogs->queueLookupCancel();
    form->sbtFilial->click();
    QVERIFY(q.exec("DELETE FROM FILIAL WHERE CDFILIAL = '0099'"));
    QVERIFY(m_dialogs->shown().last().offered.contains("0099"));
    QCOMPARE(form->medCdFilial->text(), QString("0004"));
}

void tst_Destination::groupingCode_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("message");
    QTest::newRow("short code") << "1"
                                << "0000000001"
                                << "Região Sudeste"
                                << "";
    QTest::newRow("letters as stored") << "SUL01"
                                       << "00000SUL01"
                                       << "Sul maiúsculo"
                                       << "";
    QTest::newRow("letters in another case") << "sul01"
                                             << "00000sul01"
                                             << ""
                                             << "Agrupamento de filiais não cadastrado.";
    QTest::newRow("unknown") << "77"
                             << "0000000077"
                             << ""
                             << "Agrupamento de filiais não cadastrado.";
    QTest::newRow("blank: all branches, no look-up") << "   "
                                                     << "   "
                                                     << ""
                                                     << "";
}

void tst_Destination::groupingCode()
{
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(QString, name);
    QFETCH(QString, message);
    TfrmIntgCentral* form = open();
    QVERIFY(form);
    form->medAgrupFilial->setFocus();
    QTest::keyClicks(form->medAgrupFilial, typed);
    form->dbgFiliGrup->setFocus();

    QCOMPARE(form->medAgrupFilial->text(), shown);
    QCOMPARE(form->edtAgrupFilial->text(), name);
    QCOMPARE(m_dialogs->lastText(), message);
    QVERIFY(m_host.errors.isEmpty());
    if (message.isEmpty()) {
        QCOMPARE(focused(), static_cast<QWidget*>(form->dbgFiliGrup));
        QVERIFY(form->cdsFiliGrup->Active());
        QVERIFY(form->sbtConfirma->isEnabled());
        QVERIFY(form->sbtProcurar->isEnabled());
        // A blank code never asks for the grouping list.
        QCOMPARE(form->cdsGrupFili->Active(), !mrv::EmptyString(typed));
    } else {
        QCOMPARE(focused(), static_cast<QWidget*>(form->medAgrupFilial));
        QVERIFY(!form->cdsFiliGrup->Active());
        QVERIFY(!form->sbtConfirma->isEnabled());
    }
    QVERIFY(!mrv::ShowAviActive());
    QVERIFY(!QApplication::overrideCursor());
}

void tst_Destination::leavingTheGroupingWithoutTypingKeepsTheGrid()
{
    TfrmIntgCentral* form = open();
    QVERIFY(form);
    form->medAgrupFilial->setFocus();
    QTest::keyClicks(form->medAgrupFilial, "2");
    enterGrid(form);
    QCOMPARE(form->cdsFiliGrup->RecordCount(), 3);
    doubleClick(form, 0);
    QCOMPARE(marks(form), QString("SNN"));

    // In and out of the grouping edit without typing: the validated code is written back
    // unchanged, so the grid and its marks stay.
    form->medAgrupFilial->setFocus();
    form->dbgFiliGrup->setFocus();
    QVERIFY(form->cdsFiliGrup->Active());
    QCOMPARE(marks(form), QString("SNN"));
    QCOMPARE(form->edtAgrupFilial->text(), QString("Região Sul"));

    // Leaving the grid keeps the find button for the grid only.
    QVERIFY(form->sbtProcurar->isEnabled());
    form->medAgrupFilial->setFocus();
    QVERIFY(!form->sbtProcurar->isEnabled());

    // One character typed: the grid and its marks are gone.
    QTest::keyClick(form->medAgrupFilial, Qt::Key_End);
    QTest::keyClick(form->medAgrupFilial, Qt::Key_Backspace);
    QVERIFY(!form->cdsFiliGrup->Active());
    QVERIFY(!form->sbtConfirma->isEnabled());
    QVERIFY(form->edtAgrupFilial->text().isEmpty());

    // The grouping list was read once for this screen: one added since is not known to it.
    QSqlQuery q(m_backend.database().db());
    QVERIFY(q.exec("INSERT INTO GRUPFILI (CDGRUPFILI, NMGRUPFILI) VALUES ('0000000088', 'Nova')"));
    form->medAgrupFilial->selectAll();
    QTest::keyClicks(form->medAgrupFilial, "88");
    form->dbgFiliGrup->setFocus();
    QVERIFY(q.exec("DELETE FROM GRUPFILI WHERE CDGRUPFILI = '0000000088'"));
    QCOMPARE(m_dialogs->lastText(), QString("Agrupamento de filiais não cadastrado."));
}

void tst_Destination::markToggles_data()
{
    // Actions: "all" = the mark column's title, "dbl N" = double click on row N,
    // "space N" / "ctrl+space" / "shift+space N" / "ctrl+del" = keys on the mark column.
    QTest::addColumn<QStringList>("actions");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("message");
    const QString none(kAllBranches, 'N');
    const QString all(kAllBranches, 'S');
    QTest::newRow("first mark-all marks all, rescinded too") << QStringList{"all"} << all << "";
    QTest::newRow("second mark-all unmarks all") << QStringList{"all", "all"} << none << "";
    QTest::newRow("after a single mark, mark-all unmarks") << QStringList{"dbl 2", "all"} << none << "";
    QTest::newRow("after a single unmark, mark-all marks") << QStringList{"all", "dbl 2", "all"} << all << "";
    QTest::newRow("double click toggles") << QStringList{"dbl 0", "dbl 1", "dbl 1"} << "S" + none.mid(1) << "";
    QTest::newRow("rescinded refused on double click")
        << QStringList{QString("dbl %1").arg(kRescindedRow)} << none << "Filial com contrato rescindido.";
    QTest::newRow("rescinded unmarked after mark-all without a message")
        << QStringList{"all", QString("dbl %1").arg(kRescindedRow)}
        << all.left(kRescindedRow) + "N" + all.mid(kRescindedRow + 1) << "";
    QTest::newRow("space and ctrl+space") << QStringList{"space 3", "ctrl+space"} << none << "";
    QTest::newRow("shift+space does nothing") << QStringList{"shift+space 3"} << none << "";
    QTest::newRow("ctrl+delete deletes nothing") << QStringList{"all", "ctrl+del"} << all << "";
}

void tst_Destination::markToggles()
{
    QFETCH(QStringList, actions);
    QFETCH(QString, expected);
    QFETCH(QString, message);
    TfrmIntgCentral* form = open();
    QVERIFY(form);
    enterGrid(form);
    QCOMPARE(form->cdsFiliGrup->RecordCount(), kAllBranches);
    mrv::TDBGrid* grid = form->dbgFiliGrup;
    auto onMarkColumnOf = [&](const QString& action) {
        form->cdsFiliGrup->setRecNo(action.section(' ', 1).toInt());
        grid->setSelectedIndex(0);
    };
    for (const QString& action : actions) {
        if (action == "all") {
            clickMarkTitle(form);
        } else if (action.startsWith("dbl ")) {
            doubleClick(form, action.section(' ', 1).toInt());
        } else if (action.startsWith("space ")) {
            onMarkColumnOf(action);
            QTest::keyClick(grid, Qt::Key_Space);
        } else if (action.startsWith("shift+space ")) {
            onMarkColumnOf(action);
            QTest::keyClick(grid, Qt::Key_Space, Qt::ShiftModifier);
        } else if (action == "ctrl+space") {
            QTest::keyClick(grid, Qt::Key_Space, Qt::ControlModifier);
        } else if (action == "ctrl+del") {
            QTest::keyClick(grid, Qt::Key_Delete, Qt::ControlModifier);
        }
    }
    QCOMPARE(marks(form), expected);
    QCOMPARE(m_dialogs->lastText(), message);
    QCOMPARE(form->cdsFiliGrup->RecordCount(), kAllBranches);
    QVERIFY(form->sbtConfirma->isEnabled());
}

void tst_Destination::markAllKeepsTheUsersRow()
{
    TfrmIntgCentral* form = open();
    QVERIFY(form);
    enterGrid(form);
    form->cdsFiliGrup->setRecNo(5);
    const QString code = form->cdsFiliGrup->FieldByName("CDFILIAL")->AsString();
    const int repaints = form->dbgFiliGrup->repaintCount();
    clickMarkTitle(form);
    QCOMPARE(form->cdsFiliGrup->RecNo(), 5);
    QCOMPARE(form->cdsFiliGrup->FieldByName("CDFILIAL")->AsString(), code);
    QCOMPARE(form->dbgFiliGrup->currentIndex().row(), 5);
    QCOMPARE(form->dbgFiliGrup->repaintCount() - repaints, 1); // the grid refreshed once

    // From the keyboard too, with the texts a window system gives these keys: the view
    // would otherwise search for the space and move the row.
    const QList<std::pair<Qt::KeyboardModifiers, QString>> keys{
        {Qt::ControlModifier, " "}, {Qt::ControlModifier, QString(QChar(0))}, {Qt::NoModifier, " "},
        {Qt::NoModifier, " "}, {Qt::ShiftModifier, " "}};
    for (const auto& [modifiers, text] : keys) {
        form->dbgFiliGrup->setSelectedIndex(0);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Space, modifiers, text);
        QApplication::sendEvent(form->dbgFiliGrup, &press);
        QCOMPARE(form->dbgFiliGrup->currentIndex().row(), 5);
        QCOMPARE(form->cdsFiliGrup->FieldByName("CDFILIAL")->AsString(), code);
    }

    // Each row's mark is drawn from its own value, on the cell's own background.
    form->cdsFiliGrup->setRecNo(4);
    doubleClick(form, 4); // row 4 unmarked, row 4 current
    mrv::TDBGrid* grid = form->dbgFiliGrup;
    const QImage shot = grid->viewport()->grab().toImage();
    auto ticks = [&](int row) {
        const QRect cell = grid->visualRect(grid->model()->index(row, 0));
        int black = 0;
        for (int y = cell.top() + 4; y < cell.top() + 13; ++y)
            for (int x = cell.left() + 6; x < cell.left() + 15; ++x)
                black += shot.pixelColor(x, y) == QColor(Qt::black) ? 1 : 0;
        return black;
    };
    QVERIFY2(ticks(5) > 4, "a marked row shows the tick");
    QCOMPARE(ticks(4), 0);
    const QRect selected = grid->visualRect(grid->model()->index(4, 0));
    QCOMPARE(shot.pixelColor(selected.left() + 1, selected.center().y()),
             grid->palette().color(QPalette::Active, QPalette::Highlight));
}

void tst_Destination::rescindedBranch()
{
    TfrmIntgCentral* form = open();
    QVERIFY(form);
    enterGrid(form);
    doubleClick(form, kRescindedRow);
    QCOMPARE(m_dialogs->lastText(), QString("Filial com contrato rescindido."));
    QCOMPARE(form->cdsFiliGrup->FieldByName("IDMARCADO")->AsString(), QString("N"));

    // Mark-all marks it; the confirmation then refuses it, with its row current.
    clickMarkTitle(form);
    form->cdsFiliGrup->setRecNo(1);
    m_dialogs->clearShown();
    int rowBehindMessage = -1;
    m_dialogs->onMessage = [&](const QString&) { rowBehindMessage = form->dbgFiliGrup->currentIndex().row(); };
    form->sbtConfirma->click();
    m_dialogs->onMessage = nullptr;
    QCOMPARE(m_dialogs->shownTexts(), QStringList{"Filial com contrato rescindido."});
    QCOMPARE(rowBehindMessage, kRescindedRow); // the grid is on the branch while its message shows
    QCOMPARE(form->cdsFiliGrup->RecNo(), kRescindedRow);
    QCOMPARE(form->cdsFiliGrup->FieldByName("CDFILIAL")->AsString(), QString("0010"));
    QCOMPARE(form->dbgFiliGrup->currentIndex().row(), kRescindedRow);
}

void tst_Destination::failedLoadIsRetried()
{
    TfrmIntgCentral* form = open();
    QVERIFY(form);
    const int port = form->netIntgCentral->Port;
    form->netIntgCentral->Port = closedPort();
    enterGrid(form);
    QCOMPARE(m_host.errors.size(), 1);
    QVERIFY(!form->cdsFiliGrup->Active());
    QVERIFY(!mrv::ShowAviActive());
    QVERIFY(!form->sbtProcurar->isEnabled());
    QVERIFY(!form->sbtConfirma->isEnabled());

    // The user's next entry into the grid asks again.
    form->netIntgCentral->Port = port;
    form->medAgrupFilial->setFocus(Qt::BacktabFocusReason);
    form->dbgFiliGrup->setFocus(Qt::TabFocusReason);
    QCOMPARE(m_host.errors.size(), 1);
    QVERIFY(form->cdsFiliGrup->Active());
    QCOMPARE(form->cdsFiliGrup->RecordCount(), kAllBranches);
    QVERIFY(!mrv::ShowAviActive());
}

void tst_Destination::confirmationChecks_data()
{
    // Each setup word changes one choice after the grid is loaded; the first failing check wins.
    QTest::addColumn<QStringList>("setup");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus");
    QTest::newRow("all pass: the question follows") << QStringList{"mark"} << "conf_op"
                                                    << "";
    QTest::newRow("cycle filter checked first")
        << QStringList{"cycle", "data", "noTrees"} << "Ciclo deve ser informado."
        << "rbtListaCiclo";
    QTest::newRow("menu data: no start date") << QStringList{"data", "noTrees"} << "Data inicial deve ser informada."
                                              << "depDataInic";
    QTest::newRow("menu data: end before start") << QStringList{"data", "dates 10/03/2026 09/03/2026"}
                                                 << "Data final do cardápio deve ser maior ou igual à data inicial."
                                                 << "depDataInic";
    QTest::newRow("menu data: equal dates pass to the services")
        << QStringList{"data", "dates 10/03/2026 10/03/2026"} << "Serviço deve ser informado."
        << "rbtListaServ";
    QTest::newRow("no tree") << QStringList{"noTrees", "mark"} << "Árvore deve ser informada."
                             << "chbArvPadrao";
    QTest::newRow("no destination marked") << QStringList{} << "Não há filial destino informada para a integração."
                                           << "dbgFiliGrup";
    QTest::newRow("dish list empty under Lista") << QStringList{"mark", "lista"} << "Prato deve ser informado."
                                                 << "rbtListaPrat";
}

void tst_Destination::confirmationChecks()
{
    QFETCH(QStringList, setup);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    TfrmIntgCentral* form = open();
    QVERIFY(form);
    enterGrid(form);
    for (const QString& word : setup) {
        if (word == "mark") {
            doubleClick(form, 2);
        } else if (word == "cycle") {
            form->chbCicloCard->click();
        } else if (word == "data") {
            form->chbDadoCard->click();
            form->rbtTodosPrat->click(); // the switch returned the dish scope to "Lista"
        } else if (word.startsWith("dates ")) {
            form->depDataInic->setDate(QDate::fromString(word.section(' ', 1, 1), "dd/MM/yyyy"));
            form->depDataFina->setDate(QDate::fromString(word.section(' ', 2, 2), "dd/MM/yyyy"));
        } else if (word == "noTrees") {
            form->chbArvPadrao->setChecked(false);
            form->chbArvLocal->setChecked(false);
        } else if (word == "lista") {
            form->rbtListaPrat->click();
        }
    }
    form->dbgFiliGrup->setFocus();
    form->cdsFiliGrup->setRecNo(5);
    m_dialogs->clearShown();
    m_host.errors.clear();
    m_dialogs->queueMessage(mrv::mrNo);
    form->sbtConfirma->click();

    QCOMPARE(m_dialogs->lastText(), message == "conf_op" ? form->msgPadrao->Msg(message) : message);
    QVERIFY(m_host.errors.isEmpty());
    if (!focus.isEmpty())
        QCOMPARE(focused()->objectName(), focus);
    if (focus == "dbgFiliGrup")
        QCOMPARE(form->cdsFiliGrup->RecNo(), 0); // the scan for a mark ends on the first row
}

QTEST_MAIN(tst_Destination)
#include "tst_destination.moc"
