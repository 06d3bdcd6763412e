#include "transaction.h"

#include "database.h"
#include "logging.h"

#include <QSqlError>
#include <QSqlQuery>

namespace suite::db {

Transaction::Transaction(QSqlDatabase& db, const QString& purpose, Mode mode)
    : m_db(db), m_purpose(purpose)
{
    if (mode == Write && dialectOf(m_db) == Dialect::SQLite) {
        // QSQLITE's commit() and rollback() just run COMMIT/ROLLBACK, so an explicit BEGIN
        // pairs with them.
        QSqlQuery begin(m_db);
        if (!begin.exec(QStringLiteral("BEGIN IMMEDIATE")))
            throw DbError(QStringLiteral("%1: cannot begin a transaction: %2").arg(m_purpose, begin.lastError().text()));
    } else if (!m_db.transaction()) {
        throw DbError(QStringLiteral("%1: cannot begin a transaction: %2").arg(m_purpose, m_db.lastError().text()));
    }
    m_open = true;
}

Transaction::~Transaction()
{
    // A destructor must not throw; a failed rollback is logged and the connection's own
    // end (close or the server dropping it) discards the work anyway.
    if (m_open && !m_db.rollback())
        qCWarning(lcDb) << "rollback failed after" << m_purpose << ":" << m_db.lastError().text();
}

void Transaction::commit()
{
    if (!m_db.commit())
        throw DbError(QStringLiteral("%1: commit failed: %2").arg(m_purpose, m_db.lastError().text()));
    m_open = false;
}

} // namespace suite::db
