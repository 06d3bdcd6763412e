// RecipeWriter: replaces the chosen destination recipes of one recipe table by the source's, keeping before-images.
#pragma once

#include "branchranges.h"
#include "recipekind.h"

#include <QString>

#include <optional>

namespace suite::db {
class SqlRunner;
}

namespace suite::server {

// A kind of recipe and the work tables of its run.
struct RecipeTable {
    RecipeKind kind;
    const char* chosen;     // destination recipes to replace: CDFILIAL, [CDSERVFILI,] TREE, CDPRATO, DSTTREE
    const char* source;     // the source's lines of the listed dishes
    const char* reshaped;   // chosen recipes whose line numbers differ from the source's (PostgreSQL)
    const char* signatures; // the source's recipes in the form a destination recipe is compared in, and its digest
    const char* rewritten;  // the chosen recipes that differ, when some do not (shaped as `chosen`)
    const char* compared;   // the chosen recipes whose digest does not match (shaped as `chosen`)
};

// Which chosen recipes a run rewrites.
enum class Rewrite {
    Differing, // only those whose lines differ from the source's; the others are left as they are
    Every,     // every one, equal or not
};

struct RecipeChanges {
    int replaced = 0;  // destination lines the source's overwrote or removed
    int written = 0;   // source lines written to the destinations
    int rewritten = 0; // recipes rewritten (each has a before-image)
    int equal = 0;     // recipes already equal to the source's, left untouched
};

// What a run's writers of one table learn from one range and use in the next.
struct RangeHints {
    // PostgreSQL: what pgMostlyDiffering() said; the first writer with recipes to compare fills it in.
    std::optional<bool> mostlyDiffering;
    // No recipe of the last range was known equal by its digest, as when the source's recipes all changed: the
    // next range checks first whether any of its digests could match before it sets recipes apart.
    bool noneKnown = false;
    // PostgreSQL: the table of recipes set apart to rewrite has its statistics, taken once every range has added
    // its own, before the first range is written.
    bool rewrittenAnalyzed = false;
};

// One writer serves one range of destinations; the work tables keep every range's rows, and each writer reads
// its own (the recipes set apart to compare are needed only while their range is kept, and hold its rows alone).
// A run keeps every range's before-images first and then writes every range: with the old lines of all ranges
// gone first, SQLite refills each range without splitting the pages that the later ranges' lines held.
class RecipeWriter {
public:
    // hints: shared by the run's writers of the table, one range after another.
    RecipeWriter(const db::SqlRunner& sql, const RecipeTable& table, qint64 run, QString source, Rewrite rewrite,
                 const BranchRange& destinations, RangeHints& hints);

    // Once per run and table, before the first range, when only the recipes that differ are rewritten.
    void keepSignatures() const;
    // PostgreSQL: whether most recipes to compare differ from the source's, judged on a sample of those set apart.
    bool pgMostlyDiffering(const char* compared) const;
    // Every recipe of the range to rewrite gets one before-image row (and, on SQLite, its lines go); what keep()
    // returned is then given to write(), which makes the lines the source's. Not forWriting (a preview), keep()
    // only keeps the images, and write() is not called.
    RecipeChanges keep(bool forWriting) const;
    RecipeChanges write(const RecipeChanges& kept) const;

private:
    // The rows of a work table that belong to this writer's range, as a sub-select to be given an alias.
    QString inRange(const char* table) const;
    // compared: the table of the recipes to compare (the chosen ones, or those set apart). imagedApart
    // (PostgreSQL, comparing): the recipes imaged also go to the `rewritten` table.
    int keepBeforeImages(const char* compared, bool imagedApart) const;
    void keepImagedApart() const;
    RecipeChanges rewriteInPlace(const RecipeChanges& kept) const;
    // PostgreSQL: gives the range's recipes set apart in the `reshaped` table the source's line numbers.
    RecipeChanges reshape(const RecipeChanges& changes, int reshapedCount) const;
    // The range's recipes to rewrite: all the chosen ones, or those set apart when some are equal.
    QString rewrittenRecipes(const RecipeChanges& kept) const;

    // t is k's source recipe in the signatures table; k's digest matches t's.
    QString signatureJoin() const;
    // Of the writer's range only: k must be of it too.
    QString digestMatches() const;
    // The recipes of `chosen` (a table or sub-select) whose digest does not match: those the run must read.
    QString toCompare(const QString& chosen) const;
    // The range's recipes to compare go to the `compared` table; returns how many.
    int setApartToCompare() const;
    // Every recipe of the range that was compared keeps its source recipe's digest.
    void keepDigests(const char* compared) const;
    // Rewriting without comparing: the range's chosen recipes lose their digests.
    void dropDigests() const;
    // Whether any digest of the range matches its dish's source recipe, chosen or not.
    bool anyDigestMatches() const;

    // The source's tree of alias's destination tree (CDFILAUXPRAT): "P", or the source branch (bound as :origem).
    QString sourceTreeOf(const char* alias) const;
    QString recipeOfK(const char* alias) const;
    // recipeOfK("r"), with r also kept to the range.
    QString inRangeR() const;
    QString sourceJoin() const;
    QString lineValues() const;
    QString keyOrder() const;
    QString sourceShapes() const;
    // PostgreSQL: the JSON text of r's lines; unescaped, it is valid only for plain codes and numbers.
    QString pgLinesText(bool escaped, bool ordered = false) const;
    // PostgreSQL: true when r's lines can be written unescaped.
    QString pgPlainLines() const;
    // PostgreSQL: the source's recipes as arrays of their lines' values, and the same of `alias`'s lines.
    QString pgSourceArrays() const;
    QString pgLineArrays(const char* alias, bool ordered) const;
    // PostgreSQL: x's lines (pgLineArrays) differ from the source's (a).
    QString pgArraysDiffer() const;
    // PostgreSQL: whether x's line numbers (count and bounds) differ from its source recipe's (t), as RESHAPED.
    QString pgReshaped() const;

    const db::SqlRunner& m_sql;
    const RecipeTable& m_t;
    qint64 m_run;
    QString m_source;
    Rewrite m_rewrite;
    QString m_range; // CDFILIAL BETWEEN ...
    RangeHints& m_hints;
};

} // namespace suite::server
