#include "transaction.h"

#include "logging.h"
#include "sqlrunner.h"

#include <QSqlError>
#include <QSqlQuery>

namespace suite::db {

Transaction::Transaction(const SqlRunner& sql, Mode mode)
    : m_sql(sql)
{
    // Statements rather than QSqlDatabase::transaction(): the drivers run the same text, and this way BEGIN
    // IMMEDIATE pairs with their commit and rollback on SQLite.
    const bool immediate = mode == Write && !sql.isPostgres();
    m_sql.run(QStringLiteral("beginning a transaction"),
              immediate ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN"));
    m_open = true;
}

Transaction::~Transaction()
{
    if (!m_open)
        return;
    // A destructor must not throw; a failed rollback is logged, and the end of the connection (closed, or dropped
    // by the server) discards the work anyway.
    QSqlQuery rollback(m_sql.database());
    if (!rollback.exec(QStringLiteral("ROLLBACK")))
        qCWarning(lcDb) << "rollback failed:" << rollback.lastError().text();
}

void Transaction::commit()
{
    m_sql.run(QStringLiteral("committing"), QStringLiteral("COMMIT"));
    m_open = false;
}

} // namespace suite::db
