#include "threadconnection.h"

#include <database.h>

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

QSqlDatabase openServerConnection(const QString& url, const QString& connectionName)
{
    // suitedb sets SQLite's busy timeout, so writers queue on its write lock instead of failing. The server only
    // serves a database that exists: one gone since it started is the administrator's to put back.
    return db::openDatabase(url, connectionName, db::Access::ReadWrite, db::Missing::Refuse);
}

ThreadConnection::ThreadConnection(QString databaseUrl)
    : m_url(std::move(databaseUrl))
    , m_id(s_nextId.fetchAndAddRelaxed(1))
{}

QSqlDatabase ThreadConnection::database() const
{
    const auto found = t_registry.names.constFind(m_id);
    if (found != t_registry.names.constEnd())
        return QSqlDatabase::database(*found, false);

    const QString name = QStringLiteral("suite-server-%1-thread-%2")
                             .arg(m_id)
                             .arg(reinterpret_cast<quintptr>(QThread::currentThreadId()), 0, 16);
    QSqlDatabase db = openServerConnection(m_url, name);
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
