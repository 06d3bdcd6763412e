// IntgCentral: copies the source's recipes of the listed dishes over the marked destinations, in one transaction.
#pragma once

#include "integrationrequest.h"
#include "packet.h"
#include "recipewriter.h"

#include <QSqlDatabase>

namespace suite::server {

class SqlRunner;

struct IntegrationCounts
{
    qint64 run = 0;           // INTGCENTRAL.NRINTG
    int deleted = 0;          // destination lines overwritten or removed (kept as before-images)
    int inserted = 0;         // source lines written over or added to the destinations
    int observations = 0;
};

class IntegrationRun
{
public:
    IntegrationRun(QSqlDatabase db, QString operatorCode);

    static Packet emptyLog();   // the columns of cdsLogIntCent
    Packet run(const IntegrationRequest &request);
    IntegrationCounts counts() const { return m_counts; }


private:
    void replaceRecipes(const SqlRunner &sql, const RecipeTable &table);
    void prepareDishesAndDestinations(const SqlRunner &sql, const IntegrationRequest &request);
    void startRecord(const SqlRunner &sql, const IntegrationRequest &request, const QDateTime &started);
    void observeDestinations(const SqlRunner &sql, const IntegrationRequest &request);
    void readSourceRecipes(const SqlRunner &sql, const IntegrationRequest &request);
    void replaceLocalRecipes(const SqlRunner &sql);
    void replaceServiceRecipes(const SqlRunner &sql);
    Packet logRows(const SqlRunner &sql, const IntegrationRequest &request, const QDateTime &started,
                   const QDateTime &finished);
    void finishRecord(const SqlRunner &sql, const QDateTime &finished);
    void analyze(const SqlRunner &sql, const char *table);

    QSqlDatabase m_db;
    QString m_operator;
    IntegrationCounts m_counts;
};

} // namespace suite::server
