// The command line's session.
#include "clisession.h"
#include "privatefile.h"

#include <errors.h>
#include <helpers.h>
#include <logincontext.h>
#include <netconnection.h>

#include <QFile>
#include <QJsonDocument>
#include <QStandardPaths>

namespace suite::cli {

namespace {

const QString kServerName = QStringLiteral("Rci06000.rdmIntgCentral");

mrv::TNetConnection* newConnection(const QString& host, int port)
{
    auto* connection = new mrv::TNetConnection;
    connection->ServerName = kServerName;
    connection->Host = host;
    connection->Port = port;
    return connection;
}

} // namespace

CliSession::CliSession(const QString& file)
    : m_file(file.isEmpty() ? defaultFile() : file)
{}

CliSession::~CliSession()
{
    delete m_connection;
}

QString CliSession::defaultFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/suite/cli-session.json");
}

bool CliSession::splitServer(const QString& server, QString& host, int& port)
{
    const qsizetype colon = server.lastIndexOf(QLatin1Char(':'));
    host = colon < 0 ? server : server.left(colon);
    bool ok = true;
    port = colon < 0 ? 8211 : server.mid(colon + 1).toInt(&ok);
    return ok && !host.isEmpty() && port > 0 && port < 65536;
}

void CliSession::login(const QString& server, const QString& user, const QString& password)
{
    QString host;
    int port = 0;
    if (!splitServer(server, host, port))
        throw mrv::Exception(QStringLiteral("Servidor inválido: \"%1\" (use HOST:PORTA).").arg(server));
    const mrv::LoginResult result = mrv::TNetConnection::login(host, port, user, password);
    m_server = QStringLiteral("%1:%2").arg(host).arg(port);
    m_token = result.token;
    m_operator = result.operador;

    // Only its owner may read a file that stands for a login.
    writePrivateFile(m_file, QJsonDocument(QJsonObject{{QStringLiteral("server"), m_server},
                                                       {QStringLiteral("token"), m_token},
                                                       {QStringLiteral("operator"), m_operator}})
                                 .toJson());
}

void CliSession::load(const QString& serverOverride)
{
    QFile in(m_file);
    const QJsonObject saved =
        in.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(in.readAll()).object() : QJsonObject();
    m_token = saved.value(QStringLiteral("token")).toString();
    m_operator = saved.value(QStringLiteral("operator")).toString();
    m_server = serverOverride.isEmpty() ? saved.value(QStringLiteral("server")).toString() : serverOverride;
    if (m_token.isEmpty())
        throw mrv::ServerError(401, QStringLiteral("Nenhuma sessão aberta: use \"suite-cli login\" primeiro."));
    applyLogin();
}

void CliSession::applyLogin() const
{
    QString host;
    int port = 0;
    splitServer(m_server, host, port);
    mrv::LoginContext context;
    context.operador = m_operator;
    context.token = m_token;
    context.webUrl = host;
    context.webPort = port;
    mrv::setLoginContext(context);
}

QJsonObject CliSession::call(const QString& method, const QVariantList& args)
{
    connection();
    return m_connection->call(method, args);
}

const mrv::TNetConnection& CliSession::connection()
{
    if (!m_connection)
        m_connection = newConnection(mrv::WebURL(), mrv::WebPort());
    return *m_connection;
}

} // namespace suite::cli
