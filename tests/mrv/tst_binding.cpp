// The binding helper: what reaches the host's handler, and when bound operations run.
#include "kittesthost.h"

#include "binding.h"
#include "btnpesquisa.h"
#include "checkbox.h"
#include "clientdataset.h"
#include "datasource.h"
#include "errors.h"
#include "radiobutton.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtTest>

using namespace mrv;

namespace {

class Screen : public QWidget, public EventBinding {
public:
    Screen()
        : EventBinding(this)
    {
        auto* layout = new QVBoxLayout(this);
        for (QWidget* w : {static_cast<QWidget*>(chb), static_cast<QWidget*>(rbtTodos), static_cast<QWidget*>(rbtLista),
                           static_cast<QWidget*>(edt), static_cast<QWidget*>(btn)})
            layout->addWidget(w);
        rbtLista->setChecked(true);
        onClick(chb, &Screen::chbClick);
        onClick(rbtTodos, &Screen::rbtTodosClick);
        onClick(rbtLista, &Screen::rbtListaClick);
        onClick(btn, &Screen::btnClick);
        onKeyDown(edt, &Screen::edtKeyDown);
        onBeforePesq(sbt, &Screen::sbtBeforePesq);
        onAfterPesq(sbt, &Screen::sbtAfterPesq);
    }

    void chbClick(QObject*) { log << QString("chb:%1").arg(chb->isChecked()); }
    void rbtTodosClick(QObject*) { log << "todos"; }
    void rbtListaClick(QObject*) { log << "lista"; }
    void btnClick(QObject*) { failure(); }
    void edtKeyDown(QObject*, int& key, Qt::KeyboardModifiers)
    {
        log << QString("key:%1").arg(key);
        if (key == Qt::Key_X)
            key = 0;
        if (key == Qt::Key_F9)
            failure();
    }
    void sbtBeforePesq(QObject*, bool& ok)
    {
        log << "before";
        if (refuseSearch)
            ok = false;
        if (beforeFails)
            throw Exception("Lista indisponível.");
    }
    void sbtAfterPesq(QObject*) { log << "after:" + ds->FieldByName("NMFILIAL")->AsString(); }

    void failure()
    {
        if (failWith == "abort")
            throw EAbort();
        if (failWith == "error")
            throw Exception("Filial não cadastrada.");
        if (failWith == "std")
            throw std::runtime_error("falha de baixo nível");
    }

    TCheckBox* chb = new TCheckBox("Local", this);
    TRadioButton* rbtTodos = new TRadioButton("Todos", this);
    TRadioButton* rbtLista = new TRadioButton("Lista", this);
    QLineEdit* edt = new QLineEdit(this);
    QPushButton* btn = new QPushButton("Confirmar", this);
    TBtnPesquisa* sbt = new TBtnPesquisa(this);
    TClientDataSet* ds = new TClientDataSet(this);
    TDataSource* dts = new TDataSource(this);
    QStringList log;
    QString failWith;
    bool refuseSearch = false;
    bool beforeFails = false;
};

} // namespace

class tst_Binding : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        m_scripted = kittest::installScripted();
        m_host.errors.clear();
        m_screen = std::make_unique<Screen>();
    }
    void cleanup() { m_screen.reset(); }

    void failuresReachTheHandlerOnce_data();
    void failuresReachTheHandlerOnce();
    void checkBoxRunsOnRealChangesOnly();
    void radioRunsWhenItBecomesSelected();
    void keyDownCanSwallowTheKey();
    void searchButton_data();
    void searchButton();

private:
    kittest::RecordingHost m_host;
    ScriptedDialogs* m_scripted = nullptr;
    std::unique_ptr<Screen> m_screen;
};

void tst_Binding::failuresReachTheHandlerOnce_data()
{
    QTest::addColumn<QString>("failWith");
    QTest::addColumn<QStringList>("reported");
    QTest::newRow("completes") << "" << QStringList{};
    QTest::newRow("EAbort is silent") << "abort" << QStringList{};
    QTest::newRow("kit error") << "error" << QStringList{"Filial não cadastrada."};
    QTest::newRow("other exception") << "std" << QStringList{"falha de baixo nível"};
}

void tst_Binding::failuresReachTheHandlerOnce()
{
    QFETCH(QString, failWith);
    QFETCH(QStringList, reported);
    m_screen->failWith = failWith;
    m_screen->btn->click();
    QCOMPARE(m_host.errors, reported);
    // Also directly: the result says whether the operation completed.
    QCOMPARE(invokeGuarded([&] { m_screen->failure(); }), failWith.isEmpty());
}

