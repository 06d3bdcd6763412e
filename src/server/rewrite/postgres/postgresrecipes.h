// PostgresRecipes: the engine's SQL on PostgreSQL. A before-image is JSON text built by hand; recipes are compared
// either as that text or, when most are equal, as arrays of their values; the lines are updated in place, and only
// a recipe whose line numbers differ from the source's has lines removed or added.
#pragma once

#include "rewrite/recipedatabase.h"

#include <optional>

namespace suite::server {

class PostgresRecipes : public RecipeDatabase {
public:
    explicit PostgresRecipes(const db::SqlRunner& sql);

    void lockBranches(const QString& branches, const QVariantMap& binds = {}) const override;
    QString keyedTableOptions() const override { return {}; }
    void fillKeyed(const char* table, const QString& key,
                   const std::function<void(bool wholeKeyOrder)>& fill) const override;
    void empty(const char* table) const override;
    void analyze(const char* table) const override;
    void joinByHashing(bool on) const override;
    QString sourceForms(const RecipeTable& t) const override;
    QString digest(const char* form) const override;
    QString toCompare(const RecipeRange& range) const override { return range.unmatchedDigests(); }
    void startComparing(const RecipeRange& range, const char* compared) override;
    bool setsApartWhileImaging() const override { return true; }
    RecipeChanges keepBeforeImages(const RecipeRange& range, const char* compared, bool compare,
                                   bool setApart) const override;
    int removeRewritten(const RecipeRange&, const QString&) const override { return 0; }
    RecipeChanges write(const RecipeRange& range, const QString& rewritten, const RecipeChanges& kept,
                        Rewrite rewrite) override;

    void keepDigests(const RecipeRange& range, const QString& digests, bool wholeRange) const override;
    void withOwnWrites(const std::function<void()>& writes) const override;
    void startUndo() const override;
    QHash<QString, qint64> forgetUndone(const RecipeKind& kind) const override;
    void removeUndone(const RecipeKind&) const override {}
    qint64 restore(qint64 run, const RecipeKind& kind, const BranchRange& range, qint64 linesNow) const override;
    void finishUndo() const override;

private:
    // Whether a comparing run writes every compared recipe's image as text, which also counts the lines.
    bool comparesAsText() const { return m_mostlyDiffering.value_or(true); }
    // Gives the range's recipes set apart in the `reshaped` table the source's line numbers.
    void reshape(const RecipeRange& range, int reshapedCount) const;
    // Whether `rewritten`, the range's recipes to rewrite, are every source recipe at every destination of the
    // range, each in the tree the source's is in: then a line's source line alone says it is to be written.
    bool choseEverySourceRecipe(const RecipeRange& range, const QString& rewritten);
    // Runs `statement` with the work memory sized to hash `recipes` of a range but not the range's lines.
    void withHashesOfRecipes(int recipes, const std::function<void()>& statement) const;

    const db::SqlRunner& m_sql;
    // Whether most recipes to compare differ from the source's, judged once on a sample of the first range's.
    std::optional<bool> m_mostlyDiffering;
    // The table of recipes set apart to rewrite has its statistics, taken once every range has added its own,
    // before the first range is written.
    bool m_rewrittenAnalyzed = false;
    // How many recipes the source has of the table, once counted.
    qint64 m_sourceRecipes = -1;
};

} // namespace suite::server
