// The random tester's database check: a change a completed run may make passes, any other is caught.
#include "recipeledger.h"
#include "testdb.h"

#include <QSqlQuery>
#include <QTest>

using suite::desktop::RecipeLedger;
using suite::test::TestDatabase;

namespace {

// One statement, checked: a test whose set-up silently failed would pass for the wrong reason.
void exec(QSqlDatabase& db, const QString& sql)
{
    QSqlQuery q(db);
    QVERIFY2(q.exec(sql), qPrintable(sql + ": " + q.lastError().text()));
}

// Replaces a branch's recipe of a standard dish with the source branch's lines (what a run writes), or with them
// plus one line more (what no run writes).
QString copyRecipe(const QString& table, const QString& from, const QString& to, const QString& dish, bool extraLine)
{
    const bool perService = table == QLatin1String("RECEITASERV");
    const QString service = perService ? QStringLiteral("CDSERVFILI, ") : QString();
    // Per service: only the services the source has a recipe for (a run never empties the others).
    const QString sameServices =
        perService ? QStringLiteral(" AND CDSERVFILI IN (SELECT CDSERVFILI FROM RECEITASERV WHERE CDFILIAL = '%1'"
                                    " AND CDFILAUXPRAT = 'P' AND CDPRATO = '%2')")
                         .arg(from, dish)
                   : QString();
    QString sql =
        QStringLiteral("DELETE FROM %1 WHERE CDFILIAL = '%2' AND CDFILAUXPRAT = 'P' AND CDPRATO = '%3'%6;"
                       "INSERT INTO %1 (CDFILIAL, %4CDFILAUXPRAT, CDPRATO, NRSEQ, CDARVPROD, QTPRODUTO, SGUNIDADE)"
                       " SELECT '%2', %4CDFILAUXPRAT, CDPRATO, NRSEQ, CDARVPROD, QTPRODUTO, SGUNIDADE FROM %1"
                       " WHERE CDFILIAL = '%5' AND CDFILAUXPRAT = 'P' AND CDPRATO = '%3'")
            .arg(table, to, dish, service, from, sameServices);
    if (extraLine)
        sql +=
            QStringLiteral(";INSERT INTO %1 (CDFILIAL, %4CDFILAUXPRAT, CDPRATO, NRSEQ, CDARVPROD, QTPRODUTO, SGUNIDADE)"
                           " SELECT CDFILIAL, %4CDFILAUXPRAT, CDPRATO, 999, CDARVPROD, 1, SGUNIDADE FROM %1"
                           " WHERE CDFILIAL = '%2' AND CDFILAUXPRAT = 'P' AND CDPRATO = '%3' AND NRSEQ = 1")
                .arg(table, to, dish, service);
    return sql;
}

QString recordRun(const QString& kinds, const QString& dishes, const QString& destinations)
{
    return QStringLiteral(
               "INSERT INTO INTGCENTRAL (CDOPERADOR, DTINICIO, DTFIM, CDFILIORIG, IDTIPORECE, DSPRATOS,"
               " DSDESTINOS) VALUES ('demo', '2026-01-01 10:00:00', '2026-01-01 10:00:01', '0001', '%1', '%2',"
               " '%3')")
        .arg(kinds, dishes, destinations);
}

} // namespace

class tst_RecipeLedger : public QObject {
    Q_OBJECT
private slots:
    void run_data();
    void run();
    void undo();
};

void tst_RecipeLedger::run_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("changedBranch");
    QTest::addColumn<bool>("extraLine");
    QTest::addColumn<bool>("recorded"); // a run row is written
    QTest::addColumn<QString>("kinds");
    QTest::addColumn<QString>("fault"); // part of the fault expected; empty: none

    QTest::newRow("a run copies the source's recipe") << "RECEITA"
                                                      << "0002" << false << true << "FS"
                                                      << "";
    QTest::newRow("a run copies a per-service recipe") << "RECEITASERV"
                                                       << "0002" << false << true << "FS"
                                                       << "";
    QTest::newRow("no run recorded") << "RECEITA"
                                     << "0002" << false << false << "FS"
                                     << "with no completed run";
    QTest::newRow("not the source's lines") << "RECEITA"
                                            << "0002" << true << true << "FS"
                                            << "differs from the source";
    QTest::newRow("a branch that was not a destination") << "RECEITA"
                                                         << "0003" << false << true << "FS"
                                                         << "not a destination";
    QTest::newRow("local recipes not asked for") << "RECEITA"
                                                 << "0002" << false << true << "XS"
                                                 << "kinds are XS";
    QTest::newRow("per-service recipes not asked for") << "RECEITASERV"
                                                       << "0002" << false << true << "FX"
                                                       << "kinds are FX";
}

void tst_RecipeLedger::run()
{
    QFETCH(QString, table);
    QFETCH(QString, changedBranch);
    QFETCH(bool, extraLine);
    QFETCH(bool, recorded);
    QFETCH(QString, kinds);
    QFETCH(QString, fault);
    SUITE_TEST_DATABASE(tdb, QStringLiteral("sqlite"), TestDatabase::Demo);
    RecipeLedger ledger(tdb.url());
    QVERIFY(ledger.start().isEmpty());
    // 0501001 has recipes of both kinds at 0001 and 0002 in the demo data, and they differ.
    for (const QString& statement : copyRecipe(table, "0001", changedBranch, "0501001", extraLine).split(u';'))
        exec(tdb.db(), statement);
    if (recorded)
        exec(tdb.db(), recordRun(kinds, "P0501001_", "0002_"));
    const QStringList faults = ledger.check();
    if (fault.isEmpty()) {
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u'\n')));
        QCOMPARE(ledger.runsChecked(), 1);
    } else {
        QVERIFY2(faults.join(u'\n').contains(fault), qPrintable(faults.join(u'\n')));
    }
}

void tst_RecipeLedger::undo()
{
    SUITE_TEST_DATABASE(tdb, QStringLiteral("sqlite"), TestDatabase::Demo);
    RecipeLedger ledger(tdb.url());
    QVERIFY(ledger.start().isEmpty());
    QString why;
    const RecipeLedger::Recipes original = ledger.read(&why);
    // Run 1 replaces 0002's recipe; its undo must put back exactly what was there.
    for (const QString& statement : copyRecipe("RECEITA", "0001", "0002", "0501001", false).split(u';'))
        exec(tdb.db(), statement);
    exec(tdb.db(), recordRun("FS", "P0501001_", "0002_"));
    QVERIFY(ledger.check().isEmpty());
    // A wrong undo: 0002 gets 0003's lines instead of its own.
    for (const QString& statement : copyRecipe("RECEITA", "0003", "0002", "0501001", false).split(u';'))
        exec(tdb.db(), statement);
    exec(tdb.db(),
         "INSERT INTO INTGCENTRAL (CDOPERADOR, DTINICIO, DTFIM, CDFILIORIG, IDTIPORECE, DSPRATOS, DSDESTINOS,"
         " IDTIPOINTG, NRINTGDESF) SELECT 'demo', DTINICIO, DTFIM, CDFILIORIG, IDTIPORECE, DSPRATOS, DSDESTINOS,"
         " 'D', NRINTG FROM INTGCENTRAL ORDER BY NRINTG DESC LIMIT 1");
    const QStringList faults = ledger.check();
    QVERIFY2(faults.join(u'\n').contains("is not as before that run"), qPrintable(faults.join(u'\n')));
    QVERIFY(RecipeLedger::changed(original, ledger.read(&why)).size() > 0);
}

QTEST_GUILESS_MAIN(tst_RecipeLedger)
#include "tst_recipeledger.moc"
