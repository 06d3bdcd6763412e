#include "database.h"

#include "connectfailure.h"
#include "dburl.h"
#include "logging.h"
#include "sqlrunner.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QUrl>

#include <fcntl.h>
#include <unistd.h>

namespace suite::db {

namespace {

// Writers wait for each other instead of failing at once; an integration of millions of
// lines may hold the write lock for many seconds.
constexpr int kSqliteBusyTimeoutMs = 30000;

QString driverFor(Dialect dialect)
{
    return dialect == Dialect::SQLite ? QStringLiteral("QSQLITE") : QStringLiteral("QPSQL");
}

bool isPlainFile(const QString& path)
{
    return path != QLatin1String(":memory:") && !path.startsWith(QLatin1String("file:"));
}

// A value in libpq's conninfo syntax: quoted, with its quotes and backslashes escaped.
QString libpqQuoted(QString value)
{
    value.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    value.replace(QLatin1Char('\''), QLatin1String("\\'"));
    return QLatin1Char('\'') + value + QLatin1Char('\'');
}

void configure(QSqlDatabase& db, const DbUrl& url, Missing missing, std::chrono::seconds connectTimeout)
{
    if (url.dialect() == Dialect::SQLite) {
        const QString busy = QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kSqliteBusyTimeoutMs);
        if (missing == Missing::Refuse && isPlainFile(url.filePath())) {
            // mode=rw opens without SQLite's create flag: a file moved away while serving is an error, not a new
            // empty database beside the old one's write-ahead log.
            const QString file = QFileInfo(url.filePath()).absoluteFilePath();
            db.setDatabaseName(QUrl::fromLocalFile(file).toString(QUrl::FullyEncoded) + QStringLiteral("?mode=rw"));
            db.setConnectOptions(busy + QStringLiteral(";QSQLITE_OPEN_URI"));
            return;
        }
        db.setDatabaseName(url.filePath());
        db.setConnectOptions(busy);
        return;
    }
    db.setHostName(url.host());
    db.setPort(url.port());
    db.setUserName(url.user());
    db.setPassword(url.password());
    db.setDatabaseName(url.databaseName());
    // Keep-alive probes find a database host that vanished (a cable, a crash) in about a minute, not the system's
    // two hours.
    QString options =
        QStringLiteral("connect_timeout=%1;keepalives=1;keepalives_idle=30;keepalives_interval=10;keepalives_count=3")
            .arg(std::max<qint64>(2, connectTimeout.count())); // libpq takes less than 2 s as 2 s
    if (url.sslMode() != SslMode::Default)
        options += QStringLiteral(";sslmode=") + url.sslModeName();
    if (!url.sslRootCert().isEmpty())
        options += QStringLiteral(";sslrootcert=") + libpqQuoted(url.sslRootCert());
    db.setConnectOptions(options);
}

// Said before connecting: libpq would only say that it could not read "root certificate file".
void checkCaFile(const DbUrl& url)
{
    const QString file = url.sslRootCert();
    if (file.isEmpty())
        return;
    const QFileInfo info(file);
    if (!info.exists())
        throw DbError(QStringLiteral("cannot open %1: the CA file %2 does not exist").arg(url.display(), file));
    if (!info.isFile() || !info.isReadable())
        throw DbError(
            QStringLiteral("cannot open %1: the CA file %2 is not a file this user may read").arg(url.display(), file));
}

// A new file is made readable by its owner alone: it holds the operators' password hashes, and the desktop of an
// embedded installation runs as the server's user. SQLite gives the -wal and -shm files the mode of the database.
void createPrivately(const QString& path)
{
    if (!isPlainFile(path) || QFileInfo::exists(path))
        return;
    // When it cannot be created (no such folder), opening it fails next and says so.
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0)
        ::close(fd);
}

void restrictToReading(const SqlRunner& sql)
{
    if (!sql.isPostgres()) {
        sql.run(QStringLiteral("refusing writes"), QStringLiteral("PRAGMA query_only = ON"));
        return;
    }
    sql.run(QStringLiteral("taking the reader role %1 (created by suite-server init; the user must be a member)")
                .arg(QLatin1String(kReaderRole)),
            QStringLiteral("SET ROLE %1").arg(QLatin1String(kReaderRole)));
    sql.run(QStringLiteral("making transactions read-only"),
            QStringLiteral("SET SESSION CHARACTERISTICS AS TRANSACTION READ ONLY"));
}

