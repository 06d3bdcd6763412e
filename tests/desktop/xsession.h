// A virtual display of a test's own: Xvfb on a free display number and openbox managing its windows, both ended
// (and waited for) by the destructor, and by the system if the test itself dies.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

namespace suite::desktop {

class XSession {
public:
    // The programs a desktop test needs that this machine lacks (the scripts install them all).
    static QStringList missingTools();

    XSession() = default;
    ~XSession();
    XSession(const XSession&) = delete;
    XSession& operator=(const XSession&) = delete;

    // Starts the display and the window manager; empty on success, else why not.
    QString start();
    // ":N", for DISPLAY.
    QString display() const { return m_display; }
    // The environment for a program shown on this display (no offscreen platform).
    QProcessEnvironment environment() const;
    // The whole screen as a PNG; false when it could not be taken.
    bool screenshot(const QString& path) const;

private:
    void stop(QProcess& process);

    QProcess m_xvfb;
    QProcess m_windowManager;
    QString m_display;
};

} // namespace suite::desktop
