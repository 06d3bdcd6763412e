#include "transaction.h"

#include "dberror.h"
#include "logging.h"

#include <QSqlError>

namespace suite::db {

Transaction::Transaction(QSqlDatabase& db, const QString& purpose)
    : m_db(db), m_purpose(purpose)
{
    if (!m_db.transaction())
        throw DbError(QStringLiteral("%1: cannot begin a transaction: %2").arg(m_purpose, m_db.lastError().text()));
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
