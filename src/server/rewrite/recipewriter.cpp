#include "recipewriter.h"
#include "joinsbyhashing.h"

#include <sqlrunner.h>

namespace suite::server {

using db::SqlRunner;

RecipeWriter::RecipeWriter(const SqlRunner& sql, const RecipeTable& table, qint64 run, QString source, Rewrite rewrite,
                           bool forWriting)
    : m_sql(sql)
    , m_t(table)
    , m_run(run)
    , m_source(std::move(source))
    , m_rewrite(rewrite)
    , m_forWriting(forWriting)
    , m_db(RecipeDatabase::of(sql))
{}

RecipeWriter::~RecipeWriter() = default;

RecipeRange RecipeWriter::rangeOf(const BranchRange& destinations) const
{
    return RecipeRange(m_sql, m_t, destinations, m_run);
}

void RecipeWriter::keepSignatures()
{
    // The form must be the one the before-image pass gives a destination recipe, from lines in the same (key)
    // order. Its digest is what destinations keep.
    const QString servColumn = m_t.kind.serviceColumn();
    m_sql.run(QStringLiteral("resumir as receitas da origem"),
              QStringLiteral("INSERT INTO %1 (TREE, CDPRATO, %2ORIGEM, DSASSIN, QTLINHAS, MINSEQ, MAXSEQ) SELECT TREE,"
                             " CDPRATO, %2ORIGEM, %5, QTLINHAS, MINSEQ, MAXSEQ FROM (SELECT TREE, CDPRATO, %2COUNT(*)"
                             " AS QTLINHAS, MIN(NRSEQ) AS MINSEQ, MAX(NRSEQ) AS MAXSEQ, %3 GROUP BY TREE, CDPRATO%4) o")
                  .arg(QLatin1String(m_t.signatures), servColumn, m_db->sourceForms(m_t),
                       m_t.kind.trailingServiceColumn(), m_db->digest("ORIGEM")));
    m_db->analyze(m_t.signatures);
}

RecipeChanges RecipeWriter::keep(const BranchRange& destinations)
{
    m_kept.append(keepIn(rangeOf(destinations)));
    return m_kept.last();
}

RecipeChanges RecipeWriter::keepIn(const RecipeRange& range)
{
    const int chosen = int(m_sql.number(QStringLiteral("contar as receitas a substituir"),
                                        QStringLiteral("SELECT COUNT(*) FROM %1 c").arg(range.inRange(m_t.chosen))));
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
    if (compare && (!m_noneKnown || anyDigestMatches(range))) {
        const int toCompare = setApartToCompare(range);
        if (toCompare == 0)
            return {0, 0, 0, chosen};
        m_noneKnown = toCompare == chosen;
        someKnownEqual = !m_noneKnown;
        compared = m_t.compared;
    }
    if (compare)
        m_db->startComparing(range, compared);
    // The comparison is the before-image pass itself: it reads every recipe to compare once, and a recipe that
    // differs gets its image from that same reading, which may also set it apart when some are known to be equal.
    const bool imagedApart = m_forWriting && someKnownEqual && m_db->setsApartWhileImaging();
    RecipeChanges changes = m_db->keepBeforeImages(range, compared, compare, imagedApart);
    changes.equal = chosen - changes.rewritten;
    if (!m_forWriting)
        return changes;
    if (compare)
        keepDigests(range, compared);
    else
        dropDigests(range);
    if (changes.rewritten > 0 && changes.equal > 0 && !imagedApart)
        keepImagedApart(range);
    // The lines replaced are counted while imaging or as they are removed, whichever the database does.
    if (changes.rewritten > 0)
        changes.replaced += m_db->removeRewritten(range, rewrittenRecipes(range, changes));
    return changes;
}

RecipeChanges RecipeWriter::write(const BranchRange& destinations)
{
    Q_ASSERT(m_forWriting && m_written < m_kept.size());
    const RecipeChanges& kept = m_kept.at(m_written++);
    if (kept.rewritten == 0)
        return kept;
    const RecipeRange range = rangeOf(destinations);
    return m_db->write(range, rewrittenRecipes(range, kept), kept, m_rewrite);
}

int RecipeWriter::setApartToCompare(const RecipeRange& range) const
{
    m_db->empty(m_t.compared);
    const JoinsByHashing byHashing(*m_db);
    const int count = m_sql.change(
        QStringLiteral("separar as receitas a comparar"),
        QStringLiteral("INSERT INTO %1 (CDFILIAL, %2TREE, CDPRATO, DSTTREE) SELECT k.CDFILIAL, %3k.TREE, k.CDPRATO,"
                       " k.DSTTREE FROM %4 k")
            .arg(QLatin1String(m_t.compared), m_t.kind.serviceColumn(), m_t.kind.serviceColumn("k"),
                 m_db->toCompare(range)));
    if (count > 0)
        m_db->analyze(m_t.compared);
    return count;
}

bool RecipeWriter::anyDigestMatches(const RecipeRange& range) const
{
    // The digests of the range, each checked against the (small) table of the source's: no look-up into the
    // destinations' recipes.
    const JoinsByHashing byHashing(*m_db);
    QSqlQuery q =
        m_sql.run(QStringLiteral("procurar assinaturas iguais às da origem"),
                  QStringLiteral("SELECT 1 FROM INTGASSIN g %1 %2 t ON t.TREE = %3 AND t.CDPRATO = g.CDPRATO%4"
                                 " AND t.DSASSIN = g.DSASSIN WHERE g.IDTIPORECE = '%5' AND g.%6 LIMIT 1")
                      .arg(m_sql.fixedJoin(), QLatin1String(m_t.signatures), range.sourceTreeOf("g"),
                           m_t.kind.sameService("t", "g"), QLatin1String(m_t.kind.code), range.condition()),
                  {{":origem", m_source}});
    return q.next();
}

void RecipeWriter::keepDigests(const RecipeRange& range, const char* compared) const
{
    // Every recipe compared ends equal to its source recipe: left as it was or rewritten.
    const JoinsByHashing byHashing(*m_db);
    m_db->keepDigests(range,
                      QStringLiteral("(SELECT k.CDFILIAL, %1 AS CDSERVFILI, k.DSTTREE AS CDFILAUXPRAT, k.CDPRATO,"
                                     " t.DSASSIN, t.QTLINHAS FROM %2 k%3)")
                          .arg(m_t.kind.serviceOrEmpty("k"), range.inRange(compared), range.withSignatures()),
                      compared == m_t.chosen);
}

void RecipeWriter::dropDigests(const RecipeRange& range) const
{
    // A digest says its recipe equals the source recipe it was taken from; rewritten without one, it may no longer.
    // By hashing, as every join with the digests: planned from statistics that a run's new digests outgrew, the
    // delete would read them all for every range.
    const JoinsByHashing byHashing(*m_db);
    m_sql.run(QStringLiteral("descartar as assinaturas das receitas"),
              QStringLiteral("DELETE FROM INTGASSIN WHERE IDTIPORECE = '%1' AND %2 AND (CDFILIAL, CDSERVFILI,"
                             " CDFILAUXPRAT, CDPRATO) IN (SELECT k.CDFILIAL, %3, k.DSTTREE, k.CDPRATO FROM %4 k)")
                  .arg(QLatin1String(m_t.kind.code), range.condition(), m_t.kind.serviceOrEmpty("k"),
                       range.inRange(m_t.chosen)));
}

void RecipeWriter::keepImagedApart(const RecipeRange& range) const
{
    // The images name the destination's tree; the chosen table is keyed by the source's, which is "P" for the
    // standard tree and the source branch for the local one.
    QVariantMap binds = range.imageKeys();
    binds.insert(QStringLiteral(":origem"), m_source);
    m_sql.run(QStringLiteral("separar as receitas que diferem das da origem"),
              QStringLiteral("INSERT INTO %1 (CDFILIAL, %3TREE, CDPRATO, DSTTREE) SELECT k.CDFILIAL, %4k.TREE,"
                             " k.CDPRATO, k.DSTTREE FROM INTGCENTRALANT a %5 %2 k ON k.CDFILIAL = a.CDFILIAL%6"
                             " AND k.TREE = %8 AND k.CDPRATO = a.CDPRATO AND k.DSTTREE = a.CDFILAUXPRAT"
                             " WHERE a.NRINTG = :nrintg AND a.IDTIPORECE = :tipo AND a.%7")
                  .arg(QLatin1String(m_t.rewritten), range.inRange(m_t.chosen), m_t.kind.serviceColumn(),
                       m_t.kind.serviceColumn("k"), m_sql.fixedJoin(), m_t.kind.sameService("k", "a"),
                       range.condition(), range.sourceTreeOf("a")),
              binds);
}

QString RecipeWriter::rewrittenRecipes(const RecipeRange& range, const RecipeChanges& kept) const
{
    return range.inRange(kept.equal > 0 ? m_t.rewritten : m_t.chosen);
}

} // namespace suite::server
