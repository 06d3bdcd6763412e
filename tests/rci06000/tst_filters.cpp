// The two menu filters and the dish list: what empties the dish list and what keeps it,
// the pickers' lists, the date check, a failed search, and the keyboard on the option pairs.
#include "modulefixture.h"

#include <busy.h>
#include <checkbox.h>
#include <clientdataset.h>
#include <dateeditplus.h>
#include <dbgrid.h>
#include <maskedit.h>

#include <QSqlQuery>
#include <QtTest>

using namespace rci06000::test;

namespace {

// One "Todos" / "Lista" group of a filter: its options, picker and list, and a key to pick.
struct Group {
    const char* todos;
    const char* lista;
    const char* picker;
    const char* list; // the screen's property
    const char* key;
    bool cycle; // in the menu-cycle filter, else in the menu-data filter
};

const Group kGroups[] = {
    {"rbtTodosServ", "rbtListaServ", "sbtServico", "stListaServ", "00002", false},
    {"rbtTodosPrato", "rbtListaPrato", "sbtPrato", "stListaTpPrat", "01", false},
    {"rbtTodosCiclo", "rbtListaCiclo", "sbtCiclo", "stListaCiclo", "00001", true},
    {"rbtTodosServCiclo", "rbtListaServCiclo", "sbtPadraoServCiclo", "stListaServPadr", "00002", true},
    {"rbtTodosTpPratCiclo", "rbtListaTpPratCiclo", "sbtTpPratCiclo", "stListaTpPratCiclo", "01", true},
};

const Group& group(const QString& name)
{
    for (const Group& g : kGroups)
        if (name == QLatin1String(g.list))
            return g;
    return kGroups[0];
}

} // namespace

class tst_Filters : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void whatEmptiesTheDishList_data();
    void whatEmptiesTheDishList();
    void picksKeepTheDishListAndTheirOwnLists();
    void dateCheck_data();
    void dateCheck();
    void enterRefusesADateThatIsNoDate_data();
    void enterRefusesADateThatIsNoDate();
    void failedSearchHidesTheAnimation();
    void f9AndEmptyPickers();
    void optionPairsByKeyboard();

private:
    TfrmIntgCentral* open();
    QAbstractButton* button(const char* name) { return m_form->findChild<QAbstractButton*>(name); }
    // Switches the group's filter on, complete: its other groups on "Todos", this one's list
    // picked, and for the menu data a period around the demo menus.
    void completeFilter(const Group& g);
    QString list(const char* name) const { return m_form->property(name).toString(); }

    RecordingHost m_host;
    mrv::ScriptedDialogs* m_dialogs = nullptr;
    DemoBackend m_backend;
    TfrmIntgCentral* m_form = nullptr;
    QDate m_menusFrom;
};

void tst_Filters::initTestCase()
{
    mrv::setHostServices(&m_host);
    const QString why = m_backend.start();
    QVERIFY2(why.isEmpty(), qPrintable(why));
    mrv::setLoginContext(m_backend.login(m_backend.server().port()));
    QSqlQuery q(m_backend.database().db());
    QVERIFY(q.exec("SELECT MIN(DTCARDAPIO) FROM CARDAPIO WHERE CDFILIAL = '0001'") && q.next());
    m_menusFrom = QDate::fromString(q.value(0).toString().left(10), Qt::ISODate);
    QVERIFY(m_menusFrom.isValid());
}

void tst_Filters::init()
{
    auto dialogs = std::make_unique<mrv::ScriptedDialogs>();
    m_dialogs = dialogs.get();
    mrv::setDialogs(std::move(dialogs));
    m_host.errors.clear();
    m_form = open();
    QVERIFY(m_form);
}

void tst_Filters::cleanup()
{
    resetModule();
    m_form = nullptr;
}

TfrmIntgCentral* tst_Filters::open()
{
    TfrmIntgCentral* form = openScreen(m_host);
    if (form) {
        form->medCdFilial->setFocus();
        form->chbArvPadrao->setFocus();
    }
    return form;
}

