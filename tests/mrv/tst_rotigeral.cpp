// Base screen: creation, key preview, close actions and activation.
#include "kittesthost.h"

#include "buttonflat.h"
#include "errors.h"
#include "rotigeral.h"

#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QTimer>
#include <QVBoxLayout>
#include <QtTest>

using namespace mrv;

namespace {

class Screen : public TfrmRotiGeral {
public:
    Screen()
    {
        auto* layout = new QVBoxLayout(clientArea());
        edt = new QLineEdit(clientArea());
        layout->addWidget(edt);
        onClick(sbtConfirma, &Screen::sbtConfirmaClick);
    }

    void FormCreate(QObject*) override
    {
        log << "create";
        if (closeOnCreate)
            close();
    }
    void FormClose(QObject* sender, TCloseAction& action) override
    {
        TfrmRotiGeral::FormClose(sender, action);
        log << "close";
        action = closeAction;
    }
    void FormKeyDown(QObject*, int& key, Qt::KeyboardModifiers) override
    {
        log << QString("form-key:%1").arg(key);
        if (key == Qt::Key_Return && sbtConfirma->isEnabled())
            sbtConfirma->click();
        if (key == Qt::Key_Z)
            key = 0;
    }
    void FormActivate(QObject*) override { log << "activate"; }
    void sbtConfirmaClick(QObject*) { log << "confirm"; }

    QLineEdit* edt;
    QStringList log;
    bool closeOnCreate = false;
    TCloseAction closeAction = caFree;
};

} // namespace

class tst_RotiGeral : public QObject {
    Q_OBJECT

private slots:
    void baseMembers();
    void keyPreview();
    void closeActions_data();
    void closeActions();
    void closingWhileBeingCreated();
    void activationRunsFormActivate();
    void mdiChild();
    void showModalReturnsWhenClosed();

private:
    kittest::RecordingHost m_host;
};

void tst_RotiGeral::baseMembers()
{
    Screen s;
    for (const char* name :
         {"lblCodTela", "grbDadosRel", "panMenu", "panHelp", "panBotoes", "sbtConfirma", "msgPadrao"})
        QVERIFY2(s.findChild<QObject*>(name), name);
    QVERIFY(!s.sbtConfirma->isEnabled());
    QVERIFY(s.panMenu->isAncestorOf(s.sbtConfirma));
}

void tst_RotiGeral::keyPreview()
{
    Screen s;
    s.show();
    s.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&s));
    s.edt->setFocus();
    s.log.clear();
    QTest::keyClicks(s.edt, "az");
    QCOMPARE(s.edt->text(), QString("a")); // the screen saw both keys first and swallowed z
    QCOMPARE(s.log,
             (QStringList{QString("form-key:%1").arg(int(Qt::Key_A)), QString("form-key:%1").arg(int(Qt::Key_Z))}));

    s.log.clear();
    QTest::keyClick(s.edt, Qt::Key_Return); // confirm disabled: nothing
    s.sbtConfirma->setEnabled(true);
    QTest::keyClick(s.edt, Qt::Key_Return);
    QCOMPARE(s.log.filter("confirm").size(), 1);
    QCOMPARE(s.log.filter("form-key").size(), 2); // once per key, not once per parent it passes
}

void tst_RotiGeral::closeActions_data()
{
    QTest::addColumn<int>("action");
    QTest::addColumn<bool>("visible");
    QTest::addColumn<bool>("deleted");
    QTest::newRow("caFree") << int(caFree) << false << true;
    QTest::newRow("caHide") << int(caHide) << false << false;
    QTest::newRow("caNone") << int(caNone) << true << false;
}

void tst_RotiGeral::closeActions()
{
    QFETCH(int, action);
    QFETCH(bool, visible);
    QFETCH(bool, deleted);
    QPointer<Screen> s = new Screen;
    s->closeAction = TCloseAction(action);
    s->show();
    s->close();
    QCOMPARE(s->isVisible(), visible);
    QCOMPARE(s->log, QStringList{"close"});
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(s.isNull(), deleted);
    delete s;
}

void tst_RotiGeral::closingWhileBeingCreated()
{
    // As a screen refused in a branch installation does: CreateForm must not see it vanish.
    Screen* ref = nullptr;
    QPointer<Screen> guard;
    {
        ref = new Screen;
        guard = ref;
        ref->closeOnCreate = true;
        m_host.addScreen(ref);
        ref->runCreate();
        QVERIFY(!guard.isNull());
        QCOMPARE(ref->log, (QStringList{"create", "close"}));
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(guard.isNull());
}

void tst_RotiGeral::activationRunsFormActivate()
{
    Screen s;
    s.show();
    s.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&s));
    QCOMPARE(s.log.count("activate"), 1);
    QWidget other;
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    QCOMPARE(s.log.count("activate"), 1);
    s.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&s));
    QCOMPARE(s.log.count("activate"), 2);
}

void tst_RotiGeral::mdiChild()
{
    QMdiArea area;
    area.resize(800, 600);
    auto* first = new Screen;
    auto* second = new Screen;
    QMdiSubWindow* sub1 = area.addSubWindow(first);
    area.addSubWindow(second);
    area.show();
    area.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&area));
    first->show();
    second->show();
    area.setActiveSubWindow(sub1);
    QTRY_VERIFY(sub1->windowState() & Qt::WindowActive);
    const qsizetype firstBefore = first->log.count("activate");
    const qsizetype secondBefore = second->log.count("activate");
    area.setActiveSubWindow(area.subWindowList().at(1));
    QTRY_COMPARE(second->log.count("activate"), secondBefore + 1);
    area.setActiveSubWindow(sub1);
    QTRY_COMPARE(first->log.count("activate"), firstBefore + 1);
    QCOMPARE(second->log.count("activate"), secondBefore + 1);

    sub1->showMinimized();
    first->ShowNormal();
    QVERIFY(!(sub1->windowState() & Qt::WindowMinimized));

    // caFree closes the sub-window with the screen.
    QPointer<QMdiSubWindow> guard(sub1);
    first->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(guard.isNull());
    QCOMPARE(area.subWindowList().size(), 1);
}

void tst_RotiGeral::showModalReturnsWhenClosed()
{
    QPointer<Screen> s = new Screen;
    s->closeAction = caHide;
    bool wasModal = false;
    QTimer::singleShot(0, s, [&] {
        wasModal = QApplication::activeModalWidget() == s.data() || s->isModal();
        s->close();
    });
    s->ShowModal();
    QVERIFY(wasModal);
    QVERIFY(!s->isVisible());
    QVERIFY(!s->isModal());
    delete s;
}

QTEST_MAIN(tst_RotiGeral)
#include "tst_rotigeral.moc"
