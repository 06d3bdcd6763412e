// Session settings for a transaction that rewrites many recipe lines: a run, an undo.
#pragma once

namespace suite::db {
class SqlRunner;
}

namespace suite::server {

// Construct inside the transaction, after it began; lives until the transaction has ended.
// PostgreSQL: every join is on unique keys, so caching inner lookups never hits and only costs time,
// and before-images and restored lines pass through memory instead of spilling to disk; SET LOCAL ends with
// the transaction.
// SQLite: a page cache large enough to hold what the transaction changes, so pages are not spilled to the log
// mid-way and then written again, and the file mapped for reading; both put back to the connection's own
// afterwards, which frees them.
class BulkRewrite {
public:
    explicit BulkRewrite(const db::SqlRunner& sql);
    ~BulkRewrite();
    BulkRewrite(const BulkRewrite&) = delete;
    BulkRewrite& operator=(const BulkRewrite&) = delete;

    // How many connection settings a SQLite bulk rewrite changes.
    static constexpr int kSqliteSettings = 2;

private:
    const db::SqlRunner& m_sql;
    // The connection's own value of each setting, put back when the transaction has ended.
    long long m_ownSettings[kSqliteSettings] = {};
};

} // namespace suite::server
