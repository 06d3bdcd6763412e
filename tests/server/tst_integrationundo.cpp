// Undoing a run from its before-images: everything it replaced comes back, and what would lose work is refused.
#include "intgcentralservice.h"
#include "rewrite/integrationundo.h"
#include "servererrors.h"
#include "servertestkit.h"

#include <QProcess>
#include <QtTest>

#include <tuple>

using namespace suite;
using namespace suite::test;

class tst_IntegrationUndo : public QObject {
    Q_OBJECT

private slots:
    void putsBackWhatTheRunReplaced_data();
    void putsBackWhatTheRunReplaced();
    void putsBackOnlyWhatARunChanged_data();
    void putsBackOnlyWhatARunChanged();
    void refusesWhatWouldLoseWork_data() { addDialectRows(); }
    void refusesWhatWouldLoseWork();
    void commandLine();

private:
    // Runs an integration of three dishes from 0001 and returns its number.
    static qint64 integrate(QSqlDatabase& db, const QString& kinds, const QStringList& destinations)
    {
        server::IntgCentralService(db, QStringLiteral("demo"))
            .call(QStringLiteral("IntgCentral"),
                  {"0001", "P0101001_P0101003_00010101901_", kinds, destinationPacket(destinations), "", ""});
        return rowsOf(db, QStringLiteral("SELECT MAX(NRINTG) FROM INTGCENTRAL")).value(0).toLongLong();
    }

    static QStringList recipes(QSqlDatabase& db) { return recipeRows(db) + serviceRecipeRows(db); }

    // Destination 0002's first lines get codes a JSON text must escape, and a quantity only an exact writer keeps:
    // 17 digits on SQLite, NaN on PostgreSQL.
    static void makeFirstLinesAwkward(QSqlDatabase& db, const QString& dialect)
    {
        const QString quantity =
            dialect == QLatin1String("sqlite") ? QStringLiteral("0.1 + 0.2") : QStringLiteral("CAST('NaN' AS NUMERIC)");
        for (const char* table : {"RECEITA", "RECEITASERV"}) {
            QSqlQuery q(db);
            QVERIFY(q.prepare(QStringLiteral("UPDATE %1 SET CDARVPROD = ?, SGUNIDADE = ?, QTPRODUTO = %2"
                                             " WHERE CDFILIAL = '0002' AND NRSEQ = 1")
                                  .arg(QLatin1String(table), quantity)));
            q.addBindValue(QStringLiteral("00\"01\\02\n03"));
            q.addBindValue(QStringLiteral("K\tG\u0001"));
            QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
            QVERIFY(q.numRowsAffected() > 0);
        }
    }

    static QString undoFailure(QSqlDatabase& db, qint64 run)
    {
        try {
            server::IntegrationUndo(db, QStringLiteral("demo")).undo(run);
        } catch (const server::ServiceError& e) {
            return e.message();
        }
        return {};
    }
};

void tst_IntegrationUndo::putsBackWhatTheRunReplaced_data()
{
    QTest::addColumn<QString>("dialect");
    QTest::addColumn<QString>("kinds");
    QTest::addColumn<bool>("awkward");
    QTest::addColumn<QString>("afterRun");
    for (const QString& d : dialects()) {
        for (const char* kinds : {"FS", "FX", "XS"})
            QTest::newRow(qPrintable(d + QLatin1Char(' ') + QLatin1String(kinds)))
                << d << QString::fromLatin1(kinds) << false << QString();
        QTest::newRow(qPrintable(d + QStringLiteral(" FS, codes to escape and a quantity hard to write")))
            << d << QStringLiteral("FS") << true << QString();
        // The lines the undo takes away are those the recipes have then: a recipe written since keeps no digest to
        // tell them, nor does one whose digest an earlier build kept.
        QTest::newRow(qPrintable(d + QStringLiteral(" FS, a line added since the run")))
            << d << QStringLiteral("FS") << false
            << QStringLiteral("INSERT INTO RECEITA SELECT CDFILIAL, CDFILAUXPRAT, CDPRATO, 9, CDARVPROD, QTPRODUTO,"
                              " SGUNIDADE FROM RECEITA WHERE CDFILIAL = '0003' AND CDPRATO = '0101001' AND NRSEQ = 1");
        QTest::newRow(qPrintable(d + QStringLiteral(" FS, a line removed since the run")))
            << d << QStringLiteral("FS") << false
            << QStringLiteral("DELETE FROM RECEITASERV WHERE CDFILIAL = '0005' AND CDPRATO = '0101001' AND NRSEQ = 1");
        QTest::newRow(qPrintable(d + QStringLiteral(" FS, digests without a line count")))
            << d << QStringLiteral("FS") << false
            << QStringLiteral("UPDATE INTGASSIN SET QTLINHAS = -1 WHERE CDFILIAL = '0002'");
    }
}

