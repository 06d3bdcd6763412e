// The HTTP front end: an event loop of a few threads reading and writing every connection (plain on loopback, TLS
// elsewhere), handing the routes of ApiHandler to a few database workers.
#pragma once

#include "connectionlimits.h"
#include "loginthrottle.h"
#include "threadconnection.h"

#include <QString>
#include <QStringList>
#include <memory>

namespace suite::server {

struct ServerOptions {
    QString databaseUrl;
    QString keyFile; // the token signing key; empty: beside a SQLite database (none for PostgreSQL)
    QString host = QStringLiteral("127.0.0.1");
    int port = 8211;                             // 0 picks a free port
    QString tlsCertificate;                      // PEM chain; with tlsKey, the server speaks only HTTPS
    QString tlsKey;                              // PEM private key
    bool insecurePlainHttp = false;              // plain HTTP on an address other machines reach
    QStringList trustedProxies; // balancers' addresses (or ADDRESS/BITS): no per-address cap, X-Forwarded-For read
    std::size_t bodyLimit = 32u * 1024u * 1024u; // a 100,000-dish list is about 1 MiB
    int threads = 8;                             // calls using the database at once, each on its own connection
    ConnectionLimits connections;
    LoginLimits loginsPerOperator;
    LoginLimits loginsPerAddress{20};
    std::chrono::milliseconds statementTimeout = ThreadConnection::kDefaultStatementTimeout; // of look-ups, log-ins

    bool usesTls() const { return !tlsCertificate.isEmpty() || !tlsKey.isEmpty(); }
};

class HttpServer {
public:
    // Reads the signing key and the TLS files; throws when it cannot, or when plain HTTP would leave the machine.
    explicit HttpServer(ServerOptions options);
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

// Whether every address `host` names is this machine's loopback ("127.0.0.1", "::1", "localhost").
bool isLoopbackHost(const QString& host);

} // namespace suite::server
