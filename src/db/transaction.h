// A transaction guard: rolled back on every way out unless committed.
#pragma once

namespace suite::db {

class SqlRunner;

/// Begins a transaction on construction; the destructor rolls back an uncommitted one.
class Transaction {
public:
    enum Mode {
        /// Will write: on SQLite takes the write lock at once (BEGIN IMMEDIATE), so two writers queue on the busy
        /// timeout instead of one failing when it upgrades from reading.
        Write,
        /// Reads only: a consistent view without blocking writers.
        Read,
    };

    explicit Transaction(const SqlRunner& sql, Mode mode = Write);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    void commit();

private:
    const SqlRunner& m_sql;
    bool m_open = false;
};

} // namespace suite::db
