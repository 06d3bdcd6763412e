#include "connectfailure.h"

#include "dburl.h"

namespace suite::db {

namespace {

// libpq's messages are the only account of a refused certificate it gives; Debian's libpq has no Portuguese
// catalogue, so they arrive in English. A message not recognised here is passed on as it came.
QString tlsMeaning(const DbUrl& url, const QString& libpq)
{
    const QString server = QStringLiteral("%1:%2").arg(url.host()).arg(url.port());
    const QString caFile =
        url.sslRootCert().isEmpty()
            ? QStringLiteral("~/.postgresql/root.crt (libpq's default when sslrootcert is not given)")
            : url.sslRootCert();
    if (libpq.contains(QLatin1String("certificate verify failed"))) {
        return QStringLiteral("the TLS certificate of the database server %1 was refused: it is not signed by the CA "
                              "of %2, or it is out of its dates")
            .arg(server, caFile);
    }
    if (libpq.contains(QLatin1String("does not match host name"))) {
        return QStringLiteral("the TLS certificate of the database server %1 was refused: it is not made out to the "
                              "name \"%2\" (sslmode=verify-full checks it; connect by a name the certificate lists)")
            .arg(server, url.host());
    }
    if (libpq.contains(QLatin1String("root certificate file"))) {
        return QStringLiteral("sslmode=%1 checks the database server %2 against a CA file, and %3 cannot be read as "
                              "one (give sslrootcert a PEM file)")
            .arg(url.sslModeName(), server, caFile);
    }
    if (libpq.contains(QLatin1String("server does not support SSL"))) {
        return QStringLiteral("the database server %1 does not offer TLS, and sslmode=%2 requires it (ssl = on in "
                              "its postgresql.conf)")
            .arg(server, url.sslModeName());
    }
    if (url.sslMode() == SslMode::Disable && libpq.contains(QLatin1String("no encryption"))) {
        return QStringLiteral("the database server %1 accepts this user and database over TLS only (sslmode=disable "
                              "sends plain text; use sslmode=verify-full)")
            .arg(server);
    }
    if (libpq.contains(QLatin1String("SSL error"))) {
        return QStringLiteral("TLS with the database server %1 failed").arg(server);
    }
    return {};
}

} // namespace

QString connectFailure(const DbUrl& url, const QSqlError& error)
{
    const QString libpq = error.databaseText().simplified();
    const QString meaning = url.dialect() == Dialect::PostgreSQL ? tlsMeaning(url, libpq) : QString();
    if (meaning.isEmpty())
        return error.text().trimmed();
    return QStringLiteral("%1 (libpq: %2)").arg(meaning, libpq);
}

} // namespace suite::db
