// Connection to a remote service: /connect on open, late-bound calls through /call.
#include "netconnection.h"

#include "errors.h"
#include "httpexchange.h"
#include "logincontext.h"
#include "mrvlogging.h"

#include <arguments.h>

#include <QCoreApplication>
#include <QJsonArray>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QPointer>
#include <QThread>

namespace mrv {

using Internal::HttpAnswer;

namespace {

// /connect answers at once; a slow answer means a stuck server, not a long job.
constexpr int connectAnswerTimeoutMs = 60 * 1000;

QNetworkAccessManager* newManager(QObject* parent)
{
    auto* manager = new QNetworkAccessManager(parent);
    // The application server sits on the LAN or loopback: never through a proxy.
    manager->setProxy(QNetworkProxy::NoProxy);
    return manager;
}

// Every connection object of the desktop (one per screen) and the log-in post through one manager, so their calls
// share one kept-alive connection to the server instead of each opening its own. Only for the application's thread,
// which owns it; another thread's connection keeps a manager of its own.
QPointer<QNetworkAccessManager>& sharedInstance()
{
    static QPointer<QNetworkAccessManager> shared;
    return shared;
}

QNetworkAccessManager* sharedManager()
{
    QPointer<QNetworkAccessManager>& shared = sharedInstance();
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread())
        return nullptr;
    if (!shared) {
        shared = newManager(app);
        // Gone while the application still is: a TLS connection closed later, among the application's children,
        // asks the TLS backend for an application that is no longer there.
        qAddPostRoutine([] { delete sharedInstance().data(); });
    }
    return shared;
}

[[noreturn]] void fail(int status, const QString& message)
{
    throw ServerError(status, message);
}

// HTTP statuses other than 200, said in the user's words; the server's own (technical)
// detail goes to the log for support.
[[noreturn]] void raiseStatus(const HttpAnswer& answer, const QString& notFound)
{
    const QString detail = Internal::serverMessage(answer);
    if (!detail.isEmpty())
        qCWarning(lcMrv).noquote() << "application server answered" << answer.status << detail;
    const int status = answer.status;
    switch (answer.status) {
    case 400:
        fail(status, QStringLiteral("O servidor de aplicação recusou o pedido: dados inválidos ou incompletos."));
    case 401:
        fail(status,
             QStringLiteral("Sessão expirada ou inválida no servidor de aplicação. Entre novamente no sistema."));
    case 404:
        fail(status, notFound);
    case 413:
        fail(status, QStringLiteral("Os dados enviados excedem o limite aceito pelo servidor de aplicação."));
    case 429:
        // The server says, in the user's words, how long to wait.
        fail(status, detail.isEmpty()
                         ? QStringLiteral("Muitas tentativas de entrada sem sucesso. Aguarde e tente novamente.")
                         : detail);
    case 503: // too many connections from this machine's address: nothing broke, it passes
        fail(status, QStringLiteral("O servidor de aplicação está ocupado atendendo outras conexões deste endereço. "
                                    "Tente novamente em instantes."));
    default:
        break;
    }
    if (answer.status >= 500) {
        // The id the server logged the failure under, for whoever reads its log.
        const QString id = answer.body.value(QLatin1String("error")).toObject().value(QLatin1String("id")).toString();
        fail(status,
             QStringLiteral("Erro interno no servidor de aplicação (HTTP %1%2). Consulte o registro do servidor.")
                 .arg(answer.status)
                 .arg(id.isEmpty() ? QString() : QStringLiteral(", ocorrência ") + id.left(16)));
    }
    fail(status, QStringLiteral("Resposta inesperada do servidor de aplicação (HTTP %1).").arg(answer.status));
}

} // namespace

TNetConnection::TNetConnection(QObject* parent)
    : QObject(parent)
{}

TNetConnection::~TNetConnection() = default;

QNetworkAccessManager* TNetConnection::manager()
{
    if (QNetworkAccessManager* shared = sharedManager())
        return shared;
    if (!m_manager)
        m_manager = newManager(this);
    return m_manager;
}