void tst_Filters::completeFilter(const Group& g)
{
    button(g.cycle ? "chbCicloCard" : "chbDadoCard")->click();
    if (!g.cycle) {
        m_form->depDataInic->setDate(m_menusFrom);
        m_form->depDataFina->setDate(m_menusFrom.addDays(30));
    }
    for (const Group& other : kGroups) {
        if (other.cycle != g.cycle)
            continue;
        if (&other == &g) {
            m_dialogs->queuePick({other.key});
            button(other.picker)->click();
            QCOMPARE(list(other.list), QString(other.key) + "_");
        } else {
            button(other.todos)->click();
        }
    }
}

void tst_Filters::whatEmptiesTheDishList_data()
{
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("action"); // "Todos", "Lista" (after "Todos") or "switch off"
    for (const Group& g : kGroups) {
        QTest::newRow(qPrintable(QString(g.todos))) << g.list << "Todos";
        QTest::newRow(qPrintable(QString(g.lista) + " after Todos")) << g.list << "Lista";
    }
    QTest::newRow("menu data switched off") << "stListaServ"
                                            << "switch off";
    QTest::newRow("menu cycle switched off") << "stListaCiclo"
                                             << "switch off";
}

void tst_Filters::whatEmptiesTheDishList()
{
    QFETCH(QString, group);
    QFETCH(QString, action);
    const Group& g = ::group(group);
    completeFilter(g);
    auto pickTwoDishes = [this] {
        m_form->rbtListaPrat->click();
        m_dialogs->queuePickFirst(2);
        button("sbtPesqPrat")->click();
        QCOMPARE(dishList(m_form).count('_'), 2); // two dishes the service found for the filter
    };
    pickTwoDishes();
    QVERIFY2(m_host.errors.isEmpty(), qPrintable(m_host.errors.join('\n')));

    if (action == "switch off") {
        button(g.cycle ? "chbCicloCard" : "chbDadoCard")->click();
        QCOMPARE(list(g.list), QString(g.key) + "_"); // the filter's lists stay for the next time
    } else {
        button(g.todos)->click();
        QVERIFY(list(g.list).isEmpty());
        QVERIFY(!button(g.picker)->isEnabled());
        if (action == "Lista") {
            pickTwoDishes();
            button(g.lista)->click();
            QVERIFY(button(g.picker)->isEnabled());
            QVERIFY(list(g.list).isEmpty()); // picked again after "Todos"
        }
    }
    QVERIFY(dishList(m_form).isEmpty());
    QVERIFY(m_form->rbtListaPrat->isChecked());
}

void tst_Filters::picksKeepTheDishListAndTheirOwnLists()
{
    button("chbDadoCard")->click();
    button("chbCicloCard")->click();
    for (const char* todos : {"rbtTodosServ", "rbtTodosCiclo", "rbtTodosServCiclo"})
        button(todos)->click();
    m_form->depDataInic->setDate(m_menusFrom);
    m_form->depDataFina->setDate(m_menusFrom.addDays(30));
    m_dialogs->queuePick({"01", "03"});
    button("sbtPrato")->click();
    m_dialogs->queuePick({"01"});
    button("sbtTpPratCiclo")->click();
    m_form->rbtListaPrat->click();
    m_dialogs->queuePickFirst(1);
    button("sbtPesqPrat")->click();
    const QString dishes = dishList(m_form);
    QCOMPARE(dishes.count('_'), 1);

    // New filter lists after the dishes: the dishes stay, and each dish-type list is its own.
    m_dialogs->queuePick({"04"});
    button("sbtPrato")->click();
    QCOMPARE(m_dialogs->shown().last().preMarked, (QStringList{"01", "03"}));
    m_dialogs->queuePick({"05"});
    button("sbtTpPratCiclo")->click();
    QCOMPARE(m_dialogs->shown().last().preMarked, QStringList{"01"});
    QCOMPARE(list("stListaTpPrat"), QString("04_"));
    QCOMPARE(list("stListaTpPratCiclo"), QString("05_"));
    QCOMPARE(dishList(m_form), dishes);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(m_form->rbtListaTpPratCiclo));
}

