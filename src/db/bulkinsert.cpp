#include "bulkinsert.h"

#include "dberror.h"
#include "sqlrun.h"

namespace suite::db {

namespace {
// Both SQLite (32766) and PostgreSQL (65535) accept far more parameters than this; larger
// statements gained nothing measurable.
constexpr int kMaxParameters = 4000;
}

BulkInsert::BulkInsert(const QSqlDatabase& db, const QString& table, const QStringList& columns)
    : m_db(db), m_table(table), m_columns(columns),
      m_rowsPerStatement(std::max<int>(1, kMaxParameters / std::max<int>(1, int(columns.size()))))
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