void TNetConnection::Open()
{
    if (m_connected)
        return;
    emit BeforeConnect(this);
    if (OnBeforeConnect)
        OnBeforeConnect(this);
    if (ServerName.trimmed().isEmpty())
        throw Exception(QStringLiteral("Nome do servidor remoto não informado em %1.").arg(objectName()));

    const HttpAnswer answer =
        Internal::postJson(*manager(), Internal::serverUrl(Host, Port, QStringLiteral("/connect")),
                           {{QStringLiteral("server"), ServerName}}, AuthToken(),
                           {ConnectTimeoutMs, std::min(CallTimeoutMs, connectAnswerTimeoutMs)});
    if (answer.status != 200)
        raiseStatus(answer,
                    QStringLiteral("Servidor remoto \"%1\" não encontrado no servidor de aplicação.").arg(ServerName));

    const QString canonical = answer.body.value(QLatin1String("server")).toString();
    m_canonicalServer = canonical.isEmpty() ? ServerName : canonical;
    m_connected = true;
    emit connectedChanged(true);
}

void TNetConnection::Close()
{
    // The server keeps no session per connection: closing is forgetting.
    if (!m_connected)
        return;
    m_connected = false;
    emit connectedChanged(false);
}

void TNetConnection::setConnected(bool connected)
{
    if (connected)
        Open();
    else
        Close();
}

QJsonObject TNetConnection::call(const QString& method, const QVariantList& args)
{
    if (!m_connected)
        Open();

    QJsonArray jsonArgs;
    for (const QVariant& arg : args)
        jsonArgs.append(suite::wire::argumentToJson(arg));
    const QJsonObject body{{QStringLiteral("server"), m_canonicalServer},
                           {QStringLiteral("method"), method},
                           {QStringLiteral("args"), jsonArgs}};

    const auto send = [&] {
        return Internal::postJson(*manager(), Internal::serverUrl(Host, Port, QStringLiteral("/call")), body,
                                  AuthToken(), {ConnectTimeoutMs, CallTimeoutMs, false});
    };
    // A look-up whose server went away before answering (the connection closed, or a balancer's 502) is asked once
    // more, which a balancer sends to a server that is up. A run is never repeated: it may have been done.
    const bool lookUp = method.startsWith(QLatin1String("Get")) || method.startsWith(QLatin1String("List"));
    HttpAnswer answer;
    try {
        answer = send();
    } catch (const ServerGone&) {
        if (!lookUp)
            throw;
        answer.status = 502;
    }
    if (answer.status == 502 && lookUp)
        answer = send();
    if (answer.status == 401)
        Close(); // the next call connects again with the current token
    if (answer.status != 200)
        raiseStatus(answer,
                    QStringLiteral("Método \"%1\" não encontrado no servidor remoto \"%2\".").arg(method, ServerName));

    if (ThrowException && answer.body.value(QLatin1String("error")).isObject()) {
        const QString message = Internal::serverMessage(answer);
        throw ServiceRefusal(message.isEmpty() ? QStringLiteral("O servidor remoto informou um erro sem mensagem.")
                                               : message);
    }
    return answer.body;
}

LoginResult TNetConnection::login(const QString& host, int port, const QString& user, const QString& password,
                                  int timeoutMs)
{
    QObject owner;
    QNetworkAccessManager* manager = sharedManager();
    if (!manager)
        manager = newManager(&owner);
    const HttpAnswer answer =
        Internal::postJson(*manager, Internal::serverUrl(host, port, QStringLiteral("/login")),
                           {{QStringLiteral("user"), user}, {QStringLiteral("password"), password}}, {},
                           {std::min(timeoutMs, 5000), timeoutMs});
    if (answer.status == 401)
        throw ServiceRefusal(QStringLiteral("Usuário ou senha inválidos."));
    if (answer.status != 200)
        raiseStatus(answer, QStringLiteral("O servidor em %1:%2 não oferece entrada no sistema.").arg(host).arg(port));

    LoginResult result;
    result.token = answer.body.value(QLatin1String("token")).toString();
    result.operador = answer.body.value(QLatin1String("operator")).toString();
    result.nome = answer.body.value(QLatin1String("name")).toString();
    if (result.token.isEmpty())
        throw Exception(QStringLiteral("Resposta de entrada no sistema sem sessão."));
    return result;
}

} // namespace mrv
