#include "intgcentralservice.h"
#include "callargs.h"
#include "dishsearch.h"
#include "integrationrun.h"
#include "servererrors.h"
#include "sqlrunner.h"

namespace suite::server {

IntgCentralService::IntgCentralService(QSqlDatabase db, QString operatorCode)
    : m_db(std::move(db)), m_operator(std::move(operatorCode))
{
}

QString IntgCentralService::serverName()
{
    return QStringLiteral("Rci06000.rdmIntgCentral");
}

std::optional<QString> IntgCentralService::canonicalServer(const QString &name)
{
    if (name.compare(serverName(), Qt::CaseInsensitive) == 0)
        return serverName();
    return std::nullopt;
}

static KeyList listArgument(const CallArgs &args, int index, const char *what)
{
    const std::optional<KeyList> list = KeyList::parse(args.text(index), true);
    if (!list)
        throw ServiceError(QStringLiteral("Lista de %1 inválida.").arg(QString::fromUtf8(what)));
    return *list;
}

Packet IntgCentralService::call(const QString &method, const QJsonArray &rawArgs)
{
    const CallArgs args(method, rawArgs);
    if (method.compare(QLatin1String("GetGrupFili"), Qt::CaseInsensitive) == 0) {
        args.expectCount(1);
        args.text(0);
        return GetGrupFili();
    }
    if (method.compare(QLatin1String("GetFiliGrup"), Qt::CaseInsensitive) == 0) {
        args.expectCount(2);
        return GetFiliGrup(args.text(0), args.text(1));
    }
    if (method.compare(QLatin1String("GetPesqPrato"), Qt::CaseInsensitive) == 0) {
        args.expectCount(11);
        DishSearchRequest r;
        r.source = args.text(0);
        r.localTree = args.text(1);
        r.standardTree = args.text(2);
        r.levels = args.integer(3);
        r.services = listArgument(args, 4, "serviços");
        r.dishTypes = listArgument(args, 5, "tipos de prato");
        r.start = args.date(6);
        r.end = args.date(7);
        r.cycles = listArgument(args, 8, "ciclos");
        r.servicePatterns = listArgument(args, 9, "serviços padrão");
        r.cycleDishTypes = listArgument(args, 10, "tipos de prato do ciclo");
        if (r.start && r.end && *r.start > *r.end)
            throw ServiceError(QStringLiteral("Data inicial maior que a data final."));
        return DishSearch(m_db).run(r);
    }
    if (method.compare(QLatin1String("IntgCentral"), Qt::CaseInsensitive) == 0) {
        args.expectCount(6);
        const QString source = args.text(0);
        const QString dishes = args.text(1);
        const QString kinds = args.text(2);
        const QJsonValue packet = args.object(3);
        const QString start = args.text(4);
        const QString end = args.text(5);
        const IntegrationRequest request = IntegrationRequest::parse(source, dishes, kinds, packet, start, end);
        return IntegrationRun(m_db, m_operator).run(request);
    }
    throw RequestError(404, QStringLiteral("unknown method %1 of %2").arg(method.left(60), serverName()));
}

Packet IntgCentralService::GetGrupFili()
{
    const SqlRunner sql(m_db);
    QSqlQuery q = sql.run(QStringLiteral("ler os agrupamentos de filiais"),
                          QStringLiteral("SELECT CDGRUPFILI, NMGRUPFILI FROM GRUPFILI ORDER BY CDGRUPFILI"));
    Packet result = Packet::ofStrings({{"CDGRUPFILI", 10}, {"NMGRUPFILI", 40}});
    while (q.next())
        result.addRow({q.value(0).toString(), q.value(1).toString()});
    return result;
}

Packet IntgCentralService::GetFiliGrup(const QString &grouping, const QString &source)
{
    const SqlRunner sql(m_db);
    const bool all = grouping == QLatin1String("T");
    QVariantMap binds{{":origem", source}};
    if (!all)
        binds.insert(QStringLiteral(":grupo"), grouping);
    // "T" stands for every branch; otherwise the grouping's own branches. The source is never offered.
    QSqlQuery q = sql.run(
        QStringLiteral("ler as filiais do agrupamento"),
        all ? QStringLiteral("SELECT f.CDFILIAL, f.NMFILIAL, f.IDCNTRRESC FROM FILIAL f"
                             " WHERE f.CDFILIAL <> :origem ORDER BY f.CDFILIAL")
            : QStringLiteral("SELECT f.CDFILIAL, f.NMFILIAL, f.IDCNTRRESC FROM FILIGRUP g"
                             " JOIN FILIAL f ON f.CDFILIAL = g.CDFILIAL"
                             " WHERE g.CDGRUPFILI = :grupo AND f.CDFILIAL <> :origem ORDER BY f.CDFILIAL"),
        binds);
    Packet result = Packet::ofStrings({{"IDMARCADO", 1}, {"CDFILIAL", 4}, {"NMFILIAL", 30}, {"IDCNTRRESC", 1}});
    while (q.next())
        result.addRow({QStringLiteral("N"), q.value(0).toString(), q.value(1).toString(), q.value(2).toString()});
    return result;
}

} // namespace suite::server
