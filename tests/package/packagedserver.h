// A packaged suite-server started from the throw-away root, serving until it is stopped or destroyed (SIGTERM, as
// systemd stops it).
#pragma once

#include "serverprocess.h"

#include <QString>
#include <QStringList>

#include <string>

namespace suite::test {

class PackagedServer {
public:
    /// Runs `program` and waits for the loopback port it says it listens on; empty on success, else why not.
    QString start(const QString& program, const QStringList& arguments);
    /// Stops it and says how it ended: its exit code, -1 when it had to be killed.
    int stop();
    /// The HTTP status of GET `path` (0 without an answer), its body in `body`.
    int get(const char* path, std::string* body = nullptr) const;

    int port() const { return m_server.port(); }
    /// What it said on stderr.
    QString said() const { return QString::fromUtf8(m_server.said()); }

private:
    ServerProcess m_server;
};

} // namespace suite::test
