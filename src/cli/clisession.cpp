// The command line's session.
#include "clisession.h"
#include "privatefile.h"

#include <errors.h>
#include <logincontext.h>
#include <netconnection.h>
#include <protocol.h>
#include <serveraddress.h>
#include <servertrust.h>

#include <QFile>
#include <QFileInfo>
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

// The server as the kit parses it: "host:port" or "https://host:port".
mrv::ServerAddress parseServer(const QString& server)
{
    const std::optional<mrv::ServerAddress> address = mrv::ServerAddress::parse(server);
    if (!address)
        throw mrv::Exception(
            QStringLiteral("Servidor inválido: \"%1\" (use HOST:PORTA ou https://HOST:PORTA).").arg(server));
    return *address;
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

void CliSession::login(const QString& server, const QString& user, const QString& password, const QString& caFile)
{
    const mrv::ServerAddress address = parseServer(server);
    // Kept absolute: the later commands may run from another folder.
    m_caFile = caFile.isEmpty() ? QString() : QFileInfo(caFile).absoluteFilePath();
    mrv::setServerCaFile(m_caFile);
    const mrv::LoginResult result = mrv::TNetConnection::login(address.host, address.port, user, password);
    m_server = address.text();
    m_token = result.token;
    m_operator = result.operador;

    // Only its owner may read a file that stands for a login.
    QJsonObject saved{{QStringLiteral("server"), m_server},
                      {QStringLiteral("token"), m_token},
                      {QStringLiteral("operator"), m_operator}};
    if (!m_caFile.isEmpty())
        saved.insert(QStringLiteral("cafile"), m_caFile);
    writePrivateFile(m_file, QJsonDocument(saved).toJson());
}

void CliSession::load(const QString& serverOverride, const QString& caFileOverride)
{
    QFile in(m_file);
    const QJsonObject saved =
        in.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(in.readAll()).object() : QJsonObject();
    m_token = saved.value(QStringLiteral("token")).toString();
    m_operator = saved.value(QStringLiteral("operator")).toString();
    m_server = serverOverride.isEmpty() ? saved.value(QStringLiteral("server")).toString() : serverOverride;
    m_caFile = caFileOverride.isEmpty() ? saved.value(QStringLiteral("cafile")).toString() : caFileOverride;
    if (m_token.isEmpty())
        throw mrv::ServerError(401, QStringLiteral("Nenhuma sessão aberta: use \"suite-cli login\" primeiro."));
    mrv::setServerCaFile(m_caFile);
    applyLogin();
}

void CliSession::applyLogin() const
{
    const mrv::ServerAddress address = parseServer(m_server);
    mrv::LoginContext context;
    context.operador = m_operator;
    context.token = m_token;
    context.webUrl = address.host;
    context.webPort = address.port;
    mrv::setLoginContext(context);
}

mrv::TNetConnection* CliSession::net()
{
    if (!m_connection)
        m_connection = newConnection(mrv::WebURL(), mrv::WebPort());
    return m_connection;
}

} // namespace suite::cli
