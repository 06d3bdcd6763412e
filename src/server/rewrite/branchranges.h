// BranchRanges: the branches a long write serves, cut into runs of neighbouring codes, so that the write goes one
// run at a time and can say how many branches it has done.
#pragma once

#include <QList>
#include <QString>
#include <QVariantMap>

namespace suite::db {
class SqlRunner;
}

namespace suite::server {

struct BranchRange {
    QStringList codes; // in the database's order; never empty

    int branches() const { return int(codes.size()); }
    // "column BETWEEN 'first' AND 'last'": literal codes, so that the planner sees the range.
    QString condition(const db::SqlRunner& sql, const QString& column) const;
    // "column IN ('first', ...)": the range's own codes, without the codes between them that it does not hold.
    QString members(const db::SqlRunner& sql, const QString& column) const;
};

// The codes `orderedCodes` selects (one column, in ORDER BY order, each once) in at most `most` ranges of about
// equal size. The cuts follow the database's own order of the codes, so each code falls in exactly one range.
QList<BranchRange> branchRanges(const db::SqlRunner& sql, const QString& orderedCodes, const QVariantMap& binds = {},
                                int most = 20);

// The branches of all the ranges.
int branchesIn(const QList<BranchRange>& ranges);

} // namespace suite::server
