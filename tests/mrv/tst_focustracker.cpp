// Enter/exit events across nested containers, and what an aborted handler does.
#include "kittesthost.h"

#include "binding.h"
#include "btnpesquisa.h"
#include "buttonflat.h"
#include "errors.h"
#include "focustracker.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QVBoxLayout>
#include <QtTest>

using namespace mrv;

namespace {

// grpA { panA1 { edA1 }, edA2 }, grpB { edB1 }
class Screen : public QWidget, public EventBinding {
public:
    Screen()
        : EventBinding(this)
    {
        auto* layout = new QVBoxLayout(this);
        grpA = add<QGroupBox>(this, layout, "grpA");
        auto* la = new QVBoxLayout(grpA);
        panA1 = add<QWidget>(grpA, la, "panA1");
        auto* lp = new QVBoxLayout(panA1);
        edA1 = add<QLineEdit>(panA1, lp, "edA1");
        edA2 = add<QLineEdit>(grpA, la, "edA2");
        grpB = add<QGroupBox>(this, layout, "grpB");
        auto* lb = new QVBoxLayout(grpB);
        edB1 = add<QLineEdit>(grpB, lb, "edB1");
        flat = add<TButtonFlat>(grpB, lb, "flat");
        search = add<TBtnPesquisa>(grpB, lb, "search");
        search->OnBeforePesq = [this](QObject*, bool& ok) {
            log << "search";
            ok = false;
        };
        connect(flat, &QAbstractButton::clicked, [this] { log << "flat"; });
        for (QWidget* w : {static_cast<QWidget*>(grpA), panA1, static_cast<QWidget*>(edA1), static_cast<QWidget*>(edA2),
                           static_cast<QWidget*>(grpB), static_cast<QWidget*>(edB1)}) {
            onEnter(w, &Screen::entered);
            onExit(w, &Screen::left);
        }
    }

    void entered(QObject* sender) { handle("enter:" + sender->objectName()); }
    void left(QObject* sender) { handle("exit:" + sender->objectName()); }

    void handle(const QString& event)
    {
        log << event;
        if (event != failAt)
            return;
        if (moveTo)
            moveTo->setFocus();
        if (failWithError)
            throw Exception("falhou em " + event);
        throw EAbort();
    }

    QWidget* byName(const QString& name) { return name == objectName() ? this : findChild<QWidget*>(name); }

    QGroupBox* grpA;
    QWidget* panA1;
    QLineEdit* edA1;
    QLineEdit* edA2;
    QGroupBox* grpB;
    QLineEdit* edB1;
    TButtonFlat* flat;
    TBtnPesquisa* search;
    QStringList log;
    QString failAt;
    bool failWithError = false;
    QWidget* moveTo = nullptr;

private:
    template<class W> W* add(QWidget* parent, QVBoxLayout* layout, const char* name)
    {
        auto* w = new W(parent);
        w->setObjectName(name);
        layout->addWidget(w);
        return w;
    }
};

} // namespace

class tst_FocusTracker : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        m_screen = std::make_unique<Screen>();
        m_screen->setObjectName("screen");
        m_screen->show();
        m_screen->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_screen.get()));
    }
    void cleanup() { m_screen.reset(); }

    void order_data();
    void order();
    void abortStopsTheMove_data();
    void abortStopsTheMove();
    void handlerThatMovesTheFocusKeepsIt();
    void otherWindowAndBackFiresNothing();
    void comingBackToAnotherControlIsAMove();
    void quietMoveRunsNoHandler();
    void clickInASubWindow_data();
    void clickInASubWindow();

private:
    void focus(const QString& name)
    {
        QWidget* w = m_screen->byName(name);
        w->setFocus(Qt::MouseFocusReason); // as a user's click gives it
        QTRY_COMPARE(QApplication::focusWidget(), w);
    }

    kittest::RecordingHost m_host;
    std::unique_ptr<Screen> m_screen;
};

