#include "dburl.h"

#include <QRegularExpression>
#include <QUrl>
#include <QUrlQuery>

#include <algorithm>
#include <array>
#include <utility>

namespace suite::db {

namespace {

[[noreturn]] void malformed(const QString& text, const QString& why)
{
    throw DbError(QStringLiteral("invalid database URL \"%1\": %2").arg(text, why));
}

const std::array<std::pair<SslMode, QLatin1String>, 6> kSslModes{{
    {SslMode::Disable, QLatin1String("disable")},
    {SslMode::Allow, QLatin1String("allow")},
    {SslMode::Prefer, QLatin1String("prefer")},
    {SslMode::Require, QLatin1String("require")},
    {SslMode::VerifyCa, QLatin1String("verify-ca")},
    {SslMode::VerifyFull, QLatin1String("verify-full")},
}};

QString sslModeList()
{
    QStringList names;
    for (const auto& [mode, name] : kSslModes)
        names << name;
    return names.join(QLatin1String(", "));
}

} // namespace

DbUrl DbUrl::parse(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        malformed(text, QStringLiteral("empty; give a SQLite file path or postgresql://user@host:port/dbname"));

    DbUrl url;
    static const QRegularExpression schemeRe(QStringLiteral("^([A-Za-z][A-Za-z0-9+.-]*)://"));
    const QRegularExpressionMatch scheme = schemeRe.match(trimmed);
    if (!scheme.hasMatch()) {
        url.m_dialect = Dialect::SQLite;
        url.m_filePath = trimmed;
        return url;
    }
    const QString name = scheme.captured(1).toLower();
    if (name == QLatin1String("sqlite")) {
        // sqlite:///abs/path or sqlite://rel/path, for those who like every database as a URL.
        url.m_filePath = trimmed.mid(scheme.capturedLength());
        if (url.m_filePath.isEmpty())
            malformed(text, QStringLiteral("no file path after sqlite://"));
        return url;
    }
    if (name != QLatin1String("postgresql") && name != QLatin1String("postgres"))
        malformed(text, QStringLiteral("unsupported scheme \"%1\" (use a file path or postgresql://)").arg(name));

    const QUrl parsed(trimmed, QUrl::StrictMode);
    if (!parsed.isValid())
        malformed(text, parsed.errorString());
    if (parsed.hasFragment())
        malformed(text, QStringLiteral("nothing may follow \"#\""));
    url.m_dialect = Dialect::PostgreSQL;
    url.m_host = parsed.host();
    if (url.m_host.isEmpty())
        malformed(text, QStringLiteral("no host"));
    url.m_user = parsed.userName();
    if (url.m_user.isEmpty())
        malformed(text, QStringLiteral("no user name (postgresql://user@host:port/dbname)"));
    url.m_password = parsed.password();
    url.m_port = parsed.port(5432);
    if (url.m_port <= 0 || url.m_port > 65535)
        malformed(text, QStringLiteral("port must be 1 to 65535"));
    QString path = parsed.path();
    if (path.startsWith(QLatin1Char('/')))
        path.remove(0, 1);
    if (path.isEmpty())
        malformed(text, QStringLiteral("no database name after the host"));
    if (path.contains(QLatin1Char('/')))
        malformed(text, QStringLiteral("database name must not contain \"/\""));
    url.m_databaseName = path;
    url.takeOptions(text, parsed.query(QUrl::FullyEncoded));
    return url;
}

// Every option is known and given once: a misspelt sslmode would otherwise leave the connection to libpq's
// default, which falls back to plain text without a word.
void DbUrl::takeOptions(const QString& text, const QString& query)
{
    bool modeGiven = false;
    const QUrlQuery items(query);
    for (const auto& [key, value] : items.queryItems(QUrl::FullyDecoded)) {
        if (key == QLatin1String("sslmode")) {
            if (modeGiven)
                malformed(text, QStringLiteral("sslmode given twice"));
            modeGiven = true;
            const auto found = std::find_if(kSslModes.begin(), kSslModes.end(),
                                            [&value = value](const auto& mode) { return mode.second == value; });
            if (found == kSslModes.end())
                malformed(text, QStringLiteral("sslmode \"%1\" is not one of %2").arg(value, sslModeList()));
            m_sslMode = found->first;
        } else if (key == QLatin1String("sslrootcert")) {
            if (!m_sslRootCert.isEmpty())
                malformed(text, QStringLiteral("sslrootcert given twice"));
            if (value.isEmpty())
                malformed(text, QStringLiteral("sslrootcert needs the path of a CA file"));
            // Qt's PostgreSQL driver turns every ";" of its connect options into a blank.
            if (value.contains(QLatin1Char(';')))
                malformed(text, QStringLiteral("the sslrootcert path must not contain \";\""));
            m_sslRootCert = value;
        } else {
            malformed(text, QStringLiteral("unknown option \"%1\" (known: sslmode, sslrootcert)").arg(key));
        }
    }
    // With a CA file but a mode that falls back to plain text, the file would promise a check that need not happen.
    const bool checks =
        m_sslMode == SslMode::Require || m_sslMode == SslMode::VerifyCa || m_sslMode == SslMode::VerifyFull;
    if (!m_sslRootCert.isEmpty() && !checks) {
        malformed(text, QStringLiteral("sslrootcert needs sslmode=verify-full, verify-ca or require (%1)")
                            .arg(modeGiven ? QStringLiteral("sslmode=%1 may connect without TLS").arg(sslModeName())
                                           : QStringLiteral("without sslmode, libpq may connect without TLS")));
    }
}

QString DbUrl::sslModeName() const
{
    for (const auto& [mode, name] : kSslModes) {
        if (mode == m_sslMode)
            return name;
    }
    return {};
}

QString DbUrl::display() const
{
    if (m_dialect == Dialect::SQLite)
        return m_filePath;
    QStringList options;
    if (m_sslMode != SslMode::Default)
        options << QStringLiteral("sslmode=") + sslModeName();
    if (!m_sslRootCert.isEmpty())
        options << QStringLiteral("sslrootcert=") + m_sslRootCert;
    return QStringLiteral("postgresql://%1%2@%3:%4/%5%6")
        .arg(m_user, m_password.isEmpty() ? QString() : QStringLiteral(":***"), m_host)
        .arg(m_port)
        .arg(m_databaseName, options.isEmpty() ? QString() : QLatin1Char('?') + options.join(QLatin1Char('&')));
}

} // namespace suite::db
