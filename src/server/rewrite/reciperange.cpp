#include "reciperange.h"

#include <sqlrunner.h>

namespace suite::server {

RecipeRange::RecipeRange(const db::SqlRunner& sql, const RecipeTable& table, const BranchRange& destinations,
                         qint64 run)
    : m_t(table)
    , m_range(destinations.condition(sql, QStringLiteral("CDFILIAL")))
    , m_destinations(destinations.members(sql, QStringLiteral("CDFILIAL")))
    , m_branches(destinations.branches())
    , m_run(run)
    , m_fixedJoin(sql.fixedJoin())
{}

QVariantMap RecipeRange::imageKeys() const
{
    return {{QStringLiteral(":nrintg"), m_run}, {QStringLiteral(":tipo"), QLatin1String(m_t.kind.code)}};
}

QString RecipeRange::inRange(const char* table) const
{
    return QStringLiteral("(SELECT * FROM %1 WHERE %2)").arg(QLatin1String(table), m_range);
}

QString RecipeRange::recipeOfK(const char* alias) const
{
    return QStringLiteral("%1.CDFILIAL = k.CDFILIAL%2 AND %1.CDFILAUXPRAT = k.DSTTREE AND %1.CDPRATO = k.CDPRATO")
        .arg(QLatin1String(alias), m_t.kind.sameService(alias, "k"));
}

QString RecipeRange::inRangeR() const
{
    // PostgreSQL carries a join's equalities to the other side, but not a range: said of r too, it reads r's range
    // by its key instead of all of r.
    return QStringLiteral("%1 AND r.%2").arg(recipeOfK("r"), m_range);
}

QString RecipeRange::sourceJoin() const
{
    return QStringLiteral("s.TREE = k.TREE AND s.CDPRATO = k.CDPRATO%1").arg(m_t.kind.sameService("s", "k"));
}

QString RecipeRange::signatureJoin() const
{
    return QStringLiteral("t.TREE = k.TREE AND t.CDPRATO = k.CDPRATO%1").arg(m_t.kind.sameService("t", "k"));
}

QString RecipeRange::withSignatures() const
{
    return QStringLiteral(" %1 %2 t ON %3").arg(m_fixedJoin, QLatin1String(m_t.signatures), signatureJoin());
}

QString RecipeRange::digestMatches(const QString& digest) const
{
    return QStringLiteral("EXISTS (SELECT 1 FROM INTGASSIN g WHERE g.IDTIPORECE = '%1' AND g.CDFILIAL = k.CDFILIAL"
                          " AND g.CDSERVFILI = %2 AND g.CDFILAUXPRAT = k.DSTTREE AND g.CDPRATO = k.CDPRATO"
                          " AND g.DSASSIN = %3 AND g.%4)")
        .arg(QLatin1String(m_t.kind.code), m_t.kind.serviceOrEmpty("k"), digest, m_range);
}

QString RecipeRange::unmatchedDigests() const
{
    return QStringLiteral("(SELECT k.* FROM %1 k%2 WHERE NOT %3)")
        .arg(inRange(m_t.chosen), withSignatures(), digestMatches(QStringLiteral("t.DSASSIN")));
}

QString RecipeRange::sourceTreeOf(const char* alias) const
{
    return QStringLiteral("CASE WHEN %1.CDFILAUXPRAT = 'P' THEN 'P' ELSE :origem END").arg(QLatin1String(alias));
}

QString RecipeRange::lineValues() const
{
    return QStringLiteral("k.CDFILIAL, %1k.DSTTREE, s.CDPRATO, s.NRSEQ, s.CDARVPROD, s.QTPRODUTO, s.SGUNIDADE")
        .arg(m_t.kind.serviceColumn("k"));
}

QString RecipeRange::keyOrder() const
{
    return QStringLiteral("k.CDFILIAL, %1k.DSTTREE, s.CDPRATO, s.NRSEQ").arg(m_t.kind.serviceColumn("k"));
}

QString RecipeRange::sourceShapes() const
{
    return QStringLiteral("SELECT TREE, CDPRATO%1, COUNT(*) AS QTLINHAS, MIN(NRSEQ) AS MINSEQ, MAX(NRSEQ) AS MAXSEQ"
                          " FROM %2 GROUP BY TREE, CDPRATO%1")
        .arg(m_t.kind.trailingServiceColumn(), QLatin1String(m_t.source));
}

QString RecipeRange::keepImages(const QString& images, const QString& filter) const
{
    return QStringLiteral("INSERT INTO INTGCENTRALANT (NRINTG, IDTIPORECE, CDFILIAL, CDSERVFILI, CDFILAUXPRAT, CDPRATO,"
                          " QTLINHAS, DSLINHAS) SELECT :nrintg, :tipo, i.CDFILIAL, i.CDSERVFILI, i.DSTTREE, i.CDPRATO,"
                          " i.QTLINHAS, i.DSLINHAS FROM %1 i%2")
        .arg(images, filter);
}

QString upsertDigests(const RecipeKind& kind, const QString& digests)
{
    // WHERE true: without it, SQLite would read ON CONFLICT as a join's ON.
    return QStringLiteral("INSERT INTO INTGASSIN (IDTIPORECE, CDFILIAL, CDSERVFILI, CDFILAUXPRAT, CDPRATO, DSASSIN,"
                          " QTLINHAS) SELECT '%1', d.* FROM %2 d WHERE true ON CONFLICT (IDTIPORECE, CDFILIAL,"
                          " CDSERVFILI, CDFILAUXPRAT, CDPRATO) DO UPDATE SET DSASSIN = excluded.DSASSIN,"
                          " QTLINHAS = excluded.QTLINHAS")
        .arg(QLatin1String(kind.code), digests);
}

QString undoneDigests(const RecipeKind& kind)
{
    return QStringLiteral(
               "FROM INTGASSIN WHERE IDTIPORECE = '%1' AND (CDFILIAL, CDSERVFILI, CDFILAUXPRAT, CDPRATO) IN"
               " (SELECT CDFILIAL, CDSERVFILI, CDFILAUXPRAT, CDPRATO FROM TT_DESFAZ WHERE IDTIPORECE = '%1')")
        .arg(QLatin1String(kind.code));
}

QString undoneLinesNow(const RecipeKind& kind, const char* digests, const QString& among)
{
    return QStringLiteral(
               "SELECT t.CDFILIAL, SUM(CASE WHEN g.QTLINHAS >= 0 THEN g.QTLINHAS ELSE (SELECT COUNT(*) FROM %1 r"
               " WHERE r.CDFILIAL = t.CDFILIAL%2 AND r.CDFILAUXPRAT = t.CDFILAUXPRAT AND r.CDPRATO = t.CDPRATO) END)"
               " FROM TT_DESFAZ t"
               " LEFT JOIN %3 g ON g.IDTIPORECE = t.IDTIPORECE AND g.CDFILIAL = t.CDFILIAL AND g.CDSERVFILI ="
               " t.CDSERVFILI AND g.CDFILAUXPRAT = t.CDFILAUXPRAT AND g.CDPRATO = t.CDPRATO"
               " WHERE t.IDTIPORECE = '%4'%5 GROUP BY t.CDFILIAL")
        .arg(QLatin1String(kind.table), kind.sameService("r", "t"), QLatin1String(digests), QLatin1String(kind.code),
             among.isEmpty() ? QString() : QStringLiteral(" AND ") + among);
}

QString sameLineNumbers(const char* lines, const char* source)
{
    return QStringLiteral("%1.QTLINHAS = %2.QTLINHAS AND %1.MINSEQ = %2.MINSEQ AND %1.MAXSEQ = %2.MAXSEQ"
                          " AND %2.QTLINHAS = %2.MAXSEQ - %2.MINSEQ + 1")
        .arg(QLatin1String(lines), QLatin1String(source));
}

} // namespace suite::server
