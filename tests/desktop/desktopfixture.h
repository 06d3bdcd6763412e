// Everything a desktop test starts: a display with a window manager, a loopback server on a fresh demo database,
// and the host logged in with the screens open, driven by real X input. Each part stops with the fixture.
//
//   DesktopFixture desk;
//   SUITE_DESKTOP_START(desk);                      // QSKIPs without Xvfb/openbox/xdotool
//   QVERIFY2(desk.click("sbtFilial"), qPrintable(desk.why()));
#pragma once

#include "hostdriver.h"
#include "serverprocess.h"
#include "xinput.h"
#include "xsession.h"

#include <memory>

namespace suite::desktop {

class DesktopFixture {
public:
    DesktopFixture() = default;
    ~DesktopFixture();

    // Display and server; empty on success.
    QString start();
    // A fresh host with these entries opened (the integration screen by default), its main window activated
    // through the window manager and every screen shown; empty on success.
    QString startHost(const QStringList& open = {QStringLiteral("rci06000")});
    void stopHost() { m_host.reset(); }

    HostDriver& host() { return *m_host; }
    XInput& input() { return *m_input; }
    test::ServerProcess& server() { return m_server; }
    XSession& display() { return m_display; }

    // Clicks the middle of a visible, enabled control (objectName, or "window/name"); false with why().
    bool click(const QString& target);
    // Clicks the button captioned `text` ("&" ignored) in the modal window, else the active one.
    bool clickButton(const QString& text);
    // Clicks a grid's visible row (0-based) or a header's section; double-clicks with `twice`.
    bool clickRow(const QString& grid, int row, bool twice = false);
    bool clickTitle(const QString& grid, int section);
    // Clicks an entry of the visible menu that holds it, by text or objectName.
    bool clickMenuEntry(const QString& entry);
    // Waits until the focus is on `target`, pressing `key` in between, at most `presses` times.
    bool keyUntilFocus(const QString& target, const QString& key, int presses);

    UiState state(int shownSince = 0) { return m_host->dump(shownSince); }
    // The dialogs shown so far (for "since").
    int shownSoFar() { return state().shownCount(); }
    QString why() const { return m_why; }

    // A screenshot of the display into the test's output directory; its path (empty if none).
    QString screenshot(const QString& tag);
    // Where screenshots and saved files go: the build's tests/desktop/output/<program>.
    static QString outputDir();

private:
    bool fail(const QString& why);

    XSession m_display;
    test::ServerProcess m_server;
    std::unique_ptr<HostDriver> m_host;
    std::unique_ptr<XInput> m_input;
    QString m_why;
};

} // namespace suite::desktop

// Starts `fixture`'s display and server, or skips the test when the desktop tools are missing.
#define SUITE_DESKTOP_START(fixture)                                                                                   \
    do {                                                                                                               \
        const QStringList suiteMissing_ = suite::desktop::XSession::missingTools();                                    \
        if (!suiteMissing_.isEmpty())                                                                                  \
            QSKIP(qPrintable(QStringLiteral("desktop tools missing (scripts/common.sh installs them): ") +             \
                             suiteMissing_.join(QStringLiteral(", "))));                                               \
        const QString suiteWhy_ = (fixture).start();                                                                   \
        QVERIFY2(suiteWhy_.isEmpty(), qPrintable(suiteWhy_));                                                          \
    } while (false)
