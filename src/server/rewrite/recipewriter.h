// RecipeWriter: replaces the chosen destination recipes of one recipe table by the source's, keeping before-images,
// one range of destinations at a time; what each database does its own way is its RecipeDatabase's.
#pragma once

#include "recipedatabase.h"

#include <QList>
#include <QString>

#include <memory>

namespace suite::db {
class SqlRunner;
}

namespace suite::server {

// A run keeps every range's before-images first (keep(), range after range) and then writes every range (write(),
// in the same order): with the old lines of all ranges gone first, SQLite refills each range without splitting the
// pages that the later ranges' lines held. The work tables keep every range's rows, and each step reads its own
// range's (the recipes set apart to compare are needed only while their range is kept, and hold its rows alone).
class RecipeWriter {
public:
    // forWriting false (a preview): keep() only keeps the images, and write() is not called.
    RecipeWriter(const db::SqlRunner& sql, const RecipeTable& table, qint64 run, QString source, Rewrite rewrite,
                 bool forWriting);
    ~RecipeWriter();
    RecipeWriter(const RecipeWriter&) = delete;
    RecipeWriter& operator=(const RecipeWriter&) = delete;

    // Once, before the first range, when only the recipes that differ are rewritten.
    void keepSignatures();
    // Every recipe of the range to rewrite gets one before-image row (and, on SQLite, its lines go).
    RecipeChanges keep(const BranchRange& range);
    // The next range kept, in keep()'s order: its recipes to rewrite get the source's lines.
    RecipeChanges write(const BranchRange& range);

private:
    RecipeRange rangeOf(const BranchRange& destinations) const;
    RecipeChanges keepIn(const RecipeRange& range);
    // The range's recipes to compare go to the `compared` table; returns how many.
    int setApartToCompare(const RecipeRange& range) const;
    // Every recipe of the range that was compared keeps its source recipe's digest.
    void keepDigests(const RecipeRange& range, const char* compared) const;
    // Rewriting without comparing: the range's chosen recipes lose their digests.
    void dropDigests(const RecipeRange& range) const;
    // Whether any digest of the range matches its dish's source recipe, chosen or not.
    bool anyDigestMatches(const RecipeRange& range) const;
    void keepImagedApart(const RecipeRange& range) const;
    // The range's recipes to rewrite: all the chosen ones, or those set apart when some are equal.
    QString rewrittenRecipes(const RecipeRange& range, const RecipeChanges& kept) const;

    const db::SqlRunner& m_sql;
    const RecipeTable& m_t;
    qint64 m_run;
    QString m_source;
    Rewrite m_rewrite;
    bool m_forWriting;
    std::unique_ptr<RecipeDatabase> m_db;
    // No recipe of the last range was known equal by its digest, as when the source's recipes all changed: the next
    // range checks first whether any of its digests could match before it sets recipes apart.
    bool m_noneKnown = false;
    QList<RecipeChanges> m_kept; // per range kept, in order
    qsizetype m_written = 0;     // ranges written
};

} // namespace suite::server
