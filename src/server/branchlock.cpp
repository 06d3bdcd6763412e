#include "branchlock.h"
#include "sqlrunner.h"

namespace suite::server {

void lockBranches(const SqlRunner &sql, const QString &branches, const QVariantMap &binds)
{
    if (!sql.isPostgres())
        return;
    sql.run(QStringLiteral("reservar as filiais"),
            QStringLiteral("SELECT f.CDFILIAL FROM FILIAL f WHERE f.CDFILIAL IN (%1) ORDER BY f.CDFILIAL"
                           " FOR NO KEY UPDATE")
                .arg(branches),
            binds);
}

void tuneForBulkRewrite(const SqlRunner &sql)
{
    if (!sql.isPostgres())
        return;
    sql.direct(QStringLiteral("ajustar o planejador"), QStringLiteral("SET LOCAL enable_memoize = off"));
    sql.direct(QStringLiteral("reservar memória de trabalho"), QStringLiteral("SET LOCAL work_mem = '64MB'"));
}

} // namespace suite::server
