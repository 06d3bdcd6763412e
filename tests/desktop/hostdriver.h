// The real suite-host on a test's display, logged in to a test's server, with its inspection socket: started by
// start(), killed (and waited for) by the destructor.
#pragma once

#include "uistate.h"

#include <QLocalSocket>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>

namespace suite::desktop {

struct HostSettings {
    QProcessEnvironment environment; // the display's
    int serverPort = 0;
    QString database;
    QString branch = QStringLiteral("0001");
    QStringList open{QStringLiteral("rci06000")};
};

class HostDriver {
public:
    HostDriver() = default;
    ~HostDriver();
    HostDriver(const HostDriver&) = delete;
    HostDriver& operator=(const HostDriver&) = delete;

    // Starts the host and waits until it answers on its socket; empty on success, else why not.
    QString start(const HostSettings& settings);
    // Still running (asks the system: with no event loop turning, QProcess learns of an end only when asked).
    bool running();
    // How the process ended, for a failure message ("running" while it runs).
    QString ending() const;
    // What the host wrote on stdout and stderr so far.
    QString output();
    // The folder the host runs in (its HOME): save dialogs start here.
    QString home() const { return m_home.path(); }

    // The event loop answers within `timeoutMs`.
    bool ping(int timeoutMs = 5000);
    // The windows now, with the dialogs shown after number `shownSince`; invalid when the host does not answer.
    UiState dump(int shownSince = 0, int timeoutMs = 5000);
    // Dumps until `done` holds; the last dump when it never did (check with the same predicate).
    UiState waitFor(const std::function<bool(const UiState&)>& done, int timeoutMs = 10000, int shownSince = 0);

    void kill();

private:
    QJsonObject request(const QByteArray& line, int timeoutMs);

    QTemporaryDir m_home;
    QProcess m_process;
    QLocalSocket m_socket;
    QString m_socketPath;
    QByteArray m_output;
};

} // namespace suite::desktop
