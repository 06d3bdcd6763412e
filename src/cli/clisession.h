// The command line's session: the server, the token of the last login (kept in a file only its
// owner reads) and the integration service's calls.
#pragma once

#include <QJsonObject>
#include <QString>
#include <QVariantList>

namespace mrv {
class TNetConnection;
}

namespace suite::cli {

class CliSession {
public:
    // file: where the session is kept; empty for the user's configuration directory.
    explicit CliSession(const QString& file);
    ~CliSession();

    QString file() const { return m_file; }
    QString server() const { return m_server; } // "host:port" or "https://host:port"
    QString operatorCode() const { return m_operator; }

    // POST /login; on success the session is written (0600), with the CA file if one is given. Throws
    // mrv::Exception (mrv::CaFileError for a CA file that cannot serve).
    void login(const QString& server, const QString& user, const QString& password, const QString& caFile);
    // Reads the saved session; throws mrv::ServerError (401) when there is none. An empty override keeps the
    // session's server and CA file.
    void load(const QString& serverOverride, const QString& caFileOverride);

    // A method of the integration service: the whole answer ({"result": ...} and what comes beside it).
    // Service refusals throw mrv::ServiceRefusal, transport and HTTP failures mrv::ServerError.
    QJsonObject call(const QString& method, const QVariantList& args);
    // The connection calls run on.
    const mrv::TNetConnection& connection();

    static QString defaultFile();

private:
    void applyLogin() const;

    QString m_file;
    QString m_server;
    QString m_caFile;
    QString m_token;
    QString m_operator;
    mrv::TNetConnection* m_connection = nullptr;
};

} // namespace suite::cli
