#include "recipewriter.h"
#include "serverlog.h"

#include <sqlrunner.h>

#include <exception>

namespace suite::server {

using db::SqlRunner;

namespace {

// PostgreSQL: the lowest and highest line numbers of r, to follow another aggregate.
const char* const kSequenceBounds = ", MIN(r.NRSEQ) AS MINSEQ, MAX(r.NRSEQ) AS MAXSEQ";

// A recipe's lines (QTLINHAS, MINSEQ, MAXSEQ) have the same numbers as its source recipe's. Line numbers are
// unique within a recipe: as many as the source's, between the same bounds, and the source's without a gap, they
// are the same numbers.
QString sameLineNumbers(const char* lines, const char* source)
{
    return QStringLiteral("%1.QTLINHAS = %2.QTLINHAS AND %1.MINSEQ = %2.MINSEQ AND %1.MAXSEQ = %2.MAXSEQ"
                          " AND %2.QTLINHAS = %2.MAXSEQ - %2.MINSEQ + 1")
        .arg(QLatin1String(lines), QLatin1String(source));
}

// PostgreSQL: the digests grow by a whole range's recipes at a time, faster than their statistics follow, and a
// probe planned from stale ones can become a scan of them per recipe. While it lives, the range's recipes and
// digests (the range is said of both) are joined by hashing, each read once.
class ProbesByKey {
public:
    explicit ProbesByKey(const SqlRunner& sql)
        : m_sql(sql)
    {
        if (m_sql.isPostgres())
            m_sql.run(QStringLiteral("ajustar o planejador"), QStringLiteral("SET LOCAL enable_nestloop = off"));
    }
    ~ProbesByKey()
    {
        // After a failure the transaction is lost anyway, and PostgreSQL would refuse the statement.
        if (!m_sql.isPostgres() || std::uncaught_exceptions() > 0)
            return;
        try {
            m_sql.run(QStringLiteral("ajustar o planejador"), QStringLiteral("SET LOCAL enable_nestloop = on"));
        } catch (const db::DbError& e) {
            qCWarning(lcServer).noquote() << e.message();
        }
    }
    ProbesByKey(const ProbesByKey&) = delete;
    ProbesByKey& operator=(const ProbesByKey&) = delete;

private:
    const SqlRunner& m_sql;
};

} // namespace

RecipeWriter::RecipeWriter(const SqlRunner& sql, const RecipeTable& table, qint64 run, QString source, Rewrite rewrite,
                           const BranchRange& destinations, RangeHints& hints)
    : m_sql(sql)
    , m_t(table)
    , m_run(run)
    , m_source(std::move(source))
    , m_rewrite(rewrite)
    , m_range(destinations.condition(sql, QStringLiteral("CDFILIAL")))
    , m_hints(hints)
{}

QString RecipeWriter::inRange(const char* table) const
{
    return QStringLiteral("(SELECT * FROM %1 WHERE %2)").arg(QLatin1String(table), m_range);
}

RecipeChanges RecipeWriter::keep(bool forWriting) const
{
    const int chosen = int(m_sql.number(QStringLiteral("contar as receitas a substituir"),
                                        QStringLiteral("SELECT COUNT(*) FROM %1 c").arg(inRange(m_t.chosen))));
    if (chosen == 0)
        return {};
    // A recipe whose digest matches its source recipe's is equal to it: no other writer has changed it since a
    // run wrote it or found it equal (the triggers drop the digest of a recipe they change). The others are set
    // apart once, so the passes below read only them.
    const bool compare = m_rewrite == Rewrite::Differing;
    const char* compared = m_t.chosen;
    bool someKnownEqual = false;
    // When the last range had no recipe known equal and no digest of this one can match, every chosen recipe is
    // compared as it is, which spares setting them apart.
    if (compare && (!m_hints.noneKnown || anyDigestMatches())) {
        const int toCompare = setApartToCompare();
        if (toCompare == 0)
            return {0, 0, 0, chosen};
        m_hints.noneKnown = toCompare == chosen;
        someKnownEqual = !m_hints.noneKnown;
        compared = m_t.compared;
    }
    if (compare && m_sql.isPostgres() && !m_hints.mostlyDiffering)
        m_hints.mostlyDiffering = pgMostlyDiffering(compared);
    // The comparison is the before-image pass itself: it reads every recipe to compare once, and a recipe that
    // differs gets its image from that same reading.
    // PostgreSQL sets the recipes that differ apart in that same reading when some are known to be equal.
    const bool imagedApart = forWriting && someKnownEqual && m_sql.isPostgres();
    RecipeChanges changes;
    changes.rewritten = keepBeforeImages(compared, imagedApart);
    changes.equal = chosen - changes.rewritten;
    if (!forWriting)
        return changes;
    if (compare)
        keepDigests(compared);
    else
        dropDigests();
    if (changes.rewritten > 0 && changes.equal > 0 && !imagedApart)
        keepImagedApart();
    // SQLite rewrites a B-tree row no faster than it deletes and re-appends it, and the delete is one range
    // per recipe. PostgreSQL updates in place within the page (the tables keep free space for it), which
    // spares the key index; re-inserting deleted keys would make every index insert check the dead rows.
    if (changes.rewritten > 0 && !m_sql.isPostgres())
        changes.replaced =
            m_sql.change(QStringLiteral("apagar as receitas substituídas"),
                         QStringLiteral("DELETE FROM %1 WHERE (CDFILIAL, %2CDFILAUXPRAT, CDPRATO) IN"
                                        " (SELECT CDFILIAL, %2DSTTREE, CDPRATO FROM %3 x)")
                             .arg(QLatin1String(m_t.kind.table), m_t.kind.serviceColumn(), rewrittenRecipes(changes)));
    return changes;
}

RecipeChanges RecipeWriter::write(const RecipeChanges& kept) const
{
    if (kept.rewritten == 0)
        return kept;
    if (m_sql.isPostgres())
        return rewriteInPlace(kept);
    RecipeChanges changes = kept;
    // CROSS JOIN makes SQLite walk k and then s by their keys, which is the table's key order: the freed
    // ranges refill page by page, without the sort an ORDER BY would add.
    changes.written = m_sql.change(QStringLiteral("copiar as receitas da origem"),
                                   QStringLiteral("INSERT INTO %1 (%2) SELECT %3 FROM %4 k CROSS JOIN %5 s ON %6")
                                       .arg(QLatin1String(m_t.kind.table), m_t.kind.columns(), lineValues(),
                                            rewrittenRecipes(kept), QLatin1String(m_t.source), sourceJoin()));
    return changes;
}

QString RecipeWriter::signatureJoin() const
{
    return QStringLiteral("t.TREE = k.TREE AND t.CDPRATO = k.CDPRATO%1").arg(m_t.kind.sameService("t", "k"));
}

QString RecipeWriter::digestMatches() const
{
    return QStringLiteral("EXISTS (SELECT 1 FROM INTGASSIN g WHERE g.IDTIPORECE = '%1' AND g.CDFILIAL = k.CDFILIAL"
                          " AND g.CDSERVFILI = %2 AND g.CDFILAUXPRAT = k.DSTTREE AND g.CDPRATO = k.CDPRATO"
                          " AND g.DSASSIN = t.DSASSIN AND g.%3)")
        .arg(QLatin1String(m_t.kind.code), m_t.kind.serviceOrEmpty("k"), m_range);
}

int RecipeWriter::setApartToCompare() const
{
    const QString servColumn = m_t.kind.serviceColumn();
    // The last range's rows would only grow the statistics taken below, range after range.
    const QString empty = m_sql.isPostgres() ? QStringLiteral("TRUNCATE") : QStringLiteral("DELETE FROM");
    m_sql.run(QStringLiteral("esvaziar as tabelas de trabalho"),
              QStringLiteral("%1 %2").arg(empty, QLatin1String(m_t.compared)));
    const ProbesByKey byKey(m_sql);
    const int count = m_sql.change(
        QStringLiteral("separar as receitas a comparar"),
        QStringLiteral("INSERT INTO %1 (CDFILIAL, %2TREE, CDPRATO, DSTTREE) SELECT k.CDFILIAL, %3k.TREE, k.CDPRATO,"
                       " k.DSTTREE FROM %4 k")
            .arg(QLatin1String(m_t.compared), servColumn, m_t.kind.serviceColumn("k"), toCompare(inRange(m_t.chosen))));
    if (count > 0 && m_sql.isPostgres())
        m_sql.run(QStringLiteral("analisar as tabelas de trabalho"),
                  QStringLiteral("ANALYZE %1").arg(QLatin1String(m_t.compared)));
    return count;
}

QString RecipeWriter::toCompare(const QString& chosen) const
{
    return QStringLiteral("(SELECT k.* FROM %1 k %2 %3 t ON %4 WHERE NOT %5)")
        .arg(chosen, m_sql.fixedJoin(), QLatin1String(m_t.signatures), signatureJoin(), digestMatches());
}

bool RecipeWriter::anyDigestMatches() const
{
    // The digests of the range, each checked against the (small) table of the source's: no look-up into the
    // destinations' recipes.
    const ProbesByKey byKey(m_sql);
    QSqlQuery q =
        m_sql.run(QStringLiteral("procurar assinaturas iguais às da origem"),
                  QStringLiteral("SELECT 1 FROM INTGASSIN g %1 %2 t ON t.TREE = %3 AND t.CDPRATO = g.CDPRATO%4"
                                 " AND t.DSASSIN = g.DSASSIN WHERE g.IDTIPORECE = '%5' AND g.%6 LIMIT 1")
                      .arg(m_sql.fixedJoin(), QLatin1String(m_t.signatures), sourceTreeOf("g"),
                           m_t.kind.sameService("t", "g"), QLatin1String(m_t.kind.code), m_range),
                  {{":origem", m_source}});
    return q.next();
}

void RecipeWriter::keepDigests(const char* compared) const
{
    // Every recipe compared ends equal to its source recipe: left as it was or rewritten.
    m_sql.run(QStringLiteral("guardar as assinaturas das receitas"),
              QStringLiteral("INSERT INTO INTGASSIN (IDTIPORECE, CDFILIAL, CDSERVFILI, CDFILAUXPRAT, CDPRATO, DSASSIN)"
                             " SELECT '%1', k.CDFILIAL, %2, k.DSTTREE, k.CDPRATO, t.DSASSIN FROM %3 k %4 %5 t ON %6"
                             " WHERE true ON CONFLICT (IDTIPORECE, CDFILIAL, CDSERVFILI, CDFILAUXPRAT, CDPRATO)"
                             " DO UPDATE SET DSASSIN = excluded.DSASSIN")
                  .arg(QLatin1String(m_t.kind.code), m_t.kind.serviceOrEmpty("k"), inRange(compared), m_sql.fixedJoin(),
                       QLatin1String(m_t.signatures), signatureJoin()));
}

void RecipeWriter::dropDigests() const
{
    // A digest says its recipe equals the source recipe it was taken from; rewritten without one, it may no longer.
    m_sql.run(QStringLiteral("descartar as assinaturas das receitas"),
              QStringLiteral("DELETE FROM INTGASSIN WHERE IDTIPORECE = '%1' AND %2 AND (CDFILIAL, CDSERVFILI,"
                             " CDFILAUXPRAT, CDPRATO) IN (SELECT k.CDFILIAL, %3, k.DSTTREE, k.CDPRATO FROM %4 k)")
                  .arg(QLatin1String(m_t.kind.code), m_range, m_t.kind.serviceOrEmpty("k"), inRange(m_t.chosen)));
}

QString RecipeWriter::rewrittenRecipes(const RecipeChanges& kept) const
{
    return inRange(kept.equal > 0 ? m_t.rewritten : m_t.chosen);
}

QString RecipeWriter::sourceTreeOf(const char* alias) const
{
    return QStringLiteral("CASE WHEN %1.CDFILAUXPRAT = 'P' THEN 'P' ELSE :origem END").arg(QLatin1String(alias));
}

QString RecipeWriter::recipeOfK(const char* alias) const
{
    return QStringLiteral("%1.CDFILIAL = k.CDFILIAL%2 AND %1.CDFILAUXPRAT = k.DSTTREE AND %1.CDPRATO = k.CDPRATO")
        .arg(QLatin1String(alias), m_t.kind.sameService(alias, "k"));
}

QString RecipeWriter::inRangeR() const
{
    // PostgreSQL carries a join's equalities to the other side, but not a range: said of r too, it reads r's range
    // by its key instead of all of r.
    return QStringLiteral("%1 AND r.%2").arg(recipeOfK("r"), m_range);
}

QString RecipeWriter::sourceJoin() const
{
    return QStringLiteral("s.TREE = k.TREE AND s.CDPRATO = k.CDPRATO%1").arg(m_t.kind.sameService("s", "k"));
}

QString RecipeWriter::lineValues() const
{
    return QStringLiteral("k.CDFILIAL, %1k.DSTTREE, s.CDPRATO, s.NRSEQ, s.CDARVPROD, s.QTPRODUTO, s.SGUNIDADE")
        .arg(m_t.kind.serviceColumn("k"));
}

QString RecipeWriter::keyOrder() const
{
    return QStringLiteral("k.CDFILIAL, %1k.DSTTREE, s.CDPRATO, s.NRSEQ").arg(m_t.kind.serviceColumn("k"));
}

QString RecipeWriter::sourceShapes() const
{
    const QString servColumn = m_t.kind.trailingServiceColumn();
    return QStringLiteral("SELECT TREE, CDPRATO%1, COUNT(*) AS QTLINHAS, MIN(NRSEQ) AS MINSEQ, MAX(NRSEQ) AS MAXSEQ"
                          " FROM %2 GROUP BY TREE, CDPRATO%1")
        .arg(servColumn, QLatin1String(m_t.source));
}

QString RecipeWriter::pgLinesText(bool escaped, bool ordered) const
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

QString RecipeWriter::pgPlainLines() const
{
    return QStringLiteral("NOT COALESCE(bool_or((r.CDARVPROD || r.SGUNIDADE) ~ '[\\x01-\\x1f\"\\\\]'"
                          " OR r.QTPRODUTO = 'NaN'), false)");
}

void RecipeWriter::keepSignatures() const
{
    // The form must be the one the before-image pass gives a destination recipe, from lines in the same
    // (key) order: SQLite's exact form of the values, PostgreSQL's before-image text, which writes every
    // value of the fixed-scale quantities and the codes without loss. Its digest is what destinations keep.
    const QString servColumn = m_t.kind.serviceColumn();
    const QString lines =
        m_sql.isPostgres()
            ? QStringLiteral("CASE WHEN %1 THEN %2 ELSE %3 END AS ORIGEM FROM %4 r")
                  .arg(pgPlainLines(), pgLinesText(false, true), pgLinesText(true, true), QLatin1String(m_t.source))
            : QStringLiteral("linhas_assinatura(NRSEQ, CDARVPROD, QTPRODUTO, SGUNIDADE) AS ORIGEM"
                             " FROM (SELECT * FROM %1 ORDER BY TREE, CDPRATO, %2NRSEQ)")
                  .arg(QLatin1String(m_t.source), servColumn);
    const QString digest = m_sql.isPostgres()
                               ? QStringLiteral("left(encode(sha256(convert_to(ORIGEM, 'UTF8')), 'hex'), 32)")
                               : QStringLiteral("resumo(ORIGEM)");
    m_sql.run(QStringLiteral("resumir as receitas da origem"),
              QStringLiteral("INSERT INTO %1 (TREE, CDPRATO, %2ORIGEM, DSASSIN, QTLINHAS, MINSEQ, MAXSEQ) SELECT TREE,"
                             " CDPRATO, %2ORIGEM, %5, QTLINHAS, MINSEQ, MAXSEQ FROM (SELECT TREE, CDPRATO, %2COUNT(*)"
                             " AS QTLINHAS, MIN(NRSEQ) AS MINSEQ, MAX(NRSEQ) AS MAXSEQ, %3 GROUP BY TREE, CDPRATO%4) o")
                  .arg(QLatin1String(m_t.signatures), servColumn, lines, m_t.kind.trailingServiceColumn(), digest));
    if (m_sql.isPostgres())
        m_sql.run(QStringLiteral("analisar as tabelas de trabalho"),
                  QStringLiteral("ANALYZE %1").arg(QLatin1String(m_t.signatures)));
}

void RecipeWriter::keepImagedApart() const
{
    // The images name the destination's tree; the chosen table is keyed by the source's, which is "P" for the
    // standard tree and the source branch for the local one.
    const QString servColumn = m_t.kind.serviceColumn();
    m_sql.run(QStringLiteral("separar as receitas que diferem das da origem"),
              QStringLiteral("INSERT INTO %1 (CDFILIAL, %3TREE, CDPRATO, DSTTREE) SELECT k.CDFILIAL, %4k.TREE,"
                             " k.CDPRATO, k.DSTTREE FROM INTGCENTRALANT a %5 %2 k ON k.CDFILIAL = a.CDFILIAL%6"
                             " AND k.TREE = %8 AND k.CDPRATO = a.CDPRATO AND k.DSTTREE = a.CDFILAUXPRAT"
                             " WHERE a.NRINTG = :nrintg AND a.IDTIPORECE = :tipo AND a.%7")
                  .arg(QLatin1String(m_t.rewritten), inRange(m_t.chosen), servColumn, m_t.kind.serviceColumn("k"),
                       m_sql.fixedJoin(), m_t.kind.sameService("k", "a"), m_range, sourceTreeOf("a")),
              {{":nrintg", m_run}, {":tipo", QLatin1String(m_t.kind.code)}, {":origem", m_source}});
}

QString RecipeWriter::pgSourceArrays() const
{
    const QString servColumn = m_t.kind.trailingServiceColumn();
    return QStringLiteral("SELECT TREE, CDPRATO%1, %2 FROM %3 s GROUP BY TREE, CDPRATO%1")
        .arg(servColumn, pgLineArrays("s", true), QLatin1String(m_t.source));
}

QString RecipeWriter::pgLineArrays(const char* alias, bool ordered) const
{
    const QString order = ordered ? QStringLiteral(" ORDER BY %1.NRSEQ").arg(QLatin1String(alias)) : QString();
    return QStringLiteral("array_agg(%1.NRSEQ%2) AS NRSEQS, array_agg(CAST(%1.CDARVPROD AS TEXT)%2) AS PRODUTOS,"
                          " array_agg(%1.QTPRODUTO%2) AS QTDS, array_agg(CAST(%1.SGUNIDADE AS TEXT)%2) AS UNIDADES")
        .arg(QLatin1String(alias), order);
}

bool RecipeWriter::pgMostlyDiffering(const char* compared) const
{
    // A sample of the first range's recipes to compare (their digests did not match), in their key order, tells
    // which way of comparing costs less; once per run and table, since each range's own sample would cost as much
    // as a range's comparison.
    const QString sample =
        QStringLiteral("SELECT COUNT(*), COUNT(*) FILTER (WHERE %1) FROM (SELECT * FROM %2 k LIMIT 1000) k JOIN (%3) a"
                       " ON a.TREE = k.TREE AND a.CDPRATO = k.CDPRATO%4 CROSS JOIN LATERAL (SELECT %5 FROM %6 r"
                       " WHERE %7) x")
            .arg(pgArraysDiffer(), inRange(compared), pgSourceArrays(), m_t.kind.sameService("a", "k"),
                 pgLineArrays("r", false), QLatin1String(m_t.kind.table), recipeOfK("r"));
    QSqlQuery q = m_sql.run(QStringLiteral("estimar quantas receitas diferem"), sample);
    return q.next() && q.value(1).toLongLong() * 2 > q.value(0).toLongLong();
}

QString RecipeWriter::pgArraysDiffer() const
{
    return QStringLiteral("x.NRSEQS IS DISTINCT FROM a.NRSEQS OR x.PRODUTOS IS DISTINCT FROM a.PRODUTOS"
                          " OR x.QTDS IS DISTINCT FROM a.QTDS OR x.UNIDADES IS DISTINCT FROM a.UNIDADES");
}

int RecipeWriter::keepBeforeImages(const char* compared, bool imagedApart) const
{
    // SQLite: linhas_json and its comparing kin (ours) write the text faster than json_group_array(json_array());
    // a grouped join walks k in its key order, so the grouping needs no sort. PostgreSQL: one small aggregate per recipe (a grouped
    // join reads the whole table), the JSON text built by hand (json_build_array per line is much slower), and
    // to_json, which is costly, only for the rare recipe whose codes need escaping or whose quantity is NaN.
    const bool compare = m_rewrite == Rewrite::Differing;
    // Recipes whose digest says they are equal are not read at all.
    const QString chosen = inRange(compared);
    const QString table = QLatin1String(m_t.kind.table);
    const QString signature =
        compare
            ? QStringLiteral(" %1 %2 t ON %3").arg(m_sql.fixedJoin(), QLatin1String(m_t.signatures), signatureJoin())
            : QString();
    QString images;
    QString differing;
    if (!m_sql.isPostgres() && !compare) {
        images = QStringLiteral("SELECT k.CDFILIAL, %1 AS CDSERVFILI, k.DSTTREE, k.CDPRATO, COUNT(r.NRSEQ) AS QTLINHAS,"
                                " linhas_json(r.NRSEQ, r.CDARVPROD, r.QTPRODUTO, r.SGUNIDADE) AS DSLINHAS FROM %2 k"
                                " LEFT JOIN %3 r ON %4 GROUP BY k.CDFILIAL, %5k.TREE, k.CDPRATO")
                     .arg(m_t.kind.serviceOrEmpty("k"), chosen, table, recipeOfK("r"), m_t.kind.serviceColumn("k"));
    } else if (!m_sql.isPostgres()) {
        // One aggregate per recipe over its key range costs a fifth less than grouping a join of all of them.
        // The comparison gives an equal recipe no text; a differing one's lines are counted from its text.
        // LIMIT keeps the inner query whole, so the comparison runs once per recipe.
        images = QStringLiteral("SELECT d.CDFILIAL, d.CDSERVFILI, d.DSTTREE, d.CDPRATO, linhas_qt(d.DSLINHAS) AS"
                                " QTLINHAS, d.DSLINHAS FROM (SELECT k.CDFILIAL, %1 AS CDSERVFILI, k.DSTTREE, k.CDPRATO,"
                                " (SELECT linhas_json_se_diferem(r.NRSEQ, r.CDARVPROD, r.QTPRODUTO, r.SGUNIDADE,"
                                " t.ORIGEM) FROM %3 r WHERE %4) AS DSLINHAS FROM %2 k%5 LIMIT -1) d"
                                " WHERE d.DSLINHAS IS NOT NULL")
                     .arg(m_t.kind.serviceOrEmpty("k"), chosen, table, recipeOfK("r"), signature);
    } else if (!compare || m_hints.mostlyDiffering.value_or(true)) {
        // Every recipe's text is written anyway, so comparing it with the source's costs nothing more.
        images =
            QStringLiteral("SELECT k.CDFILIAL, %1 AS CDSERVFILI, k.DSTTREE, k.CDPRATO, x.QTLINHAS, CASE WHEN"
                           " x.PLAIN THEN x.DSLINHAS ELSE (SELECT %5 FROM %3 r WHERE %4) END AS DSLINHAS%8"
                           " FROM %2 k%7 CROSS JOIN LATERAL (SELECT COUNT(*) AS QTLINHAS, %6 AS DSLINHAS,"
                           " %9 AS PLAIN%10 FROM %3 r WHERE %4) x")
                .arg(m_t.kind.serviceOrEmpty("k"), chosen, table, recipeOfK("r"), pgLinesText(true), pgLinesText(false),
                     signature, compare ? QStringLiteral(", t.ORIGEM, k.TREE, %1").arg(pgReshaped()) : QString(),
                     pgPlainLines())
                .arg(compare ? QLatin1String(kSequenceBounds) : QLatin1String());
        if (compare)
            differing = QStringLiteral(" WHERE i.DSLINHAS <> i.ORIGEM");
    } else {
        // Most recipes are equal: the values are compared as arrays, which costs a fraction of writing them as
        // text, and only a recipe that differs has its text written.
        images = QStringLiteral("SELECT k.CDFILIAL, %1 AS CDSERVFILI, k.DSTTREE, k.CDPRATO, x.QTLINHAS, (SELECT CASE"
                                " WHEN %5 THEN %6 ELSE %7 END FROM %3 r WHERE %4) AS DSLINHAS, k.TREE, %12 FROM %2 k"
                                " JOIN (%8) a ON a.TREE = k.TREE AND a.CDPRATO = k.CDPRATO%9%13 CROSS JOIN LATERAL"
                                " (SELECT COUNT(*) AS QTLINHAS, %10%14 FROM %3 r WHERE %4) x WHERE %11")
                     .arg(m_t.kind.serviceOrEmpty("k"), chosen, table, recipeOfK("r"), pgPlainLines(),
                          pgLinesText(false), pgLinesText(true), pgSourceArrays(), m_t.kind.sameService("a", "k"))
                     .arg(pgLineArrays("r", false), pgArraysDiffer(), pgReshaped(), signature,
                          QLatin1String(kSequenceBounds));
    }
    const QString kept =
        QStringLiteral("INSERT INTO INTGCENTRALANT (NRINTG, IDTIPORECE, CDFILIAL, CDSERVFILI, CDFILAUXPRAT, CDPRATO,"
                       " QTLINHAS, DSLINHAS) SELECT :nrintg, :tipo, i.CDFILIAL, i.CDSERVFILI, i.DSTTREE, i.CDPRATO,"
                       " i.QTLINHAS, i.DSLINHAS FROM %1 i%2");
    const QVariantMap bindings{{":nrintg", m_run}, {":tipo", QLatin1String(m_t.kind.code)}};
    const QString purpose = QStringLiteral("guardar as receitas substituídas");
    if (!m_sql.isPostgres() || !compare)
        return m_sql.change(purpose, kept.arg(QStringLiteral("(%1)").arg(images), differing), bindings);
    // The same reading sets apart the recipes whose line numbers differ from the source's, which the writing
    // then adds or removes lines to: no second reading of the lines to compare them.
    const QString servColumn = m_t.kind.serviceColumn();
    const QString differs = differing.isEmpty() ? QStringLiteral("true") : QStringLiteral("i.DSLINHAS <> i.ORIGEM");
    const auto setApart = [&](const char* name, const char* table, const QString& condition) {
        return QStringLiteral(", %1 AS (INSERT INTO %2 (CDFILIAL, %3TREE, CDPRATO, DSTTREE) SELECT i.CDFILIAL,"
                              " %4i.TREE, i.CDPRATO, i.DSTTREE FROM i WHERE %5)")
            .arg(QLatin1String(name), QLatin1String(table), servColumn, m_t.kind.serviceColumn("i"), condition);
    };
    const QString rewritten = imagedApart ? setApart("g", m_t.rewritten, differs) : QString();
    return m_sql.change(purpose,
                        QStringLiteral("WITH i AS MATERIALIZED (%1)%2%3 %4")
                            .arg(images, setApart("f", m_t.reshaped, QStringLiteral("i.RESHAPED AND %1").arg(differs)),
                                 rewritten, kept.arg(QStringLiteral("i"), differing)),
                        bindings);
}

QString RecipeWriter::pgReshaped() const
{
    return QStringLiteral("(%1) IS NOT TRUE AS RESHAPED").arg(sameLineNumbers("x", "t"));
}

RecipeChanges RecipeWriter::rewriteInPlace(const RecipeChanges& kept) const
{
    if (kept.equal > 0 && !m_hints.rewrittenAnalyzed) {
        m_sql.run(QStringLiteral("analisar as tabelas de trabalho"),
                  QStringLiteral("ANALYZE %1").arg(QLatin1String(m_t.rewritten)));
        m_hints.rewrittenAnalyzed = true;
    }
    const QString table = QLatin1String(m_t.kind.table);
    const QString chosen = rewrittenRecipes(kept);
    const QString source = QLatin1String(m_t.source);
    // When some recipes were equal, the others are those the source changed, often by a line or two: only the
    // lines that differ are written, sparing a new version (and a dead one) of every line that stays.
    const bool linesThatDiffer = kept.equal > 0;
    RecipeChanges changes = kept;
    const int updated = m_sql.change(
        QStringLiteral("copiar as receitas da origem"),
        QStringLiteral("UPDATE %1 r SET CDARVPROD = s.CDARVPROD, QTPRODUTO = s.QTPRODUTO, SGUNIDADE = s.SGUNIDADE"
                       " FROM %2 k JOIN %3 s ON %4 WHERE %5 AND r.NRSEQ = s.NRSEQ%6")
            .arg(table, chosen, source, sourceJoin(), inRangeR(),
                 linesThatDiffer ? QStringLiteral(" AND (r.CDARVPROD, r.QTPRODUTO, r.SGUNIDADE) IS DISTINCT FROM"
                                                  " (s.CDARVPROD, s.QTPRODUTO, s.SGUNIDADE)")
                                 : QString()));
    const QString purpose = QStringLiteral("contar as linhas substituídas");
    changes.replaced = int(m_sql.number(purpose,
                                        QStringLiteral("SELECT COALESCE(SUM(QTLINHAS), 0) FROM INTGCENTRALANT"
                                                       " WHERE NRINTG = :nrintg AND IDTIPORECE = :tipo AND %1")
                                            .arg(m_range),
                                        {{":nrintg", m_run}, {":tipo", QLatin1String(m_t.kind.code)}}));
    const qint64 sourceLines = m_sql.number(purpose, QStringLiteral("SELECT COALESCE(SUM(s.QTLINHAS), 0) FROM %1 k"
                                                                    " JOIN (%2) s ON %3")
                                                         .arg(chosen, sourceShapes(), sourceJoin()));
    // Every source line of a rewritten recipe ends written: over a line of the same number, or added.
    changes.written = int(sourceLines);
    if (m_rewrite == Rewrite::Differing) {
        // The before-image pass set apart the recipes whose line numbers differ.
        return reshape(changes,
                       int(m_sql.number(QStringLiteral("contar as receitas de outra numeração"),
                                        QStringLiteral("SELECT COUNT(*) FROM %1 f").arg(inRange(m_t.reshaped)))));
    }
    // Each recipe matched at most min(old, new) lines; if the totals of all three agree, every recipe already
    // had exactly the source's line numbers and the update was the whole job.
    if (updated == changes.replaced && updated == sourceLines)
        return changes;
    return reshape(
        changes,
        m_sql.change(QStringLiteral("comparar a numeração das linhas"),
                     QStringLiteral(
                         "INSERT INTO %1 (CDFILIAL, %2TREE, CDPRATO, DSTTREE) SELECT k.CDFILIAL, %3k.TREE, k.CDPRATO,"
                         " k.DSTTREE FROM %4 k CROSS JOIN LATERAL (SELECT COUNT(*) AS QTLINHAS%9 FROM %5 r WHERE %6) d"
                         " JOIN (%7) s ON %8 WHERE NOT (%10)")
                         .arg(QLatin1String(m_t.reshaped), m_t.kind.serviceColumn(), m_t.kind.serviceColumn("k"),
                              chosen, table, recipeOfK("r"), sourceShapes(), sourceJoin(),
                              QLatin1String(kSequenceBounds))
                         .arg(sameLineNumbers("d", "s"))));
}

RecipeChanges RecipeWriter::reshape(const RecipeChanges& changes, int reshapedCount) const
{
    if (reshapedCount == 0)
        return changes;
    const QString table = QLatin1String(m_t.kind.table);
    const QString source = QLatin1String(m_t.source);
    m_sql.run(QStringLiteral("analisar as tabelas de trabalho"),
              QStringLiteral("ANALYZE %1").arg(QLatin1String(m_t.reshaped)));
    const QString reshaped = inRange(m_t.reshaped);
    m_sql.run(QStringLiteral("apagar as linhas que a origem não tem"),
              QStringLiteral("DELETE FROM %1 r USING %2 k WHERE %3 AND NOT EXISTS (SELECT 1 FROM %4 s WHERE %5"
                             " AND s.NRSEQ = r.NRSEQ)")
                  .arg(table, reshaped, inRangeR(), source, sourceJoin()));
    m_sql.run(
        QStringLiteral("copiar as linhas que o destino não tem"),
        QStringLiteral("INSERT INTO %1 (%2) SELECT %3 FROM %4 k JOIN %5 s ON %6 WHERE NOT EXISTS (SELECT 1 FROM %1 r"
                       " WHERE %7 AND r.NRSEQ = s.NRSEQ) ORDER BY %8")
            .arg(table, m_t.kind.columns(), lineValues(), reshaped, source, sourceJoin(), recipeOfK("r"), keyOrder()));
    return changes;
}

} // namespace suite::server
