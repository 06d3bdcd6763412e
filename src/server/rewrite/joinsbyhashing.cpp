#include "joinsbyhashing.h"
#include "recipedatabase.h"
#include "serverlog.h"

#include <sqlrunner.h>

#include <exception>

namespace suite::server {

JoinsByHashing::JoinsByHashing(const RecipeDatabase& db)
    : m_db(db)
{
    m_db.joinByHashing(true);
}

JoinsByHashing::~JoinsByHashing()
{
    // After a failure the transaction is lost anyway, and the database may refuse the statement.
    if (std::uncaught_exceptions() > 0)
        return;
    try {
        m_db.joinByHashing(false);
    } catch (const db::DbError& e) {
        qCWarning(lcServer).noquote() << e.message();
    }
}

} // namespace suite::server
