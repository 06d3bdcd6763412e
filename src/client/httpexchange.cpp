// Synchronous HTTP over QNetworkAccessManager with a connect and an answer time-out.
#include "httpexchange.h"

#include "certificaterefusal.h"
#include "errors.h"
#include "mrvlogging.h"
#include "oneshotbody.h"
#include "servertrust.h"

#include <QEventLoop>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <memory>

namespace mrv::Internal {

QUrl serverUrl(const QString& host, int port, const QString& path)
{
    if (host.trimmed().isEmpty())
        throw Exception(QStringLiteral("Endereço do servidor de aplicação não informado."));
    QUrl url;
    if (host.contains(QLatin1String("://"))) {
        url = QUrl(host.trimmed());
        if (url.port() < 0)
            url.setPort(port);
    } else {
        url.setScheme(QStringLiteral("http"));
        url.setHost(host.trimmed());
        url.setPort(port);
    }
    QString base = url.path();
    if (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    url.setPath(base + path);
    return url;
}

namespace {

QString where(const QUrl& url)
{
    return QStringLiteral("%1:%2").arg(url.host()).arg(url.port());
}

QString seconds(int ms)
{
    return ms % 1000 == 0 ? QString::number(ms / 1000) : QString::number(ms / 1000.0, 'f', 1);
}

ServerError transportError(const QNetworkReply& reply, const QUrl& url)
{
    switch (reply.error()) {
    case QNetworkReply::ConnectionRefusedError:
        return ServerError(0,
                           QStringLiteral("Não foi possível conectar ao servidor de aplicação em %1: conexão recusada. "
                                          "Verifique se o servidor está em execução.")
                               .arg(where(url)));
    case QNetworkReply::HostNotFoundError:
        return ServerError(0, QStringLiteral("Servidor de aplicação \"%1\" não encontrado na rede.").arg(url.host()));
    case QNetworkReply::SslHandshakeFailedError:
        return ServerError(0, QStringLiteral("Falha na conexão segura com o servidor de aplicação em %1: %2")
                                  .arg(where(url), reply.errorString()));
    default:
        return ServerError(0, QStringLiteral("Falha de comunicação com o servidor de aplicação em %1: %2")
                                  .arg(where(url), reply.errorString()));
    }
}

} // namespace

HttpAnswer postJson(QNetworkAccessManager& manager, const QUrl& url, const QJsonObject& body, const QString& token,
                    const HttpLimits& limits)
{
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    if (!token.isEmpty())
        request.setRawHeader("Authorization", "Bearer " + token.toUtf8());
    // Time-outs are ours (two phases); Qt's own transfer time-out stays off.
    request.setTransferTimeout(0);
    if (url.scheme() == QLatin1String("https"))
        request.setSslConfiguration(serverSslConfiguration());

    const QByteArray payload = QJsonDocument(body).toJson(QJsonDocument::Compact);
    OneShotBody oneShot(payload);
    std::unique_ptr<QNetworkReply> reply;
    if (limits.resendable) {
        reply.reset(manager.post(request, payload));
    } else {
        request.setHeader(QNetworkRequest::ContentLengthHeader, payload.size());
        request.setAttribute(QNetworkRequest::DoNotBufferUploadDataAttribute, true);
        reply.reset(manager.post(request, &oneShot));
    }

    enum class Phase { Connecting, Waiting } phase = Phase::Connecting;
    bool timedOut = false;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        timedOut = true;
        reply->abort();
    });
    auto onTheWire = [&] {
        if (phase == Phase::Connecting) {
            phase = Phase::Waiting;
            timer.start(limits.answerTimeoutMs);
        }
    };
    QObject::connect(reply.get(), &QNetworkReply::requestSent, &loop, onTheWire);
    QObject::connect(reply.get(), &QNetworkReply::uploadProgress, &loop, [&](qint64 sent, qint64) {
        if (sent > 0)
            onTheWire();
    });
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    // Kept to say why; never ignored, so the reply then fails the handshake.
    QList<QSslError> certificateErrors;
    QObject::connect(reply.get(), &QNetworkReply::sslErrors, &loop,
                     [&](const QList<QSslError>& errors) { certificateErrors = errors; });
    timer.start(limits.connectTimeoutMs);
    if (!reply->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    timer.stop();

    if (timedOut) {
        if (phase == Phase::Connecting)
            throw ServerError(0,
                              QStringLiteral("O servidor de aplicação em %1 não atendeu o pedido de conexão em %2 s.")
                                  .arg(where(url), seconds(limits.connectTimeoutMs)));
        throw ServerError(
            0, QStringLiteral("Tempo de espera esgotado: o servidor de aplicação em %1 não respondeu em %2 s.")
                   .arg(where(url), seconds(limits.answerTimeoutMs)));
    }

    HttpAnswer answer;
    answer.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (answer.status == 0) {
        if (!certificateErrors.isEmpty()) {
            qCWarning(lcMrv) << "certificate of" << url.host() << "refused:" << certificateErrors;
            throw CertificateRefused(
                certificateRefusal(certificateErrors, url.host(), request.sslConfiguration().caCertificates()));
        }
        if (reply->error() == QNetworkReply::RemoteHostClosedError ||
            reply->error() == QNetworkReply::ContentReSendError)
            throw ServerGone(
                QStringLiteral("O servidor de aplicação em %1 encerrou a conexão antes de responder.").arg(where(url)));
        throw transportError(*reply, url);
    }

    const QByteArray raw = reply->readAll();
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(raw, &parseError);
    if (document.isObject()) {
        answer.body = document.object();
    } else if (answer.status == 200) {
        qCWarning(lcMrv) << "answer of" << url.path() << "is not a JSON object:" << parseError.errorString();
        throw ServerError(answer.status,
                          QStringLiteral("Resposta inválida do servidor de aplicação em %1.").arg(where(url)));
    }
    return answer;
}

QString serverMessage(const HttpAnswer& answer)
{
    const QJsonValue error = answer.body.value(QLatin1String("error"));
    if (error.isObject())
        return error.toObject().value(QLatin1String("message")).toString();
    return error.toString();
}

} // namespace mrv::Internal
