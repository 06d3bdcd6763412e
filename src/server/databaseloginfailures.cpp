#include "databaseloginfailures.h"

#include "sqlrunner.h"
#include "threadconnection.h"

namespace suite::server {

DatabaseLoginFailures::DatabaseLoginFailures(const ThreadConnection& connection)
    : m_connection(connection)
{}

qint64 DatabaseLoginFailures::heldUntil(const QStringList& keys) const
{
    QStringList placeholders;
    QVariantMap binds;
    for (qsizetype i = 0; i < keys.size(); ++i) {
        placeholders << QStringLiteral(":k%1").arg(i);
        binds.insert(placeholders.last(), keys.at(i));
    }
    return db::SqlRunner(m_connection.database())
        .number(
            QStringLiteral("reading failed log-ins"),
            QStringLiteral("SELECT MAX(NRBLOQUEIO) FROM LOGINFALHA WHERE CDCHAVE IN (%1)").arg(placeholders.join(", ")),
            binds);
}

qint64 DatabaseLoginFailures::count(const QString& key, qint64 now, qint64 forgotten)
{
    // One statement: failures counted at once by several servers are all counted.
    return db::SqlRunner(m_connection.database())
        .number(
            QStringLiteral("counting a failed log-in"),
            QStringLiteral("INSERT INTO LOGINFALHA (CDCHAVE, QTFALHAS, NRULTIMA, NRBLOQUEIO) VALUES (:key, 1, :now, 0)"
                           " ON CONFLICT (CDCHAVE) DO UPDATE SET QTFALHAS = CASE"
                           " WHEN LOGINFALHA.NRULTIMA <= :forgotten AND LOGINFALHA.NRBLOQUEIO <= :now THEN 1"
                           " ELSE LOGINFALHA.QTFALHAS + 1 END, NRULTIMA = :now"
                           " RETURNING QTFALHAS"),
            {{QStringLiteral(":key"), key}, {QStringLiteral(":now"), now}, {QStringLiteral(":forgotten"), forgotten}});
}

void DatabaseLoginFailures::holdUntil(const QString& key, qint64 until)
{
    db::SqlRunner(m_connection.database())
        .run(QStringLiteral("holding back log-ins"),
             QStringLiteral("UPDATE LOGINFALHA SET NRBLOQUEIO = :until WHERE CDCHAVE = :key AND NRBLOQUEIO < :until"),
             {{QStringLiteral(":key"), key}, {QStringLiteral(":until"), until}});
}

void DatabaseLoginFailures::forget(const QString& key)
{
    db::SqlRunner(m_connection.database())
        .run(QStringLiteral("forgetting failed log-ins"), QStringLiteral("DELETE FROM LOGINFALHA WHERE CDCHAVE = :key"),
             {{QStringLiteral(":key"), key}});
}

void DatabaseLoginFailures::makeRoom(qint64 now, qint64 forgotten, int keep)
{
    const db::SqlRunner sql(m_connection.database());
    sql.run(QStringLiteral("forgetting old failed log-ins"),
            QStringLiteral("DELETE FROM LOGINFALHA WHERE NRULTIMA <= :forgotten AND NRBLOQUEIO <= :now"),
            {{QStringLiteral(":forgotten"), forgotten}, {QStringLiteral(":now"), now}});
    // By the index on NRULTIMA: a walk of `keep` entries, and none when there are fewer.
    sql.run(QStringLiteral("forgetting the oldest failed log-ins"),
            QStringLiteral("DELETE FROM LOGINFALHA WHERE NRULTIMA <="
                           " (SELECT NRULTIMA FROM LOGINFALHA ORDER BY NRULTIMA DESC LIMIT 1 OFFSET :keep)"),
            {{QStringLiteral(":keep"), keep}});
}

int DatabaseLoginFailures::size() const
{
    return int(
        db::SqlRunner(m_connection.database())
            .number(QStringLiteral("counting failed log-ins"), QStringLiteral("SELECT COUNT(*) FROM LOGINFALHA")));
}

} // namespace suite::server
