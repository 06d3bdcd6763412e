#include "bulkinsert.h"

namespace suite::db {

namespace {

// SQLite's prepare grows faster than linearly with the parameter count, while PostgreSQL pays per round trip and
// likes big statements.
int parametersPerStatement(const SqlRunner& sql)
{
    return sql.isPostgres() ? 4000 : 500;
}

} // namespace

BulkInsert::BulkInsert(const SqlRunner& sql, const QString& table, const QStringList& columns, const QString& purpose)
    : m_sql(sql)
    , m_table(table)
    , m_columns(columns)
    , m_purpose(purpose.isEmpty() ? QStringLiteral("loading %1").arg(table) : purpose)
    , m_rowsPerStatement(std::max<int>(1, parametersPerStatement(sql) / std::max<int>(1, int(columns.size()))))
{
    m_pending.reserve(m_rowsPerStatement * columns.size());
}

void BulkInsert::add(const QVariantList& row)
{
    if (row.size() != m_columns.size())
        throw DbError(QStringLiteral("%1: a row has %2 values for %3 columns")
                          .arg(m_purpose)
                          .arg(row.size())
                          .arg(m_columns.size()));
    m_pending.append(row);
    if (m_pending.size() >= m_rowsPerStatement * m_columns.size())
        flush();
}

void BulkInsert::finish()
{
    flush();
}

QString BulkInsert::statement(int rows) const
{
    const QString one =
        QLatin1Char('(') + QStringList(m_columns.size(), QStringLiteral("?")).join(QLatin1Char(',')) + QLatin1Char(')');
    const QStringList values(rows, one);
    return QStringLiteral("INSERT INTO %1 (%2) VALUES %3")
        .arg(m_table, m_columns.join(QLatin1Char(',')), values.join(QLatin1Char(',')));
}

void BulkInsert::flush()
{
    if (m_pending.isEmpty())
        return;
    const int rows = int(m_pending.size() / m_columns.size());
    std::optional<QSqlQuery> partial;
    QSqlQuery* query = nullptr;
    if (rows == m_rowsPerStatement) {
        if (!m_fullQuery)
            m_fullQuery = m_sql.prepare(m_purpose, statement(rows));
        query = &*m_fullQuery;
    } else {
        partial = m_sql.prepare(m_purpose, statement(rows));
        query = &*partial;
    }
    for (int i = 0; i < m_pending.size(); ++i)
        query->bindValue(i, m_pending.at(i));
    m_sql.exec(m_purpose, *query);
    m_rowCount += rows;
    m_pending.clear();
}

} // namespace suite::db