void tst_Filters::dateCheck_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");
    QTest::newRow("first accepted day") << "01/01/1900"
                                        << "";
    QTest::newRow("the day before") << "31/12/1899"
                                    << "\"31/12/1899\" não é uma data válida.";
    QTest::newRow("empty") << ""
                           << "";
}

void tst_Filters::dateCheck()
{
    QFETCH(QString, typed);
    QFETCH(QString, message);
    button("chbDadoCard")->click();
    for (mrv::TDateEditPlus* editor : {m_form->depDataInic, m_form->depDataFina}) {
        QCoreApplication::processEvents(); // as between two inputs of a user: a refusal's hold on the focus ends
        m_dialogs->clearShown();
        editor->setFocus();
        editor->selectAll();
        QTest::keyClicks(editor, QString(typed).remove('/'));
        QCOMPARE(editor->GetDate().isValid(), !typed.isEmpty());
        m_form->rbtListaServ->setFocus();
        QCOMPARE(m_dialogs->lastText(), message);
        QCOMPARE(QApplication::focusWidget(),
                 message.isEmpty() ? static_cast<QWidget*>(m_form->rbtListaServ) : static_cast<QWidget*>(editor));
        editor->clear();
    }
}

void tst_Filters::enterRefusesADateThatIsNoDate_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("end");
    QTest::addColumn<QString>("typedIn"); // the editor the user types in, then presses Enter without leaving it
    QTest::addColumn<QString>("message"); // the one message, or "" for the confirmation question
    QTest::addColumn<QString>("focus");
    const auto noDate = [](const char* text) {
        return QStringLiteral("\"%1\" não é uma data válida. Informe a data no formato dd/mm/aaaa.").arg(text);
    };
    QTest::newRow("no 31st of February, start") << "31/02/2026"
                                                << "28/02/2026"
                                                << "depDataInic" << noDate("31/02/2026") << "depDataInic";
    QTest::newRow("a three-digit year, start") << "01/12/202"
                                               << "28/02/2026"
                                               << "depDataInic" << noDate("01/12/202") << "depDataInic";
    QTest::newRow("no 31st of February, end") << "01/02/2026"
                                              << "31/02/2026"
                                              << "depDataFina" << noDate("31/02/2026") << "depDataFina";
    QTest::newRow("a 13th month, end") << "01/02/2026"
                                       << "01/13/2026"
                                       << "depDataFina" << noDate("01/13/2026") << "depDataFina";
    QTest::newRow("both wrong, typed in the end: the start first")
        << "32/01/2026"
        << "01/13/2026"
        << "depDataFina" << noDate("32/01/2026") << "depDataInic";
    QTest::newRow("before 1900") << "31/12/1899"
                                 << "28/02/2026"
                                 << "depDataInic"
                                 << "\"31/12/1899\" não é uma data válida."
                                 << "depDataInic";
    QTest::newRow("real dates reach the question") << "01/02/2026"
                                                   << "28/02/2026"
                                                   << "depDataFina"
                                                   << ""
                                                   << "depDataFina";
}

