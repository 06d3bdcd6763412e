// The screen's look-up queries run against both database dialects.
#include "modulefixture.h"

#include <adoibquery.h>
#include <hostservices.h>

#include <QApplication>
#include <QSqlError>
#include <QtTest>

using namespace rci06000::test;

class tst_LookupQueries : public QObject {
    Q_OBJECT

private slots:
    void cleanup();
    void dishSearch_data();
    void dishSearch();
    void servicesOfBranch_data();
    void servicesOfBranch();

private:
    static void exec(QSqlDatabase& db, const QString& statement)
    {
        QSqlQuery q(db);
        QVERIFY2(q.exec(statement), qPrintable(q.lastError().text()));
    }
    static QStringList column(mrv::TADOIBQuery* query, const QString& field)
    {
        QStringList values;
        for (query->First(); !query->Eof(); query->Next())
            values << query->FieldByName(field)->AsString();
        return values;
    }
};

void tst_LookupQueries::cleanup()
{
    mrv::closeSharedDatabase();
}

void tst_LookupQueries::dishSearch_data()
{
    QTest::addColumn<QString>("dialect");
    QTest::addColumn<QString>("standardTree");
    QTest::addColumn<QString>("localTree");
    QTest::addColumn<QStringList>("keys");
    for (const QString& dialect : suite::test::dialects()) {
        const QByteArray d = dialect.toLatin1();
        // Dish 0101001 exists in both trees: listed once per tree, local code sorting first.
        QTest::newRow((d + ": both trees").constData()) << dialect << "P"
                                                        << "0002" << QStringList{"00020101001", "P0101001", "P0101002"};
        QTest::newRow((d + ": standard only").constData()) << dialect << "P"
                                                           << "X" << QStringList{"P0101001", "P0101002"};
        QTest::newRow((d + ": local only").constData()) << dialect << "X"
                                                        << "0002" << QStringList{"00020101001"};
        QTest::newRow((d + ": no tree").constData()) << dialect << "X"
                                                     << "X" << QStringList{};
        // Only the highest level of the whole table counts, wherever it occurs.
        QTest::newRow((d + ": branch with lower levels only").constData()) << dialect << "X"
                                                                           << "0003" << QStringList{};
    }
}

void tst_LookupQueries::dishSearch()
{
    QFETCH(QString, dialect);
    QFETCH(QString, standardTree);
    QFETCH(QString, localTree);
    QFETCH(QStringList, keys);
    SUITE_TEST_DATABASE(tdb, dialect, suite::test::TestDatabase::Schema);
    exec(tdb.db(), "INSERT INTO FILIAL (CDFILIAL, NMFILIAL, IDMATRIZ) VALUES ('0001', 'Matriz', 'S')");
    exec(tdb.db(), "INSERT INTO FILIAL (CDFILIAL, NMFILIAL) VALUES ('0002', 'Centro')");
    exec(tdb.db(), "INSERT INTO FILIAL (CDFILIAL, NMFILIAL) VALUES ('0003', 'Norte')");
    exec(tdb.db(), "INSERT INTO PRATO (CDFILAUXPRAT, CDPRATO, NMPRATO, CDNVPRATO) VALUES "
                   "('P', '0101001', 'Arroz branco', 3), ('P', '0101002', 'Feijão', 3), "
                   "('0002', '0101001', 'Arroz da casa', 3), ('P', '0101', 'Acompanhamentos', 2), "
                   "('0003', '0102', 'Saladas', 2), ('0002', '01', 'Pratos', 1)");
    mrv::openSharedDatabase(tdb.url());

    TfrmIntgCentral form;
    mrv::TADOIBQuery* query = form.qryPesqPratos;
    query->setParam("P_CDFILAUXPRAT", standardTree);
    query->setParam("P_CDFILIAL", localTree);
    query->Open();
    QCOMPARE(column(query, "CDPESQPRAT"), keys);
    // The search key is the tree code followed by the dish code.
    for (query->First(); !query->Eof(); query->Next())
        QCOMPARE(query->FieldByName("CDPESQPRAT")->AsString(),
                 query->FieldByName("CDFILAUXPRAT")->AsString() + query->FieldByName("CDPRATO")->AsString());
}

void tst_LookupQueries::servicesOfBranch_data()
{
    QTest::addColumn<QString>("dialect");
    QTest::addColumn<QString>("branch");
    QTest::addColumn<QStringList>("services");
    for (const QString& dialect : suite::test::dialects()) {
        const QByteArray d = dialect.toLatin1();
        QTest::newRow((d + ": ordered by code").constData()) << dialect << "0001" << QStringList{"01", "02", "10"};
        QTest::newRow((d + ": branch without services").constData()) << dialect << "0002" << QStringList{};
        QTest::newRow((d + ": code as typed, not adjusted").constData()) << dialect << "1" << QStringList{};
    }
}

void tst_LookupQueries::servicesOfBranch()
{
    QFETCH(QString, dialect);
    QFETCH(QString, branch);
    QFETCH(QStringList, services);
    SUITE_TEST_DATABASE(tdb, dialect, suite::test::TestDatabase::Schema);
    exec(tdb.db(), "INSERT INTO FILIAL (CDFILIAL, NMFILIAL, IDMATRIZ) VALUES ('0001', 'Matriz', 'S')");
    exec(tdb.db(), "INSERT INTO FILIAL (CDFILIAL, NMFILIAL) VALUES ('0002', 'Centro')");
    exec(tdb.db(), "INSERT INTO SERVICO (CDFILIAL, CDSERVFILI, NMSERVICO) VALUES "
                   "('0001', '10', 'Ceia'), ('0001', '01', 'Desjejum'), ('0001', '02', 'Almoço')");
    mrv::openSharedDatabase(tdb.url());

    TfrmIntgCentral form;
    form.qryServico->setParam("P_CDFILIAL", branch);
    form.qryServico->Open();
    QCOMPARE(column(form.qryServico, "CDSERVFILI"), services);
}

QTEST_MAIN(tst_LookupQueries)
#include "tst_lookupqueries.moc"
