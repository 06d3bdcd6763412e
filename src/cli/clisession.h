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

    // The connection the integration service's calls (intgcentralcalls.h) run on, made at the first use.
    mrv::TNetConnection* net();

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
