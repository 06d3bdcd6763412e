// The HTTP front end: cpp-httplib's thread pool serving the routes of ApiHandler.
#pragma once

#include "guardedserver.h"
#include "loginthrottle.h"
#include "threadconnection.h"

#include <QString>
#include <memory>

namespace suite::server {

struct ServerOptions {
    QString databaseUrl;
    QString keyFile; // the token signing key; empty: beside a SQLite database (none for PostgreSQL)
    QString host = QStringLiteral("127.0.0.1");
    int port = 8211;                             // 0 picks a free port
    std::size_t bodyLimit = 32u * 1024u * 1024u; // a 100,000-dish list is about 1 MiB
    int threads = 8;                             // calls using the database at once, each on its own connection
    ConnectionLimits connections;
    LoginLimits loginsPerOperator;
    LoginLimits loginsPerAddress{20};
    std::chrono::milliseconds statementTimeout = ThreadConnection::kDefaultStatementTimeout; // of look-ups, log-ins
};

class HttpServer {
public:
    explicit HttpServer(ServerOptions options); // reads the signing key; throws when it cannot
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    int bind();   // binds the listening socket, returns the port; throws when it cannot
    void serve(); // answers requests until stop()
    void stop();  // safe from any thread
    bool isRunning() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace suite::server
