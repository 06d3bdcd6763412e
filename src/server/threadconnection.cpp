#include "threadconnection.h"

#include "serverlog.h"

#include <database.h>
#include <sqlrunner.h>
#include <statementdeadline.h>

#include <QAtomicInteger>
#include <QHash>
#include <QThread>

namespace suite::server {

namespace {

QAtomicInteger<quint64> s_nextId{1};

// Lives as long as its thread; closes that thread's connections on the way out.
struct ThreadRegistry {
    QHash<quint64, QString> names;
    ~ThreadRegistry()
    {
        for (const QString& name : std::as_const(names))
            db::closeDatabase(name);
    }
};

thread_local ThreadRegistry t_registry;

} // namespace

QSqlDatabase openServerConnection(const QString& url, const QString& connectionName,
                                  std::chrono::milliseconds statementTimeout)
{
    // suitedb sets SQLite's busy timeout, so writers queue on its write lock instead of failing. The server only
    // serves a database that exists: one gone since it started is the administrator's to put back.
    // No longer than a statement may wait: a frozen database is answered in the same time on a new connection.
    const auto connectTimeout = statementTimeout.count() > 0
                                    ? std::min(db::kConnectTimeout, std::chrono::ceil<std::chrono::seconds>(statementTimeout))
                                    : db::kConnectTimeout;
    QSqlDatabase db =
        db::openDatabase(url, connectionName, db::Access::ReadWrite, db::Missing::Refuse, connectTimeout);
    const db::SqlRunner sql(db);
    if (sql.isPostgres() && statementTimeout.count() > 0) {
        try {
            // A database stuck on a lock or a statement answers the call 500 after this, not never.
            for (const char* setting : {"statement_timeout", "lock_timeout"})
                sql.run(QStringLiteral("limitar a espera pelo banco de dados"),
                        QStringLiteral("SET %1 = %2").arg(QLatin1String(setting)).arg(statementTimeout.count()));
        } catch (...) {
            db::closeDatabase(connectionName);
            throw;
        }
    }
    return db;
}

void liftStatementTimeout(const db::SqlRunner& sql)
{
    if (!sql.isPostgres())
        return;
    for (const char* setting : {"statement_timeout", "lock_timeout"})
        sql.run(QStringLiteral("suspender o limite de espera na integração"),
                QStringLiteral("SET LOCAL %1 = 0").arg(QLatin1String(setting)));
}

ThreadConnection::ThreadConnection(QString databaseUrl, std::chrono::milliseconds statementTimeout)
    : m_url(std::move(databaseUrl))
    , m_statementTimeout(statementTimeout)
    , m_id(s_nextId.fetchAndAddRelaxed(1))
{}

QSqlDatabase ThreadConnection::database() const
{
    const auto found = t_registry.names.constFind(m_id);
    if (found != t_registry.names.constEnd()) {
        if (!db::connectionLost(QSqlDatabase::database(*found, false)))
            return QSqlDatabase::database(*found, false);
        qCInfo(lcServer) << "the database ended a worker's connection; it connects again";
        discard();
    }

    const QString name = QStringLiteral("suite-server-%1-thread-%2")
                             .arg(m_id)
                             .arg(reinterpret_cast<quintptr>(QThread::currentThreadId()), 0, 16);
    QSqlDatabase db = openServerConnection(m_url, name, m_statementTimeout);
    t_registry.names.insert(m_id, name);
    return db;
}

void ThreadConnection::discard() const
{
    const auto found = t_registry.names.constFind(m_id);
    if (found == t_registry.names.constEnd())
        return;
    db::closeDatabase(*found);
    t_registry.names.erase(found);
}

} // namespace suite::server