void tst_IntegrationUndo::putsBackWhatTheRunReplaced()
{
    QFETCH(QString, dialect);
    QFETCH(QString, kinds);
    QFETCH(bool, awkward);
    QFETCH(QString, afterRun);
    SUITE_TEST_DATABASE(tdb, dialect, TestDatabase::Schema);
    loadFixture(tdb.db());
    if (awkward)
        makeFirstLinesAwkward(tdb.db(), dialect);
    const QStringList before = recipes(tdb.db());

    // Recipes overwritten, shortened, renumbered and created, at several destinations.
    const qint64 run = integrate(tdb.db(), kinds, {"0002", "0003", "0005", "0006"});
    QVERIFY(recipes(tdb.db()) != before);
    if (!afterRun.isEmpty()) {
        QSqlQuery q(tdb.db());
        QVERIFY2(q.exec(afterRun), qPrintable(q.lastError().text()));
        QVERIFY(q.numRowsAffected() > 0);
    }
    qint64 linesNow = 0;
    for (const auto& [table, kind, sameService] :
         {std::tuple{"RECEITA", "L", ""}, std::tuple{"RECEITASERV", "S", " AND a.CDSERVFILI = r.CDSERVFILI"}}) {
        linesNow +=
            rowsOf(tdb.db(), QStringLiteral("SELECT COUNT(*) FROM %1 r WHERE EXISTS (SELECT 1 FROM INTGCENTRALANT"
                                            " a WHERE a.NRINTG = %2 AND a.IDTIPORECE = '%3' AND a.CDFILIAL ="
                                            " r.CDFILIAL AND a.CDFILAUXPRAT = r.CDFILAUXPRAT AND a.CDPRATO ="
                                            " r.CDPRATO%4)")
                                 .arg(QLatin1String(table))
                                 .arg(run)
                                 .arg(QLatin1String(kind), QLatin1String(sameService)))
                .value(0)
                .toLongLong();
    }

    const server::IntegrationUndo::Outcome undone = server::IntegrationUndo(tdb.db(), QStringLiteral("demo")).undo(run);
    QVERIFY(undone.recipes > 0);
    QCOMPARE(recipes(tdb.db()), before);
    QCOMPARE(rowsOf(tdb.db(), QStringLiteral("SELECT COUNT(*) FROM INTGCENTRAL WHERE DTDESFEITA IS NOT NULL")),
             QStringList{"1"});
    QCOMPARE(undone.linesRemoved, linesNow);
    // The undo takes away the lines the run wrote and puts back those it replaced, and its record says so.
    const QString counts = QStringLiteral("SELECT QTINSERIDAS, QTAPAGADAS FROM INTGCENTRAL WHERE NRINTG = %1");
    const QStringList written = rowsOf(tdb.db(), counts.arg(run));
    if (afterRun.isEmpty())
        QCOMPARE(QStringList({QStringLiteral("%1|%2").arg(undone.linesRemoved).arg(undone.linesRestored)}), written);
    QCOMPARE(rowsOf(tdb.db(), counts.arg(undone.undoRun)),
             QStringList({QStringLiteral("%1|%2").arg(undone.linesRestored).arg(undone.linesRemoved)}));
}

