// Multi-dialect queries opened into memory through the shared connection.
#include "adoibquery.h"
#include "errors.h"
#include "hostservices.h"
#include "kittestutil.h"

#include "../common/testdb.h"

#include <QtTest>

using namespace mrv;

namespace {

void exec(QSqlDatabase& db, const QStringList& statements)
{
    for (const QString& sql : statements) {
        QSqlQuery q(db);
        if (!q.exec(sql))
            QFAIL(qPrintable(sql + ": " + q.lastError().text()));
    }
}

// Standard tree "P" and the local tree of branch 0002 share dish 0101001; 0101 is a level-2 group.
void fillDishes(QSqlDatabase& db)
{
    exec(db,
         {
             "INSERT INTO FILIAL (CDFILIAL, NMFILIAL) VALUES ('0001', 'Matriz')",
             "INSERT INTO FILIAL (CDFILIAL, NMFILIAL) VALUES ('0002', 'Restaurante D''Ávila')",
             "INSERT INTO PRATO (CDFILAUXPRAT, CDPRATO, NMPRATO, CDNVPRATO) VALUES ('P', '0101', 'Carnes', 2)",
             "INSERT INTO PRATO (CDFILAUXPRAT, CDPRATO, NMPRATO, CDNVPRATO) VALUES ('P', '0101001', 'Bife acebolado', "
             "3)",
             "INSERT INTO PRATO (CDFILAUXPRAT, CDPRATO, NMPRATO, CDNVPRATO) VALUES ('P', '0101002', 'Frango grelhado', "
             "3)",
             "INSERT INTO PRATO (CDFILAUXPRAT, CDPRATO, NMPRATO, CDNVPRATO) VALUES ('0002', '0101001', 'Bife da casa', "
             "3)",
             "INSERT INTO PRATO (CDFILAUXPRAT, CDPRATO, NMPRATO, CDNVPRATO) VALUES ('0001', '0101003', 'Picanha', 3)",
         });
}

// qryPesqPratos as the screen defines it, over several lines as the stored texts are.
void definePesqPratos(TADOIBQuery& q)
{
    q.setObjectName("qryPesqPratos");
    q.SQL = "SELECT DISTINCT\n  CDFILAUXPRAT,\n  CDPRATO,\n  NMPRATO,\n  CDFILAUXPRAT||CDPRATO AS CDPESQPRAT\nFROM\n  "
            "PRATO\n"
            "WHERE\n  (CDFILAUXPRAT IN (:P_CDFILAUXPRAT, :P_CDFILIAL)) AND\n"
            "  (CDNVPRATO = (SELECT MAX(CDNVPRATO) FROM PRATO))\nORDER BY\n  CDPRATO, CDFILAUXPRAT, NMPRATO\n";
    q.SQL_ORACLE = q.SQL_MSSQL = q.SQL_IB = q.SQL + "\n\n";
    q.addField("CDPRATO", FieldType::String, 10, "Código", 15)->EditMask = "99.99.999";
    q.addField("NMPRATO", FieldType::String, 30, "Nome");
    q.addField("CDFILAUXPRAT", FieldType::String, 10, "Árvore", 10);
    q.addField("CDPESQPRAT", FieldType::String, 0, {}, 0, false);
}

} // namespace

class tst_ADOIBQuery : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { closeSharedDatabase(); }

    void dishSearch_data();
    void dishSearch();
    void parametersAreData_data();
    void parametersAreData();
    void parameterRules_data();
    void parameterRules();
    void unboundColumnsGetFields_data() { suite::test::addDialectRows(); }
    void unboundColumnsGetFields();
};

void tst_ADOIBQuery::dishSearch_data()
{
    QTest::addColumn<QString>("dialect");
    QTest::addColumn<QString>("standardTree");
    QTest::addColumn<QString>("localTree");
    QTest::addColumn<QStringList>("keys");
    for (const QString& d : suite::test::dialects()) {
        QTest::newRow(qPrintable(d + ": both trees, shared code twice"))
            << d << "P"
            << "0002" << QStringList{"00020101001", "P0101001", "P0101002"};
        QTest::newRow(qPrintable(d + ": standard tree only")) << d << "P"
                                                              << "X" << QStringList{"P0101001", "P0101002"};
        QTest::newRow(qPrintable(d + ": local tree only")) << d << "X"
                                                           << "0002" << QStringList{"00020101001"};
        QTest::newRow(qPrintable(d + ": no tree")) << d << "X"
                                                   << "X" << QStringList{};
    }
}

void tst_ADOIBQuery::dishSearch()
{
    QFETCH(QString, dialect);
    QFETCH(QString, standardTree);
    QFETCH(QString, localTree);
    QFETCH(QStringList, keys);
    SUITE_TEST_DATABASE(tdb, dialect, suite::test::TestDatabase::Schema);
    fillDishes(tdb.db());
    openSharedDatabase(tdb.url());

    TADOIBQuery q;
    definePesqPratos(q);
    QCOMPARE(q.paramNames(), (QStringList{"P_CDFILAUXPRAT", "P_CDFILIAL"}));
    q.setParam("P_CDFILAUXPRAT", standardTree);
    q.setParam("P_CDFILIAL", localTree);
    q.Open();
    QVERIFY(q.Active());
    QCOMPARE(kittest::column(q, "CDPESQPRAT"), keys);
    QCOMPARE(q.fields().size(), 4);
    QCOMPARE(q.FieldByName("CDFILAUXPRAT")->DisplayLabel, QStringLiteral("Árvore"));
    if (!keys.isEmpty()) {
        q.First();
        QCOMPARE(q.FieldByName("CDPRATO")->DisplayText(), QStringLiteral("01.01.001"));
    }
}

