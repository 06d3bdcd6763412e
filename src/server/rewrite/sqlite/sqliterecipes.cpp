#include "sqliterecipes.h"

#include <dberror.h>
#include <sqlrunner.h>

#include <QSqlQuery>

namespace suite::server {

SqliteRecipes::SqliteRecipes(const db::SqlRunner& sql)
    : m_sql(sql)
{}

QString SqliteRecipes::keyedTableOptions() const
{
    // The key is the table, so look-ups and key-order scans skip a second tree.
    return QStringLiteral(" WITHOUT ROWID");
}

void SqliteRecipes::fillKeyed(const char*, const QString&, const std::function<void(bool wholeKeyOrder)>& fill) const
{
    // In key order, which a join gives as it is when its tables are their keys.
    fill(true);
}

void SqliteRecipes::empty(const char* table) const
{
    m_sql.run(QStringLiteral("esvaziar as tabelas de trabalho"),
              QStringLiteral("DELETE FROM %1").arg(QLatin1String(table)));
}

QString SqliteRecipes::sourceForms(const RecipeTable& t) const
{
    // SQLite's exact form of the values, from lines in the key order the before-image pass reads them in.
    return QStringLiteral("linhas_assinatura(NRSEQ, CDARVPROD, QTPRODUTO, SGUNIDADE) AS ORIGEM"
                          " FROM (SELECT * FROM %1 ORDER BY TREE, CDPRATO, %2NRSEQ)")
        .arg(QLatin1String(t.source), t.kind.serviceColumn());
}

QString SqliteRecipes::digest(const char* form) const
{
    return QStringLiteral("resumo(%1)").arg(QLatin1String(form));
}

QString SqliteRecipes::toCompare(const RecipeRange& range) const
{
    // SQLite joins only by look-up, one per recipe into INTGASSIN. Instead, the range's chosen recipes and its digests
    // are walked side by side in key order (an EXCEPT with an ORDER BY merges them), each read once. The merge finds a
    // digest only where the destination's tree is the source's, as in the standard tree; a recipe of a destination's
    // own tree falls through to the look-up.
    const RecipeKind& kind = range.kind();
    const int columns = kind.perService ? 6 : 5;
    QStringList order;
    for (int column = 1; column <= columns; ++column)
        order << QString::number(column);
    // Said as equalities, the branches and (for local recipes) the empty service let INTGASSIN be walked in the
    // order of the rest of its key, with no sort.
    const QString noService = kind.perService ? QString() : QStringLiteral(" AND g.CDSERVFILI = ''");
    const QString unmatched =
        QStringLiteral("SELECT k.CDFILIAL, %1k.TREE, k.CDPRATO, t.DSASSIN, k.DSTTREE FROM %2 k%3"
                       " EXCEPT SELECT g.CDFILIAL, %4g.CDFILAUXPRAT, g.CDPRATO, g.DSASSIN, g.CDFILAUXPRAT"
                       " FROM INTGASSIN g WHERE g.IDTIPORECE = '%5' AND g.CDFILIAL IN (SELECT CDFILIAL FROM TT_DEST"
                       " WHERE %6)%7 ORDER BY %8")
            .arg(kind.serviceColumn("k"), range.inRange(range.table().chosen), range.withSignatures(),
                 kind.serviceColumn("g"), QLatin1String(kind.code), range.condition(), noService,
                 order.join(QStringLiteral(", ")));
    return QStringLiteral("(SELECT k.CDFILIAL, %1k.TREE, k.CDPRATO, k.DSTTREE FROM (%2) k WHERE k.TREE = k.DSTTREE"
                          " OR NOT %3)")
        .arg(kind.serviceColumn("k"), unmatched, range.digestMatches(QStringLiteral("k.DSASSIN")));
}

RecipeChanges SqliteRecipes::keepBeforeImages(const RecipeRange& range, const char* compared, bool compare, bool) const
{
    // linhas_json and its comparing kin (ours) write the text faster than json_group_array(json_array()).
    const RecipeKind& kind = range.kind();
    const QString chosen = range.inRange(compared);
    const QString table = QLatin1String(kind.table);
    QString images;
    if (!compare) {
        // A grouped join walks k in its key order, so the grouping needs no sort.
        images = QStringLiteral("SELECT k.CDFILIAL, %1 AS CDSERVFILI, k.DSTTREE, k.CDPRATO, COUNT(r.NRSEQ) AS QTLINHAS,"
                                " linhas_json(r.NRSEQ, r.CDARVPROD, r.QTPRODUTO, r.SGUNIDADE) AS DSLINHAS FROM %2 k"
                                " LEFT JOIN %3 r ON %4 GROUP BY k.CDFILIAL, %5k.TREE, k.CDPRATO")
                     .arg(kind.serviceOrEmpty("k"), chosen, table, range.recipeOfK("r"), kind.serviceColumn("k"));
    } else {
        // One aggregate per recipe over its key range costs a fifth less than grouping a join of all of them.
        // The comparison gives an equal recipe no text; a differing one's lines are counted from its text.
        // LIMIT keeps the inner query whole, so the comparison runs once per recipe.
        images = QStringLiteral("SELECT d.CDFILIAL, d.CDSERVFILI, d.DSTTREE, d.CDPRATO, linhas_qt(d.DSLINHAS) AS"
                                " QTLINHAS, d.DSLINHAS FROM (SELECT k.CDFILIAL, %1 AS CDSERVFILI, k.DSTTREE, k.CDPRATO,"
                                " (SELECT linhas_json_se_diferem(r.NRSEQ, r.CDARVPROD, r.QTPRODUTO, r.SGUNIDADE,"
                                " t.ORIGEM) FROM %3 r WHERE %4) AS DSLINHAS FROM %2 k%5 LIMIT -1) d"
                                " WHERE d.DSLINHAS IS NOT NULL")
                     .arg(kind.serviceOrEmpty("k"), chosen, table, range.recipeOfK("r"), range.withSignatures());
    }
    return {.rewritten = m_sql.change(QStringLiteral("guardar as receitas substituídas"),
                                      range.keepImages(QStringLiteral("(%1)").arg(images)), range.imageKeys())};
}

int SqliteRecipes::removeRewritten(const RecipeRange& range, const QString& rewritten) const
{
    // SQLite rewrites a B-tree row no faster than it deletes and re-appends it, and the delete is one range per
    // recipe. Every range's old lines go before any range is written, so each range refills without splitting the
    // pages that the later ranges' lines held.
    return m_sql.change(QStringLiteral("apagar as receitas substituídas"),
                        QStringLiteral("DELETE FROM %1 WHERE (CDFILIAL, %2CDFILAUXPRAT, CDPRATO) IN"
                                       " (SELECT CDFILIAL, %2DSTTREE, CDPRATO FROM %3 x)")
                            .arg(QLatin1String(range.kind().table), range.kind().serviceColumn(), rewritten));
}

RecipeChanges SqliteRecipes::write(const RecipeRange& range, const QString& rewritten, const RecipeChanges& kept,
                                   Rewrite)
{
    RecipeChanges changes = kept;
    // CROSS JOIN makes SQLite walk k and then s by their keys, which is the table's key order: the freed ranges
    // refill page by page, without the sort an ORDER BY would add.
    changes.written =
        m_sql.change(QStringLiteral("copiar as receitas da origem"),
                     QStringLiteral("INSERT INTO %1 (%2) SELECT %3 FROM %4 k CROSS JOIN %5 s ON %6")
                         .arg(QLatin1String(range.kind().table), range.kind().columns(), range.lineValues(), rewritten,
                              QLatin1String(range.table().source), range.sourceJoin()));
    return changes;
}

void SqliteRecipes::keepDigests(const RecipeRange& range, const QString& digests, bool) const
{
    m_sql.run(QStringLiteral("guardar as assinaturas das receitas"), upsertDigests(range.kind(), digests));
}

void SqliteRecipes::withOwnWrites(const std::function<void()>& writes) const
{
    // The triggers are dropped and made again when `writes` returns: the run holds the only write lock, and DDL is
    // transactional (if `writes` throws, the rollback puts them back). Made again from their own text, so they stay
    // as the schema (or an upgrade) made them.
    const QString purpose = QStringLiteral("gravar as receitas sem os gatilhos das assinaturas");
    QList<std::pair<QString, QString>> triggers;
    QSqlQuery q = m_sql.run(purpose, QStringLiteral("SELECT name, sql FROM sqlite_schema WHERE type = 'trigger'"
                                                    " AND name LIKE 'TR\\_INTGASSIN\\_%' ESCAPE '\\' ORDER BY name"));
    while (q.next())
        triggers.append({q.value(0).toString(), q.value(1).toString()});
    q.finish();
    if (triggers.isEmpty())
        throw db::DbError(QStringLiteral("%1: o banco não tem os gatilhos das assinaturas").arg(purpose));
    for (const auto& trigger : std::as_const(triggers))
        m_sql.run(purpose, QStringLiteral("DROP TRIGGER %1").arg(trigger.first));
    writes();
    for (const auto& trigger : std::as_const(triggers))
        m_sql.run(purpose, trigger.second);
}

QHash<QString, qint64> SqliteRecipes::forgetUndone(const RecipeKind& kind) const
{
    // SQLite's DELETE ... RETURNING cannot feed a query: the digests are read first.
    const QString purpose = QStringLiteral("esquecer as assinaturas das receitas da integração");
    QSqlQuery q = m_sql.run(purpose, undoneLinesNow(kind, "INTGASSIN"));
    const QHash<QString, qint64> lines = linesPerBranch(q);
    m_sql.run(purpose, QStringLiteral("DELETE %1").arg(undoneDigests(kind)));
    return lines;
}

void SqliteRecipes::removeUndone(const RecipeKind& kind) const
{
    // The lines of every range go first, all at once, so that refilling a range does not split pages that later
    // ranges' lines still hold.
    const QString serv = kind.serviceColumn();
    m_sql.run(QStringLiteral("apagar as receitas da integração"),
              QStringLiteral("DELETE FROM %1 WHERE (CDFILIAL, %2CDFILAUXPRAT, CDPRATO) IN (SELECT CDFILIAL,"
                             " %2CDFILAUXPRAT, CDPRATO FROM TT_DESFAZ WHERE IDTIPORECE = :tipo)")
                  .arg(QLatin1String(kind.table), serv),
              {{":tipo", QLatin1String(kind.code)}});
}

qint64 SqliteRecipes::restore(qint64 run, const RecipeKind& kind, const BranchRange& range, qint64) const
{
    // linhas_de reads back the text linhas_json wrote.
    return m_sql.change(
        QStringLiteral("restaurar as receitas anteriores"),
        QStringLiteral("INSERT INTO %1 (%2) SELECT a.CDFILIAL, %3a.CDFILAUXPRAT, a.CDPRATO, l.NRSEQ, l.CDARVPROD,"
                       " l.QTPRODUTO, l.SGUNIDADE FROM INTGCENTRALANT a, linhas_de(a.DSLINHAS) l"
                       " WHERE a.NRINTG = :nrintg AND a.IDTIPORECE = :tipo AND %4")
            .arg(QLatin1String(kind.table), kind.columns(), kind.serviceColumn("a"),
                 range.condition(m_sql, QStringLiteral("a.CDFILIAL"))),
        {{":nrintg", run}, {":tipo", QLatin1String(kind.code)}});
}

} // namespace suite::server