void tst_IntegrationUndo::putsBackOnlyWhatARunChanged_data()
{
    QTest::addColumn<QString>("dialect");
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("extraLine");
    for (const QString& d : dialects()) {
        QTest::newRow(qPrintable(d + QStringLiteral(" another quantity")))
            << d << QStringLiteral("SET QTPRODUTO = 7.125") << false;
        QTest::newRow(qPrintable(d + QStringLiteral(" a code to escape and an extra line")))
            << d << QStringLiteral("SET CDARVPROD = 'a\"b\\c'") << true;
        QTest::newRow(qPrintable(d + QStringLiteral(" a unit with a control character")))
            << d << QStringLiteral("SET SGUNIDADE = 'K' || %1(1)").arg(d == QLatin1String("postgres") ? "chr" : "char")
            << false;
        if (d == QLatin1String("postgres"))
            QTest::newRow("postgres a quantity that is not a number")
                << d << QStringLiteral("SET QTPRODUTO = 'NaN'") << false;
    }
}

void tst_IntegrationUndo::putsBackOnlyWhatARunChanged()
{
    QFETCH(QString, dialect);
    QFETCH(QString, change);
    QFETCH(bool, extraLine);
    SUITE_TEST_DATABASE(tdb, dialect, TestDatabase::Schema);
    loadFixture(tdb.db());
    const QStringList original = recipes(tdb.db());
    const QStringList destinations{"0002", "0003", "0005", "0006"};
    const qint64 first = integrate(tdb.db(), QStringLiteral("FS"), destinations);

    // After the first run one destination's recipe of each kind changes; a second run rewrites those two and
    // leaves every other recipe as the first run left it.
    const QString line = QStringLiteral("CDFILIAL = '0003' AND CDPRATO = '0101001' AND NRSEQ = 1");
    QSqlQuery q(tdb.db());
    for (const QString& table : {QStringLiteral("RECEITA"), QStringLiteral("RECEITASERV")}) {
        const QString where =
            table == QLatin1String("RECEITA") ? line : line + QStringLiteral(" AND CDSERVFILI = '00001'");
        QVERIFY2(q.exec(QStringLiteral("UPDATE %1 %2 WHERE %3").arg(table, change, where)),
                 qPrintable(q.lastError().text()));
        QCOMPARE(q.numRowsAffected(), 1);
    }
    if (extraLine) {
        QVERIFY2(q.exec(QStringLiteral("INSERT INTO RECEITA SELECT CDFILIAL, CDFILAUXPRAT, CDPRATO, 9, CDARVPROD,"
                                       " QTPRODUTO, SGUNIDADE FROM RECEITA WHERE %1")
                            .arg(line)),
                 qPrintable(q.lastError().text()));
    }
    const QStringList changed = recipes(tdb.db());
    const qint64 second = integrate(tdb.db(), QStringLiteral("FS"), destinations);
    const auto imaged = [&](qint64 run) {
        return rowsOf(tdb.db(), QStringLiteral("SELECT IDTIPORECE || CDFILIAL || CDSERVFILI FROM INTGCENTRALANT"
                                               " WHERE NRINTG = %1 ORDER BY 1")
                                    .arg(run));
    };
    QCOMPARE(imaged(second), QStringList({"L0003", "S000300001"}));
    QVERIFY(recipes(tdb.db()) != changed);

    // Each undo puts back exactly what its run replaced: first the changed recipes, then the originals.
    QCOMPARE(undoFailure(tdb.db(), second), QString());
    QCOMPARE(recipes(tdb.db()), changed);
    QCOMPARE(undoFailure(tdb.db(), first), QString());
    QCOMPARE(recipes(tdb.db()), original);

    // What the undos put back no longer matches the digests the runs kept: a new run replaces it all again.
    const qint64 third = integrate(tdb.db(), QStringLiteral("FS"), destinations);
    QCOMPARE(imaged(third), imaged(first));
}

