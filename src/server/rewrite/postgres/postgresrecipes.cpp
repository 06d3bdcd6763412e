#include "postgresrecipes.h"
#include "rewrite/joinsbyhashing.h"

#include <sqlrunner.h>

#include <QSqlQuery>

#include <algorithm>

namespace suite::server {

namespace {

// A destination line r written as its source line s.
const char* const kSetFromSource = "SET CDARVPROD = s.CDARVPROD, QTPRODUTO = s.QTPRODUTO, SGUNIDADE = s.SGUNIDADE";

// The lowest and highest line numbers of r, to follow another aggregate.
const char* const kSequenceBounds = ", MIN(r.NRSEQ) AS MINSEQ, MAX(r.NRSEQ) AS MAXSEQ";

// The JSON text of r's lines; unescaped, it is valid only for plain codes and numbers. Built by hand:
// json_build_array per line is much slower, and to_json, which is costly, serves only the rare recipe whose codes
// need escaping or whose quantity is NaN.
QString pgLinesText(bool escaped, bool ordered = false)
{
    const auto text = [escaped](const char* column) {
        return escaped ? QStringLiteral("to_json(r.%1)").arg(QLatin1String(column))
                       : QStringLiteral("'\"' || r.%1 || '\"'").arg(QLatin1String(column));
    };
    return QStringLiteral(
               "COALESCE('[' || string_agg('[' || r.NRSEQ || ',' || %1 || ',' || %2 || ',' || %3 || ']', ','%4)"
               " || ']', '[]')")
        .arg(text("CDARVPROD"), escaped ? QStringLiteral("to_json(r.QTPRODUTO)") : QStringLiteral("r.QTPRODUTO"),
             text("SGUNIDADE"), ordered ? QStringLiteral(" ORDER BY r.NRSEQ") : QString());
}

// True when r's lines can be written unescaped. One match over all of a recipe's codes costs a fraction of one
// match per line.
QString pgPlainLines()
{
    return QStringLiteral("COALESCE(string_agg(r.CDARVPROD || r.SGUNIDADE, '') !~ '[\\x01-\\x1f\"\\\\]'"
                          " AND NOT bool_or(r.QTPRODUTO = 'NaN'), true)");
}

// alias's lines as arrays of their values.
QString pgLineArrays(const char* alias, bool ordered)
{
    const QString order = ordered ? QStringLiteral(" ORDER BY %1.NRSEQ").arg(QLatin1String(alias)) : QString();
    return QStringLiteral("array_agg(%1.NRSEQ%2) AS NRSEQS, array_agg(CAST(%1.CDARVPROD AS TEXT)%2) AS PRODUTOS,"
                          " array_agg(%1.QTPRODUTO%2) AS QTDS, array_agg(CAST(%1.SGUNIDADE AS TEXT)%2) AS UNIDADES")
        .arg(QLatin1String(alias), order);
}

// The source's recipes as arrays of their lines' values.
QString pgSourceArrays(const RecipeTable& t)
{
    return QStringLiteral("SELECT TREE, CDPRATO%1, %2 FROM %3 s GROUP BY TREE, CDPRATO%1")
        .arg(t.kind.trailingServiceColumn(), pgLineArrays("s", true), QLatin1String(t.source));
}

// x's lines (pgLineArrays) differ from the source's (a).
QString pgArraysDiffer()
{
    return QStringLiteral("x.NRSEQS IS DISTINCT FROM a.NRSEQS OR x.PRODUTOS IS DISTINCT FROM a.PRODUTOS"
                          " OR x.QTDS IS DISTINCT FROM a.QTDS OR x.UNIDADES IS DISTINCT FROM a.UNIDADES");
}

// Whether x's line numbers (count and bounds) differ from its source recipe's (t), as RESHAPED.
QString pgReshaped()
{
    return QStringLiteral("(%1) IS NOT TRUE AS RESHAPED").arg(sameLineNumbers("x", "t"));
}

// The columns of an image that name its recipe, k.
QString recipeColumns(const RecipeKind& kind)
{
    return QStringLiteral("k.CDFILIAL, %1 AS CDSERVFILI, k.DSTTREE, k.CDPRATO").arg(kind.serviceOrEmpty("k"));
}

// The lines of the recipe k, as r.
QString linesOfK(const RecipeRange& range)
{
    return QStringLiteral("FROM %1 r WHERE %2").arg(QLatin1String(range.kind().table), range.recipeOfK("r"));
}

// The image of every recipe in `chosen`, from one aggregate per recipe (a grouped join reads the whole table).
// Compared, each also carries its source recipe's text (ORIGEM), its source's tree and whether its line numbers
// differ from the source's (RESHAPED).
QString imagesAsText(const RecipeRange& range, const QString& chosen, bool compare)
{
    const QString lines = linesOfK(range);
    QString images = QStringLiteral("SELECT %1, x.QTLINHAS, CASE WHEN x.PLAIN THEN x.DSLINHAS ELSE (SELECT %2 %3) END"
                                    " AS DSLINHAS")
                         .arg(recipeColumns(range.kind()), pgLinesText(true), lines);
    if (compare)
        images += QStringLiteral(", t.ORIGEM, t.QTLINHAS AS SOURCELINES, k.TREE, ") + pgReshaped();
    return images + QStringLiteral(" FROM %1 k%2 CROSS JOIN LATERAL (SELECT COUNT(*) AS QTLINHAS, %3 AS DSLINHAS,"
                                   " %4 AS PLAIN%5 %6) x")
                        .arg(chosen, compare ? range.withSignatures() : QString(), pgLinesText(false), pgPlainLines(),
                             compare ? QLatin1String(kSequenceBounds) : QLatin1String(), lines);
}

// The image of every recipe in `chosen` that differs from its source recipe, with its source's tree and whether
// its line numbers differ (RESHAPED). The values are compared as arrays, which costs a fraction of writing them as
// text, so that only a recipe that differs has its text written: for runs where most recipes are equal.
QString imagesOfDiffering(const RecipeRange& range, const QString& chosen)
{
    const QString lines = linesOfK(range);
    const QString text = QStringLiteral("(SELECT CASE WHEN %1 THEN %2 ELSE %3 END %4) AS DSLINHAS")
                             .arg(pgPlainLines(), pgLinesText(false), pgLinesText(true), lines);
    const QString source = QStringLiteral("JOIN (%1) a ON a.TREE = k.TREE AND a.CDPRATO = k.CDPRATO%2")
                               .arg(pgSourceArrays(range.table()), range.kind().sameService("a", "k"));
    const QString values = QStringLiteral("CROSS JOIN LATERAL (SELECT COUNT(*) AS QTLINHAS, %1%2 %3) x")
                               .arg(pgLineArrays("r", false), QLatin1String(kSequenceBounds), lines);
    return QStringLiteral("SELECT %1, x.QTLINHAS, %2, k.TREE, %3 FROM %4 k %5%6 %7 WHERE %8")
        .arg(recipeColumns(range.kind()), text, pgReshaped(), chosen, source, range.withSignatures(), values,
             pgArraysDiffer());
}

} // namespace

PostgresRecipes::PostgresRecipes(const db::SqlRunner& sql)
    : m_sql(sql)
{}

void PostgresRecipes::lockBranches(const QString& branches, const QVariantMap& binds) const
{
    m_sql.run(QStringLiteral("reservar as filiais"),
              QStringLiteral("SELECT f.CDFILIAL FROM FILIAL f WHERE f.CDFILIAL IN (%1) ORDER BY f.CDFILIAL"
                             " FOR NO KEY UPDATE")
                  .arg(branches),
              binds);
}

void PostgresRecipes::fillKeyed(const char* table, const QString& key,
                                const std::function<void(bool wholeKeyOrder)>& fill) const
{
    // The key of the filled table is built in little more than half the time that keeping it up row by row takes;
    // the rows need no sort (a sort of them all in the database's collation cost more than the fill itself).
    const QString purpose = QStringLiteral("preparar as tabelas de trabalho");
    const QString name = QLatin1String(table);
    m_sql.run(purpose, QStringLiteral("ALTER TABLE %1 DROP CONSTRAINT %1_PKEY").arg(name));
    fill(false);
    m_sql.run(purpose, QStringLiteral("ALTER TABLE %1 ADD PRIMARY KEY (%2)").arg(name, key));
}

void PostgresRecipes::empty(const char* table) const
{
    // The last range's rows would only grow the statistics taken after the table is refilled.
    m_sql.run(QStringLiteral("esvaziar as tabelas de trabalho"),
              QStringLiteral("TRUNCATE %1").arg(QLatin1String(table)));
}

void PostgresRecipes::analyze(const char* table) const
{
    // PostgreSQL keeps no statistics of temporary tables unless asked; without them it guesses join plans.
    m_sql.run(QStringLiteral("analisar as tabelas de trabalho"),
              QStringLiteral("ANALYZE %1").arg(QLatin1String(table)));
}

void PostgresRecipes::joinByHashing(bool on) const
{
    // The digests grow by a whole range's recipes at a time, faster than their statistics follow, and a probe
    // planned from stale ones can become a scan of them per recipe. A merge join sorts both sides first, which for
    // the pairs of destinations and products cost six times a hash join.
    const QLatin1String value = on ? QLatin1String("off") : QLatin1String("on");
    const QString purpose = QStringLiteral("ajustar o planejador");
    m_sql.run(purpose, QStringLiteral("SET LOCAL enable_nestloop = %1").arg(value));
    m_sql.run(purpose, QStringLiteral("SET LOCAL enable_mergejoin = %1").arg(value));
}

QString PostgresRecipes::sourceForms(const RecipeTable& t) const
{
    // The before-image text itself, which writes every value of the fixed-scale quantities and the codes without
    // loss.
    return QStringLiteral("CASE WHEN %1 THEN %2 ELSE %3 END AS ORIGEM FROM %4 r")
        .arg(pgPlainLines(), pgLinesText(false, true), pgLinesText(true, true), QLatin1String(t.source));
}

QString PostgresRecipes::digest(const char* form) const
{
    return QStringLiteral("left(encode(sha256(convert_to(%1, 'UTF8')), 'hex'), 32)").arg(QLatin1String(form));
}

void PostgresRecipes::startComparing(const RecipeRange& range, const char* compared)
{
    if (m_mostlyDiffering)
        return;
    // A sample of the first range's recipes to compare (their digests did not match), in their key order, tells
    // which way of comparing costs less; once per run and table, since each range's own sample would cost as much
    // as a range's comparison.
    const RecipeKind& kind = range.kind();
    const QString sample =
        QStringLiteral("SELECT COUNT(*), COUNT(*) FILTER (WHERE %1) FROM (SELECT * FROM %2 k LIMIT 1000) k JOIN (%3) a"
                       " ON a.TREE = k.TREE AND a.CDPRATO = k.CDPRATO%4 CROSS JOIN LATERAL (SELECT %5 FROM %6 r"
                       " WHERE %7) x")
            .arg(pgArraysDiffer(), range.inRange(compared), pgSourceArrays(range.table()), kind.sameService("a", "k"),
                 pgLineArrays("r", false), QLatin1String(kind.table), range.recipeOfK("r"));
    QSqlQuery q = m_sql.run(QStringLiteral("estimar quantas receitas diferem"), sample);
    m_mostlyDiffering = q.next() && q.value(1).toLongLong() * 2 > q.value(0).toLongLong();
}

RecipeChanges PostgresRecipes::keepBeforeImages(const RecipeRange& range, const char* compared, bool compare,
                                                bool setApart) const
{
    const QString chosen = range.inRange(compared);
    QString images;
    QString differing;
    if (!compare || comparesAsText()) {
        // Every recipe's text is written anyway, so comparing it with the source's costs nothing more.
        images = imagesAsText(range, chosen, compare);
        if (compare) {
            // Compared here, so that the source's text does not go into the materialized images too: twice the
            // text of a range overflowed the work memory at 1,000 branches, and the images went through a file.
            // OFFSET 0 keeps the text computed once.
            images = QStringLiteral("SELECT y.CDFILIAL, y.CDSERVFILI, y.DSTTREE, y.CDPRATO, y.QTLINHAS, y.DSLINHAS,"
                                    " y.TREE, y.RESHAPED, y.SOURCELINES, y.DSLINHAS <> y.ORIGEM AS DIFFERS"
                                    " FROM (%1 OFFSET 0) y")
                         .arg(images);
            differing = QStringLiteral(" WHERE i.DIFFERS");
        }
    } else {
        images = imagesOfDiffering(range, chosen);
    }
    const RecipeKind& kind = range.kind();
    const QString purpose = QStringLiteral("guardar as receitas substituídas");
    if (!compare)
        return {.rewritten =
                    m_sql.change(purpose, range.keepImages(QStringLiteral("(%1)").arg(images)), range.imageKeys())};
    // The same reading sets apart the recipes whose line numbers differ from the source's, which the writing
    // then adds or removes lines to: no second reading of the lines to compare them.
    const QString differs = differing.isEmpty() ? QStringLiteral("true") : QStringLiteral("i.DIFFERS");
    const auto setApartIn = [&](const char* name, const char* into, const QString& condition) {
        return QStringLiteral(", %1 AS (INSERT INTO %2 (CDFILIAL, %3TREE, CDPRATO, DSTTREE) SELECT i.CDFILIAL,"
                              " %4i.TREE, i.CDPRATO, i.DSTTREE FROM i WHERE %5)")
            .arg(QLatin1String(name), QLatin1String(into), kind.serviceColumn(), kind.serviceColumn("i"), condition);
    };
    const QString rewritten = setApart ? setApartIn("g", range.table().rewritten, differs) : QString();
    const QString imaged =
        QStringLiteral("WITH i AS MATERIALIZED (%1)%2%3")
            .arg(images, setApartIn("f", range.table().reshaped, QStringLiteral("i.RESHAPED AND %1").arg(differs)),
                 rewritten);
    const QString keep = range.keepImages(QStringLiteral("i"), differing);
    if (differing.isEmpty())
        return {.rewritten = m_sql.change(purpose, QStringLiteral("%1 %2").arg(imaged, keep), range.imageKeys())};
    // The images at hand tell the lines they hold and their source recipes', which the writing needs: no reading
    // of the images back.
    QSqlQuery q = m_sql.run(purpose,
                            QStringLiteral("%1, a AS (%2) SELECT COUNT(*), COALESCE(SUM(i.QTLINHAS), 0),"
                                           " COALESCE(SUM(i.SOURCELINES), 0) FROM i%3")
                                .arg(imaged, keep, differing),
                            range.imageKeys());
    q.next();
    return {.replaced = q.value(1).toInt(), .written = q.value(2).toInt(), .rewritten = q.value(0).toInt()};
}

RecipeChanges PostgresRecipes::write(const RecipeRange& range, const QString& rewritten, const RecipeChanges& kept,
                                     Rewrite rewrite)
{
    // PostgreSQL updates in place within the page (the tables keep free space for it), which spares the key index;
    // re-inserting deleted keys would make every index insert check the dead rows.
    if (kept.equal > 0 && !m_rewrittenAnalyzed) {
        analyze(range.table().rewritten);
        m_rewrittenAnalyzed = true;
    }
    const QString table = QLatin1String(range.kind().table);
    const QString source = QLatin1String(range.table().source);
    // When some recipes were equal, the others are those the source changed, often by a line or two: only the
    // lines that differ are written, sparing a new version (and a dead one) of every line that stays.
    const bool linesThatDiffer = kept.equal > 0;
    RecipeChanges changes = kept;
    int updated = 0;
    const auto update = [&] {
        updated = m_sql.change(
            QStringLiteral("copiar as receitas da origem"),
            QStringLiteral("UPDATE %1 r %2 FROM %3 k JOIN %4 s ON %5 WHERE %6 AND r.NRSEQ = s.NRSEQ%7")
                .arg(table, QLatin1String(kSetFromSource), rewritten, source, range.sourceJoin(), range.inRangeR(),
                     linesThatDiffer ? QStringLiteral(" AND (r.CDARVPROD, r.QTPRODUTO, r.SGUNIDADE) IS DISTINCT FROM"
                                                      " (s.CDARVPROD, s.QTPRODUTO, s.SGUNIDADE)")
                                     : QString()));
    };
    if (linesThatDiffer) {
        update();
    } else if (choseEverySourceRecipe(range, rewritten)) {
        // Each line is joined to its source line alone, without a look-up of its recipe among the chosen ones.
        updated = m_sql.change(QStringLiteral("copiar as receitas da origem"),
                               QStringLiteral("UPDATE %1 r %2 FROM %3 s WHERE r.%4 AND r.CDFILAUXPRAT = s.TREE"
                                              " AND r.CDPRATO = s.CDPRATO%5 AND r.NRSEQ = s.NRSEQ")
                                   .arg(table, QLatin1String(kSetFromSource), source, range.destinations(),
                                        range.kind().sameService("r", "s")));
    } else {
        withHashesOfRecipes(kept.rewritten, update);
    }
    // Every source line of a rewritten recipe ends written: over a line of the same number, or added. Images
    // compared as text counted the lines; otherwise they are counted here.
    if (rewrite != Rewrite::Differing || !comparesAsText()) {
        const QString purpose = QStringLiteral("contar as linhas substituídas");
        changes.replaced = int(m_sql.number(purpose,
                                            QStringLiteral("SELECT COALESCE(SUM(QTLINHAS), 0) FROM INTGCENTRALANT"
                                                           " WHERE NRINTG = :nrintg AND IDTIPORECE = :tipo AND %1")
                                                .arg(range.condition()),
                                            range.imageKeys()));
        // A run that compares has the source's line counts at hand, taken once with its digests.
        const QString shapes = rewrite == Rewrite::Differing ? QLatin1String(range.table().signatures)
                                                             : QStringLiteral("(%1)").arg(range.sourceShapes());
        changes.written =
            int(m_sql.number(purpose, QStringLiteral("SELECT COALESCE(SUM(s.QTLINHAS), 0) FROM %1 k JOIN %2 s ON %3")
                                          .arg(rewritten, shapes, range.sourceJoin())));
    }
    if (rewrite == Rewrite::Differing) {
        // The before-image pass set apart the recipes whose line numbers differ.
        reshape(range, int(m_sql.number(
                           QStringLiteral("contar as receitas de outra numeração"),
                           QStringLiteral("SELECT COUNT(*) FROM %1 f").arg(range.inRange(range.table().reshaped)))));
        return changes;
    }
    // Each recipe matched at most min(old, new) lines; if the totals of all three agree, every recipe already
    // had exactly the source's line numbers and the update was the whole job.
    if (updated == changes.replaced && updated == changes.written)
        return changes;
    const RecipeKind& kind = range.kind();
    const QString shapes =
        QStringLiteral("CROSS JOIN LATERAL (SELECT COUNT(*) AS QTLINHAS%1 %2) d JOIN (%3) s ON %4")
            .arg(QLatin1String(kSequenceBounds), linesOfK(range), range.sourceShapes(), range.sourceJoin());
    reshape(range, m_sql.change(QStringLiteral("comparar a numeração das linhas"),
                                QStringLiteral("INSERT INTO %1 (CDFILIAL, %2TREE, CDPRATO, DSTTREE) SELECT k.CDFILIAL,"
                                               " %3k.TREE, k.CDPRATO, k.DSTTREE FROM %4 k %5 WHERE NOT (%6)")
                                    .arg(QLatin1String(range.table().reshaped), kind.serviceColumn(),
                                         kind.serviceColumn("k"), rewritten, shapes, sameLineNumbers("d", "s"))));
    return changes;
}

bool PostgresRecipes::choseEverySourceRecipe(const RecipeRange& range, const QString& rewritten)
{
    // The chosen recipes that have a source recipe are each a pair of a destination of the range and a source
    // recipe, at most one per pair: as many as there are pairs, they are all of them.
    const QString purpose = QStringLiteral("verificar se as receitas escolhidas são todas as da origem");
    const QString sourceRecipes = QStringLiteral("(SELECT DISTINCT TREE, CDPRATO%1 FROM %2)")
                                      .arg(range.kind().trailingServiceColumn(), QLatin1String(range.table().source));
    if (m_sourceRecipes < 0)
        m_sourceRecipes = m_sql.number(purpose, QStringLiteral("SELECT COUNT(*) FROM %1 s").arg(sourceRecipes));
    QSqlQuery q = m_sql.run(purpose, QStringLiteral("SELECT COUNT(*), COUNT(*) FILTER (WHERE k.DSTTREE <> k.TREE)"
                                                    " FROM %1 k JOIN %2 s ON %3")
                                         .arg(rewritten, sourceRecipes, range.sourceJoin()));
    q.next();
    return q.value(0).toLongLong() == range.branches() * m_sourceRecipes && q.value(1).toLongLong() == 0;
}

void PostgresRecipes::withHashesOfRecipes(int recipes, const std::function<void()>& statement) const
{
    // The planner hashes the side of a join it guesses smaller, and every line of the range is guessed as many as
    // the recipes joined to the source's lines: with the run's ample work memory it may hash the lines, a table ten
    // times the recipes' that fits no processor cache, where hashing the recipes and the source's lines and reading
    // the range's lines once past them costs a fifth less. The work memory is sized to hold those two hashes (about
    // 60 bytes a row; PostgreSQL allows a hash twice the work memory) and the bitmap of the range's pages, which
    // turns lossy past it, but not the lines' hash (about 70 bytes a line).
    constexpr int kBytesPerRecipe = 128;
    const int kib = std::max(1024, int(qint64(recipes) * kBytesPerRecipe / 1024));
    const QString purpose = QStringLiteral("ajustar a memória de trabalho");
    const QString runs = m_sql.value(purpose, QStringLiteral("SHOW work_mem")).toString();
    m_sql.run(purpose, QStringLiteral("SET LOCAL work_mem = '%1kB'").arg(kib));
    statement();
    m_sql.run(purpose, QStringLiteral("SET LOCAL work_mem = '%1'").arg(runs));
}

void PostgresRecipes::reshape(const RecipeRange& range, int reshapedCount) const
{
    if (reshapedCount == 0)
        return;
    const QString table = QLatin1String(range.kind().table);
    const QString source = QLatin1String(range.table().source);
    analyze(range.table().reshaped);
    const QString reshaped = range.inRange(range.table().reshaped);
    m_sql.run(QStringLiteral("apagar as linhas que a origem não tem"),
              QStringLiteral("DELETE FROM %1 r USING %2 k WHERE %3 AND NOT EXISTS (SELECT 1 FROM %4 s WHERE %5"
                             " AND s.NRSEQ = r.NRSEQ)")
                  .arg(table, reshaped, range.inRangeR(), source, range.sourceJoin()));
    m_sql.run(QStringLiteral("copiar as linhas que o destino não tem"),
              QStringLiteral("INSERT INTO %1 (%2) SELECT %3 FROM %4 k JOIN %5 s ON %6 WHERE NOT EXISTS (SELECT 1 FROM"
                             " %1 r WHERE %7 AND r.NRSEQ = s.NRSEQ) ORDER BY %8")
                  .arg(table, range.kind().columns(), range.lineValues(), reshaped, source, range.sourceJoin(),
                       range.recipeOfK("r"), range.keyOrder()));
}

void PostgresRecipes::keepDigests(const RecipeRange& range, const QString& digests, bool wholeRange) const
{
    const QString purpose = QStringLiteral("guardar as assinaturas das receitas");
    // A few recipes of the range: one look-up each by the key. All of them: updated where the recipe has a digest
    // and added where it has none, each statement joining the range's digests once. An INSERT ... ON CONFLICT
    // inserts every row speculatively, which costs twice as much as the two. No other writer can add a digest
    // meanwhile: only runs do, and a run holds its destinations.
    if (!wholeRange) {
        m_sql.run(purpose, upsertDigests(range.kind(), digests));
        return;
    }
    const QString sameRecipe =
        QStringLiteral("g.IDTIPORECE = '%1' AND g.CDFILIAL = d.CDFILIAL AND g.CDSERVFILI ="
                       " d.CDSERVFILI AND g.CDFILAUXPRAT = d.CDFILAUXPRAT AND g.CDPRATO = d.CDPRATO"
                       " AND g.%2")
            .arg(QLatin1String(range.kind().code), range.condition());
    m_sql.run(purpose, QStringLiteral("UPDATE INTGASSIN g SET DSASSIN = d.DSASSIN, QTLINHAS = d.QTLINHAS FROM %1 d"
                                      " WHERE %2 AND (g.DSASSIN <> d.DSASSIN OR g.QTLINHAS < 0)")
                           .arg(digests, sameRecipe));
    m_sql.run(purpose, QStringLiteral("INSERT INTO INTGASSIN (IDTIPORECE, CDFILIAL, CDSERVFILI, CDFILAUXPRAT, CDPRATO,"
                                      " DSASSIN, QTLINHAS) SELECT '%1', d.* FROM %2 d WHERE NOT EXISTS (SELECT 1"
                                      " FROM INTGASSIN g WHERE %3)")
                           .arg(QLatin1String(range.kind().code), digests, sameRecipe));
}

void PostgresRecipes::withOwnWrites(const std::function<void()>& writes) const
{
    // The transaction is marked, and the triggers' condition reads the mark.
    const QString purpose = QStringLiteral("gravar as receitas sem os gatilhos das assinaturas");
    m_sql.run(purpose, QStringLiteral("SELECT set_config('suite.escrita', 'integracao', true)")).finish();
    writes();
    m_sql.run(purpose, QStringLiteral("SELECT set_config('suite.escrita', '', true)")).finish();
}

void PostgresRecipes::startUndo() const
{
    m_sql.run(QStringLiteral("preparar as tabelas de trabalho"),
              QStringLiteral("CREATE TEMP TABLE TT_LINHAS (CDFILIAL TEXT NOT NULL, CDSERVFILI TEXT NOT NULL,"
                             " CDFILAUXPRAT TEXT NOT NULL, CDPRATO TEXT NOT NULL, NRSEQ INTEGER NOT NULL,"
                             " CDARVPROD TEXT NOT NULL, QTPRODUTO NUMERIC NOT NULL, SGUNIDADE TEXT NOT NULL)"));
    // Its statistics, taken for every range, serve only to plan the join by the key: a small sample of the key's
    // columns tells that as well, in a tenth of the time of the default one of every column.
    m_sql.run(QStringLiteral("preparar as tabelas de trabalho"),
              QStringLiteral("ALTER TABLE TT_LINHAS ALTER CDFILIAL SET STATISTICS 10, ALTER CDSERVFILI SET STATISTICS"
                             " 10, ALTER CDFILAUXPRAT SET STATISTICS 10, ALTER CDPRATO SET STATISTICS 10, ALTER NRSEQ"
                             " SET STATISTICS 10, ALTER CDARVPROD SET STATISTICS 0, ALTER QTPRODUTO SET STATISTICS 0,"
                             " ALTER SGUNIDADE SET STATISTICS 0"));
}

QHash<QString, qint64> PostgresRecipes::forgetUndone(const RecipeKind& kind) const
{
    // The digests deleted tell the lines, in one statement: one reading of them, and one view of the recipes. A
    // destination where each recipe's digest told its lines (as many as it has recipes) takes their sum; only the
    // others' recipes are joined to the digests to find those whose lines must be counted, a join that costs a third of
    // the statement when done for every recipe. The planner guesses the deleted rows far too few and would sort
    // them all to merge them with TT_DESFAZ.
    const JoinsByHashing byHashing(*this);
    const QString toldFirst =
        QStringLiteral(
            "told AS (SELECT CDFILIAL, SUM(QTLINHAS) AS QTLINHAS, COUNT(*) AS QTRECEITAS FROM g WHERE QTLINHAS >= 0"
            " GROUP BY CDFILIAL), untold AS (SELECT t.CDFILIAL FROM TT_DESFAZ t LEFT JOIN told d ON d.CDFILIAL ="
            " t.CDFILIAL WHERE t.IDTIPORECE = '%1' GROUP BY t.CDFILIAL"
            " HAVING COUNT(*) <> MAX(COALESCE(d.QTRECEITAS, 0)))"
            " SELECT CDFILIAL, QTLINHAS FROM told WHERE CDFILIAL NOT IN (SELECT CDFILIAL FROM untold) UNION ALL ")
            .arg(QLatin1String(kind.code));
    QSqlQuery q = m_sql.run(
        QStringLiteral("esquecer as assinaturas das receitas da integração"),
        QStringLiteral("WITH g AS (DELETE %1 RETURNING IDTIPORECE, CDFILIAL, CDSERVFILI, CDFILAUXPRAT, CDPRATO,"
                       " QTLINHAS), %2%3")
            .arg(undoneDigests(kind), toldFirst,
                 undoneLinesNow(kind, "g", QStringLiteral("t.CDFILIAL IN (SELECT CDFILIAL FROM untold)"))));
    return linesPerBranch(q);
}

void PostgresRecipes::finishUndo() const
{
    m_sql.run(QStringLiteral("descartar as tabelas de trabalho"), QStringLiteral("DROP TABLE TT_LINHAS"));
}

qint64 PostgresRecipes::restore(qint64 run, const RecipeKind& kind, const BranchRange& range, qint64 linesNow) const
{
    // Lines that kept their number are updated in place, as the integration wrote them, which leaves the key index
    // alone; only lines the run added or renumbered go, and lines it removed come back. The table serves each kind
    // in turn.
    const QString table = QLatin1String(kind.table);
    const QVariantMap ofKind{{":tipo", QLatin1String(kind.code)}};
    const QVariantMap ofRun{{":nrintg", run}, {":tipo", QLatin1String(kind.code)}};
    const QString imagesInRange = QStringLiteral("a.NRINTG = :nrintg AND a.IDTIPORECE = :tipo AND %1")
                                      .arg(range.condition(m_sql, QStringLiteral("a.CDFILIAL")));
    // As jsonb, each image is parsed once and its four fields are read by position; as json, every ->> parses its
    // element again (two fifths of the reading's time). The text each field gives is the same.
    const QString imageLines =
        QStringLiteral("SELECT a.CDFILIAL, a.CDSERVFILI, a.CDFILAUXPRAT, a.CDPRATO, CAST(j.e->>0 AS INTEGER) AS NRSEQ,"
                       " j.e->>1 AS CDARVPROD, CAST(j.e->>2 AS NUMERIC) AS QTPRODUTO, j.e->>3 AS SGUNIDADE"
                       " FROM INTGCENTRALANT a CROSS JOIN LATERAL jsonb_array_elements(CAST(a.DSLINHAS AS jsonb))"
                       " AS j(e) WHERE %1")
            .arg(imagesInRange);
    const qint64 before =
        m_sql.number(QStringLiteral("contar as linhas anteriores"),
                     QStringLiteral("SELECT SUM(a.QTLINHAS) FROM INTGCENTRALANT a WHERE %1").arg(imagesInRange), ofRun);
    const QString sameLine = QStringLiteral("l.CDFILIAL = r.CDFILIAL AND l.CDSERVFILI = %1 AND l.CDFILAUXPRAT ="
                                            " r.CDFILAUXPRAT AND l.CDPRATO = r.CDPRATO AND l.NRSEQ = r.NRSEQ")
                                 .arg(kind.serviceOrEmpty("r"));
    // Straight from the images, each image's lines are joined to its recipe's, found by their key. The work table
    // is filled only when some recipe's lines are not the image's, one for one.
    const int updated = m_sql.change(
        QStringLiteral("restaurar as receitas anteriores"),
        QStringLiteral("UPDATE %1 r SET CDARVPROD = l.CDARVPROD, QTPRODUTO = l.QTPRODUTO, SGUNIDADE = l.SGUNIDADE"
                       " FROM (%2) l WHERE %3")
            .arg(table, imageLines,
                 sameLine + QStringLiteral(" AND ") + range.condition(m_sql, QStringLiteral("r.CDFILIAL"))),
        ofRun);
    // Every line matched one of the same number, before (as each image counts its lines) and now: nothing was added
    // or removed. Earlier ranges changed no line of this one, so the count taken before them still holds.
    if (updated == before && updated == linesNow)
        return before;
    empty("TT_LINHAS");
    const int lines = m_sql.change(QStringLiteral("ler as linhas anteriores"),
                                   QStringLiteral("INSERT INTO TT_LINHAS %1").arg(imageLines), ofRun);
    analyze("TT_LINHAS");
    // A current line r of a recipe the run replaced (t). The range is said of both: PostgreSQL carries a join's
    // equalities to the other side, but not a range.
    const QString ofRunRecipe =
        QStringLiteral("t.IDTIPORECE = :tipo AND %2 AND %3 AND r.CDFILIAL = t.CDFILIAL%1"
                       " AND r.CDFILAUXPRAT = t.CDFILAUXPRAT AND r.CDPRATO = t.CDPRATO")
            .arg(kind.sameService("r", "t"), range.condition(m_sql, QStringLiteral("t.CDFILIAL")),
                 range.condition(m_sql, QStringLiteral("r.CDFILIAL")));
    m_sql.run(QStringLiteral("apagar as linhas que a integração criou"),
              QStringLiteral(
                  "DELETE FROM %1 r USING TT_DESFAZ t WHERE %2 AND NOT EXISTS (SELECT 1 FROM TT_LINHAS l WHERE %3)")
                  .arg(table, ofRunRecipe, sameLine),
              ofKind);
    m_sql.run(QStringLiteral("restaurar as linhas que a integração apagou"),
              QStringLiteral("INSERT INTO %1 (%2) SELECT l.CDFILIAL, %3l.CDFILAUXPRAT, l.CDPRATO, l.NRSEQ, l.CDARVPROD,"
                             " l.QTPRODUTO, l.SGUNIDADE FROM TT_LINHAS l WHERE NOT EXISTS (SELECT 1 FROM %1 r WHERE %4)"
                             " ORDER BY 1, 2, 3, 4")
                  .arg(table, kind.columns(), kind.serviceColumn("l"), sameLine));
    return lines;
}

} // namespace suite::server
