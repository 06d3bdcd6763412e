#include "dburl.h"

#include <QRegularExpression>
#include <QUrl>

namespace suite::db {

namespace {

[[noreturn]] void malformed(const QString& text, const QString& why)
{
    throw DbError(QStringLiteral("invalid database URL \"%1\": %2").arg(text, why));
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
    if (parsed.hasQuery() || parsed.hasFragment())
        malformed(text, QStringLiteral("options after \"?\" or \"#\" are not supported"));
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
    return url;
}

QString DbUrl::display() const
{
    if (m_dialect == Dialect::SQLite)
        return m_filePath;
    return QStringLiteral("postgresql://%1%2@%3:%4/%5")
        .arg(m_user, m_password.isEmpty() ? QString() : QStringLiteral(":***"), m_host)
        .arg(m_port)
        .arg(m_databaseName);
}

} // namespace suite::db
