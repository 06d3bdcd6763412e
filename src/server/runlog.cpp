// RunLog: the log of a recorded run.
#include "runlog.h"

#include "operatorrights.h"
#include "servererrors.h"

#include <logpacket.h>
#include <sqlrunner.h>

#include <QDateTime>

namespace suite::server {

QString RunLog::timeText(const QVariant& stored)
{
    if (stored.isNull())
        return {};
    // SQLite keeps the text it was given; PostgreSQL hands back a timestamp.
    const QDateTime moment =
        stored.typeId() == QMetaType::QDateTime
            ? stored.toDateTime()
            : QDateTime::fromString(stored.toString().left(19).replace(QLatin1Char(' '), QLatin1Char('T')),
                                    Qt::ISODate);
    return moment.isValid() ? moment.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")) : stored.toString();
}

QString RunLog::visible() const
{
    if (m_viewer.isEmpty())
        return QStringLiteral("o.NRINTG = :nrintg");
    // A dish's observation names no branch and stays; a destination's needs the viewer's right to that branch.
    return QStringLiteral("o.NRINTG = :nrintg AND (o.CDFILIAL = '' OR %1)")
        .arg(OperatorRights::allows(QStringLiteral("o.CDFILIAL")));
}

QVariantMap RunLog::binds(qint64 run) const
{
    QVariantMap values{{QStringLiteral(":nrintg"), run}};
    if (!m_viewer.isEmpty())
        values.insert(QStringLiteral(":operador"), m_viewer);
    return values;
}

qint64 RunLog::count(qint64 run) const
{
    return m_sql.number(QStringLiteral("contar as observações"),
                        QStringLiteral("SELECT COUNT(*) FROM INTGCENTRALOBS o WHERE %1").arg(visible()), binds(run));
}

wire::Packet RunLog::rows(qint64 run, std::optional<int> limit) const
{
    const QVariantMap ofRun{{QStringLiteral(":nrintg"), run}};
    QSqlQuery head =
        m_sql.run(QStringLiteral("ler a integração"),
                  QStringLiteral("SELECT c.DTINICIO, c.DTFIM, c.CDFILIORIG, f.NMFILIAL FROM INTGCENTRAL c"
                                 " LEFT JOIN FILIAL f ON f.CDFILIAL = c.CDFILIORIG WHERE c.NRINTG = :nrintg"),
                  ofRun);
    if (!head.next())
        throw ServiceError(QStringLiteral("Integração %1 não encontrada.").arg(run));
    const QString start = timeText(head.value(0));
    const QString end = timeText(head.value(1));
    const QString source = head.value(2).toString();
    const QString sourceName = head.value(3).toString();
    head.finish();

    // The rows sent are chosen before any name is looked up, so a capped log of many observations costs one pass
    // over them and lookups for the rows sent only.
    const QString order = QStringLiteral("ORDER BY o.CDFILIAL, o.CDPRATO, o.CDFILAUXPRAT, o.IDTIPORECELOG,"
                                         " o.IDNUMEROERRO, o.CDARVPROD, o.CDSERVFILI");
    const QString chosen = limit ? QStringLiteral("(SELECT o.* FROM INTGCENTRALOBS o WHERE %1 %2 LIMIT %3)")
                                       .arg(visible(), order)
                                       .arg(*limit)
                                 : QStringLiteral("(SELECT o.* FROM INTGCENTRALOBS o WHERE %1)").arg(visible());
    QSqlQuery q = m_sql.run(
        QStringLiteral("montar o log da integração"),
        QStringLiteral("SELECT o.IDNUMEROERRO, o.IDTIPORECELOG, o.CDFILIAL, o.CDFILAUXPRAT, o.CDPRATO, o.CDARVPROD,"
                       " pr.NMPRODUTO, pt.NMPRATO, fd.NMFILIAL, o.CDSERVFILI, sv.NMSERVICO FROM %1 o"
                       " LEFT JOIN FILIAL fd ON fd.CDFILIAL = o.CDFILIAL"
                       " LEFT JOIN PRODUTO pr ON pr.CDARVPROD = o.CDARVPROD"
                       " LEFT JOIN PRATO pt ON pt.CDFILAUXPRAT = o.CDFILAUXPRAT AND pt.CDPRATO = o.CDPRATO"
                       " LEFT JOIN SERVICO sv ON sv.CDFILIAL = :origem AND sv.CDSERVFILI = o.CDSERVFILI %2")
            .arg(chosen, order),
        [&] {
            QVariantMap values = binds(run);
            values.insert(QStringLiteral(":origem"), source);
            return values;
        }());
    wire::Packet log = wire::logPacket();
    while (q.next()) {
        const QString code = q.value(0).toString();
        QString itemName = q.value(6).toString();
        if (code == QLatin1String("3")) {
            // The log has no service column: the missing service is named where a product would be.
            itemName = QStringLiteral("Serviço %1 - %2").arg(q.value(9).toString(), q.value(10).toString());
        }
        log.addRow({start, end, q.value(3).toString(), source, q.value(2).toString(), q.value(4).toString(),
                    q.value(5).toString(), code, itemName.left(50), q.value(7).toString(), sourceName,
                    q.value(8).toString(), q.value(1).toString()});
    }
    return log;
}

} // namespace suite::server
