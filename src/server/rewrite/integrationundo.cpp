#include "integrationundo.h"
#include "branchranges.h"
#include "bulkrewrite.h"
#include "recipedatabase.h"
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
    const std::unique_ptr<RecipeDatabase> recipes = RecipeDatabase::of(sql);
    recipes->lockBranches(QStringLiteral("SELECT a.CDFILIAL FROM INTGCENTRALANT a WHERE a.NRINTG = :nrintg"), ofRun);
    recipes->startUndo();
    sql.run(
        QStringLiteral("preparar as tabelas de trabalho"),
        QStringLiteral("CREATE TEMP TABLE TT_DESFAZ (IDTIPORECE TEXT NOT NULL, CDFILIAL TEXT NOT NULL, CDSERVFILI TEXT"
                       " NOT NULL, CDFILAUXPRAT TEXT NOT NULL, CDPRATO TEXT NOT NULL, PRIMARY KEY (IDTIPORECE,"
                       " CDFILIAL, CDSERVFILI, CDFILAUXPRAT, CDPRATO))"));
    Outcome outcome;
    // Read by the run's number, the images come in the order of the table's key.
    recipes->fillKeyed(
        "TT_DESFAZ", QStringLiteral("IDTIPORECE, CDFILIAL, CDSERVFILI, CDFILAUXPRAT, CDPRATO"), [&](bool) {
            outcome.recipes =
                sql.change(QStringLiteral("ler as receitas da integração"),
                           QStringLiteral("INSERT INTO TT_DESFAZ SELECT IDTIPORECE, CDFILIAL, CDSERVFILI,"
                                          " CDFILAUXPRAT, CDPRATO FROM INTGCENTRALANT WHERE NRINTG = :nrintg"),
                           ofRun);
        });
    // Unanalyzed, it looks small to PostgreSQL, which then plans the joins with it below (the digests, the
    // restore's work tables) by guesswork.
    recipes->analyze("TT_DESFAZ");
    checkNoLaterRun(sql, run);
    const QHash<QString, qint64> localLines = recipes->forgetUndone(kLocalRecipes);
    const QHash<QString, qint64> serviceLines = recipes->forgetUndone(kServiceRecipes);
    for (const qint64 lines : localLines)
        outcome.linesRemoved += lines;
    for (const qint64 lines : serviceLines)
        outcome.linesRemoved += lines;
    const QList<BranchRange> ranges = branchRanges(sql, QStringLiteral("SELECT DISTINCT CDFILIAL FROM TT_DESFAZ"
                                                                       " ORDER BY CDFILIAL"));
    const int total = branchesIn(ranges);
    recipes->withOwnWrites([&] {
        recipes->removeUndone(kLocalRecipes);
        recipes->removeUndone(kServiceRecipes);
        int done = 0;
        progress.report(Phase::Undoing, done, total, run);
        for (const BranchRange& range : ranges) {
            outcome.linesRestored += recipes->restore(run, kLocalRecipes, range, linesIn(localLines, range));
            outcome.linesRestored += recipes->restore(run, kServiceRecipes, range, linesIn(serviceLines, range));
            done += range.branches();
            progress.report(Phase::Undoing, done, total, run);
        }
    });
    sql.run(QStringLiteral("registrar que a integração foi desfeita"),
            QStringLiteral("UPDATE INTGCENTRAL SET DTDESFEITA = %1 WHERE NRINTG = :nrintg")
                .arg(sql.typed(QStringLiteral(":agora"), QStringLiteral("timestamp"))),
            {{":nrintg", run}, {":agora", SqlRunner::timestamp(QDateTime::currentDateTime())}});
    sql.run(QStringLiteral("descartar as tabelas de trabalho"), QStringLiteral("DROP TABLE TT_DESFAZ"));
    recipes->finishUndo();
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

qint64 IntegrationUndo::linesIn(const QHash<QString, qint64>& lines, const BranchRange& range)
{
    qint64 sum = 0;
    for (const QString& code : range.codes)
        sum += lines.value(code);
    return sum;
}

} // namespace suite::server
