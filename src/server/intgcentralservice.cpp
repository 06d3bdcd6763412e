#include "intgcentralservice.h"
#include "dishsearch.h"
#include "integrationrun.h"
#include "servererrors.h"

#include <sqlrunner.h>

namespace suite::server {

using db::SqlRunner;
using wire::Packet;

namespace {

struct Method {
    const char* name;
    ServiceAnswer (IntgCentralService::*run)(const wire::Arguments&);
};

} // namespace

GroupingListRequest GroupingListRequest::parse(const wire::Arguments& args)
{
    args.expectCount(1);
    args.text(0);
    return {};
}

GroupingBranchesRequest GroupingBranchesRequest::parse(const wire::Arguments& args)
{
    args.expectCount(2);
    return {args.text(0), args.text(1)};
}

IntgCentralService::IntgCentralService(QSqlDatabase db, QString operatorCode)
    : m_db(std::move(db))
    , m_operator(std::move(operatorCode))
{}

QString IntgCentralService::serverName()
{
    return QStringLiteral("Rci06000.rdmIntgCentral");
}

std::optional<QString> IntgCentralService::canonicalServer(const QString& name)
{
    if (name.compare(serverName(), Qt::CaseInsensitive) == 0)
        return serverName();
    return std::nullopt;
}

ServiceAnswer IntgCentralService::answer(const QString& method, const QJsonArray& args)
{
    static const Method methods[] = {
        {"GetGrupFili", &IntgCentralService::getGrupFili},
        {"GetFiliGrup", &IntgCentralService::getFiliGrup},
        {"GetPesqPrato", &IntgCentralService::getPesqPrato},
        {"IntgCentral", &IntgCentralService::intgCentral},
    };
    for (const Method& m : methods) {
        if (method.compare(QLatin1String(m.name), Qt::CaseInsensitive) != 0)
            continue;
        try {
            return (this->*m.run)(wire::Arguments(method, args));
        } catch (const wire::ArgumentError& e) {
            throw RequestError(400, e.message());
        }
    }
    throw RequestError(404, QStringLiteral("unknown method %1 of %2").arg(method.left(60), serverName()));
}

ServiceAnswer IntgCentralService::getGrupFili(const wire::Arguments& args)
{
    GroupingListRequest::parse(args);
    return {GetGrupFili(), std::nullopt};
}

ServiceAnswer IntgCentralService::getFiliGrup(const wire::Arguments& args)
{
    const GroupingBranchesRequest request = GroupingBranchesRequest::parse(args);
    return {GetFiliGrup(request.grouping, request.source), std::nullopt};
}

ServiceAnswer IntgCentralService::getPesqPrato(const wire::Arguments& args)
{
    return {DishSearch(m_db).run(DishSearchRequest::parse(args)), std::nullopt};
}

ServiceAnswer IntgCentralService::intgCentral(const wire::Arguments& args)
{
    const IntegrationRequest request = IntegrationRequest::parse(args);
    IntegrationRun run(m_db, m_operator);
    Packet log = run.run(request);
    return {std::move(log), run.counts().observations};
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

Packet IntgCentralService::GetFiliGrup(const QString& grouping, const QString& source)
{
    const SqlRunner sql(m_db);
    const bool all = grouping == QLatin1String("T");
    QVariantMap binds{{":origem", source}};
    if (!all)
        binds.insert(QStringLiteral(":grupo"), grouping);
    // "T" stands for every branch; otherwise the grouping's own branches. The source is never offered.
    QSqlQuery q =
        sql.run(QStringLiteral("ler as filiais do agrupamento"),
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
