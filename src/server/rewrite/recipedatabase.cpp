#include "recipedatabase.h"
#include "postgres/postgresrecipes.h"
#include "sqlite/sqliterecipes.h"

#include <sqlrunner.h>

namespace suite::server {

std::unique_ptr<RecipeDatabase> RecipeDatabase::of(const db::SqlRunner& sql)
{
    if (sql.isPostgres())
        return std::make_unique<PostgresRecipes>(sql);
    return std::make_unique<SqliteRecipes>(sql);
}

} // namespace suite::server
