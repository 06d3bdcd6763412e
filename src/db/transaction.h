// RAII transaction: rolled back on every way out unless committed.
#pragma once

#include <QSqlDatabase>
#include <QString>

namespace suite::db {

/// Begins a transaction on construction; the destructor rolls back an uncommitted one.
class Transaction
{
public:
    Transaction(QSqlDatabase& db, const QString& purpose);
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
