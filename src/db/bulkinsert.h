// Fast row-by-row loading: rows are gathered and sent as multi-row INSERT statements.
#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <optional>

namespace suite::db {

/// Inserts rows into one table with few round trips (QPSQL has no native batch binding, so
/// one prepared "INSERT ... VALUES (..),(..),..." carries many rows). Call finish() at the end;
/// rows still pending when the object dies unfinished are dropped, as on any error path.
class BulkInsert
{
public:
    BulkInsert(const QSqlDatabase& db, const QString& table, const QStringList& columns);

    void add(const QVariantList& row);
    void finish();
    qint64 rowCount() const { return m_rowCount; }

private:
    QString statement(int rows) const;
    void flush();

    QSqlDatabase m_db;
    QString m_table;
    QStringList m_columns;
    int m_rowsPerStatement;
    QVector<QVariant> m_pending;
    std::optional<QSqlQuery> m_fullQuery;
    qint64 m_rowCount = 0;
};

} // namespace suite::db
