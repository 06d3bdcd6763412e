// Checked SQL on one connection: every statement names its purpose, binds its values by name and raises DbError.
// The queries are forward-only. On PostgreSQL (QPSQL) that streams rows, so read a result to its end (or finish()
// it) before running another statement on the same connection: a second statement discards the rows not yet read.
#pragma once

#include "database.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariantMap>

namespace suite::db {

/// Runs statements on one connection; a failure throws DbError("<purpose>: <driver message>").
class SqlRunner {
public:
    explicit SqlRunner(QSqlDatabase db);

    Dialect dialect() const { return m_dialect; }
    bool isPostgres() const { return m_dialect == Dialect::PostgreSQL; }
    QSqlDatabase database() const { return m_db; }

    /// Prepares, binds (":name" -> value) and runs; the query is positioned before its first row.
    /// Without binds the statement runs unprepared (PostgreSQL cannot prepare DDL).
    QSqlQuery run(const QString& purpose, const QString& sql, const QVariantMap& binds = {}) const;
    /// Runs and returns how many rows the statement changed.
    int change(const QString& purpose, const QString& sql, const QVariantMap& binds = {}) const;
    /// The first column of the first row (a count, a key); null when the statement yields no row.
    QVariant value(const QString& purpose, const QString& sql, const QVariantMap& binds = {}) const;
    /// A query of one number (a count, a sum); 0 when it yields no row.
    qint64 number(const QString& purpose, const QString& sql, const QVariantMap& binds = {}) const;

    /// For a statement run many times with positional values (bulk loads): prepare once, then bind and exec.
    QSqlQuery prepare(const QString& purpose, const QString& sql) const;
    void exec(const QString& purpose, QSqlQuery& query) const;

    /// A moment as the text a placeholder typed "timestamp" takes.
    static QString timestamp(const QDateTime& moment);
    /// A placeholder that the dialect reads as the given SQL type (PostgreSQL needs the cast).
    QString typed(const QString& placeholder, const QString& sqlType) const;
    /// A join that SQLite runs in the written table order (it has no statistics of work tables to choose by).
    QString fixedJoin() const { return isPostgres() ? QStringLiteral("JOIN") : QStringLiteral("CROSS JOIN"); }
    /// A sub-select of the texts of a bound JSON array (column "value"): one parameter for a whole list.
    QString jsonTexts(const QString& placeholder) const;
    /// A text as an SQL literal, quoted by the driver: for a value the planner should see (a key range), where a
    /// placeholder would hide it.
    QString literal(const QString& text) const;

private:
    QSqlDatabase m_db;
    Dialect m_dialect;
};

} // namespace suite::db
