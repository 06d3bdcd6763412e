// Benchmark data: the sizes asked for, and rows the integration can really copy.
#include "datasets.h"
#include "password.h"
#include "sqlrunner.h"
#include "testdb.h"

#include <QSqlQuery>
#include <QtTest>

using namespace suite::provision;
using suite::db::DbError;
using suite::db::SqlRunner;
using suite::test::TestDatabase;

class tst_ScaleData : public QObject {
    Q_OBJECT
private slots:
    void sizes_data();
    void sizes();
    void refusesImpossibleSizes_data();
    void refusesImpossibleSizes();
    void sizeText_data();
    void sizeText();

private:
    static qint64 count(QSqlDatabase& db, const QString& sql)
    {
        return SqlRunner(db).value(QStringLiteral("counting"), sql).toLongLong();
    }
};

void tst_ScaleData::sizes_data()
{
    QTest::addColumn<QString>("dialect");
    QTest::addColumn<int>("branches");
    QTest::addColumn<int>("dishes");
    QTest::addColumn<int>("lines");
    QTest::addColumn<int>("groups1");
    QTest::addColumn<int>("groups2");
    for (const QString& d : suite::test::dialects()) {
        QTest::addRow("%s one of each", qPrintable(d)) << d << 1 << 1 << 1 << 1 << 1;
        QTest::addRow("%s several groups", qPrintable(d)) << d << 7 << 250 << 12 << 1 << 3;
        // 9,901 dishes need a second level-1 group (99 groups of 100 under each).
        QTest::addRow("%s second level-1 group", qPrintable(d)) << d << 2 << 9901 << 2 << 2 << 100;
    }
}

void tst_ScaleData::sizes()
{
    QFETCH(QString, dialect);
    QFETCH(int, branches);
    QFETCH(int, dishes);
    QFETCH(int, lines);
    SUITE_TEST_DATABASE(tdb, dialect, TestDatabase::Schema);
    QSqlDatabase& db = tdb.db();
    loadScale(db, {branches, dishes, lines});

    QCOMPARE(count(db, "SELECT COUNT(*) FROM FILIAL"), qint64(branches));
    QCOMPARE(SqlRunner(db).value("last branch", "SELECT MAX(CDFILIAL) FROM FILIAL").toString(),
             QStringLiteral("%1").arg(branches, 4, 10, QLatin1Char('0')));
    QCOMPARE(count(db, "SELECT COUNT(*) FROM FILIAL WHERE IDMATRIZ = 'S' AND CDFILIAL = '0001'"), 1);
    QCOMPARE(count(db, "SELECT COUNT(*) FROM FILIGRUP"), qint64(branches));
    QCOMPARE(count(db, "SELECT COUNT(*) FROM PRATO WHERE CDFILAUXPRAT = 'P' AND CDNVPRATO = 3"), qint64(dishes));
    QTEST(int(count(db, "SELECT COUNT(*) FROM PRATO WHERE CDNVPRATO = 1")), "groups1");
    QTEST(int(count(db, "SELECT COUNT(*) FROM PRATO WHERE CDNVPRATO = 2")), "groups2");
    QCOMPARE(count(db, "SELECT COUNT(*) FROM PRATO D WHERE D.CDNVPRATO = 3 AND (LENGTH(D.CDPRATO) <> 7 OR NOT EXISTS "
                       "(SELECT 1 FROM PRATO G WHERE G.CDFILAUXPRAT = D.CDFILAUXPRAT AND G.CDNVPRATO = 2 AND G.CDPRATO "
                       "= SUBSTR(D.CDPRATO, 1, 4)))"),
             0);
    QCOMPARE(count(db, "SELECT COUNT(*) FROM RECEITA"), qint64(branches) * dishes * lines);
    // Every line names a product enabled at its branch, never twice in one recipe.
    QCOMPARE(count(db, "SELECT COUNT(*) FROM RECEITA R WHERE NOT EXISTS (SELECT 1 FROM PRODFILI P WHERE P.CDFILIAL = "
                       "R.CDFILIAL AND P.CDARVPROD = R.CDARVPROD)"),
             0);
    QCOMPARE(count(db, "SELECT COUNT(*) FROM (SELECT CDFILIAL, CDPRATO, CDARVPROD FROM RECEITA GROUP BY CDFILIAL, "
                       "CDPRATO, CDARVPROD HAVING COUNT(*) > 1) X"),
             0);
    const qint64 serviceRecipes = count(db, "SELECT COUNT(*) FROM RECEITASERV");
    QVERIFY(serviceRecipes > 0 && serviceRecipes <= qint64(branches) * 2 * std::min(dishes, 20) * lines);
    QCOMPARE(count(db, "SELECT COUNT(*) FROM OPERFILI WHERE CDOPERADOR = 'demo'"), qint64(branches));
    QVERIFY(verifyPassword(
        "demo", SqlRunner(db).value("hash", "SELECT DSSENHA FROM OPERADOR WHERE CDOPERADOR = 'demo'").toString()));
    // The recipe key is in force after the load (PostgreSQL rebuilds it at the end).
    QSqlQuery duplicate(db);
    QVERIFY(!duplicate.exec("INSERT INTO RECEITA SELECT * FROM RECEITA WHERE NRSEQ = 1"));
}

