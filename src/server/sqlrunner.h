// Runs statements on one connection, binding every value and raising with the statement's purpose.
#pragma once

#include "servererrors.h"

#include <database.h>

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariantMap>

namespace suite::server {

// A failed statement: shown to the caller as a service error naming what was being done.
class DatabaseError : public ServiceError
{
public:
    using ServiceError::ServiceError;
};

class SqlRunner
{
public:
    explicit SqlRunner(QSqlDatabase db);

    db::Dialect dialect() const { return m_dialect; }
    bool isPostgres() const { return m_dialect == db::Dialect::PostgreSQL; }
    QSqlDatabase database() const { return m_db; }

    // Prepares, binds (":name" -> value) and runs; the query is positioned before its first row.
    QSqlQuery run(const QString &purpose, const QString &sql, const QVariantMap &binds = {}) const;
    // Runs a fixed statement without preparing it (transaction control cannot be prepared).
    void direct(const QString &purpose, const QString &sql) const;
    // Runs and returns how many rows the statement changed.
    int change(const QString &purpose, const QString &sql, const QVariantMap &binds = {}) const;
    // Runs a query of one number (a count, a sum) and returns it; 0 when it yields no row.
    qint64 number(const QString &purpose, const QString &sql, const QVariantMap &binds = {}) const;
    // A moment as the text a placeholder typed "timestamp" takes.
    static QString timestamp(const QDateTime &moment);
    // A placeholder that the dialect reads as the given SQL type (PostgreSQL needs the cast).
    QString typed(const QString &placeholder, const QString &sqlType) const;
    // A join that SQLite runs in the written table order (it has no statistics of work tables to choose by).
    QString fixedJoin() const { return isPostgres() ? QStringLiteral("JOIN") : QStringLiteral("CROSS JOIN"); }
    // A sub-select of the texts of a bound JSON array (column "value"): one parameter for a whole list.
    QString jsonTexts(const QString &placeholder) const;
    // A sub-select of the pairs of a bound JSON array of two-text arrays (columns "a", "b").
    QString jsonPairs(const QString &placeholder) const;

private:
    QSqlDatabase m_db;
    db::Dialect m_dialect;
};

// Opens a transaction and rolls it back unless commit() ran; SQLite takes the write lock at once.
class WriteTransaction
{
public:
    explicit WriteTransaction(const SqlRunner &sql);
    ~WriteTransaction();
    WriteTransaction(const WriteTransaction &) = delete;
    WriteTransaction &operator=(const WriteTransaction &) = delete;

    void commit();

private:
    const SqlRunner &m_sql;
    bool m_open = false;
};

} // namespace suite::server
