#include "intgcentralservice.h"
#include "dishcode.h"
#include "dishsearch.h"
#include "integrationhistory.h"
#include "keylist.h"
#include "operatorrights.h"
#include "rewrite/integrationrun.h"
#include "rewrite/integrationundo.h"
#include "runlog.h"
#include "runprogress.h"
#include "servererrors.h"

#include <jsoncursor.h>
#include <sqlrunner.h>

namespace suite::server {

using db::SqlRunner;
using wire::Packet;

GroupingListRequest GroupingListRequest::parse(const wire::Arguments& args)
{
    args.expectCount(1);
    args.text(0, kMaxKeyLength);
    return {};
}

GroupingBranchesRequest GroupingBranchesRequest::parse(const wire::Arguments& args)
{
    args.expectCount(2);
    return {args.text(0, kMaxKeyLength), args.text(1, kMaxKeyLength)};
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

struct IntgCentralService::Method {
    const char* name;
    ServiceAnswer (IntgCentralService::*run)(const wire::Arguments&);
};

std::span<const IntgCentralService::Method> IntgCentralService::methods()
{
    static const Method table[] = {
        {"GetGrupFili", &IntgCentralService::getGrupFili},
        {"GetFiliGrup", &IntgCentralService::getFiliGrup},
        {"GetPesqPrato", &IntgCentralService::getPesqPrato},
        {"IntgCentral", &IntgCentralService::intgCentral},
        {"ListIntg", &IntgCentralService::listIntg},
        {"UndoIntg", &IntgCentralService::undoIntg},
        {"GetIntgLog", &IntgCentralService::getIntgLog},
        {"IntgCentralPreview", &IntgCentralService::intgCentralPreview},
        {"GetProgresso", &IntgCentralService::getProgresso},
    };
    return table;
}

QStringList IntgCentralService::methodNames()
{
    QStringList names;
    for (const Method& m : methods())
        names << QString::fromLatin1(m.name);
    return names;
}

ServiceAnswer IntgCentralService::answer(const wire::Arguments& args)
{
    const QString& method = args.method();
    for (const Method& m : methods()) {
        if (method.compare(QLatin1String(m.name), Qt::CaseInsensitive) != 0)
            continue;
        try {
            return (this->*m.run)(args);
        } catch (const wire::ArgumentError& e) {
            throw RequestError(400, e.message());
        } catch (const wire::JsonTextError& e) {
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
    args.expectCount(11);
    const SqlRunner sql(m_db);
    // The search reads the source's menus and local tree; checked before the lists are read, which are read only
    // up to what the database holds.
    OperatorRights(sql, m_operator).requireBranch(args.text(0, kMaxKeyLength), QStringLiteral("de origem"));
    return DishSearch(m_db).run(DishSearchRequest::parse(args, DishSearchRequest::maxKeys(sql)));
}

IntegrationRequest IntgCentralService::integrationRequest(const wire::Arguments& args) const
{
    args.expectCount(6);
    const SqlRunner sql(m_db);
    // Before the heavy arguments are read: an operator who may only consult costs no more than the call's text.
    // The run checks the rights again inside its transaction.
    OperatorRights(sql, m_operator).requireIntegration();
    return IntegrationRequest::parse(args, dishCodeLength(sql),
                                     IntegrationLimits::of(sql, args.text(0, kMaxKeyLength)));
}

ServiceAnswer IntgCentralService::intgCentral(const wire::Arguments& args)
{
    IntegrationRun run(m_db, m_operator);
    Packet log = run.run(integrationRequest(args));
    m_run = run.counts().run;
    m_written = run.counts().rewritten;
    return {std::move(log), run.counts().observations};
}

ServiceAnswer IntgCentralService::listIntg(const wire::Arguments& args)
{
    args.expectCount(0);
    return IntegrationHistory(m_db, m_operator).list();
}

ServiceAnswer IntgCentralService::intgCentralPreview(const wire::Arguments& args)
{
    IntegrationRun run(m_db, m_operator);
    Packet changes = run.preview(integrationRequest(args));
    return {std::move(changes), qint64(run.counts().rewritten) + run.counts().observations};
}

ServiceAnswer IntgCentralService::getProgresso(const wire::Arguments& args)
{
    args.expectCount(0);
    const SqlRunner sql(m_db);
    OperatorRights(sql, m_operator).requireActive();
    Packet result({{QStringLiteral("DSFASE"), wire::ColumnType::String, 60},
                   {QStringLiteral("QTFEITAS"), wire::ColumnType::Integer, 0},
                   {QStringLiteral("QTTOTAL"), wire::ColumnType::Integer, 0}});
    if (const std::optional<Progress> progress = RunProgress::of(sql, m_operator))
        result.addRow({progress->phase, qint64(progress->done), qint64(progress->total)});
    return result;
}

ServiceAnswer IntgCentralService::getIntgLog(const wire::Arguments& args)
{
    args.expectCount(1);
    const qint64 run = args.integer(0);
    const SqlRunner sql(m_db);
    const OperatorRights rights(sql, m_operator);
    rights.requireActive();
    // A run from a branch the operator may not use is, to that operator, no run at all.
    QVariantMap binds = rights.binds();
    binds.insert(QStringLiteral(":nrintg"), run);
    const bool visible = !sql.value(QStringLiteral("ler a integração"),
                                    QStringLiteral("SELECT NRINTG FROM INTGCENTRAL WHERE NRINTG = :nrintg AND %1")
                                        .arg(OperatorRights::allows(QStringLiteral("CDFILIORIG"))),
                                    binds)
                              .isNull();
    if (!visible)
        throw ServiceError(QStringLiteral("Integração %1 não encontrada.").arg(run));
    // Capped as a run's answer is; a destination the operator may no longer use is left out of it.
    const RunLog log(sql, m_operator);
    return {log.rows(run, kLogRowLimit), log.count(run)};
}

ServiceAnswer IntgCentralService::undoIntg(const wire::Arguments& args)
{
    args.expectCount(1);
    const qint64 run = args.integer(0);
    if (run <= 0)
        throw wire::ArgumentError(QStringLiteral("número de integração inválido: %1").arg(run));
    // The undo rewrites the run's destinations: the operator must be one who may integrate there.
    const auto authorize = [this](const SqlRunner& sql, qint64 undone) {
        const OperatorRights rights(sql, m_operator);
        rights.requireIntegration();
        rights.requireBranches(
            QStringLiteral("SELECT CDFILIORIG AS CDFILIAL FROM INTGCENTRAL WHERE NRINTG = %1").arg(undone),
            QStringLiteral("de origem"));
        rights.requireBranches(
            QStringLiteral("SELECT DISTINCT CDFILIAL FROM INTGCENTRALANT WHERE NRINTG = %1").arg(undone),
            QStringLiteral("destino"));
    };
    const IntegrationUndo::Outcome outcome = IntegrationUndo(m_db, m_operator).undo(run, authorize);
    m_written = outcome.recipes;
    Packet result({{QStringLiteral("NRINTG"), wire::ColumnType::Integer, 0},
                   {QStringLiteral("QTRECEITAS"), wire::ColumnType::Integer, 0},
                   {QStringLiteral("QTAPAGADAS"), wire::ColumnType::Integer, 0},
                   {QStringLiteral("QTINSERIDAS"), wire::ColumnType::Integer, 0}});
    result.addRow({outcome.undoRun, qint64(outcome.recipes), outcome.linesRemoved, outcome.linesRestored});
    return result;
}

Packet IntgCentralService::GetGrupFili()
{
    const SqlRunner sql(m_db);
    // A grouping none of whose branches the operator may use would only list an empty grid.
    QSqlQuery q = sql.run(QStringLiteral("ler os agrupamentos de filiais"),
                          QStringLiteral("SELECT g.CDGRUPFILI, g.NMGRUPFILI FROM GRUPFILI g WHERE EXISTS (SELECT 1"
                                         " FROM FILIGRUP fg WHERE fg.CDGRUPFILI = g.CDGRUPFILI AND %1)"
                                         " ORDER BY g.CDGRUPFILI")
                              .arg(OperatorRights::allows(QStringLiteral("fg.CDFILIAL"))),
                          OperatorRights(sql, m_operator).binds());
    Packet result = Packet::ofStrings({{"CDGRUPFILI", 10}, {"NMGRUPFILI", 40}});
    while (q.next())
        result.addRow({q.value(0).toString(), q.value(1).toString()});
    return result;
}

Packet IntgCentralService::GetFiliGrup(const QString& grouping, const QString& source)
{
    const SqlRunner sql(m_db);
    const bool all = grouping == QLatin1String("T");
    const OperatorRights rights(sql, m_operator);
    // The destinations are offered for a source: one the operator cannot integrate from is refused here already.
    rights.requireBranch(source, QStringLiteral("de origem"));
    QVariantMap binds = rights.binds();
    binds.insert(QStringLiteral(":origem"), source);
    if (!all)
        binds.insert(QStringLiteral(":grupo"), grouping);
    // "T" stands for every branch; otherwise the grouping's own branches. Only the operator's branches are offered,
    // and never the source.
    QSqlQuery q = sql.run(QStringLiteral("ler as filiais do agrupamento"),
                          (all ? QStringLiteral("SELECT f.CDFILIAL, f.NMFILIAL, f.IDCNTRRESC FROM FILIAL f"
                                                " WHERE f.CDFILIAL <> :origem AND %1 ORDER BY f.CDFILIAL")
                               : QStringLiteral("SELECT f.CDFILIAL, f.NMFILIAL, f.IDCNTRRESC FROM FILIGRUP g"
                                                " JOIN FILIAL f ON f.CDFILIAL = g.CDFILIAL"
                                                " WHERE g.CDGRUPFILI = :grupo AND f.CDFILIAL <> :origem AND %1"
                                                " ORDER BY f.CDFILIAL"))
                              .arg(OperatorRights::allows(QStringLiteral("f.CDFILIAL"))),
                          binds);
    Packet result = Packet::ofStrings({{"IDMARCADO", 1}, {"CDFILIAL", 4}, {"NMFILIAL", 30}, {"IDCNTRRESC", 1}});
    while (q.next())
        result.addRow({QStringLiteral("N"), q.value(0).toString(), q.value(1).toString(), q.value(2).toString()});
    return result;
}

} // namespace suite::server