void tst_ScaleData::refusesImpossibleSizes_data()
{
    QTest::addColumn<int>("branches");
    QTest::addColumn<int>("dishes");
    QTest::addColumn<int>("lines");
    QTest::addColumn<QString>("reason");
    QTest::newRow("no branches") << 0 << 10 << 10 << "branches must be 1 to 9999";
    QTest::newRow("codes would need 5 characters") << 10000 << 10 << 10 << "branches must be 1 to 9999";
    QTest::newRow("no dishes") << 1 << 0 << 10 << "dishes must be";
    QTest::newRow("no lines") << 1 << 1 << 0 << "lines must be";
    QTest::newRow("more lines than products") << 1 << 1 << 501 << "lines must be";
}

void tst_ScaleData::refusesImpossibleSizes()
{
    QFETCH(int, branches);
    QFETCH(int, dishes);
    QFETCH(int, lines);
    QFETCH(QString, reason);
    SUITE_TEST_DATABASE(tdb, QStringLiteral("sqlite"), TestDatabase::Schema);
    try {
        loadScale(tdb.db(), {branches, dishes, lines});
        QFAIL("impossible size accepted");
    } catch (const DbError& e) {
        QVERIFY2(e.message().contains(reason), e.what());
    }
    QCOMPARE(count(tdb.db(), "SELECT COUNT(*) FROM FILIAL"), 0);
}

void tst_ScaleData::sizeText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("read");
    QTest::addColumn<int>("branches");
    QTest::addColumn<int>("dishes");
    QTest::addColumn<int>("lines");
    QTest::newRow("three numbers") << "200,2000,10" << true << 200 << 2000 << 10;
    QTest::newRow("a letter") << "1,a,1" << false << 0 << 0 << 0;
    QTest::newRow("two numbers") << "1,2" << false << 0 << 0 << 0;
    QTest::newRow("four numbers") << "1,2,3,4" << false << 0 << 0 << 0;
    QTest::newRow("empty") << "" << false << 0 << 0 << 0;
}

// The size text of "suite-server init --scale" and of the integration benchmark.
void tst_ScaleData::sizeText()
{
    QFETCH(QString, text);
    QFETCH(bool, read);
    const std::optional<Scale> scale = Scale::parse(text);
    QCOMPARE(scale.has_value(), read);
    if (scale) {
        QTEST(scale->branches, "branches");
        QTEST(scale->dishes, "dishes");
        QTEST(scale->lines, "lines");
    }
}

QTEST_GUILESS_MAIN(tst_ScaleData)
#include "tst_scaledata.moc"
