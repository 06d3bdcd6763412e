// Parsed form of a database URL as the suite's command lines take it.
#pragma once

#include "database.h"

#include <QString>

namespace suite::db {

/// libpq's sslmode values; Default is the URL without one (libpq then tries TLS and falls back to plain).
enum class SslMode { Default, Disable, Allow, Prefer, Require, VerifyCa, VerifyFull };

/// A SQLite file path or a postgresql:// URL, split into what the Qt drivers need.
class DbUrl {
public:
    /// Parses `text`; throws DbError saying what is wrong with a malformed URL.
    static DbUrl parse(const QString& text);

    Dialect dialect() const { return m_dialect; }
    QString filePath() const { return m_filePath; } // SQLite only
    QString host() const { return m_host; }
    int port() const { return m_port; }
    QString user() const { return m_user; }
    QString password() const { return m_password; }
    QString databaseName() const { return m_databaseName; }
    SslMode sslMode() const { return m_sslMode; }
    /// The sslmode value as libpq spells it; empty for Default.
    QString sslModeName() const;
    QString sslRootCert() const { return m_sslRootCert; } // the CA file the server's certificate is checked with

    /// The URL with the password masked (the TLS options shown), for messages and logs.
    QString display() const;

private:
    Dialect m_dialect = Dialect::SQLite;
    QString m_filePath;
    QString m_host;
    int m_port = 5432;
    QString m_user;
    QString m_password;
    QString m_databaseName;
    SslMode m_sslMode = SslMode::Default;
    QString m_sslRootCert;

    void takeOptions(const QString& text, const QString& query);
};

} // namespace suite::db