void tst_IntegrationUndo::refusesWhatWouldLoseWork()
{
    QFETCH(QString, dialect);
    SUITE_TEST_DATABASE(tdb, dialect, TestDatabase::Schema);
    loadFixture(tdb.db());
    // The destinations' recipes; the source's are changed by hand below, which no undo touches.
    const QString destinations = QStringLiteral("CDFILIAL <> '0001'");
    const auto destinationRecipes = [&] {
        return recipeRows(tdb.db(), destinations) + serviceRecipeRows(tdb.db(), destinations);
    };
    const QStringList original = destinationRecipes();

    QCOMPARE(undoFailure(tdb.db(), 99), QStringLiteral("Integração 99 não encontrada."));

    const qint64 first = integrate(tdb.db(), QStringLiteral("FS"), {"0002", "0005"});
    const QStringList afterFirst = destinationRecipes();
    // A second run that shares destination 0002 and copies different quantities.
    QSqlQuery q(tdb.db());
    QVERIFY(q.exec(QStringLiteral("UPDATE RECEITA SET QTPRODUTO = 42 WHERE CDFILIAL = '0001'")));
    const qint64 second = integrate(tdb.db(), QStringLiteral("FX"), {"0002"});
    const QStringList afterSecond = destinationRecipes();
    QVERIFY(afterSecond != afterFirst);

    QCOMPARE(
        undoFailure(tdb.db(), first),
        QStringLiteral("A integração %1 não pode ser desfeita: a integração %2, posterior, substituiu receitas dela. "
                       "Desfaça primeiro a %2.")
            .arg(first)
            .arg(second));
    QCOMPARE(destinationRecipes(), afterSecond);

    // Newest first, then the older one, brings back each state in turn.
    QCOMPARE(undoFailure(tdb.db(), second), QString());
    QCOMPARE(destinationRecipes(), afterFirst);
    QCOMPARE(undoFailure(tdb.db(), second), QStringLiteral("A integração %1 já foi desfeita.").arg(second));
    QCOMPARE(undoFailure(tdb.db(), first), QString());
    QCOMPARE(destinationRecipes(), original);
}

void tst_IntegrationUndo::commandLine()
{
    const QString program = qEnvironmentVariable("SUITE_BIN_DIR") + QStringLiteral("/suite-server");
    if (!QFile::exists(program))
        QSKIP("SUITE_BIN_DIR does not hold suite-server");
    SUITE_TEST_DATABASE(tdb, QStringLiteral("sqlite"), TestDatabase::Schema);
    loadFixture(tdb.db());
    const QStringList before = recipes(tdb.db());
    const qint64 run = integrate(tdb.db(), QStringLiteral("FS"), {"0002", "0006"});

    const auto undo = [&](const QString& number) {
        QProcess process;
        process.start(program, {"undo", "--database", tdb.url(), "--run", number});
        process.waitForFinished(30000);
        return std::pair{process.exitCode(),
                         QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError())};
    };
    const auto [status, output] = undo(QString::number(run));
    QCOMPARE(status, 0);
    QVERIFY2(output.startsWith(QStringLiteral("run %1 undone: ").arg(run)), qPrintable(output));
    QCOMPARE(recipes(tdb.db()), before);

    const auto [again, refusal] = undo(QString::number(run));
    QCOMPARE(again, 1);
    QVERIFY2(refusal.contains(QStringLiteral("já foi desfeita")), qPrintable(refusal));
    QCOMPARE(undo(QStringLiteral("abc")).first, 2);
}

QTEST_GUILESS_MAIN(tst_IntegrationUndo)
#include "tst_integrationundo.moc"
