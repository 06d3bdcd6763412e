#include "integrationrun.h"
#include "bulkrewrite.h"
#include "joinsbyhashing.h"
#include "observation.h"
#include "operatorrights.h"
#include "recipewriter.h"
#include "runlog.h"
#include "runprogress.h"
#include "servererrors.h"
#include "sqlite/sqlitefunctions.h"
#include "threadconnection.h"
#include "worktables.h"

#include <bulkinsert.h>
#include <logpacket.h>
#include <sqlrunner.h>
#include <transaction.h>

#include <QDateTime>

namespace suite::server {

using db::SqlRunner;
using wire::Packet;

namespace {

const RecipeTable kLocal{.kind = kLocalRecipes,
                         .chosen = "TT_MAPA",
                         .source = "TT_ORIG_L",
                         .reshaped = "TT_FORMA_L",
                         .signatures = "TT_ASSIN_L",
                         .rewritten = "TT_REESCR_L",
                         .compared = "TT_COMPARA_L"};
const RecipeTable kPerService{.kind = kServiceRecipes,
                              .chosen = "TT_OK_S",
                              .source = "TT_ORIG_S",
                              .reshaped = "TT_FORMA_S",
                              .signatures = "TT_ASSIN_S",
                              .rewritten = "TT_REESCR_S",
                              .compared = "TT_COMPARA_S"};

// Observation 6 rows of one kind. The dish is asked once (SQLite tests a condition on the outer table there), and
// only its destinations are looked up, so the cost follows the number of rows observed.
QString withoutSourceRecipe(const SqlRunner& sql, const RecipeTable& t)
{
    return QStringLiteral(
               "INSERT INTO TT_OBS SELECT %1, '%2', m.CDFILIAL, m.TREE, m.CDPRATO, '', ''"
               " FROM TT_PRATO p CROSS JOIN TT_DEST d %3 TT_MAPA m ON m.CDFILIAL = d.CDFILIAL AND m.TREE = p.TREE"
               " AND m.CDPRATO = p.CDPRATO"
               " WHERE NOT EXISTS (SELECT 1 FROM %4 s WHERE s.TREE = p.TREE AND s.CDPRATO = p.CDPRATO)")
        .arg(sqlLiteral(Observation::NoSourceRecipe), QLatin1String(t.kind.code), sql.fixedJoin(),
             QLatin1String(t.source));
}

QVariant dateOrNull(const std::optional<QDate>& date)
{
    return date ? QVariant(date->toString(Qt::ISODate)) : QVariant(QMetaType::fromType<QString>());
}

} // namespace

IntegrationRun::IntegrationRun(QSqlDatabase db, QString operatorCode, Rewrite rewrite)
    : m_db(std::move(db))
    , m_operator(std::move(operatorCode))
    , m_rewrite(rewrite)
{
    ensureSqliteFunctions(m_db);
}

Packet IntegrationRun::run(const IntegrationRequest& request)
{
    return execute(request, true);
}

Packet IntegrationRun::previewColumns()
{
    using wire::ColumnType;
    return Packet({{QStringLiteral("CDFILDESTLOG"), ColumnType::String, 4},
                   {QStringLiteral("IDTIPORECELOG"), ColumnType::String, 1},
                   {QStringLiteral("CDSERVFILI"), ColumnType::String, 5},
                   {QStringLiteral("CDFILAUXPRAT"), ColumnType::String, 10},
                   {QStringLiteral("CDPRATOLOG"), ColumnType::String, 10},
                   {QStringLiteral("QTREMOVIDAS"), ColumnType::Integer, 0},
                   {QStringLiteral("QTINSERIDAS"), ColumnType::Integer, 0},
                   {QStringLiteral("IDNUMEROERRO"), ColumnType::String, 1},
                   {QStringLiteral("CDARVPROD"), ColumnType::String, 20},
                   {QStringLiteral("NMPRODUTO"), ColumnType::String, 50}});
}

Packet IntegrationRun::preview(const IntegrationRequest& request)
{
    // The run's own code, rolled back: what it shows is what a run does.
    return execute(request, false);
}

Packet IntegrationRun::changes(const SqlRunner& sql)
{
    // Each replaced recipe's old line count is in its before-image; a run would leave it with exactly the source's
    // lines, so the preview writes none. The source's recipes are counted once and joined to the images: a count
    // per image cost a fifth of a full rewrite's preview.
    const QString rows = QStringLiteral(
        "SELECT a.CDFILIAL, a.IDTIPORECE, a.CDSERVFILI, a.CDFILAUXPRAT, a.CDPRATO, a.QTLINHAS,"
        " COALESCE(n.QTNOVAS, 0) AS QTNOVAS FROM INTGCENTRALANT a LEFT JOIN (SELECT 'L' AS IDTIPORECE,"
        " '' AS CDSERVFILI, TREE, CDPRATO, COUNT(*) AS QTNOVAS FROM TT_ORIG_L GROUP BY TREE, CDPRATO UNION ALL"
        " SELECT 'S', CDSERVFILI, TREE, CDPRATO, COUNT(*) FROM TT_ORIG_S GROUP BY CDSERVFILI, TREE, CDPRATO) n"
        " ON n.IDTIPORECE = a.IDTIPORECE AND n.CDSERVFILI = a.CDSERVFILI AND n.CDPRATO = a.CDPRATO"
        " AND n.TREE = CASE WHEN a.CDFILAUXPRAT = 'P' THEN 'P' ELSE :origem END WHERE a.NRINTG = :nrintg");
    const QVariantMap binds{{":nrintg", m_counts.run}, {":origem", m_source}};
    QSqlQuery totals = sql.run(QStringLiteral("somar o que a integração mudaria"),
                               QStringLiteral("SELECT COALESCE(SUM(QTLINHAS), 0), COALESCE(SUM(QTNOVAS), 0)"
                                              " FROM (%1) c")
                                   .arg(rows),
                               binds);
    if (totals.next()) {
        m_counts.deleted = int(totals.value(0).toLongLong());
        m_counts.inserted = int(totals.value(1).toLongLong());
    }
    totals.finish();
    QSqlQuery q = sql.run(QStringLiteral("ler o que a integração mudaria"),
                          QStringLiteral("%1 ORDER BY a.CDFILIAL, a.CDPRATO, a.CDFILAUXPRAT, a.IDTIPORECE, a.CDSERVFILI"
                                         " LIMIT %2")
                              .arg(rows)
                              .arg(kLogRowLimit),
                          binds);
    Packet result = previewColumns();
    while (q.next())
        result.addRow({q.value(0).toString(), q.value(1).toString(), q.value(2).toString(), q.value(3).toString(),
                       q.value(4).toString(), q.value(5).toLongLong(), q.value(6).toLongLong(), QString(), QString(),
                       QString()});
    return result;
}

Packet IntegrationRun::execute(const IntegrationRequest& request, bool commit)
{
    m_counts = {};
    m_writing = commit;
    m_source = request.source;
    const SqlRunner sql(m_db);
    m_database = RecipeDatabase::of(sql);
    const RunProgress progress(m_operator, sql);
    const QDateTime started = QDateTime::currentDateTime();
    progress.report(Phase::Waiting);
    db::Transaction transaction(sql);
    liftStatementTimeout(sql);
    const BulkRewrite bulk(sql);
    // Inside the run's transaction and before its first write: a refused run leaves nothing behind.
    const OperatorRights rights(sql, m_operator);
    rights.requireIntegration();

    QSqlQuery source =
        sql.run(QStringLiteral("ler a filial de origem"),
                QStringLiteral("SELECT NMFILIAL FROM FILIAL WHERE CDFILIAL = :origem"), {{":origem", request.source}});
    if (!source.next())
        throw ServiceError(QStringLiteral("Filial de origem não cadastrada: %1.").arg(request.source.left(20)));
    source.finish();
    rights.requireBranch(request.source, QStringLiteral("de origem"));

    createWorkTables(sql, *m_database);

    const int destinations = int(request.destinations.size());
    progress.report(Phase::Checking, 0, destinations);
    prepareDishesAndDestinations(sql, request);
    rights.requireBranches(QStringLiteral("SELECT CDFILIAL FROM TT_MARCA"), QStringLiteral("destino"));
    // Runs sharing a destination wait for each other here.
    m_database->lockBranches(QStringLiteral("SELECT CDFILIAL FROM TT_MARCA"));
    startRecord(sql, request, started);
    observeDestinations(sql, request);
    readSourceRecipes(sql, request);
    const auto replace = [&] {
        // Per service first: the local step then narrows TT_MAPA down to the recipes it replaces.
        if (request.perService)
            replaceServiceRecipes(sql, progress);
        if (request.local)
            replaceLocalRecipes(sql, progress);
    };
    m_database->withOwnWrites(replace);
    progress.report(Phase::Finishing);

    storeObservations(sql);
    finishRecord(sql, QDateTime::currentDateTime());
    if (!commit) {
        Packet result = changes(sql);
        // The observations as the run's log would list them, after the changes.
        const Packet log = RunLog(sql).rows(m_counts.run, kLogRowLimit);
        const int kind = log.columnIndex(QStringLiteral("IDTIPORECELOG"));
        const int destination = log.columnIndex(QStringLiteral("CDFILDESTLOG"));
        const int tree = log.columnIndex(QStringLiteral("CDFAPRAORIGLOG"));
        const int dish = log.columnIndex(QStringLiteral("CDPRATOLOG"));
        const int code = log.columnIndex(QStringLiteral("IDNUMEROERRO"));
        const int product = log.columnIndex(QStringLiteral("CDARVPROD"));
        const int name = log.columnIndex(QStringLiteral("NMPRODUTO"));
        for (const QVariantList& row : log.rows())
            result.addRow({row.at(destination), row.at(kind), QString(), row.at(tree), row.at(dish), qint64(0),
                           qint64(0), row.at(code), row.at(product), row.at(name)});
        return result; // the transaction rolls back on its way out
    }
    dropWorkTables(sql);
    transaction.commit();
    // The log is read once the run has let go of its destinations: it is the log the history keeps.
    return RunLog(sql).rows(m_counts.run, kLogRowLimit);
}

void IntegrationRun::analyze(const char* table) const
{
    m_database->analyze(table);
}

void IntegrationRun::prepareDishesAndDestinations(const SqlRunner& sql, const IntegrationRequest& request)
{
    // What a request may cost follows the database's real sizes: checked again inside the run's transaction, for a
    // request read by another caller or before another server removed dishes or branches.
    requireWithin(IntegrationLimits::of(sql, request.source), request);

    db::BulkInsert listed(sql, QStringLiteral("TT_PRATO"), {QStringLiteral("TREE"), QStringLiteral("CDPRATO")},
                          QStringLiteral("registrar os pratos da integração"));
    for (const DishKey& dish : request.dishes)
        listed.add({dish.tree, dish.code});
    listed.finish();
    analyze("TT_PRATO");
    db::BulkInsert destinations(sql, QStringLiteral("TT_MARCA"), {QStringLiteral("CDFILIAL")},
                                QStringLiteral("registrar as filiais destino"));
    for (const QString& code : request.destinations)
        destinations.add({code});
    destinations.finish();

    QSqlQuery unknown = sql.run(QStringLiteral("verificar as filiais destino"),
                                QStringLiteral("SELECT m.CDFILIAL FROM TT_MARCA m WHERE NOT EXISTS "
                                               "(SELECT 1 FROM FILIAL f WHERE f.CDFILIAL = m.CDFILIAL) ORDER BY 1"));
    if (unknown.next())
        throw ServiceError(
            QStringLiteral("Filial destino não cadastrada: %1.").arg(unknown.value(0).toString().left(20)));
    unknown.finish();
}

void IntegrationRun::startRecord(const SqlRunner& sql, const IntegrationRequest& request, const QDateTime& started)
{
    QSqlQuery q = sql.run(
        QStringLiteral("registrar a integração"),
        QStringLiteral("INSERT INTO INTGCENTRAL (CDOPERADOR, DTINICIO, CDFILIORIG, IDTIPORECE, DSPRATOS, DSDESTINOS,"
                       " DTINICARD, DTFINCARD) VALUES (:operador, %1, :origem, :tipos, :pratos, :destinos, %2, %3)"
                       " RETURNING NRINTG")
            .arg(sql.typed(QStringLiteral(":inicio"), QStringLiteral("timestamp")),
                 sql.typed(QStringLiteral(":dtinicard"), QStringLiteral("date")),
                 sql.typed(QStringLiteral(":dtfincard"), QStringLiteral("date"))),
        {{":operador", m_operator},
         {":inicio", SqlRunner::timestamp(started)},
         {":origem", request.source},
         {":tipos", request.kinds},
         {":pratos", request.usedDishList()},
         {":destinos", request.destinations.join(QLatin1Char('_')) + QLatin1Char('_')},
         {":dtinicard", dateOrNull(request.menu.start)},
         {":dtfincard", dateOrNull(request.menu.end)}});
    if (!q.next())
        throw db::DbError(QStringLiteral("registrar a integração: número não devolvido"));
    m_counts.run = q.value(0).toLongLong();
}

void IntegrationRun::observeDestinations(const SqlRunner& sql, const IntegrationRequest& request)
{
    const QVariantMap source{{":origem", request.source}};
    sql.run(QStringLiteral("registrar destinos iguais à origem"),
            QStringLiteral("INSERT INTO TT_OBS SELECT %1, '', m.CDFILIAL, '', '', '', '' FROM TT_MARCA m"
                           " WHERE m.CDFILIAL = :origem")
                .arg(sqlLiteral(Observation::DestinationIsSource)),
            source);
    sql.run(
        QStringLiteral("registrar destinos com contrato rescindido"),
        QStringLiteral("INSERT INTO TT_OBS SELECT %1, '', m.CDFILIAL, '', '', '', '' FROM TT_MARCA m"
                       " JOIN FILIAL f ON f.CDFILIAL = m.CDFILIAL WHERE f.IDCNTRRESC = 'S' AND m.CDFILIAL <> :origem")
            .arg(sqlLiteral(Observation::ContractEnded)),
        source);
    // A dish the source's trees do not have is observed once, whatever the destinations and kinds, and leaves the
    // run: it can be copied nowhere. So is a dish of another branch's local tree, left in a list picked for an
    // earlier source.
    const QString unknown = QStringLiteral("NOT EXISTS (SELECT 1 FROM PRATO x WHERE x.CDFILAUXPRAT = %1.TREE"
                                           " AND x.CDPRATO = %1.CDPRATO)");
    sql.run(QStringLiteral("registrar pratos não cadastrados na origem"),
            QStringLiteral("INSERT INTO TT_OBS SELECT %1, '', '', p.TREE, p.CDPRATO, '', '' FROM TT_PRATO p WHERE %2")
                .arg(sqlLiteral(Observation::DishNotInSource), unknown.arg(QLatin1Char('p'))));
    sql.run(QStringLiteral("registrar pratos não cadastrados na origem"),
            QStringLiteral("DELETE FROM TT_PRATO WHERE %1").arg(unknown.arg(QLatin1String("TT_PRATO"))));
    db::BulkInsert elsewhere(sql, QStringLiteral("TT_OBS"),
                             {QStringLiteral("IDNUMEROERRO"), QStringLiteral("IDTIPORECELOG"),
                              QStringLiteral("CDFILIAL"), QStringLiteral("TREE"), QStringLiteral("CDPRATO"),
                              QStringLiteral("CDARVPROD"), QStringLiteral("CDSERVFILI")},
                             QStringLiteral("registrar pratos de outras filiais"));
    const QString none = QStringLiteral(""); // not a null QString, which would bind as NULL
    for (const DishKey& dish : request.elsewhere)
        elsewhere.add({observationCode(Observation::DishNotInSource), none, none, dish.tree, dish.code, none, none});
    elsewhere.finish();
    analyze("TT_PRATO");
    sql.run(
        QStringLiteral("selecionar as filiais destino"),
        QStringLiteral("INSERT INTO TT_DEST (CDFILIAL) SELECT m.CDFILIAL FROM TT_MARCA m"
                       " JOIN FILIAL f ON f.CDFILIAL = m.CDFILIAL WHERE f.IDCNTRRESC <> 'S' AND m.CDFILIAL <> :origem"),
        source);
    analyze("TT_DEST");

    // Every dish left exists in the source's trees. The standard tree is shared, so its dishes exist at every
    // destination; a local-tree dish maps to each destination's own tree, same dish code, and is asked per
    // destination.
    const QString local = QStringLiteral("p.TREE <> 'P' AND %1 (SELECT 1 FROM PRATO x WHERE x.CDFILAUXPRAT = d.CDFILIAL"
                                         " AND x.CDPRATO = p.CDPRATO)");
    // The rows come in the order of the destinations' key, and of the whole key when the database needs it.
    m_database->fillKeyed("TT_MAPA", QStringLiteral("CDFILIAL, TREE, CDPRATO"), [&](bool wholeKeyOrder) {
        const QString mapped =
            QStringLiteral("INSERT INTO TT_MAPA (CDFILIAL, TREE, CDPRATO, DSTTREE)"
                           " SELECT d.CDFILIAL, p.TREE, p.CDPRATO, %1 FROM TT_DEST d CROSS JOIN TT_PRATO p WHERE %2"
                           " ORDER BY d.CDFILIAL%3");
        const QString order = wholeKeyOrder ? QStringLiteral(", p.TREE, p.CDPRATO") : QString();
        const QString purpose = QStringLiteral("relacionar os pratos dos destinos");
        sql.run(purpose, mapped.arg(QStringLiteral("'P'"), QStringLiteral("p.TREE = 'P'"), order));
        sql.run(purpose, mapped.arg(QStringLiteral("d.CDFILIAL"), local.arg(QStringLiteral("EXISTS")), order));
    });
    analyze("TT_MAPA");

    QStringList kinds;
    if (request.local)
        kinds << QStringLiteral("L");
    if (request.perService)
        kinds << QStringLiteral("S");
    const QString unregistered =
        QStringLiteral("INSERT INTO TT_OBS SELECT %1, :tipo, d.CDFILIAL, p.TREE, p.CDPRATO,"
                       " '', '' FROM TT_PRATO p CROSS JOIN TT_DEST d WHERE %2")
            .arg(sqlLiteral(Observation::DishNotInDestination), local.arg(QStringLiteral("NOT EXISTS")));
    for (const QString& kind : kinds)
        sql.run(QStringLiteral("registrar pratos não cadastrados no destino"), unregistered, {{":tipo", kind}});
}

void IntegrationRun::readSourceRecipes(const SqlRunner& sql, const IntegrationRequest& request)
{
    const QVariantMap source{{":origem", request.source}};
    if (request.local) {
        sql.run(QStringLiteral("ler as receitas locais da origem"),
                QStringLiteral("INSERT INTO TT_ORIG_L SELECT r.CDFILAUXPRAT, r.CDPRATO, r.NRSEQ, r.CDARVPROD,"
                               " r.QTPRODUTO, r.SGUNIDADE FROM RECEITA r JOIN TT_PRATO p"
                               " ON r.CDFILAUXPRAT = p.TREE AND r.CDPRATO = p.CDPRATO WHERE r.CDFILIAL = :origem"),
                source);
        analyze("TT_ORIG_L");
    }
    if (request.perService) {
        sql.run(QStringLiteral("ler as receitas por serviço da origem"),
                QStringLiteral("INSERT INTO TT_ORIG_S SELECT r.CDSERVFILI, r.CDFILAUXPRAT, r.CDPRATO, r.NRSEQ,"
                               " r.CDARVPROD, r.QTPRODUTO, r.SGUNIDADE FROM RECEITASERV r JOIN TT_PRATO p"
                               " ON r.CDFILAUXPRAT = p.TREE AND r.CDPRATO = p.CDPRATO WHERE r.CDFILIAL = :origem"),
                source);
        analyze("TT_ORIG_S");
    }
    // Destination x product pairs that block a copy: few, so the per-line checks below stay cheap. Only the kinds
    // read are named: an unread table has no statistics, and PostgreSQL then takes every line's product for a
    // distinct one. The pairs are checked by hashing: sorting them and the enabled products cost six times as much.
    QStringList read;
    if (request.local)
        read << QStringLiteral("SELECT DISTINCT CDARVPROD FROM TT_ORIG_L");
    if (request.perService)
        read << QStringLiteral("SELECT DISTINCT CDARVPROD FROM TT_ORIG_S");
    if (read.isEmpty())
        return;
    const JoinsByHashing byHashing(*m_database);
    sql.run(QStringLiteral("verificar os produtos habilitados nos destinos"),
            QStringLiteral("INSERT INTO TT_FALTA (CDFILIAL, CDARVPROD) SELECT d.CDFILIAL, s.CDARVPROD FROM TT_DEST d"
                           " CROSS JOIN (%1) s WHERE NOT EXISTS (SELECT 1 FROM PRODFILI pf"
                           " WHERE pf.CDFILIAL = d.CDFILIAL AND pf.CDARVPROD = s.CDARVPROD)")
                .arg(read.join(QStringLiteral(" UNION "))));
    analyze("TT_FALTA");
}

void IntegrationRun::replaceLocalRecipes(const SqlRunner& sql, const RunProgress& progress)
{
    sql.run(QStringLiteral("registrar pratos sem receita local na origem"), withoutSourceRecipe(sql, kLocal));
    sql.run(QStringLiteral("registrar produtos não habilitados no destino"),
            QStringLiteral("INSERT INTO TT_OBS SELECT DISTINCT %2, 'L', m.CDFILIAL, m.TREE, m.CDPRATO, s.CDARVPROD, ''"
                           " FROM TT_FALTA f %1 TT_ORIG_L s ON s.CDARVPROD = f.CDARVPROD"
                           " %1 TT_MAPA m ON m.CDFILIAL = f.CDFILIAL AND m.TREE = s.TREE AND m.CDPRATO = s.CDPRATO")
                .arg(sql.fixedJoin(), sqlLiteral(Observation::ProductNotEnabled)));
    // What the observations above name stays as it is: those few rows leave TT_MAPA, the rest are replaced.
    sql.run(
        QStringLiteral("selecionar as receitas locais a substituir"),
        QStringLiteral("DELETE FROM TT_MAPA WHERE (CDFILIAL, TREE, CDPRATO) IN (SELECT o.CDFILIAL, o.TREE, o.CDPRATO"
                       " FROM TT_OBS o WHERE o.IDTIPORECELOG = 'L' AND o.IDNUMEROERRO IN (%1, %2))")
            .arg(sqlLiteral(Observation::ProductNotEnabled), sqlLiteral(Observation::NoSourceRecipe)));

    replaceRecipes(sql, kLocal, progress);
}

void IntegrationRun::replaceServiceRecipes(const SqlRunner& sql, const RunProgress& progress)
{
    sql.run(QStringLiteral("registrar pratos sem receita por serviço na origem"),
            withoutSourceRecipe(sql, kPerService));
    sql.run(QStringLiteral("relacionar os serviços dos destinos"),
            QStringLiteral("INSERT INTO TT_MAPA_S (CDFILIAL, CDSERVFILI, TREE, CDPRATO, DSTTREE)"
                           " SELECT m.CDFILIAL, s.CDSERVFILI, m.TREE, m.CDPRATO, m.DSTTREE FROM TT_MAPA m"
                           " JOIN (SELECT DISTINCT CDSERVFILI, TREE, CDPRATO FROM TT_ORIG_S) s"
                           " ON s.TREE = m.TREE AND s.CDPRATO = m.CDPRATO"));
    analyze("TT_MAPA_S");
    sql.run(QStringLiteral("registrar serviços ausentes no destino"),
            QStringLiteral("INSERT INTO TT_OBS SELECT %1, 'S', ms.CDFILIAL, ms.TREE, ms.CDPRATO, '', ms.CDSERVFILI"
                           " FROM TT_MAPA_S ms WHERE NOT EXISTS (SELECT 1 FROM SERVICO sv"
                           " WHERE sv.CDFILIAL = ms.CDFILIAL AND sv.CDSERVFILI = ms.CDSERVFILI)")
                .arg(sqlLiteral(Observation::ServiceMissing)));
    sql.run(
        QStringLiteral("registrar produtos não habilitados no destino"),
        QStringLiteral("INSERT INTO TT_OBS SELECT DISTINCT %2, 'S', ms.CDFILIAL, ms.TREE, ms.CDPRATO, s.CDARVPROD, ''"
                       " FROM TT_FALTA f %1 TT_ORIG_S s ON s.CDARVPROD = f.CDARVPROD %1 TT_MAPA_S ms"
                       " ON ms.CDFILIAL = f.CDFILIAL AND ms.CDSERVFILI = s.CDSERVFILI AND ms.TREE = s.TREE"
                       " AND ms.CDPRATO = s.CDPRATO"
                       " WHERE EXISTS (SELECT 1 FROM SERVICO sv WHERE sv.CDFILIAL = ms.CDFILIAL"
                       " AND sv.CDSERVFILI = ms.CDSERVFILI)")
            .arg(sql.fixedJoin(), sqlLiteral(Observation::ProductNotEnabled)));
    sql.run(QStringLiteral("selecionar as receitas por serviço a substituir"),
            QStringLiteral("INSERT INTO TT_OK_S (CDFILIAL, CDSERVFILI, TREE, CDPRATO, DSTTREE)"
                           " SELECT ms.CDFILIAL, ms.CDSERVFILI, ms.TREE, ms.CDPRATO, ms.DSTTREE FROM TT_MAPA_S ms"
                           " WHERE EXISTS (SELECT 1 FROM SERVICO sv WHERE sv.CDFILIAL = ms.CDFILIAL"
                           " AND sv.CDSERVFILI = ms.CDSERVFILI)"
                           " AND NOT EXISTS (SELECT 1 FROM TT_FALTA f WHERE f.CDFILIAL = ms.CDFILIAL AND f.CDARVPROD IN"
                           " (SELECT s.CDARVPROD FROM TT_ORIG_S s WHERE s.TREE = ms.TREE AND s.CDPRATO = ms.CDPRATO"
                           " AND s.CDSERVFILI = ms.CDSERVFILI))"));
    analyze("TT_OK_S");

    replaceRecipes(sql, kPerService, progress);
}

void IntegrationRun::replaceRecipes(const SqlRunner& sql, const RecipeTable& table, const RunProgress& progress)
{
    const Phase comparing = table.kind.perService ? Phase::ComparingService : Phase::ComparingLocal;
    const Phase writing = table.kind.perService ? Phase::WritingService : Phase::WritingLocal;
    // Every destination counts, also one with nothing to write: the total is the one the user marked, less the
    // destinations observed away.
    const QList<BranchRange> ranges =
        branchRanges(sql, QStringLiteral("SELECT CDFILIAL FROM TT_DEST ORDER BY CDFILIAL"));
    const int total = branchesIn(ranges);
    RecipeWriter writer(sql, table, m_counts.run, m_source, m_rewrite, m_writing);
    if (m_rewrite == Rewrite::Differing && !ranges.isEmpty())
        writer.keepSignatures();
    int done = 0;
    progress.report(comparing, done, total);
    for (const BranchRange& range : ranges) {
        const RecipeChanges kept = writer.keep(range);
        m_counts.rewritten += kept.rewritten;
        m_counts.equal += kept.equal;
        done += range.branches();
        progress.report(comparing, done, total);
    }
    if (!m_writing)
        return;
    done = 0;
    progress.report(writing, done, total);
    for (const BranchRange& range : ranges) {
        const RecipeChanges changes = writer.write(range);
        m_counts.deleted += changes.replaced;
        m_counts.inserted += changes.written;
        done += range.branches();
        progress.report(writing, done, total);
    }
}

void IntegrationRun::storeObservations(const SqlRunner& sql)
{
    m_counts.observations = sql.change(
        QStringLiteral("guardar as observações da integração"),
        QStringLiteral(
            "INSERT INTO INTGCENTRALOBS (NRINTG, IDNUMEROERRO, IDTIPORECELOG, CDFILIAL, CDFILAUXPRAT, CDPRATO,"
            " CDARVPROD, CDSERVFILI) SELECT :nrintg, IDNUMEROERRO, IDTIPORECELOG, CDFILIAL, TREE, CDPRATO,"
            " CDARVPROD, CDSERVFILI FROM TT_OBS"),
        {{":nrintg", m_counts.run}});
}

void IntegrationRun::finishRecord(const SqlRunner& sql, const QDateTime& finished)
{
    sql.run(QStringLiteral("concluir o registro da integração"),
            QStringLiteral("UPDATE INTGCENTRAL SET DTFIM = %1, QTAPAGADAS = :apagadas, QTINSERIDAS = :inseridas,"
                           " QTOBSERV = :observ, QTREESCRITAS = :reescritas, QTIGUAIS = :iguais WHERE NRINTG = :nrintg")
                .arg(sql.typed(QStringLiteral(":fim"), QStringLiteral("timestamp"))),
            {{":fim", SqlRunner::timestamp(finished)},
             {":apagadas", m_counts.deleted},
             {":inseridas", m_counts.inserted},
             {":observ", m_counts.observations},
             {":reescritas", m_counts.rewritten},
             {":iguais", m_counts.equal},
             {":nrintg", m_counts.run}});
}

} // namespace suite::server
