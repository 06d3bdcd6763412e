// Logs an operator in: application server, shared database, branch rights.
#include "loginservice.h"
#include "hostlog.h"

#include <helpers.h>
#include <hostservices.h>
#include <netconnection.h>

namespace suite::host {

namespace {

// A stopped or unreachable server must answer within seconds, never hang the dialog.
constexpr int kLoginTimeoutMs = 5000;

void require(const QString& value, LoginFailure::Field field, const char* message)
{
    if (value.trimmed().isEmpty())
        throw LoginFailure(field, QString::fromUtf8(message));
}

} // namespace

LoginService::LoginService(HostConfig config)
    : m_config(std::move(config))
{}

mrv::LoginContext LoginService::login(const QString& user, const QString& password, const QString& branch) const
{
    require(user, LoginFailure::Field::User, "Informe o operador.");
    require(password, LoginFailure::Field::Password, "Informe a senha.");
    require(branch, LoginFailure::Field::Branch, "Informe a filial.");
    if (m_config.databaseUrl.isEmpty())
        throw LoginFailure(
            LoginFailure::Field::None,
            QStringLiteral("Banco de dados não configurado (suite.ini, [database] url, ou --database)."));

    const Session session = requestSession(user.trimmed(), password);
    openDatabase();

    mrv::LoginContext context;
    context.filiProc = mrv::Ajusta(branch.trimmed().toUpper(), 4);
    try {
        context.nomeFiliProc = mrv::ValidaFilial(context.filiProc, session.operatorCode, true);
    } catch (const mrv::Exception& refused) {
        throw LoginFailure(LoginFailure::Field::Branch, refused.message());
    }
    context.operador = session.operatorCode;
    context.operadorNome = session.operatorName;
    context.webUrl = m_config.server.host;
    context.webPort = m_config.server.port;
    context.token = session.token;
    context.database = m_config.databaseUrl;
    context.moduFili = m_config.branchMode;
    qCInfo(lcHost) << "logged in" << context.operador << "branch" << context.filiProc;
    return context;
}

LoginService::Session LoginService::requestSession(const QString& user, const QString& password) const
{
    static const QString refused = QStringLiteral("Usuário ou senha inválidos.");
    try {
        const mrv::LoginResult result =
            mrv::TNetConnection::login(m_config.server.host, m_config.server.port, user, password, kLoginTimeoutMs);
        return {result.token, result.operador.isEmpty() ? user : result.operador, result.nome};
    } catch (const mrv::CertificateRefused& error) {
        qCWarning(lcHost) << "login: server" << m_config.server.text() << error.message();
        // The server answers; it is not the one the certificate store vouches for.
        throw LoginFailure(LoginFailure::Field::None, QStringLiteral("Conexão com o servidor de aplicação em %1 recusada.\n%2")
                                                          .arg(m_config.server.text(), error.message()));
    } catch (const mrv::Exception& error) {
        if (error.message() == refused)
            throw LoginFailure(LoginFailure::Field::Password, refused);
        qCWarning(lcHost) << "login: server" << m_config.server.text() << error.message();
        // The headline says what the operator can act on; the kit's text says why.
        throw LoginFailure(LoginFailure::Field::None, QStringLiteral("Servidor de aplicação indisponível em %1.\n%2")
                                                          .arg(m_config.server.text(), error.message()));
    }
}

void LoginService::openDatabase() const
{
    try {
        mrv::openSharedDatabase(m_config.databaseUrl);
    } catch (const mrv::Exception& error) {
        throw LoginFailure(LoginFailure::Field::None, error.message());
    } catch (const std::exception& error) {
        throw LoginFailure(LoginFailure::Field::None,
                           QStringLiteral("Banco de dados indisponível: %1").arg(QString::fromUtf8(error.what())));
    }
}

} // namespace suite::host
