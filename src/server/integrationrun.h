// IntgCentral: copies the source's recipes of the listed dishes over the marked destinations, in one transaction.
#pragma once

#include "integrationrequest.h"
#include "recipewriter.h"

#include <packet.h>

#include <QSqlDatabase>

namespace suite::db {
class SqlRunner;
}

namespace suite::server {

struct IntegrationCounts {
    qint64 run = 0;   // INTGCENTRAL.NRINTG
    int deleted = 0;  // destination lines overwritten or removed (kept as before-images)
    int inserted = 0; // source lines written over or added to the destinations
    int observations = 0;
};

class IntegrationRun {
public:
    IntegrationRun(QSqlDatabase db, QString operatorCode);

    wire::Packet run(const IntegrationRequest& request);
    // What run() would do, done and then rolled back: per destination recipe the lines it would
    // remove and add (QTREMOVIDAS, QTINSERIDAS), then the observations as the log would list them.
    wire::Packet preview(const IntegrationRequest& request);
    IntegrationCounts counts() const { return m_counts; }

    static wire::Packet previewColumns();

private:
    void replaceRecipes(const db::SqlRunner& sql, const RecipeTable& table);
    void prepareDishesAndDestinations(const db::SqlRunner& sql, const IntegrationRequest& request);
    void startRecord(const db::SqlRunner& sql, const IntegrationRequest& request, const QDateTime& started);
    void observeDestinations(const db::SqlRunner& sql, const IntegrationRequest& request);
    void readSourceRecipes(const db::SqlRunner& sql, const IntegrationRequest& request);
    void replaceLocalRecipes(const db::SqlRunner& sql);
    void replaceServiceRecipes(const db::SqlRunner& sql);
    void storeObservations(const db::SqlRunner& sql);
    wire::Packet changes(const db::SqlRunner& sql) const;
    // The whole run inside its transaction, which commits only when asked.
    wire::Packet execute(const IntegrationRequest& request, bool commit);
    void finishRecord(const db::SqlRunner& sql, const QDateTime& finished);
    void analyze(const db::SqlRunner& sql, const char* table);

    QSqlDatabase m_db;
    QString m_operator;
    IntegrationCounts m_counts;
};

} // namespace suite::server
