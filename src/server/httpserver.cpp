#include "httpserver.h"
#include "apihandler.h"
#include "authservice.h"
#include "databaseworkers.h"

#include <database.h>
#include <httplib.h>

#include <QJsonDocument>
#include <QSqlDatabase>
#include <stdexcept>

namespace suite::server {

static constexpr std::chrono::hours kTokenLifetime{12};

namespace {

QByteArray readSecret(const QString& url)
{
    const QString name = QStringLiteral("suite-server-setup");
    QByteArray secret;
    try {
        secret = AuthService::loadOrCreateSecret(openServerConnection(url, name));
    } catch (...) {
        db::closeDatabase(name);
        throw;
    }
    db::closeDatabase(name);
    return secret;
}

void send(httplib::Response& res, const ApiReply& reply)
{
    res.status = reply.status;
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

} // namespace

struct HttpServer::Private {
    Private(ServerOptions o)
        : options(std::move(o))
        , api(options.databaseUrl, TokenSigner(readSecret(options.databaseUrl)),
              std::chrono::duration_cast<std::chrono::seconds>(kTokenLifetime))
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
    d->http.Post("/login", [&api, &database](const httplib::Request& req, httplib::Response& res) {
        send(res, database.run([&] { return api.login(bodyOf(req)); }));
    });
    d->http.Post("/connect", [&api, &database](const httplib::Request& req, httplib::Response& res) {
        send(res, database.run([&] { return api.connect(authorizationOf(req), bodyOf(req)); }));
    });
    d->http.Post("/call", [&api, &database](const httplib::Request& req, httplib::Response& res) {
        send(res, database.run([&] { return api.call(authorizationOf(req), bodyOf(req)); }));
    });
    d->http.Get("/health", [](const httplib::Request&, httplib::Response& res) { send(res, ApiHandler::health()); });
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