void prepareSession(const SqlRunner& sql)
{
    if (!sql.isPostgres()) {
        // Foreign keys are off by default in SQLite. WAL, although it slows bulk loads a little, keeps a long
        // integration from locking out every reader (the desktop's look-ups, the other workers) once its changes
        // outgrow the page cache. synchronous=NORMAL is safe under WAL against a killed process: only power loss
        // can drop the last commit.
        sql.run(QStringLiteral("enabling foreign keys"), QStringLiteral("PRAGMA foreign_keys = ON"));
        sql.run(QStringLiteral("choosing the journal mode"), QStringLiteral("PRAGMA journal_mode = WAL"));
        sql.run(QStringLiteral("choosing the sync mode"), QStringLiteral("PRAGMA synchronous = NORMAL"));
        sql.run(QStringLiteral("sizing the page cache"), QStringLiteral("PRAGMA cache_size = -65536"));
        sql.run(QStringLiteral("keeping work tables in memory"), QStringLiteral("PRAGMA temp_store = MEMORY"));
        return;
    }
    sql.run(QStringLiteral("quieting server notices"), QStringLiteral("SET client_min_messages TO WARNING"));
    // Our statements are set-based but short: compiling them costs more than it saves.
    sql.run(QStringLiteral("turning off query compilation"), QStringLiteral("SET jit = off"));
}

} // namespace

QSqlDatabase openDatabase(const QString& url, const QString& connectionName, Access access, Missing missing,
                          std::chrono::seconds connectTimeout)
{
    const DbUrl parsed = DbUrl::parse(url);
    if (connectionName.isEmpty())
        throw DbError(QStringLiteral("opening %1: empty connection name").arg(parsed.display()));
    if (QSqlDatabase::contains(connectionName))
        throw DbError(QStringLiteral("opening %1: connection name \"%2\" is already in use")
                          .arg(parsed.display(), connectionName));
    const QString driver = driverFor(parsed.dialect());
    if (!QSqlDatabase::isDriverAvailable(driver)) {
        throw DbError(QStringLiteral("opening %1: Qt SQL driver %2 is not installed (Debian: %3)")
                          .arg(parsed.display(), driver,
                               parsed.dialect() == Dialect::SQLite ? QStringLiteral("libqt6sql6-sqlite")
                                                                   : QStringLiteral("libqt6sql6-psql")));
    }

    if (parsed.dialect() == Dialect::SQLite && access == Access::ReadWrite && missing == Missing::Create)
        createPrivately(parsed.filePath());
    checkCaFile(parsed);

    QString failure;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(driver, connectionName);
        configure(db, parsed, missing, connectTimeout);
        if (db.open()) {
            try {
                const SqlRunner sql(db);
                prepareSession(sql);
                if (access == Access::ReadOnly)
                    restrictToReading(sql);
                qCDebug(lcDb) << "opened" << parsed.display() << "as" << connectionName;
                return db;
            } catch (const DbError& e) {
                failure = QStringLiteral("opening %1: %2").arg(parsed.display(), e.message());
            }
        } else {
            failure =
                QStringLiteral("cannot open %1: %2").arg(parsed.display(), connectFailure(parsed, db.lastError()));
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(connectionName);
    throw DbError(failure);
}

void closeDatabase(const QString& connectionName)
{
    if (!QSqlDatabase::contains(connectionName))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(connectionName, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(connectionName);
}

Dialect dialectOf(const QSqlDatabase& db)
{
    const QString driver = db.driverName();
    if (driver == QLatin1String("QSQLITE"))
        return Dialect::SQLite;
    if (driver == QLatin1String("QPSQL"))
        return Dialect::PostgreSQL;
    throw DbError(QStringLiteral("unsupported database driver \"%1\"").arg(driver));
}

} // namespace suite::db
