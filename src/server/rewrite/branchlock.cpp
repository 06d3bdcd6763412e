#include "branchlock.h"

#include <sqlrunner.h>

namespace suite::server {

void lockBranches(const db::SqlRunner& sql, const QString& branches, const QVariantMap& binds)
{
    if (!sql.isPostgres())
        return;
    sql.run(QStringLiteral("reservar as filiais"),
            QStringLiteral("SELECT f.CDFILIAL FROM FILIAL f WHERE f.CDFILIAL IN (%1) ORDER BY f.CDFILIAL"
                           " FOR NO KEY UPDATE")
                .arg(branches),
            binds);
}

} // namespace suite::server
