#include "httpserver.h"
#include "apihandler.h"
#include "databaseworkers.h"
#include "signingkey.h"

#include <httplib.h>

#include <QDir>
#include <QJsonDocument>
#include <stdexcept>

#include <netinet/in.h>
#include <sys/socket.h>

namespace suite::server {

namespace {

QString keyPathOf(const ServerOptions& options)
{
    return options.keyFile.isEmpty() ? defaultKeyPath(options.databaseUrl) : options.keyFile;
}

void send(httplib::Response& res, const ApiReply& reply)
{
    res.status = reply.status;
    for (const auto& [name, value] : reply.headers)
        res.set_header(name.toStdString(), value.toStdString());
    res.set_content(QJsonDocument(reply.body).toJson(QJsonDocument::Compact).toStdString(), "application/json");
}

QByteArray bodyOf(const httplib::Request& req)
{
    return QByteArray::fromStdString(req.body);
}

QString authorizationOf(const httplib::Request& req)
{
    return QString::fromStdString(req.get_header_value("Authorization"));
}

// The library listens with a backlog of 5: when a head office's desktops connect at once, the rest of their
// handshakes overflow the accept queue and those clients see their first call fail. Listening again on the same
// socket is how the queue is made longer; the library keeps its socket to itself, so it is found by its port.
void lengthenAcceptQueue(int port)
{
    const QStringList descriptors = QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System);
    for (const QString& name : descriptors) {
        bool number = false;
        const int fd = name.toInt(&number);
        if (!number)
            continue;
        int listening = 0;
        socklen_t size = sizeof(listening);
        if (::getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &size) != 0 || !listening)
            continue;
        sockaddr_storage address{};
        socklen_t length = sizeof(address);
        if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            continue;
        const int own =
            address.ss_family == AF_INET
                ? ntohs(reinterpret_cast<const sockaddr_in*>(&address)->sin_port)
                : (address.ss_family == AF_INET6 ? ntohs(reinterpret_cast<const sockaddr_in6*>(&address)->sin6_port)
                                                 : -1);
        if (own == port)
            ::listen(fd, SOMAXCONN);
    }
}

} // namespace

struct HttpServer::Private {
    Private(ServerOptions o)
        : options(std::move(o))
        , api(options.databaseUrl, TokenSigner(readSigningKey(keyPathOf(options))), options.loginsPerOperator,
              options.loginsPerAddress, options.statementTimeout)
        , database(options.threads)
        , http(options.connections)
    {}
    ServerOptions options;
    ApiHandler api;
    // Connection threads wait on clients; these few do the database work, so the connections to the database stay
    // as many as they are, however many clients wait.
    DatabaseWorkers database;
    GuardedServer http;
};

HttpServer::HttpServer(ServerOptions options)
    : d(std::make_unique<Private>(std::move(options)))
{
    d->http.set_payload_max_length(d->options.bodyLimit);

    const ApiHandler& api = d->api;
    DatabaseWorkers& database = d->database;
    // A log-in body over its limit is refused from its headers, before a byte of it is read.
    d->http.set_pre_routing_handler([](const httplib::Request& req, httplib::Response& res) {
        if (req.path != "/login")
            return httplib::Server::HandlerResponse::Unhandled;
        const bool chunked = req.has_header("Transfer-Encoding");
        if (!chunked && req.get_header_value<uint64_t>("Content-Length") <= uint64_t(ApiHandler::kLoginBodyLimit))
            return httplib::Server::HandlerResponse::Unhandled;
        // The unread body must not be taken for the next request.
        res.set_header("Connection", "close");
        send(res,
             chunked
                 ? ApiHandler::error(411, QStringLiteral("a log-in body needs its Content-Length"))
                 : ApiHandler::error(
                       413, QStringLiteral("a log-in body holds at most %1 bytes").arg(ApiHandler::kLoginBodyLimit)));
        return httplib::Server::HandlerResponse::Handled;
    });
    d->http.Post("/login", [&api, &database](const httplib::Request& req, httplib::Response& res) {
        send(res, database.run([&] { return api.login(bodyOf(req), QString::fromStdString(req.remote_addr)); }));
    });
    d->http.Post("/connect", [&api, &database](const httplib::Request& req, httplib::Response& res) {
        send(res, database.run([&] { return api.connect(authorizationOf(req), bodyOf(req)); }));
    });
    d->http.Post("/call", [&api, &database](const httplib::Request& req, httplib::Response& res) {
        send(res, database.run([&] { return api.call(authorizationOf(req), bodyOf(req)); }));
    });
    d->http.Get("/health", [](const httplib::Request&, httplib::Response& res) { send(res, ApiHandler::health()); });
    d->http.Get("/ready", [&api, &database](const httplib::Request&, httplib::Response& res) {
        send(res, api.ready(database));
    });
    d->http.set_exception_handler([](const httplib::Request& req, httplib::Response& res, std::exception_ptr ep) {
        QString detail = QStringLiteral("unknown exception");
        try {
            std::rethrow_exception(ep);
        } catch (const std::exception& e) {
            detail = QString::fromUtf8(e.what());
        } catch (...) {
        }
        send(res, ApiHandler::internalError(QString::fromStdString(req.path), detail));
    });
    // httplib answers an oversized body itself; give it the protocol's error shape.
    d->http.set_error_handler([](const httplib::Request&, httplib::Response& res) {
        if (res.body.empty())
            send(res, ApiHandler::error(res.status, QStringLiteral("HTTP %1").arg(res.status)));
    });
}

HttpServer::~HttpServer()
{
    stop();
}

int HttpServer::bind()
{
    const std::string host = d->options.host.toStdString();
    const int port = d->options.port == 0 ? d->http.bind_to_any_port(host)
                                          : (d->http.bind_to_port(host, d->options.port) ? d->options.port : -1);
    if (port <= 0)
        throw std::runtime_error(
            QStringLiteral("cannot listen on %1:%2").arg(d->options.host).arg(d->options.port).toStdString());
    d->options.port = port;
    lengthenAcceptQueue(port);
    return port;
}

void HttpServer::serve()
{
    d->http.listen_after_bind();
}

void HttpServer::stop()
{
    d->http.stop();
}

bool HttpServer::isRunning() const
{
    return d->http.is_running();
}

} // namespace suite::server
