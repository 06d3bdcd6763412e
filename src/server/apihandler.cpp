#include "apihandler.h"
#include "apirequest.h"
#include "authservice.h"
#include "intgcentralservice.h"
#include "servererrors.h"
#include "serverlog.h"

#include <QElapsedTimer>

namespace suite::server {

ApiHandler::ApiHandler(QString databaseUrl, TokenSigner signer, std::chrono::seconds tokenLifetime)
    : m_connection(std::move(databaseUrl)), m_signer(std::move(signer)), m_tokenLifetime(tokenLifetime)
{
}

ApiReply ApiHandler::error(int status, const QString &message)
{
    return {status, QJsonObject{{"error", QJsonObject{{"message", message}}}}};
}

ApiReply ApiHandler::health()
{
    return {200, QJsonObject{{"status", "ok"}}};
}

QString ApiHandler::authorizedOperator(const QString &authorization) const
{
    const QString token = bearerToken(authorization);
    const std::optional<QString> op = token.isEmpty()
        ? std::nullopt
        : m_signer.verify(token, QDateTime::currentDateTimeUtc());
    if (!op)
        throw RequestError(401, QStringLiteral("missing, invalid or expired token"));
    return *op;
}

ApiReply ApiHandler::login(const QByteArray &body) const
{
    try {
        const LoginRequest request = LoginRequest::parse(body);
        const auto op = AuthService::authenticate(m_connection.database(), request.user, request.password);
        if (!op) {
            qCInfo(lcServer).noquote() << "login" << request.user.left(40) << "refused";
            return error(401, QStringLiteral("Operador ou senha inválidos."));
        }
        const QDateTime expires = QDateTime::currentDateTimeUtc().addSecs(m_tokenLifetime.count());
        return {200, QJsonObject{{"token", m_signer.issue(op->code, expires)}, {"operator", op->code}, {"name", op->name}}};
    } catch (const RequestError &e) {
        return error(e.status(), e.message());
    }
}

ApiReply ApiHandler::connect(const QString &authorization, const QByteArray &body) const
{
    try {
        authorizedOperator(authorization);
        const ConnectRequest request = ConnectRequest::parse(body);
        const std::optional<QString> server = IntgCentralService::canonicalServer(request.server);
        if (!server)
            return error(404, QStringLiteral("unknown server %1").arg(request.server.left(60)));
        return {200, QJsonObject{{"server", *server}}};
    } catch (const RequestError &e) {
        return error(e.status(), e.message());
    }
}

ApiReply ApiHandler::call(const QString &authorization, const QByteArray &body) const
{
    QElapsedTimer timer;
    timer.start();
    QString method = QStringLiteral("-");
    QString op = QStringLiteral("-");
    ApiReply reply;
    QString outcome;
    try {
        op = authorizedOperator(authorization);
        const CallRequest request = CallRequest::parse(body);
        method = request.method.left(60);
        if (!IntgCentralService::canonicalServer(request.server))
            throw RequestError(404, QStringLiteral("unknown server %1").arg(request.server.left(60)));
        IntgCentralService service(m_connection.database(), op);
        reply = {200, QJsonObject{{"result", service.call(request.method, request.args).toJson()}}};
        outcome = QStringLiteral("ok");
    } catch (const RequestError &e) {
        reply = error(e.status(), e.message());
        outcome = QStringLiteral("%1 %2").arg(e.status()).arg(e.message());
    } catch (const ServiceError &e) {
        reply = error(200, e.message());
        outcome = QStringLiteral("service error: %1").arg(e.message());
    } catch (const std::exception &e) {
        // A database that cannot be opened or a driver failure: the caller sees it, the log keeps it.
        reply = error(500, QString::fromUtf8(e.what()));
        outcome = QStringLiteral("500 %1").arg(QString::fromUtf8(e.what()));
    }
    qCInfo(lcServer).noquote() << "call" << method << "operator" << op << timer.elapsed() << "ms" << outcome;
    return reply;
}

} // namespace suite::server
