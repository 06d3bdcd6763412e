// SqliteRecipes: the engine's SQL on SQLite. Before-images and comparisons are written by the engine's own SQL
// functions (sqlitefunctions.h); a rewritten recipe's lines are deleted and the source's appended.
#pragma once

#include "rewrite/recipedatabase.h"

namespace suite::server {

class SqliteRecipes : public RecipeDatabase {
public:
    explicit SqliteRecipes(const db::SqlRunner& sql);

    void lockBranches(const QString&, const QVariantMap& = {}) const override {}
    QString keyedTableOptions() const override;
    void fillKeyed(const char* table, const QString& key,
                   const std::function<void(bool wholeKeyOrder)>& fill) const override;
    void empty(const char* table) const override;
    void analyze(const char*) const override {}
    void joinByHashing(bool) const override {}
    QString sourceForms(const RecipeTable& t) const override;
    QString digest(const char* form) const override;
    QString toCompare(const RecipeRange& range) const override;
    void startComparing(const RecipeRange&, const char*) override {}
    bool setsApartWhileImaging() const override { return false; }
    RecipeChanges keepBeforeImages(const RecipeRange& range, const char* compared, bool compare,
                                   bool setApart) const override;
    int removeRewritten(const RecipeRange& range, const QString& rewritten) const override;
    RecipeChanges write(const RecipeRange& range, const QString& rewritten, const RecipeChanges& kept,
                        Rewrite rewrite) override;

    void keepDigests(const RecipeRange& range, const QString& digests, bool wholeRange) const override;
    void withOwnWrites(const std::function<void()>& writes) const override;
    void startUndo() const override {}
    QHash<QString, qint64> forgetUndone(const RecipeKind& kind) const override;
    void removeUndone(const RecipeKind& kind) const override;
    qint64 restore(qint64 run, const RecipeKind& kind, const BranchRange& range, qint64 linesNow) const override;
    void finishUndo() const override {}

private:
    const db::SqlRunner& m_sql;
};

} // namespace suite::server