void tst_Filters::enterRefusesADateThatIsNoDate()
{
    QFETCH(QString, start);
    QFETCH(QString, end);
    QFETCH(QString, typedIn);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    // A complete filter, every dish, a marked destination: Enter confirms from any control.
    button("chbDadoCard")->click();
    button("rbtTodosServ")->click();
    button("rbtTodosPrato")->click();
    m_form->depDataInic->setDate(m_menusFrom);
    m_form->depDataFina->setDate(m_menusFrom.addDays(30));
    m_form->rbtTodosPrat->click();
    m_form->medAgrupFilial->setFocus();
    QTest::keyClicks(m_form->medAgrupFilial, "2");
    m_form->dbgFiliGrup->setFocus();
    QVERIFY(m_form->cdsFiliGrup->Locate("CDFILIAL", "0009"));
    m_form->dbgFiliGrupDblClick(m_form->dbgFiliGrup);
    QVERIFY(m_form->sbtConfirma->isEnabled());
    QVERIFY2(m_host.errors.isEmpty(), qPrintable(m_host.errors.join('\n')));

    auto* editor = m_form->findChild<mrv::TDateEditPlus*>(typedIn);
    (editor == m_form->depDataInic ? m_form->depDataFina : m_form->depDataInic)
        ->setText(editor == m_form->depDataInic ? end : start);
    editor->setFocus();
    editor->selectAll();
    QTest::keyClicks(editor, QString(editor == m_form->depDataInic ? start : end).remove('/'));
    QCOMPARE(m_form->depDataInic->text(), start);
    QCOMPARE(m_form->depDataFina->text(), end);
    m_dialogs->clearShown();
    if (message.isEmpty())
        m_dialogs->queueMessage(mrv::mrNo);
    QSqlQuery runs(m_backend.database().db());
    QVERIFY(runs.exec("SELECT COUNT(*) FROM INTGCENTRAL") && runs.next());
    const int runsBefore = runs.value(0).toInt();

    QTest::keyClick(editor, Qt::Key_Return);

    const QStringList said = m_dialogs->shownTexts() + m_host.errors;
    if (message.isEmpty()) {
        QCOMPARE(said.size(), 1);
        QVERIFY2(said.first().contains("Confirma operação?"), qPrintable(said.first()));
    } else {
        QCOMPARE(said, QStringList{message});
    }
    QCOMPARE(QApplication::focusWidget(), m_form->findChild<QWidget*>(focus));
    QVERIFY(runs.exec("SELECT COUNT(*) FROM INTGCENTRAL") && runs.next());
    QCOMPARE(runs.value(0).toInt(), runsBefore);
}

void tst_Filters::failedSearchHidesTheAnimation()
{
    completeFilter(group("stListaCiclo"));
    const int port = m_form->netIntgCentral->Port;
    m_form->netIntgCentral->Port = closedPort();
    pickDishes(m_form, m_dialogs, {"P0101001"});
    m_form->netIntgCentral->Port = port;
    QCOMPARE(m_host.errors.size(), 1);
    QVERIFY(!mrv::ShowAviActive());
    QVERIFY(dishList(m_form).isEmpty());
    QCOMPARE(m_dialogs->pendingAnswers(), 1); // the picker never opened
}

void tst_Filters::f9AndEmptyPickers()
{
    button("chbDadoCard")->click();
    m_form->rbtListaServ->setFocus();
    m_dialogs->queuePickCancel();
    QTest::keyClick(m_form->rbtListaServ, Qt::Key_F9);
    QCOMPARE(m_dialogs->shown().size(), 1);
    QCOMPARE(m_dialogs->shown().last().title, QString("Serviço"));
    QVERIFY(!m_dialogs->shown().last().offered.isEmpty());
    // Only the services' list has the shortcut.
    m_form->rbtListaPrato->setFocus();
    QTest::keyClick(m_form->rbtListaPrato, Qt::Key_F9);
    QCOMPARE(m_dialogs->shown().size(), 1);

    // A branch without services: the picker says so instead of doing nothing.
    QSqlQuery q(m_backend.database().db());
    QVERIFY(q.exec("INSERT INTO FILIAL (CDFILIAL, NMFILIAL, IDCNTRRESC) VALUES ('0098', 'Sem serviços', 'N')"));
    m_form->medCdFilial->setText("0098");
    button("sbtServico")->click();
    QVERIFY(q.exec("DELETE FROM FILIAL WHERE CDFILIAL = '0098'"));
    QCOMPARE(m_dialogs->lastText(), QString("Não há serviço cadastrado para a filial informada."));
    QVERIFY(list("stListaServ").isEmpty());
}

void tst_Filters::optionPairsByKeyboard()
{
    button("chbDadoCard")->click();
    button("rbtTodosPrato")->click();
    // Tab reaches each pair on its selected option.
    m_form->depDataFina->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(m_form->rbtListaServ));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(m_form->rbtTodosPrato));
    // The arrows move inside the pair and select as they go, running the option's operation.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(m_form->rbtListaPrato));
    QVERIFY(m_form->rbtListaPrato->isChecked());
    QVERIFY(m_form->sbtPrato->isEnabled());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
    QVERIFY(m_form->rbtTodosPrato->isChecked());
    QVERIFY(!m_form->sbtPrato->isEnabled());
}

QTEST_MAIN(tst_Filters)
#include "tst_filters.moc"
