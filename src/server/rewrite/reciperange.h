// RecipeRange: the pieces of SQL that both databases' engines say of one recipe table within one range of
// destinations. By convention k is a chosen recipe (a row of a `chosen`-shaped table), s a source line, t k's
// source recipe in the signatures table, r a destination line.
#pragma once

#include "branchranges.h"
#include "recipetable.h"

#include <QString>
#include <QVariantMap>

namespace suite::db {
class SqlRunner;
}

namespace suite::server {

class RecipeRange {
public:
    RecipeRange(const db::SqlRunner& sql, const RecipeTable& table, const BranchRange& destinations, qint64 run);

    const RecipeTable& table() const { return m_t; }
    const RecipeKind& kind() const { return m_t.kind; }
    // CDFILIAL BETWEEN ...: to be said of a table's alias ("a.%1").
    const QString& condition() const { return m_range; }
    // CDFILIAL IN (...), the range's destinations, to be said of an alias as condition() is.
    const QString& destinations() const { return m_destinations; }
    int branches() const { return m_branches; }
    // :nrintg and :tipo, the run and the kind its before-images are kept under.
    QVariantMap imageKeys() const;

    // The rows of a work table that belong to the range, as a sub-select to be given an alias.
    QString inRange(const char* table) const;
    // alias's rows are k's recipe.
    QString recipeOfK(const char* alias) const;
    // recipeOfK("r"), with r also kept to the range.
    QString inRangeR() const;
    // s is a line of k's source recipe.
    QString sourceJoin() const;
    // t is k's source recipe in the signatures table.
    QString signatureJoin() const;
    // " JOIN signatures t ON ...", to follow k.
    QString withSignatures() const;
    // k's recipe keeps `digest` as its digest, and k is of the range.
    QString digestMatches(const QString& digest) const;
    // The range's chosen recipes whose digest does not match their source recipe's, each looked up: a sub-select
    // shaped as the chosen table.
    QString unmatchedDigests() const;
    // The source's tree of alias's destination tree (CDFILAUXPRAT): "P", or the source branch (bound as :origem).
    QString sourceTreeOf(const char* alias) const;
    // A destination line made of k and s, in the table's columns' order, and the table's key order of the same.
    QString lineValues() const;
    QString keyOrder() const;
    // The source's recipes: TREE, CDPRATO[, CDSERVFILI], QTLINHAS, MINSEQ, MAXSEQ.
    QString sourceShapes() const;
    // The statement that keeps the rows of `images` (a table alias or a parenthesised select, given the alias i:
    // CDFILIAL, CDSERVFILI, DSTTREE, CDPRATO, QTLINHAS, DSLINHAS) as before-images; `filter` follows.
    QString keepImages(const QString& images, const QString& filter = {}) const;

private:
    const RecipeTable& m_t;
    QString m_range;
    QString m_destinations;
    int m_branches;
    qint64 m_run;
    QString m_fixedJoin;
};

// A recipe's lines (QTLINHAS, MINSEQ, MAXSEQ) have the same numbers as its source recipe's. Line numbers are unique
// within a recipe: as many as the source's, between the same bounds, and the source's without a gap, they are the
// same numbers.
QString sameLineNumbers(const char* lines, const char* source);

// Each recipe of `digests` (as RecipeDatabase::keepDigests takes them) keeps its digest: added, or in place of the
// one it had.
QString upsertDigests(const RecipeKind& kind, const QString& digests);

// "FROM INTGASSIN WHERE" the digest is of a recipe of that kind in TT_DESFAZ, which an undo puts back.
QString undoneDigests(const RecipeKind& kind);

// The lines the recipes of that kind in TT_DESFAZ have now, as rows of CDFILIAL and lines: where `digests` (rows of
// INTGASSIN) has a line count for the recipe (not -1), that count, which a recipe has while it keeps its digest;
// otherwise counted. `among`, when given, is a condition on t.CDFILIAL naming the destinations to tell.
QString undoneLinesNow(const RecipeKind& kind, const char* digests, const QString& among = {});

} // namespace suite::server
