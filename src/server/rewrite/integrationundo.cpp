#include "integrationundo.h"
#include "branchlock.h"
#include "branchranges.h"
#include "bulkrewrite.h"
#include "ownrecipewrites.h"
#include "recipekind.h"
#include "runprogress.h"
#include "servererrors.h"
#include "sqlite/sqlitefunctions.h"
#include "threadconnection.h"

#include <sqlrunner.h>
#include <transaction.h>

#include <QDateTime>

namespace suite::server {

using db::SqlRunner;

IntegrationUndo::IntegrationUndo(QSqlDatabase db, QString operatorCode)
    : m_db(std::move(db))
    , m_operator(std::move(operatorCode))
{
    ensureSqliteFunctions(m_db);
}

IntegrationUndo::Outcome IntegrationUndo::undo(qint64 run, const Authorize& authorize)
{
    const QDateTime started = QDateTime::currentDateTime();
    const SqlRunner sql(m_db);
    const RunProgress progress(m_operator, sql);
    progress.report(Phase::Undoing, 0, 0, run);
    db::Transaction transaction(sql);
    liftStatementTimeout(sql);
    const QVariantMap ofRun{{":nrintg", run}};
    checkRun(sql, run);
    if (authorize)
        authorize(sql, run);
    const BulkRewrite bulk(sql);
    lockBranches(sql, QStringLiteral("SELECT a.CDFILIAL FROM INTGCENTRALANT a WHERE a.NRINTG = :nrintg"), ofRun);
    if (sql.isPostgres()) {
        sql.run(QStringLiteral("preparar as tabelas de trabalho"),
                QStringLiteral("CREATE TEMP TABLE TT_LINHAS (CDFILIAL TEXT NOT NULL, CDSERVFILI TEXT NOT NULL,"
                               " CDFILAUXPRAT TEXT NOT NULL, CDPRATO TEXT NOT NULL, NRSEQ INTEGER NOT NULL,"
                               " CDARVPROD TEXT NOT NULL, QTPRODUTO NUMERIC NOT NULL, SGUNIDADE TEXT NOT NULL)"));
    }
    sql.run(
        QStringLiteral("preparar as tabelas de trabalho"),
        QStringLiteral("CREATE TEMP TABLE TT_DESFAZ (IDTIPORECE TEXT NOT NULL, CDFILIAL TEXT NOT NULL, CDSERVFILI TEXT"
                       " NOT NULL, CDFILAUXPRAT TEXT NOT NULL, CDPRATO TEXT NOT NULL, PRIMARY KEY (IDTIPORECE,"
                       " CDFILIAL, CDSERVFILI, CDFILAUXPRAT, CDPRATO))"));
    Outcome outcome;
    outcome.recipes = sql.change(QStringLiteral("ler as receitas da integração"),
                                 QStringLiteral("INSERT INTO TT_DESFAZ SELECT IDTIPORECE, CDFILIAL, CDSERVFILI,"
                                                " CDFILAUXPRAT, CDPRATO FROM INTGCENTRALANT WHERE NRINTG = :nrintg"),
                                 ofRun);
    checkNoLaterRun(sql, run);
    const QHash<QString, qint64> localLines = currentLines(sql, kLocalRecipes);
    const QHash<QString, qint64> serviceLines = currentLines(sql, kServiceRecipes);
    for (const qint64 lines : localLines)
        outcome.linesRemoved += lines;
    for (const qint64 lines : serviceLines)
        outcome.linesRemoved += lines;
    outcome.linesRestored = sql.number(QStringLiteral("contar as linhas"),
                                       QStringLiteral("SELECT COALESCE(SUM(QTLINHAS), 0) FROM INTGCENTRALANT"
                                                      " WHERE NRINTG = :nrintg"),
                                       ofRun);
    const QList<BranchRange> ranges = branchRanges(sql, QStringLiteral("SELECT DISTINCT CDFILIAL FROM TT_DESFAZ"
                                                                       " ORDER BY CDFILIAL"));
    const int total = branchesIn(ranges);
    // The recipes put back no longer equal the source recipes their digests name.
    sql.run(QStringLiteral("esquecer as assinaturas das receitas da integração"),
            QStringLiteral("DELETE FROM INTGASSIN WHERE (IDTIPORECE, CDFILIAL, CDSERVFILI, CDFILAUXPRAT, CDPRATO) IN"
                           " (SELECT IDTIPORECE, CDFILIAL, CDSERVFILI, CDFILAUXPRAT, CDPRATO FROM TT_DESFAZ)"));
    withOwnRecipeWrites(sql, [&] {
        // SQLite: the lines of every range go first, all at once, so that refilling a range does not split pages
        // that later ranges' lines still hold.
        if (!sql.isPostgres()) {
            removeLines(sql, kLocalRecipes);
            removeLines(sql, kServiceRecipes);
        }
        int done = 0;
        progress.report(Phase::Undoing, done, total, run);
        for (const BranchRange& range : ranges) {
            restore(sql, run, kLocalRecipes, range, linesIn(localLines, range));
            restore(sql, run, kServiceRecipes, range, linesIn(serviceLines, range));
            done += range.branches();
            progress.report(Phase::Undoing, done, total, run);
        }
    });
    sql.run(QStringLiteral("registrar que a integração foi desfeita"),
            QStringLiteral("UPDATE INTGCENTRAL SET DTDESFEITA = %1 WHERE NRINTG = :nrintg")
                .arg(sql.typed(QStringLiteral(":agora"), QStringLiteral("timestamp"))),
            {{":nrintg", run}, {":agora", SqlRunner::timestamp(QDateTime::currentDateTime())}});
    sql.run(QStringLiteral("descartar as tabelas de trabalho"), QStringLiteral("DROP TABLE TT_DESFAZ"));
    if (sql.isPostgres())
        sql.run(QStringLiteral("descartar as tabelas de trabalho"), QStringLiteral("DROP TABLE TT_LINHAS"));
    outcome.undoRun = recordUndo(sql, run, started, outcome);
    transaction.commit();
    return outcome;
}

qint64 IntegrationUndo::recordUndo(const SqlRunner& sql, qint64 run, const QDateTime& started,
                                   const Outcome& counts) const
{
    // The undo is a run of its own in the history, with what the undone run named. Its dishes are not copied: the
    // undone run's record keeps them (NRINTGDESF leads there), and one kept by an earlier build may be huge.
    QSqlQuery q =
        sql.run(QStringLiteral("registrar o desfazimento"),
                QStringLiteral("INSERT INTO INTGCENTRAL (CDOPERADOR, DTINICIO, DTFIM, CDFILIORIG, IDTIPORECE, DSPRATOS,"
                               " DSDESTINOS, DTINICARD, DTFINCARD, QTAPAGADAS, QTINSERIDAS, IDTIPOINTG, NRINTGDESF)"
                               " SELECT :operador, %1, %2, CDFILIORIG, IDTIPORECE, '', DSDESTINOS, DTINICARD,"
                               " DTFINCARD, :apagadas, :inseridas, 'D', NRINTG FROM INTGCENTRAL WHERE NRINTG = :nrintg"
                               " RETURNING NRINTG")
                    .arg(sql.typed(QStringLiteral(":inicio"), QStringLiteral("timestamp")),
                         sql.typed(QStringLiteral(":fim"), QStringLiteral("timestamp"))),
                {{":operador", m_operator},
                 {":inicio", SqlRunner::timestamp(started)},
                 {":fim", SqlRunner::timestamp(QDateTime::currentDateTime())},
                 {":apagadas", counts.linesRemoved},
                 {":inseridas", counts.linesRestored},
                 {":nrintg", run}});
    if (!q.next())
        throw db::DbError(QStringLiteral("registrar o desfazimento: número não devolvido"));
    return q.value(0).toLongLong();
}

void IntegrationUndo::checkRun(const SqlRunner& sql, qint64 run) const
{
    QSqlQuery q = sql.run(QStringLiteral("ler a integração"),
                          QStringLiteral("SELECT DTDESFEITA, IDTIPOINTG FROM INTGCENTRAL WHERE NRINTG = :nrintg"),
                          {{":nrintg", run}});
    if (!q.next())
        throw ServiceError(QStringLiteral("Integração %1 não encontrada.").arg(run));
    if (q.value(1).toString() == QLatin1String("D"))
        throw ServiceError(QStringLiteral("A integração %1 é um desfazimento: não há o que desfazer.").arg(run));
    if (!q.value(0).isNull())
        throw ServiceError(QStringLiteral("A integração %1 já foi desfeita.").arg(run));
}

void IntegrationUndo::checkNoLaterRun(const SqlRunner& sql, qint64 run) const
{
    // Later runs' before-images are read by run number, so the look-up is into the (small) key table.
    QSqlQuery q =
        sql.run(QStringLiteral("procurar integrações posteriores"),
                QStringLiteral("SELECT MIN(a.NRINTG) FROM INTGCENTRALANT a JOIN INTGCENTRAL c ON c.NRINTG = a.NRINTG"
                               " WHERE a.NRINTG > :nrintg AND c.DTDESFEITA IS NULL AND EXISTS (SELECT 1"
                               " FROM TT_DESFAZ t WHERE t.IDTIPORECE = a.IDTIPORECE AND t.CDFILIAL = a.CDFILIAL"
                               " AND t.CDSERVFILI = a.CDSERVFILI AND t.CDFILAUXPRAT = a.CDFILAUXPRAT"
                               " AND t.CDPRATO = a.CDPRATO)"),
                {{":nrintg", run}});
    if (q.next() && !q.value(0).isNull()) {
        const qint64 later = q.value(0).toLongLong();
        throw ServiceError(
            QStringLiteral("A integração %1 não pode ser desfeita: a integração %2, posterior, substituiu "
                           "receitas dela. Desfaça primeiro a %2.")
                .arg(run)
                .arg(later));
    }
}

void IntegrationUndo::removeLines(const SqlRunner& sql, const RecipeKind& recipes) const
{
    const QString serv = recipes.serviceColumn();
    sql.run(QStringLiteral("apagar as receitas da integração"),
            QStringLiteral("DELETE FROM %1 WHERE (CDFILIAL, %2CDFILAUXPRAT, CDPRATO) IN (SELECT CDFILIAL,"
                           " %2CDFILAUXPRAT, CDPRATO FROM TT_DESFAZ WHERE IDTIPORECE = :tipo)")
                .arg(QLatin1String(recipes.table), serv),
            {{":tipo", QLatin1String(recipes.code)}});
}

QHash<QString, qint64> IntegrationUndo::currentLines(const SqlRunner& sql, const RecipeKind& recipes) const
{
    QSqlQuery q = sql.run(
        QStringLiteral("contar as linhas"),
        QStringLiteral("SELECT t.CDFILIAL, COUNT(*) FROM %1 r JOIN TT_DESFAZ t ON t.IDTIPORECE = :tipo"
                       " AND r.CDFILIAL = t.CDFILIAL%2 AND r.CDFILAUXPRAT = t.CDFILAUXPRAT AND r.CDPRATO = t.CDPRATO"
                       " GROUP BY t.CDFILIAL")
            .arg(QLatin1String(recipes.table), recipes.sameService("r", "t")),
        {{":tipo", QLatin1String(recipes.code)}});
    QHash<QString, qint64> lines;
    while (q.next())
        lines.insert(q.value(0).toString(), q.value(1).toLongLong());
    return lines;
}

qint64 IntegrationUndo::linesIn(const QHash<QString, qint64>& lines, const BranchRange& range)
{
    qint64 sum = 0;
    for (const QString& code : range.codes)
        sum += lines.value(code);
    return sum;
}

void IntegrationUndo::restore(const SqlRunner& sql, qint64 run, const RecipeKind& recipes, const BranchRange& range,
                              qint64 linesNow) const
{
    const QString table = QLatin1String(recipes.table);
    const QVariantMap kind{{":tipo", QLatin1String(recipes.code)}};
    QVariantMap binds = kind;
    binds.insert(QStringLiteral(":nrintg"), run);
    const QString columns = recipes.columns();
    if (!sql.isPostgres()) {
        sql.run(
            QStringLiteral("restaurar as receitas anteriores"),
            QStringLiteral(
                "INSERT INTO %1 (%2) SELECT a.CDFILIAL, %3a.CDFILAUXPRAT, a.CDPRATO, l.NRSEQ, l.CDARVPROD,"
                " l.QTPRODUTO, l.SGUNIDADE"
                " FROM INTGCENTRALANT a, linhas_de(a.DSLINHAS) l WHERE a.NRINTG = :nrintg AND a.IDTIPORECE = :tipo"
                " AND %4")
                .arg(table, columns, recipes.serviceColumn("a"), range.condition(sql, QStringLiteral("a.CDFILIAL"))),
            binds);
        return;
    }

    // PostgreSQL: lines that kept their number are updated in place, as the integration wrote them, which
    // leaves the key index alone; only lines the run added or renumbered go, and lines it removed come back.
    // The table serves each kind in turn.
    sql.run(QStringLiteral("esvaziar as tabelas de trabalho"), QStringLiteral("TRUNCATE TT_LINHAS"));
    const int before = sql.change(
        QStringLiteral("ler as linhas anteriores"),
        QStringLiteral("INSERT INTO TT_LINHAS SELECT a.CDFILIAL, a.CDSERVFILI, a.CDFILAUXPRAT, a.CDPRATO,"
                       " CAST(j.e->>0 AS INTEGER), j.e->>1, CAST(j.e->>2 AS NUMERIC), j.e->>3 FROM INTGCENTRALANT a"
                       " CROSS JOIN LATERAL json_array_elements(CAST(a.DSLINHAS AS json)) AS j(e)"
                       " WHERE a.NRINTG = :nrintg AND a.IDTIPORECE = :tipo AND %1")
            .arg(range.condition(sql, QStringLiteral("a.CDFILIAL"))),
        binds);
    sql.run(QStringLiteral("analisar as tabelas de trabalho"), QStringLiteral("ANALYZE TT_LINHAS"));
    const QString sameLine = QStringLiteral("l.CDFILIAL = r.CDFILIAL AND l.CDSERVFILI = %1 AND l.CDFILAUXPRAT ="
                                            " r.CDFILAUXPRAT AND l.CDPRATO = r.CDPRATO AND l.NRSEQ = r.NRSEQ")
                                 .arg(recipes.serviceOrEmpty("r"));
    const int updated = sql.change(
        QStringLiteral("restaurar as receitas anteriores"),
        QStringLiteral("UPDATE %1 r SET CDARVPROD = l.CDARVPROD, QTPRODUTO = l.QTPRODUTO, SGUNIDADE = l.SGUNIDADE"
                       " FROM TT_LINHAS l WHERE %2")
            .arg(table, sameLine + QStringLiteral(" AND ") + range.condition(sql, QStringLiteral("r.CDFILIAL"))));
    // A current line r of a recipe the run replaced (t). The range is said of both: PostgreSQL carries a join's
    // equalities to the other side, but not a range.
    const QString ofRunRecipe =
        QStringLiteral("t.IDTIPORECE = :tipo AND %2 AND %3 AND r.CDFILIAL = t.CDFILIAL%1"
                       " AND r.CDFILAUXPRAT = t.CDFILAUXPRAT AND r.CDPRATO = t.CDPRATO")
            .arg(recipes.sameService("r", "t"), range.condition(sql, QStringLiteral("t.CDFILIAL")),
                 range.condition(sql, QStringLiteral("r.CDFILIAL")));
    // Every line matched one of the same number, before and now: nothing was added or removed. Earlier ranges
    // changed no line of this one, so the count taken before them still holds.
    if (updated == before && updated == linesNow)
        return;
    sql.run(QStringLiteral("apagar as linhas que a integração criou"),
            QStringLiteral(
                "DELETE FROM %1 r USING TT_DESFAZ t WHERE %2 AND NOT EXISTS (SELECT 1 FROM TT_LINHAS l WHERE %3)")
                .arg(table, ofRunRecipe, sameLine),
            kind);
    sql.run(QStringLiteral("restaurar as linhas que a integração apagou"),
            QStringLiteral("INSERT INTO %1 (%2) SELECT l.CDFILIAL, %3l.CDFILAUXPRAT, l.CDPRATO, l.NRSEQ, l.CDARVPROD,"
                           " l.QTPRODUTO, l.SGUNIDADE FROM TT_LINHAS l WHERE NOT EXISTS (SELECT 1 FROM %1 r WHERE %4)"
                           " ORDER BY 1, 2, 3, 4")
                .arg(table, columns, recipes.serviceColumn("l"), sameLine));
}

} // namespace suite::server
