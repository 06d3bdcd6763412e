// Row-by-row loading with few round trips: rows are gathered and sent as multi-row INSERT statements.
#pragma once

#include "sqlrunner.h"

#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>

namespace suite::db {

/// Inserts rows into one table (QPSQL has no native batch binding, so one prepared "INSERT ... VALUES (..),(..),..."
/// carries many rows). Call finish() at the end; rows still pending when the object dies unfinished are dropped,
/// as on any error path.
class BulkInsert {
public:
    /// `purpose` names the load in errors and logs; by default "loading TABLE".
    BulkInsert(const SqlRunner& sql, const QString& table, const QStringList& columns, const QString& purpose = {});

    void add(const QVariantList& row);
    void finish();
    qint64 rowCount() const { return m_rowCount; }

private:
    QString statement(int rows) const;
    void flush();

    const SqlRunner& m_sql;
    QString m_table;
    QStringList m_columns;
    QString m_purpose;
    int m_rowsPerStatement;
    QVariantList m_pending;
    std::optional<QSqlQuery> m_fullQuery;
    qint64 m_rowCount = 0;
};

} // namespace suite::db
