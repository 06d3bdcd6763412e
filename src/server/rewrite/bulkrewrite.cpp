#include "bulkrewrite.h"
#include "serverlog.h"

#include <sqlrunner.h>

namespace suite::server {

namespace {

// In KiB, as PRAGMA cache_size takes a negative figure. SQLite takes only what the transaction touches, and one
// connection writes at a time.
constexpr int kBulkCacheKiB = 1024 * 1024;

// SQLite's own ceiling for a mapping on 64-bit Linux; a larger figure would be cut to it.
constexpr long long kBulkMmapBytes = 0x7fff0000;

// The SQLite settings of a bulk rewrite, each put back to the connection's own afterwards.
// mmap_size: a run reads pages all over the recipes it compares and images; mapped, each is read where the system
// keeps it, with no copy into the cache. The price: a read error on the disk then ends the process instead of the
// statement. That loses no more than a kill does (the transaction rolls back), and the mapping lasts only as long
// as the transaction.
constexpr struct {
    const char* pragma;
    long long bulk;
} kSqlitePragmas[BulkRewrite::kSqliteSettings] = {{"cache_size", -kBulkCacheKiB}, {"mmap_size", kBulkMmapBytes}};

} // namespace

BulkRewrite::BulkRewrite(const db::SqlRunner& sql)
    : m_sql(sql)
{
    if (sql.isPostgres()) {
        sql.run(QStringLiteral("ajustar o planejador"), QStringLiteral("SET LOCAL enable_memoize = off"));
        sql.run(QStringLiteral("reservar memória de trabalho"), QStringLiteral("SET LOCAL work_mem = '64MB'"));
        // A run analyzes only its work tables, to plan joins by their keys: a small sample tells their sizes and
        // distinct keys as well as the default one.
        sql.run(QStringLiteral("ajustar o planejador"), QStringLiteral("SET LOCAL default_statistics_target = 30"));
        return;
    }
    const QString purpose = QStringLiteral("ampliar o cache de páginas");
    for (int i = 0; i < kSqliteSettings; ++i) {
        const QString pragma = QStringLiteral("PRAGMA %1").arg(QLatin1String(kSqlitePragmas[i].pragma));
        m_ownSettings[i] = sql.number(purpose, pragma);
        sql.run(purpose, QStringLiteral("%1 = %2").arg(pragma).arg(kSqlitePragmas[i].bulk)).finish();
    }
}

BulkRewrite::~BulkRewrite()
{
    if (m_sql.isPostgres())
        return;
    // A destructor must not throw; a cache left large only costs memory until the connection closes.
    try {
        for (int i = 0; i < kSqliteSettings; ++i) {
            const QString pragma = QLatin1String(kSqlitePragmas[i].pragma);
            m_sql
                .run(QStringLiteral("restaurar o cache de páginas"),
                     QStringLiteral("PRAGMA %1 = %2").arg(pragma).arg(m_ownSettings[i]))
                .finish();
        }
    } catch (const db::DbError& e) {
        qCWarning(lcServer).noquote() << e.message();
    }
}

} // namespace suite::server
