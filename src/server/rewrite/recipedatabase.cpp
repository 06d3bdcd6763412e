#include "recipedatabase.h"
#include "postgres/postgresrecipes.h"
#include "sqlite/sqliterecipes.h"

#include <sqlrunner.h>

#include <QSqlQuery>

namespace suite::server {

std::unique_ptr<RecipeDatabase> RecipeDatabase::of(const db::SqlRunner& sql)
{
    if (sql.isPostgres())
        return std::make_unique<PostgresRecipes>(sql);
    return std::make_unique<SqliteRecipes>(sql);
}

QHash<QString, qint64> RecipeDatabase::linesPerBranch(QSqlQuery& rows)
{
    QHash<QString, qint64> lines;
    while (rows.next())
        lines.insert(rows.value(0).toString(), rows.value(1).toLongLong());
    rows.finish();
    return lines;
}

} // namespace suite::server
