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

QHash<QString, qint64> RecipeDatabase::undoneLinesNow(const db::SqlRunner& sql, QSqlQuery& byDigest,
                                                      const RecipeKind& kind)
{
    QHash<QString, qint64> lines;
    QHash<QString, qint64> told;
    while (byDigest.next()) {
        lines.insert(byDigest.value(0).toString(), byDigest.value(1).toLongLong());
        told.insert(byDigest.value(0).toString(), byDigest.value(2).toLongLong());
    }
    byDigest.finish();
    const QString purpose = QStringLiteral("contar as linhas das receitas da integração");
    QSqlQuery recipes = sql.run(purpose, QStringLiteral("SELECT CDFILIAL, COUNT(*) FROM TT_DESFAZ WHERE IDTIPORECE ="
                                                        " '%1' GROUP BY CDFILIAL")
                                             .arg(QLatin1String(kind.code)));
    BranchRange untold;
    while (recipes.next()) {
        if (told.value(recipes.value(0).toString()) != recipes.value(1).toLongLong())
            untold.codes << recipes.value(0).toString();
    }
    recipes.finish();
    if (untold.codes.isEmpty())
        return lines;
    // A destination whose recipes have no lines left has no row.
    for (const QString& branch : std::as_const(untold.codes))
        lines.remove(branch);
    QSqlQuery counted = sql.run(purpose, undoneLinesCounted(kind, untold.members(sql, QStringLiteral("t.CDFILIAL"))));
    while (counted.next())
        lines.insert(counted.value(0).toString(), counted.value(1).toLongLong());
    counted.finish();
    return lines;
}

} // namespace suite::server
