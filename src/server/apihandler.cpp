#include "apihandler.h"
#include "apirequest.h"
#include "authservice.h"
#include "intgcentralservice.h"
#include "servererrors.h"
#include "serverlog.h"

#include <QElapsedTimer>
#include <QRandomGenerator>

#include <malloc.h>

namespace suite::server {

namespace {

// Short enough to read out over the phone, random enough that two failures of a day do not share one.
QString newIncidentId()
{
    return QStringLiteral("%1").arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
}

// Every route that names a server resolves it here: /connect once per connection, and /call every time, since a
// call carries the name and the server keeps no session to remember it by.
QString servedServer(const QString& name)
{
    const std::optional<QString> server = IntgCentralService::canonicalServer(name);
    if (!server)
        throw RequestError(404, QStringLiteral("unknown server %1").arg(name.left(60)));
    return *server;
}

} // namespace

ApiHandler::ApiHandler(QString databaseUrl, TokenSigner signer, std::chrono::seconds tokenLifetime)
    : m_connection(std::move(databaseUrl))
    , m_signer(std::move(signer))
    , m_tokenLifetime(tokenLifetime)
{}

ApiReply ApiHandler::error(int status, const QString& message)
{
    return {status, QJsonObject{{"error", QJsonObject{{"message", message}}}}};
}

ApiReply ApiHandler::internalError(const QString& route, const QString& detail)
{
    const QString id = newIncidentId();
    // One line, so that the id finds the whole story in the log.
    qCCritical(lcServer).noquote() << route << "500 internal error" << id << detail.simplified();
    return {500,
            QJsonObject{{"error", QJsonObject{{"message", QStringLiteral("internal error of the application server;"
                                                                         " its log has the details under id %1")
                                                              .arg(id)},
                                              {"id", id}}}}};
}

ApiReply ApiHandler::health()
{
    return {200, QJsonObject{{"status", "ok"}}};
}

QString ApiHandler::authorizedOperator(const QString& authorization) const
{
    const QString token = bearerToken(authorization);
    const std::optional<QString> op =
        token.isEmpty() ? std::nullopt : m_signer.verify(token, QDateTime::currentDateTimeUtc());
    if (!op)
        throw RequestError(401, QStringLiteral("missing, invalid or expired token"));
    return *op;
}

ApiReply ApiHandler::failed(const QString& route, const std::exception& e) const
{
    m_connection.discard();
    return internalError(route, QString::fromUtf8(e.what()));
}

ApiReply ApiHandler::login(const QByteArray& body) const
{
    try {
        const LoginRequest request = LoginRequest::parse(body);
        const auto op = AuthService::authenticate(m_connection.database(), request.user, request.password);
        if (!op) {
            qCInfo(lcServer).noquote() << "login" << request.user.left(40) << "refused";
            return error(401, QStringLiteral("Operador ou senha inválidos."));
        }
        const QDateTime expires = QDateTime::currentDateTimeUtc().addSecs(m_tokenLifetime.count());
        return {200,
                QJsonObject{{"token", m_signer.issue(op->code, expires)}, {"operator", op->code}, {"name", op->name}}};
    } catch (const RequestError& e) {
        return error(e.status(), e.message());
    } catch (const std::exception& e) {
        return failed(QStringLiteral("login"), e);
    }
}

ApiReply ApiHandler::connect(const QString& authorization, const QByteArray& body) const
{
    try {
        authorizedOperator(authorization);
        return {200, QJsonObject{{"server", servedServer(ConnectRequest::parse(body).server)}}};
    } catch (const RequestError& e) {
        return error(e.status(), e.message());
    }
}

ApiReply ApiHandler::call(const QString& authorization, const QByteArray& body) const
{
    QElapsedTimer timer;
    timer.start();
    QString method = QStringLiteral("-");
    QString op = QStringLiteral("-");
    const auto logged = [&](const QString& outcome) {
        qCInfo(lcServer).noquote() << "call" << method << "operator" << op << timer.elapsed() << "ms" << outcome;
    };
    try {
        op = authorizedOperator(authorization);
        const CallRequest request = CallRequest::parse(body);
        method = request.method.left(60);
        servedServer(request.server);
        ApiReply reply{200, {}};
        {
            IntgCentralService service(m_connection.database(), op);
            const ServiceAnswer answer = service.answer(request.method, request.args);
            reply.body.insert(QStringLiteral("result"), answer.result.toJson());
            if (answer.total)
                reply.body.insert(QStringLiteral("total"), *answer.total);
        }
        if (method.compare(QLatin1String("IntgCentral"), Qt::CaseInsensitive) == 0) {
            // A run's memory goes back to the system, not to this worker's next call: the connection holds its
            // work tables' pages (SQLite keeps them in memory, and keeps them after the tables are dropped) and
            // its page cache, and the C library keeps freed heap in each worker thread's arena. The next call
            // opens a connection afresh, which costs it a few milliseconds.
            m_connection.discard();
            malloc_trim(0);
        }
        logged(QStringLiteral("ok"));
        return reply;
    } catch (const RequestError& e) {
        logged(QStringLiteral("%1 %2").arg(e.status()).arg(e.message()));
        return error(e.status(), e.message());
    } catch (const ServiceError& e) {
        logged(QStringLiteral("service error: %1").arg(e.message()));
        return error(200, e.message());
    } catch (const std::exception& e) {
        // A database that cannot be opened, a driver failure: the user did nothing wrong.
        return failed(QStringLiteral("call %1 operator %2 %3 ms").arg(method, op).arg(timer.elapsed()), e);
    }
}

} // namespace suite::server
