// IntgCentral: copies the source's recipes of the listed dishes over the marked destinations, in one transaction.
#pragma once

#include "integrationrequest.h"
#include "recipedatabase.h"

#include <packet.h>

#include <QSqlDatabase>

namespace suite::db {
class SqlRunner;
}

namespace suite::server {

class RunProgress;

// A run's answer lists at most this many observations, the first in the log's order; counts().observations has
// them all.
inline constexpr int kLogRowLimit = 10000;

struct IntegrationCounts {
    qint64 run = 0;       // INTGCENTRAL.NRINTG
    int deleted = 0;      // destination lines overwritten or removed (kept as before-images)
    int inserted = 0;     // source lines written over or added to the destinations
    int observations = 0; // all of them, also those past kLogRowLimit
    int rewritten = 0;    // recipes rewritten (each kept as a before-image)
    int equal = 0;        // recipes already equal to the source's, left untouched
};

class IntegrationRun {
public:
    // Rewrite::Every rewrites equal recipes too, as runs did before they compared (kept to check one against the
    // other).
    IntegrationRun(QSqlDatabase db, QString operatorCode, Rewrite rewrite = Rewrite::Differing);

    wire::Packet run(const IntegrationRequest& request);
    // What run() would do, done and then rolled back: per destination recipe the lines it would
    // remove and add (QTREMOVIDAS, QTINSERIDAS), then the observations as the log would list them; at most
    // kLogRowLimit of each, while counts() has them all.
    wire::Packet preview(const IntegrationRequest& request);
    IntegrationCounts counts() const { return m_counts; }

    static wire::Packet previewColumns();

private:
    // A range of destinations at a time, in two passes (compare and keep, then write), each range's end told to
    // `progress`.
    void replaceRecipes(const db::SqlRunner& sql, const RecipeTable& table, const RunProgress& progress);
    void prepareDishesAndDestinations(const db::SqlRunner& sql, const IntegrationRequest& request);
    void startRecord(const db::SqlRunner& sql, const IntegrationRequest& request, const QDateTime& started);
    void observeDestinations(const db::SqlRunner& sql, const IntegrationRequest& request);
    void readSourceRecipes(const db::SqlRunner& sql, const IntegrationRequest& request);
    void replaceLocalRecipes(const db::SqlRunner& sql, const RunProgress& progress);
    void replaceServiceRecipes(const db::SqlRunner& sql, const RunProgress& progress);
    void storeObservations(const db::SqlRunner& sql);
    // A preview's list of what the run would change; it also sets counts()' lines replaced and written.
    wire::Packet changes(const db::SqlRunner& sql);
    // The whole run inside its transaction, which commits only when asked.
    wire::Packet execute(const IntegrationRequest& request, bool commit);
    void finishRecord(const db::SqlRunner& sql, const QDateTime& finished);
    void analyze(const char* table) const;

    QSqlDatabase m_db;
    QString m_operator;
    Rewrite m_rewrite;
    QString m_source;
    bool m_writing = true; // false in a preview, which keeps the before-images and writes no recipe
    IntegrationCounts m_counts;
    std::unique_ptr<RecipeDatabase> m_database; // the run's, for its own work tables
};

} // namespace suite::server
