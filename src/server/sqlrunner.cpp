#include "sqlrunner.h"
#include "serverlog.h"

#include <QElapsedTimer>
#include <QSqlError>

#include <chrono>
#include <cstdio>
#include <thread>

namespace suite::server {

namespace {

// For tests that kill the server at a known point of a run: with SUITE_TEST_PAUSE_AT set to a statement's purpose,
// the thread that has just run that statement says "paused at PURPOSE" on stderr and then waits, inside its
// transaction, until the process is killed. Unset (always, outside tests), nothing changes.
void pauseIfAsked(const QString &purpose)
{
    static const QString pauseAt = qEnvironmentVariable("SUITE_TEST_PAUSE_AT");
    if (pauseAt.isEmpty() || purpose != pauseAt)
        return;
    std::fprintf(stderr, "paused at %s\n", purpose.toUtf8().constData());
    std::fflush(stderr);
    for (;;)
        std::this_thread::sleep_for(std::chrono::hours(1));
}

} // namespace

SqlRunner::SqlRunner(QSqlDatabase db)
    : m_db(std::move(db)), m_dialect(db::dialectOf(m_db))
{
}

QSqlQuery SqlRunner::run(const QString &purpose, const QString &sql, const QVariantMap &binds) const
{
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    QElapsedTimer timer;
    timer.start();
    // A statement without values runs as it is: PostgreSQL cannot prepare DDL, and nothing needs binding.
    if (binds.isEmpty()) {
        if (!query.exec(sql))
            throw DatabaseError(QStringLiteral("Erro ao %1: %2").arg(purpose, query.lastError().text()));
        qCDebug(lcServerSql).noquote() << timer.elapsed() << "ms" << purpose;
        pauseIfAsked(purpose);
        return query;
    }
    if (!query.prepare(sql))
        throw DatabaseError(QStringLiteral("Erro ao %1: %2").arg(purpose, query.lastError().text()));
    for (auto it = binds.cbegin(); it != binds.cend(); ++it)
        query.bindValue(it.key(), it.value());
    if (!query.exec())
        throw DatabaseError(QStringLiteral("Erro ao %1: %2").arg(purpose, query.lastError().text()));
    qCDebug(lcServerSql).noquote() << timer.elapsed() << "ms" << purpose;
    pauseIfAsked(purpose);
    return query;
}

void SqlRunner::direct(const QString &purpose, const QString &sql) const
{
    QSqlQuery query(m_db);
    QElapsedTimer timer;
    timer.start();
    if (!query.exec(sql))
        throw DatabaseError(QStringLiteral("Erro ao %1: %2").arg(purpose, query.lastError().text()));
    qCDebug(lcServerSql).noquote() << timer.elapsed() << "ms" << purpose;
}

int SqlRunner::change(const QString &purpose, const QString &sql, const QVariantMap &binds) const
{
    return run(purpose, sql, binds).numRowsAffected();
}

qint64 SqlRunner::number(const QString &purpose, const QString &sql, const QVariantMap &binds) const
{
    QSqlQuery query = run(purpose, sql, binds);
    return query.next() ? query.value(0).toLongLong() : 0;
}

QString SqlRunner::timestamp(const QDateTime &moment)
{
    return moment.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString SqlRunner::typed(const QString &placeholder, const QString &sqlType) const
{
    return isPostgres() ? QStringLiteral("CAST(%1 AS %2)").arg(placeholder, sqlType) : placeholder;
}

QString SqlRunner::jsonTexts(const QString &placeholder) const
{
    return isPostgres()
        ? QStringLiteral("SELECT value FROM json_array_elements_text(CAST(%1 AS json)) AS j(value)").arg(placeholder)
        : QStringLiteral("SELECT value FROM json_each(%1)").arg(placeholder);
}

QString SqlRunner::jsonPairs(const QString &placeholder) const
{
    return isPostgres()
        ? QStringLiteral("SELECT e->>0 AS a, e->>1 AS b FROM json_array_elements(CAST(%1 AS json)) AS j(e)").arg(placeholder)
        : QStringLiteral("SELECT json_extract(value, '$[0]') AS a, json_extract(value, '$[1]') AS b FROM json_each(%1)")
              .arg(placeholder);
}

WriteTransaction::WriteTransaction(const SqlRunner &sql) : m_sql(sql)
{
    // IMMEDIATE: two SQLite writers would otherwise both read, then one fails to upgrade its lock.
    m_sql.direct(QStringLiteral("iniciar a transação"),
                 m_sql.isPostgres() ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN IMMEDIATE"));
    m_open = true;
}

WriteTransaction::~WriteTransaction()
{
    if (!m_open)
        return;
    QSqlQuery rollback(m_sql.database());
    if (!rollback.exec(QStringLiteral("ROLLBACK")))
        qCWarning(lcServer) << "rollback failed:" << rollback.lastError().text();
}

void WriteTransaction::commit()
{
    m_sql.direct(QStringLiteral("confirmar a transação"), QStringLiteral("COMMIT"));
    m_open = false;
}

} // namespace suite::server