void tst_ADOIBQuery::parametersAreData_data()
{
    QTest::addColumn<QString>("dialect");
    QTest::addColumn<QString>("branch");
    QTest::addColumn<QStringList>("names");
    for (const QString& d : suite::test::dialects()) {
        QTest::newRow(qPrintable(d + ": plain code")) << d << "0002" << QStringList{"Restaurante D'Ávila"};
        QTest::newRow(qPrintable(d + ": quote")) << d << "0'2" << QStringList{};
        QTest::newRow(qPrintable(d + ": injection attempt")) << d << "x' OR '1'='1" << QStringList{};
        QTest::newRow(qPrintable(d + ": colon and semicolon"))
            << d << ":P_CDFILIAL; DROP TABLE FILIAL" << QStringList{};
    }
}

void tst_ADOIBQuery::parametersAreData()
{
    QFETCH(QString, dialect);
    QFETCH(QString, branch);
    QFETCH(QStringList, names);
    SUITE_TEST_DATABASE(tdb, dialect, suite::test::TestDatabase::Schema);
    fillDishes(tdb.db());
    openSharedDatabase(tdb.url());

    TADOIBQuery q;
    q.setObjectName("qryFilial");
    // A colon inside a literal is text, not a parameter.
    q.SQL = "SELECT CDFILIAL, NMFILIAL, 'de:para' AS DSROTA FROM FILIAL WHERE CDFILIAL = :P_CDFILIAL ORDER BY CDFILIAL";
    QCOMPARE(q.paramNames(), QStringList{"P_CDFILIAL"});
    q.setParam("p_cdfilial", branch);
    QCOMPARE(q.param("P_CDFILIAL"), branch);
    q.Open();
    QCOMPARE(kittest::column(q, "NMFILIAL"), names);
    if (!names.isEmpty())
        QCOMPARE(q.FieldByName("DSROTA")->AsString(), QStringLiteral("de:para"));

    QSqlQuery count(tdb.db());
    QVERIFY(count.exec("SELECT COUNT(*) FROM FILIAL") && count.next());
    QCOMPARE(count.value(0).toInt(), 2);
}

void tst_ADOIBQuery::parameterRules_data()
{
    QTest::addColumn<QString>("step");
    QTest::addColumn<QString>("error");
    QTest::newRow("change while open")
        << "open-then-set"
        << "A consulta qryServico está aberta: feche-a antes de mudar o parâmetro P_CDFILIAL.";
    QTest::newRow("closed first") << "open-close-set"
                                  << "";
    QTest::newRow("unknown parameter") << "set-unknown"
                                       << "A consulta qryServico não tem o parâmetro P_CDSERVICO.";
    QTest::newRow("no value") << "open-unset"
                              << "Parâmetro P_CDFILIAL da consulta qryServico sem valor.";
    QTest::newRow("broken statement") << "open-broken"
                                      << "Falha ao abrir a consulta qryServico";
}

void tst_ADOIBQuery::parameterRules()
{
    QFETCH(QString, step);
    QFETCH(QString, error);
    SUITE_TEST_DATABASE(tdb, QStringLiteral("sqlite"), suite::test::TestDatabase::Schema);
    openSharedDatabase(tdb.url());

    TADOIBQuery q;
    q.setObjectName("qryServico");
    q.SQL = "SELECT CDSERVFILI, NMSERVICO FROM SERVICO WHERE CDFILIAL = :P_CDFILIAL ORDER BY CDSERVFILI";
    QString got;
    if (step == "open-then-set" || step == "open-close-set") {
        q.setParam("P_CDFILIAL", "0001");
        q.Open();
        if (step == "open-close-set")
            q.Close();
        got = kittest::failureOf([&] { q.setParam("P_CDFILIAL", "0002"); });
        QCOMPARE(q.param("P_CDFILIAL"), step == "open-close-set" ? QStringLiteral("0002") : QStringLiteral("0001"));
    } else if (step == "set-unknown") {
        got = kittest::failureOf([&] { q.setParam("P_CDSERVICO", "1"); });
    } else if (step == "open-unset") {
        got = kittest::failureOf([&] { q.Open(); });
    } else {
        q.SQL.replace("SERVICO WHERE", "SERVICOS WHERE");
        q.setParam("P_CDFILIAL", "0001");
        got = kittest::failureOf([&] { q.Open(); }).left(error.size());
    }
    QCOMPARE(got, error);
    if (!error.isEmpty() && step != "open-then-set")
        QVERIFY(!q.Active());
}

void tst_ADOIBQuery::unboundColumnsGetFields()
{
    QFETCH(QString, dialect);
    SUITE_TEST_DATABASE(tdb, dialect, suite::test::TestDatabase::Schema);
    fillDishes(tdb.db());
    openSharedDatabase(tdb.url());

    TADOIBQuery q;
    q.setObjectName("qryFilial");
    q.SQL = "SELECT CDFILIAL, NMFILIAL FROM FILIAL ORDER BY CDFILIAL";
    q.Open();
    // PostgreSQL reports folded lower-case names; the suite's names stay upper case.
    QCOMPARE(q.fields().size(), 2);
    QCOMPARE(q.fields().at(0)->name(), QStringLiteral("CDFILIAL"));
    QCOMPARE(kittest::column(q, "CDFILIAL"), (QStringList{"0001", "0002"}));

    // Reopening reads the table afresh.
    exec(tdb.db(), {"INSERT INTO FILIAL (CDFILIAL, NMFILIAL) VALUES ('0003', 'Nova')"});
    q.Close();
    q.Open();
    QCOMPARE(q.RecordCount(), 3);
}

QTEST_GUILESS_MAIN(tst_ADOIBQuery)
#include "tst_adoibquery.moc"
