// RAII transaction: rolled back on every way out unless committed.
#pragma once

#include <QSqlDatabase>
#include <QString>

namespace suite::db {

/// Begins a transaction on construction; the destructor rolls back an uncommitted one.
class Transaction
{
public:
    enum Mode {
        /// Will write: on SQLite takes the write lock at once (BEGIN IMMEDIATE), so two writers
        /// queue on the busy timeout instead of one failing when it upgrades from reading.
        Write,
        /// Reads only: a consistent view without blocking writers.
        Read,
    };

    Transaction(QSqlDatabase& db, const QString& purpose, Mode mode = Write);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    void commit();

private:
    QSqlDatabase& m_db;
    QString m_purpose;
    bool m_open = false;
};

} // namespace suite::db
