// IntegrationHistory: the runs the service recorded.
#include "integrationhistory.h"
#include "operatorrights.h"
#include "runlog.h"

#include <sqlrunner.h>

#include <QDateTime>
#include <QSet>

namespace suite::server {

using wire::Column;
using wire::ColumnType;
using wire::Packet;

IntegrationHistory::IntegrationHistory(QSqlDatabase db, QString operatorCode)
    : m_db(std::move(db))
    , m_operator(std::move(operatorCode))
{}

Packet IntegrationHistory::listColumns()
{
    return Packet({{QStringLiteral("NRINTG"), ColumnType::Integer, 0},
                   {QStringLiteral("IDTIPOINTG"), ColumnType::String, 1},
                   {QStringLiteral("NRINTGDESF"), ColumnType::Integer, 0},
                   {QStringLiteral("CDOPERADOR"), ColumnType::String, 20},
                   {QStringLiteral("DTINICIO"), ColumnType::String, 19},
                   {QStringLiteral("DTFIM"), ColumnType::String, 19},
                   {QStringLiteral("CDFILIORIG"), ColumnType::String, 4},
                   {QStringLiteral("IDTIPORECE"), ColumnType::String, 2},
                   {QStringLiteral("QTDESTINOS"), ColumnType::Integer, 0},
                   {QStringLiteral("DSDESTINOS"), ColumnType::String, 0},
                   {QStringLiteral("QTAPAGADAS"), ColumnType::Integer, 0},
                   {QStringLiteral("QTINSERIDAS"), ColumnType::Integer, 0},
                   {QStringLiteral("QTOBSERV"), ColumnType::Integer, 0},
                   {QStringLiteral("DTDESFEITA"), ColumnType::String, 19}});
}

Packet IntegrationHistory::list() const
{
    const db::SqlRunner sql(m_db);
    const OperatorRights rights(sql, m_operator);
    rights.requireActive();
    // A run from one of the operator's branches may have written to others, which this operator must not see.
    QSet<QString> own;
    QSqlQuery branches =
        sql.run(QStringLiteral("ler as filiais do operador"),
                QStringLiteral("SELECT CDFILIAL FROM OPERFILI WHERE CDOPERADOR = :operador"), rights.binds());
    while (branches.next())
        own.insert(branches.value(0).toString());
    branches.finish(); // PostgreSQL's driver keeps one result being read per connection
    QSqlQuery q =
        sql.run(QStringLiteral("ler o histórico de integrações"),
                QStringLiteral("SELECT NRINTG, IDTIPOINTG, NRINTGDESF, CDOPERADOR, DTINICIO, DTFIM, CDFILIORIG,"
                               " IDTIPORECE, DSDESTINOS, QTAPAGADAS, QTINSERIDAS, QTOBSERV, DTDESFEITA"
                               " FROM INTGCENTRAL WHERE %1 ORDER BY NRINTG DESC")
                    .arg(OperatorRights::allows(QStringLiteral("CDFILIORIG"))),
                rights.binds());
    Packet result = listColumns();
    QSet<qint64> partlyHidden; // runs with a destination the operator may not see
    while (q.next()) {
        // Destinations are kept as a choice list, "0002_0003_".
        const QString stored = q.value(8).toString();
        QString destinations;
        for (const QStringView code : QStringView(stored).tokenize(QLatin1Char('_'), Qt::SkipEmptyParts))
            if (own.contains(code.toString())) {
                destinations += code;
                destinations += QLatin1Char('_');
            }
        if (destinations.size() != stored.size())
            partlyHidden.insert(q.value(0).toLongLong());
        const QVariant undone = q.value(2);
        result.addRow({q.value(0).toLongLong(), q.value(1).toString(),
                       undone.isNull() ? QVariant() : QVariant(undone.toLongLong()), q.value(3).toString(),
                       RunLog::timeText(q.value(4)), RunLog::timeText(q.value(5)), q.value(6).toString(),
                       q.value(7).toString(), qint64(destinations.count(QLatin1Char('_'))), destinations,
                       q.value(9).toLongLong(), q.value(10).toLongLong(), q.value(11).toLongLong(),
                       RunLog::timeText(q.value(12))});
    }
    q.finish();
    if (partlyHidden.isEmpty())
        return result;
    // Their observations are counted as their logs show them to this operator; the other runs keep the count
    // they recorded, so a long history costs one count per such run only.
    const RunLog log(sql, m_operator);
    QList<QVariantList> rows = result.takeRows();
    for (QVariantList& row : rows)
        if (partlyHidden.contains(row.at(0).toLongLong()))
            row[12] = log.count(row.at(0).toLongLong());
    result.setRows(std::move(rows));
    return result;
}

} // namespace suite::server