void tst_FocusTracker::order_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("out of two levels into another group")
        << "edA1"
        << "edB1" << QStringList{"exit:edA1", "exit:panA1", "exit:grpA", "enter:grpB", "enter:edB1"};
    QTest::newRow("into two levels from another group")
        << "edB1"
        << "edA1" << QStringList{"exit:edB1", "exit:grpB", "enter:grpA", "enter:panA1", "enter:edA1"};
    QTest::newRow("sibling inside the same group") << "edA1"
                                                   << "edA2" << QStringList{"exit:edA1", "exit:panA1", "enter:edA2"};
    QTest::newRow("down into a panel of the same group")
        << "edA2"
        << "edA1" << QStringList{"exit:edA2", "enter:panA1", "enter:edA1"};
}

void tst_FocusTracker::order()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QStringList, expected);
    focus(from);
    m_screen->log.clear();
    focus(to);
    QCOMPARE(m_screen->log, expected);
}

void tst_FocusTracker::abortStopsTheMove_data()
{
    QTest::addColumn<QString>("failAt");
    QTest::addColumn<bool>("withError");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("EAbort in the field's exit") << "exit:edA1" << false << QStringList{"exit:edA1"};
    QTest::newRow("EAbort in a container's exit") << "exit:panA1" << false << QStringList{"exit:edA1", "exit:panA1"};
    QTest::newRow("EAbort in the outer container's enter")
        << "enter:grpB" << false << QStringList{"exit:edA1", "exit:panA1", "exit:grpA", "enter:grpB"};
    QTest::newRow("error in the group's exit")
        << "exit:grpA" << true << QStringList{"exit:edA1", "exit:panA1", "exit:grpA"};
}

void tst_FocusTracker::abortStopsTheMove()
{
    QFETCH(QString, failAt);
    QFETCH(bool, withError);
    QFETCH(QStringList, expected);
    focus("edA1");
    m_screen->log.clear();
    m_screen->failAt = failAt;
    m_screen->failWithError = withError;

    m_screen->edB1->setFocus();

    QCOMPARE(m_screen->log, expected);
    QCOMPARE(QApplication::focusWidget(), m_screen->edA1); // given back to the control being left
    QCOMPARE(m_host.errors.size(), withError ? 1 : 0);
    // The return of the focus was not a move: leaving again starts from edA1.
    m_screen->failAt.clear();
    m_screen->log.clear();
    focus("edA2");
    QCOMPARE(m_screen->log, (QStringList{"exit:edA1", "exit:panA1", "enter:edA2"}));
}

void tst_FocusTracker::handlerThatMovesTheFocusKeepsIt()
{
    focus("edA1");
    m_screen->log.clear();
    m_screen->failAt = "exit:grpA";
    m_screen->moveTo = m_screen->edA2; // a check that puts the focus on the offending control

    m_screen->edB1->setFocus();

    QCOMPARE(m_screen->log, (QStringList{"exit:edA1", "exit:panA1", "exit:grpA"}));
    QCOMPARE(QApplication::focusWidget(), m_screen->edA2);
    // What the refused move set off (an MDI sub-window restoring the control it last had,
    // the move asked again) changes nothing and runs no check a second time.
    m_screen->edA1->setFocus();
    m_screen->edB1->setFocus();
    QCOMPARE(QApplication::focusWidget(), m_screen->edA2);
    QCOMPARE(m_screen->log, (QStringList{"exit:edA1", "exit:panA1", "exit:grpA"}));
    m_screen->failAt.clear();
    m_screen->log.clear();
    focus("edB1");
    QCOMPARE(m_screen->log, (QStringList{"exit:edA2", "exit:grpA", "enter:grpB", "enter:edB1"}));
}

void tst_FocusTracker::otherWindowAndBackFiresNothing()
{
    focus("edA1");
    m_screen->log.clear();
    QLineEdit other;
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    other.setFocus();
    m_screen->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_screen.get()));
    QTRY_COMPARE(QApplication::focusWidget(), m_screen->edA1);
    QVERIFY2(m_screen->log.isEmpty(), qPrintable(m_screen->log.join(", ")));
}

