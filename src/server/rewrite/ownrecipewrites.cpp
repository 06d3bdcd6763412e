#include "ownrecipewrites.h"

#include <dberror.h>
#include <sqlrunner.h>

namespace suite::server {

void withOwnRecipeWrites(const db::SqlRunner& sql, const std::function<void()>& writes)
{
    const QString purpose = QStringLiteral("gravar as receitas sem os gatilhos das assinaturas");
    if (sql.isPostgres()) {
        sql.run(purpose, QStringLiteral("SELECT set_config('suite.escrita', 'integracao', true)")).finish();
        writes();
        sql.run(purpose, QStringLiteral("SELECT set_config('suite.escrita', '', true)")).finish();
        return;
    }
    // Made again from their own text, so the triggers stay as the schema (or an upgrade) made them.
    QList<std::pair<QString, QString>> triggers;
    QSqlQuery q = sql.run(purpose, QStringLiteral("SELECT name, sql FROM sqlite_schema WHERE type = 'trigger'"
                                                  " AND name LIKE 'TR\\_INTGASSIN\\_%' ESCAPE '\\' ORDER BY name"));
    while (q.next())
        triggers.append({q.value(0).toString(), q.value(1).toString()});
    q.finish();
    if (triggers.isEmpty())
        throw db::DbError(QStringLiteral("%1: o banco não tem os gatilhos das assinaturas").arg(purpose));
    for (const auto& trigger : std::as_const(triggers))
        sql.run(purpose, QStringLiteral("DROP TRIGGER %1").arg(trigger.first));
    writes();
    for (const auto& trigger : std::as_const(triggers))
        sql.run(purpose, trigger.second);
}

} // namespace suite::server
