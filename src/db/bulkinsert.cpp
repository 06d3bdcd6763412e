#include "bulkinsert.h"

#include "database.h"
#include "sqlrun.h"

namespace suite::db {

namespace {

// Parameters per statement, measured on the demo load: SQLite's prepare grows faster than
// linearly with the parameter count (4,000 was 3x slower than 500), while PostgreSQL pays per
// round trip and likes big statements.
int parametersPerStatement(const QSqlDatabase& db)
{
    return dialectOf(db) == Dialect::SQLite ? 500 : 4000;
}

} // namespace

BulkInsert::BulkInsert(const QSqlDatabase& db, const QString& table, const QStringList& columns)
    : m_db(db), m_table(table), m_columns(columns),
      m_rowsPerStatement(std::max<int>(1, parametersPerStatement(db) / std::max<int>(1, int(columns.size()))))
{
    m_pending.reserve(m_rowsPerStatement * columns.size());
}

void BulkInsert::add(const QVariantList& row)
{
    if (row.size() != m_columns.size())
        throw DbError(QStringLiteral("loading %1: a row has %2 values for %3 columns")
                          .arg(m_table).arg(row.size()).arg(m_columns.size()));
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
    const QString one = QLatin1Char('(') + QStringList(m_columns.size(), QStringLiteral("?")).join(QLatin1Char(',')) + QLatin1Char(')');
    QStringList values(rows, one);
    return QStringLiteral("INSERT INTO %1 (%2) VALUES %3").arg(m_table, m_columns.join(QLatin1Char(',')), values.join(QLatin1Char(',')));
}

void BulkInsert::flush()
{
    if (m_pending.isEmpty())
        return;
    const int rows = int(m_pending.size() / m_columns.size());
    const QString purpose = QStringLiteral("loading %1").arg(m_table);
    std::optional<QSqlQuery> partial;
    QSqlQuery* query = nullptr;
    if (rows == m_rowsPerStatement) {
        if (!m_fullQuery)
            m_fullQuery = prepareQuery(m_db, statement(rows), purpose);
        query = &*m_fullQuery;
    } else {
        partial = prepareQuery(m_db, statement(rows), purpose);
        query = &*partial;
    }
    for (int i = 0; i < m_pending.size(); ++i)
        query->bindValue(i, m_pending.at(i));
    execPrepared(*query, purpose);
    m_rowCount += rows;
    m_pending.clear();
}

} // namespace suite::db