void tst_FocusTracker::comingBackToAnotherControlIsAMove()
{
    focus("edA1");
    m_screen->log.clear();
    QLineEdit other;
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    m_screen->edB1->setFocus(); // while the screen is not active: takes effect on return
    QVERIFY(m_screen->log.isEmpty());
    m_screen->activateWindow();
    QTRY_COMPARE(QApplication::focusWidget(), m_screen->edB1);
    QCOMPARE(m_screen->log, (QStringList{"exit:edA1", "exit:panA1", "exit:grpA", "enter:grpB", "enter:edB1"}));
}

void tst_FocusTracker::quietMoveRunsNoHandler()
{
    focus("edA1");
    m_screen->log.clear();
    m_screen->failAt = "exit:grpA"; // would refuse, were the move a user's
    FocusTracker::instance().moveQuietly(m_screen->edB1);
    QCOMPARE(QApplication::focusWidget(), m_screen->edB1);
    QVERIFY2(m_screen->log.isEmpty(), qPrintable(m_screen->log.join(", ")));
    // The next move starts where the quiet one left the focus.
    m_screen->failAt.clear();
    focus("edA2");
    QCOMPARE(m_screen->log, (QStringList{"exit:edB1", "exit:grpB", "enter:grpA", "enter:edA2"}));
}

void tst_FocusTracker::clickInASubWindow_data()
{
    QTest::addColumn<QString>("clicked");
    QTest::addColumn<QString>("failAt");
    QTest::addColumn<QString>("focusAfter");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<bool>("focusMoves");
    // The sub-window takes the focus on a click, so Qt would hand it a click on a button
    // that takes none: the edit would lose the focus and the user's area be left.
    QTest::newRow("flat button") << "flat" << "exit:grpA" << "edA1" << QStringList{"flat"} << false;
    QTest::newRow("search button") << "search" << "exit:grpA" << "edA1" << QStringList{"search"} << false;
    QTest::newRow("an edit is a move")
        << "edB1" << QString() << "edB1"
        << QStringList{"exit:edA1", "exit:panA1", "exit:grpA", "enter:grpB", "enter:edB1"} << true;
    QTest::newRow("refused once, focus where the check put it")
        << "edB1" << "exit:grpA" << "edA2" << QStringList{"exit:edA1", "exit:panA1", "exit:grpA"} << true;
}

void tst_FocusTracker::clickInASubWindow()
{
    QFETCH(QString, clicked);
    QFETCH(QString, failAt);
    QFETCH(QString, focusAfter);
    QFETCH(QStringList, expected);
    QFETCH(bool, focusMoves);
    m_screen.reset();
    QMdiArea area;
    area.resize(500, 400);
    auto* screen = new Screen;
    screen->setObjectName("screen");
    QMdiSubWindow* sub = area.addSubWindow(screen);
    QCOMPARE(sub->focusPolicy() & Qt::ClickFocus, Qt::ClickFocus);
    area.show();
    area.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&area));
    sub->show();
    area.setActiveSubWindow(sub);
    screen->edA1->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), screen->edA1);
    screen->log.clear();
    screen->failAt = failAt;
    screen->moveTo = screen->edA2;

    const qsizetype errors = m_host.errors.size();
    QSignalSpy moves(qApp, &QApplication::focusChanged);
    QWidget* target = screen->byName(clicked);
    // Through the window system's queue, as a real click comes: Qt's click-focus walk
    // applies to these only.
    QTest::mouseClick(area.windowHandle(), Qt::LeftButton, {}, target->mapTo(&area, target->rect().center()));

    QCOMPARE(screen->log, expected);
    QCOMPARE(QApplication::focusWidget(), screen->byName(focusAfter));
    QCOMPARE(!moves.isEmpty(), focusMoves);
    QCOMPARE(m_host.errors.size(), errors);
}

QTEST_MAIN(tst_FocusTracker)
#include "tst_focustracker.moc"
