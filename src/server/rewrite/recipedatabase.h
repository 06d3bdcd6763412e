// RecipeDatabase: what one database does its own way when a run replaces recipes. The writer says what happens and
// in which order; an implementation per database holds that database's SQL for it: how a recipe's lines are written
// as a before-image and compared, their digest, how the new lines are written, and how its planner is helped.
#pragma once

#include "reciperange.h"

#include <QHash>

#include <functional>
#include <memory>

class QSqlQuery;

namespace suite::db {
class SqlRunner;
}

namespace suite::server {

class RecipeDatabase {
public:
    // A new one for each recipe table of a run: it may learn from one range what to do in the next.
    static std::unique_ptr<RecipeDatabase> of(const db::SqlRunner& sql);
    virtual ~RecipeDatabase() = default;

    // Locks the FILIAL rows of the branches `branches` (a sub-select of CDFILIAL) until the transaction ends, where
    // the database does not already serialise writers. Taken in code order, so two runs never deadlock.
    virtual void lockBranches(const QString& branches, const QVariantMap& binds = {}) const = 0;
    // What follows a work table's CREATE TABLE: how the database keeps a table that has a key.
    virtual QString keyedTableOptions() const = 0;
    // Fills a work table keyed by `key` through `fill`, which is told whether its rows must come in the key's whole
    // order (or only in that of its first column).
    virtual void fillKeyed(const char* table, const QString& key,
                           const std::function<void(bool wholeKeyOrder)>& fill) const = 0;
    // A work table emptied of the last range's rows.
    virtual void empty(const char* table) const = 0;
    // Statistics of a work table, where the planner would otherwise guess.
    virtual void analyze(const char* table) const = 0;
    // While on, joins are made by hashing, each side read once (JoinsByHashing turns it on and off).
    virtual void joinByHashing(bool on) const = 0;

    // The source's recipes in the form a destination recipe is compared in, as "form AS ORIGEM FROM lines",
    // the lines of t.source read in their key order (TREE, CDPRATO, [CDSERVFILI,] NRSEQ), to be grouped by recipe.
    virtual QString sourceForms(const RecipeTable& t) const = 0;
    // The digest of such a form, which destinations keep (INTGASSIN.DSASSIN).
    virtual QString digest(const char* form) const = 0;

    // The range's chosen recipes whose digest does not match their source recipe's (RecipeRange::digestMatches):
    // those a run must read, as a sub-select shaped as the chosen table.
    virtual QString toCompare(const RecipeRange& range) const = 0;
    // The first range with recipes to compare (the `compared` table), before their before-images are kept.
    virtual void startComparing(const RecipeRange& range, const char* compared) = 0;
    // Whether keepBeforeImages() can also set apart, in the table `rewritten`, the recipes it keeps images of.
    virtual bool setsApartWhileImaging() const = 0;
    // Keeps a before-image of each recipe of `compared` in the range to rewrite: every one, or (compare) those
    // whose lines differ from the source's. Returns how many (rewritten) and, when it counts them while imaging,
    // their lines (replaced) and their source recipes' (written); otherwise those stay 0.
    virtual RecipeChanges keepBeforeImages(const RecipeRange& range, const char* compared, bool compare,
                                           bool setApart) const = 0;
    // Once a range's images are kept, before any range is written; returns the lines removed.
    virtual int removeRewritten(const RecipeRange& range, const QString& rewritten) const = 0;
    // Makes the lines of the recipes `rewritten` (a sub-select of a chosen-shaped table) the source's; returns
    // kept with the lines replaced and written.
    virtual RecipeChanges write(const RecipeRange& range, const QString& rewritten, const RecipeChanges& kept,
                                Rewrite rewrite) = 0;

    // Each recipe of `digests` (a sub-select of CDFILIAL, CDSERVFILI, CDFILAUXPRAT, CDPRATO, DSASSIN and QTLINHAS,
    // one per recipe of the range and kind) keeps that digest and line count, in place of any it had; `wholeRange`
    // when they are every chosen recipe of the range.
    virtual void keepDigests(const RecipeRange& range, const QString& digests, bool wholeRange) const = 0;

    // Runs `writes` inside the caller's transaction with the digest triggers out of the way of this connection's
    // writes only, which keep the digests themselves; every other writer still drops the digests of the recipes it
    // changes.
    virtual void withOwnWrites(const std::function<void()>& writes) const = 0;

    // An undo: the recipes of TT_DESFAZ (IDTIPORECE, CDFILIAL, CDSERVFILI, CDFILAUXPRAT, CDPRATO) get back the
    // lines of their before-images of `run`. startUndo() once, then per kind forgetUndone() and removeUndone(), then
    // restore() per kind and range of destinations (which now have linesNow lines of that kind), then finishUndo().
    virtual void startUndo() const = 0;
    // Drops the digests of the recipes of TT_DESFAZ of that kind, which the undo leaves unequal to their source
    // recipes, and returns the lines those recipes have now, per destination: a recipe that keeps its digest has
    // its source recipe's lines, told by the digest; the others are counted.
    virtual QHash<QString, qint64> forgetUndone(const RecipeKind& kind) const = 0;
    virtual void removeUndone(const RecipeKind& kind) const = 0;
    // restore() returns the lines it put back.
    virtual qint64 restore(qint64 run, const RecipeKind& kind, const BranchRange& range, qint64 linesNow) const = 0;
    virtual void finishUndo() const = 0;

protected:
    // Rows of CDFILIAL and a number of lines.
    static QHash<QString, qint64> linesPerBranch(QSqlQuery& rows);
};

} // namespace suite::server
