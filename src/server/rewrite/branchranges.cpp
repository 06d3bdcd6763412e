#include "branchranges.h"

#include <sqlrunner.h>

namespace suite::server {

QString BranchRange::condition(const db::SqlRunner& sql, const QString& column) const
{
    return QStringLiteral("%1 BETWEEN %2 AND %3").arg(column, sql.literal(codes.first()), sql.literal(codes.last()));
}

QString BranchRange::members(const db::SqlRunner& sql, const QString& column) const
{
    QStringList literals;
    literals.reserve(codes.size());
    for (const QString& code : codes)
        literals << sql.literal(code);
    return QStringLiteral("%1 IN (%2)").arg(column, literals.join(QStringLiteral(", ")));
}

QList<BranchRange> branchRanges(const db::SqlRunner& sql, const QString& orderedCodes, const QVariantMap& binds,
                                int most)
{
    QStringList codes;
    QSqlQuery q = sql.run(QStringLiteral("dividir as filiais em lotes"), orderedCodes, binds);
    while (q.next())
        codes << q.value(0).toString();
    QList<BranchRange> ranges;
    const qsizetype count = codes.size();
    const qsizetype parts = std::min<qsizetype>(count, std::max(1, most));
    qsizetype start = 0;
    for (qsizetype part = 1; part <= parts; ++part) {
        const qsizetype end = count * part / parts;
        ranges.append({codes.mid(start, end - start)});
        start = end;
    }
    return ranges;
}

int branchesIn(const QList<BranchRange>& ranges)
{
    int total = 0;
    for (const BranchRange& range : ranges)
        total += range.branches();
    return total;
}

} // namespace suite::server