void tst_Binding::checkBoxRunsOnRealChangesOnly()
{
    m_screen->chb->setChecked(false); // already unchecked: no change
    QVERIFY(m_screen->log.isEmpty());
    m_screen->chb->click();           // by the user
    m_screen->chb->setChecked(true);  // same state again: nothing
    m_screen->chb->setChecked(false); // by code: a change
    QCOMPARE(m_screen->log, (QStringList{"chb:1", "chb:0"}));
}

void tst_Binding::radioRunsWhenItBecomesSelected()
{
    m_screen->rbtLista->click(); // already selected
    QVERIFY(m_screen->log.isEmpty());
    m_screen->rbtTodos->click(); // Todos selected, Lista deselected: only Todos runs
    QCOMPARE(m_screen->log, QStringList{"todos"});
    m_screen->rbtLista->setChecked(true); // from code
    QCOMPARE(m_screen->log, (QStringList{"todos", "lista"}));
}

void tst_Binding::keyDownCanSwallowTheKey()
{
    m_screen->show();
    m_screen->edt->setFocus();
    QTest::keyClicks(m_screen->edt, "ab");
    QTest::keyClick(m_screen->edt, Qt::Key_X);
    QCOMPARE(m_screen->edt->text(), QString("ab"));
    QCOMPARE(m_screen->log.last(), QString("key:%1").arg(int(Qt::Key_X)));
    // A handler that fails swallows the key and reports once.
    m_screen->failWith = "error";
    QTest::keyClick(m_screen->edt, Qt::Key_F9);
    QCOMPARE(m_host.errors.size(), 1);
}

void tst_Binding::searchButton_data()
{
    QTest::addColumn<QList<QStringList>>("rows");
    QTest::addColumn<QString>("answer"); // key to pick, "-" cancels
    QTest::addColumn<bool>("refuse");
    QTest::addColumn<bool>("beforeFails");
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QStringList>("log");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QStringList>("errors");
    const QList<QStringList> branches{{"0001", "Matriz"}, {"0002", "Campinas"}, {"0003", "Santos"}};
    QTest::newRow("choice writes the key, after sees the row")
        << branches << "0002" << false << false << "0002" << QStringList{"before", "after:Campinas"} << QStringList{}
        << QStringList{};
    QTest::newRow("cancel writes nothing")
        << branches << "-" << false << false << "" << QStringList{"before"} << QStringList{} << QStringList{};
    QTest::newRow("before-event refuses")
        << branches << "" << true << false << "" << QStringList{"before"} << QStringList{} << QStringList{};
    QTest::newRow("before-event fails: reported once, no list")
        << branches << "" << false << true << "" << QStringList{"before"} << QStringList{}
        << QStringList{"Lista indisponível."};
    QTest::newRow("empty list shows the empty error")
        << QList<QStringList>{} << "" << false << false << "" << QStringList{"before"}
        << QStringList{"Não há filial cadastrada"} << QStringList{};
}

void tst_Binding::searchButton()
{
    QFETCH(QList<QStringList>, rows);
    QFETCH(QString, answer);
    QFETCH(bool, refuse);
    QFETCH(bool, beforeFails);
    QFETCH(QString, edit);
    QFETCH(QStringList, log);
    QFETCH(QStringList, messages);
    QFETCH(QStringList, errors);

    Screen& s = *m_screen;
    s.ds->setData(kittest::branchPacket(rows));
    s.dts->setDataSet(s.ds);
    s.sbt->setDataSource(s.dts);
    s.sbt->setAssociate(s.edt);
    s.sbt->Title = "Filial";
    s.sbt->EmptyError = "Não há filial cadastrada";
    s.refuseSearch = refuse;
    s.beforeFails = beforeFails;
    if (answer == "-")
        m_scripted->queueLookupCancel();
    else if (!answer.isEmpty())
        m_scripted->queueLookup(answer);

    s.show();
    s.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&s));
    s.chb->setFocus();

    s.sbt->click();

    QCOMPARE(s.edt->text(), edit);
    // Moving the focus to the edit would run exit and enter events of other areas mid-pick.
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(s.chb));
    QCOMPARE(s.log, log);
    QCOMPARE(m_scripted->shownTexts(), messages);
    QCOMPARE(m_host.errors, errors);
    QCOMPARE(m_scripted->pendingAnswers(), 0);
}

QTEST_MAIN(tst_Binding)
#include "tst_binding.moc"
