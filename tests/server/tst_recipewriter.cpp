// A run rewrites only the destination recipes that differ from the source's, and leaves the database exactly as a
// run that rewrote every one of them would.
#include "integrationrequest.h"
#include "rewrite/integrationrun.h"
#include "servertestkit.h"

#include <QtTest>

using namespace suite;
using namespace suite::test;

class tst_RecipeWriter : public QObject {
    Q_OBJECT

private slots:
    void rewritesOnlyWhatDiffers_data();
    void rewritesOnlyWhatDiffers();
    void followsTheSourceBackAndForth_data();
    void followsTheSourceBackAndForth();
    void endsAsAFullRewrite_data();
    void endsAsAFullRewrite();
};

namespace {

const QString kDishes = QStringLiteral("P0101001_P0101003_00010101901_");
const QStringList kDestinations{QStringLiteral("0002"), QStringLiteral("0003")};
// At 0002 and 0003: five local recipes (dish 0101901 is not registered at 0003) and dish 0101001's two services at
// each; the other dishes have no per-service recipe at the source. As kind|branch|service|tree|dish.
const QStringList kChosen{"L|0002||0002|0101901",   "L|0002||P|0101001",      "L|0002||P|0101003",
                          "L|0003||P|0101001",      "L|0003||P|0101003",      "S|0002|00001|P|0101001",
                          "S|0002|00002|P|0101001", "S|0003|00001|P|0101001", "S|0003|00002|P|0101001"};
const int kChosenRecipes = int(kChosen.size());

wire::Packet integrate(QSqlDatabase& db, server::Rewrite rewrite, const QString& kinds = QStringLiteral("FS"))
{
    const QJsonArray args{"0001", kDishes, kinds, destinationPacket(kDestinations), "", ""};
    return server::IntegrationRun(db, QStringLiteral("demo"), rewrite)
        .run(server::IntegrationRequest::parse(wire::Arguments(QStringLiteral("IntgCentral"), args)));
}

qint64 lastRun(QSqlDatabase& db)
{
    return rowsOf(db, QStringLiteral("SELECT MAX(NRINTG) FROM INTGCENTRAL")).value(0).toLongLong();
}

// The log without the run's start and end times.
QStringList logRows(const wire::Packet& log)
{
    QStringList rows;
    for (const QVariantList& row : log.rows()) {
        QStringList cells;
        for (qsizetype i = 2; i < row.size(); ++i)
            cells << row.at(i).toString();
        rows << cells.join(QLatin1Char('|'));
    }
    return rows;
}

QStringList recipes(QSqlDatabase& db)
{
    return recipeRows(db) + serviceRecipeRows(db);
}

// kind|branch|service|tree|dish of each recipe a run kept a before-image of.
QStringList imagedRecipes(QSqlDatabase& db, qint64 run)
{
    return rowsOf(db, QStringLiteral("SELECT IDTIPORECE || '|' || CDFILIAL || '|' || CDSERVFILI || '|' || CDFILAUXPRAT"
                                     " || '|' || CDPRATO FROM INTGCENTRALANT WHERE NRINTG = %1 ORDER BY 1")
                          .arg(run));
}

void exec(QSqlDatabase& db, const QString& statement)
{
    QSqlQuery q(db);
    QVERIFY2(q.exec(statement), qPrintable(q.lastError().text() + QStringLiteral(": ") + statement));
}

// The reference every run must end equal to, written here and sharing nothing with the engine: each listed recipe
// (kind|branch|service|tree|dish) deleted and the source's (0001) lines inserted in its place. Its recipes are
// read and the writes rolled back, so the database is left as it was.
QStringList rewrittenByHand(QSqlDatabase& db, const QStringList& listed)
{
    if (!db.transaction())
        return {QStringLiteral("no transaction: ") + db.lastError().text()};
    for (const QString& key : listed) {
        const QStringList k = key.split(QLatin1Char('|'));
        const bool perService = k.at(0) == QLatin1String("S");
        const QString table = perService ? QStringLiteral("RECEITASERV") : QStringLiteral("RECEITA");
        const QString sourceTree = k.at(3) == QLatin1String("P") ? QStringLiteral("P") : QStringLiteral("0001");
        const QString service = perService ? QStringLiteral(" AND CDSERVFILI = '%1'").arg(k.at(2)) : QString();
        exec(db, QStringLiteral("DELETE FROM %1 WHERE CDFILIAL = '%2' AND CDFILAUXPRAT = '%3' AND CDPRATO = '%4'%5")
                     .arg(table, k.at(1), k.at(3), k.at(4), service));
        exec(db, QStringLiteral("INSERT INTO %1 SELECT '%2', %3'%4', CDPRATO, NRSEQ, CDARVPROD, QTPRODUTO, SGUNIDADE"
                                " FROM %1 WHERE CDFILIAL = '0001' AND CDFILAUXPRAT = '%5' AND CDPRATO = '%6'%7")
                     .arg(table, k.at(1), perService ? QStringLiteral("CDSERVFILI, ") : QString(), k.at(3), sourceTree,
                          k.at(4), service));
    }
    const QStringList rows = recipes(db);
    db.rollback();
    return rows;
}

} // namespace

void tst_RecipeWriter::rewritesOnlyWhatDiffers_data()
{
    QTest::addColumn<QString>("dialect");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("change"); // %1 the table, %2 the changed recipe's rows
    QTest::addColumn<QStringList>("rewritten");
    // No digest left, as after an undo: every recipe is read, and PostgreSQL, finding most equal, compares them
    // as arrays of values, which must tell renumbered lines too.
    QTest::addColumn<bool>("forgotten");

    struct Change {
        const char* name;
        const char* statement;
        bool renumbers = false;
    };
    const QList<Change> changes{
        {"nothing changed", ""},
        {"another sequence", "UPDATE %1 SET NRSEQ = 9 WHERE %2 AND NRSEQ = 2", true},
        {"another product", "UPDATE %1 SET CDARVPROD = '0000000006' WHERE %2 AND NRSEQ = 1"},
        {"a quantity off in its last decimal", "UPDATE %1 SET QTPRODUTO = QTPRODUTO + 0.0001 WHERE %2 AND NRSEQ = 1"},
        {"another unit", "UPDATE %1 SET SGUNIDADE = 'G' WHERE %2 AND NRSEQ = 1"},
        {"an extra line", "INSERT INTO %1 SELECT * FROM (SELECT * FROM %1 WHERE %2 AND NRSEQ = 1) x", true},
        {"a missing line", "DELETE FROM %1 WHERE %2 AND NRSEQ = 2", true},
        {"no line left", "DELETE FROM %1 WHERE %2", true},
    };
    for (const QString& d : dialects()) {
        for (const bool perService : {false, true}) {
            const QString table = perService ? QStringLiteral("RECEITASERV") : QStringLiteral("RECEITA");
            const QString recipe =
                perService ? QStringLiteral("S|0002|00001|P|0101001") : QStringLiteral("L|0002||P|0101001");
            for (const Change& c : changes) {
                QString statement = QString::fromLatin1(c.statement);
                if (statement.startsWith(QLatin1String("INSERT")))
                    statement.replace(QLatin1String("SELECT * FROM (SELECT * FROM"),
                                      perService ? QStringLiteral("SELECT CDFILIAL, CDSERVFILI, CDFILAUXPRAT, CDPRATO,"
                                                                  " 7, CDARVPROD, QTPRODUTO, SGUNIDADE FROM (SELECT *"
                                                                  " FROM")
                                                 : QStringLiteral("SELECT CDFILIAL, CDFILAUXPRAT, CDPRATO, 7,"
                                                                  " CDARVPROD, QTPRODUTO, SGUNIDADE FROM (SELECT *"
                                                                  " FROM"));
                const QStringList rewritten = statement.isEmpty() ? QStringList() : QStringList{recipe};
                QTest::addRow("%s %s: %s", qPrintable(d), qPrintable(table), c.name)
                    << d << table << statement << rewritten << false;
                if (c.renumbers)
                    QTest::addRow("%s %s: %s, no digest", qPrintable(d), qPrintable(table), c.name)
                        << d << table << statement << rewritten << true;
            }
            // The source's recipe changed: every destination's copy of it now differs.
            QTest::addRow("%s %s: the source's recipe changed", qPrintable(d), qPrintable(table))
                << d << table << QStringLiteral("UPDATE %1 SET QTPRODUTO = QTPRODUTO * 2 WHERE %2 AND NRSEQ = 1")
                << (perService ? QStringList{"S|0002|00001|P|0101001", "S|0003|00001|P|0101001"}
                               : QStringList{"L|0002||P|0101001", "L|0003||P|0101001"})
                << false;
        }
    }
}

void tst_RecipeWriter::rewritesOnlyWhatDiffers()
{
    QFETCH(QString, dialect);
    QFETCH(QString, table);
    QFETCH(QString, change);
    QFETCH(QStringList, rewritten);
    QFETCH(bool, forgotten);
    SUITE_TEST_DATABASE(tdb, dialect, TestDatabase::Schema);
    loadFixture(tdb.db());
    // A first run leaves every chosen destination recipe equal to the source's; then one of them (or the source's)
    // changes.
    integrate(tdb.db(), server::Rewrite::Differing);
    const bool ofSource = change.contains(QLatin1String("* 2"));
    QString recipe = QStringLiteral("CDFILIAL = '%1' AND CDFILAUXPRAT = 'P' AND CDPRATO = '0101001'")
                         .arg(ofSource ? QStringLiteral("0001") : QStringLiteral("0002"));
    if (table == QLatin1String("RECEITASERV"))
        recipe += QStringLiteral(" AND CDSERVFILI = '00001'");
    if (!change.isEmpty())
        exec(tdb.db(), change.arg(table, recipe));
    if (forgotten)
        exec(tdb.db(), QStringLiteral("DELETE FROM INTGASSIN"));
    const QStringList before = recipes(tdb.db());
    // The lines the rewritten recipes have now.
    const auto linesOfRewritten = [&] {
        QStringList lines;
        for (const QString& key : rewritten) {
            const QString branch = key.section(QLatin1Char('|'), 1, 1);
            const QString where =
                QStringLiteral("CDFILIAL = '%1' AND CDFILAUXPRAT = 'P' AND CDPRATO = '0101001'%2")
                    .arg(branch,
                         key.startsWith(QLatin1Char('S')) ? QStringLiteral(" AND CDSERVFILI = '00001'") : QString());
            lines +=
                key.startsWith(QLatin1Char('S')) ? serviceRecipeRows(tdb.db(), where) : recipeRows(tdb.db(), where);
        }
        return lines;
    };
    const QStringList changedLines = linesOfRewritten();
    TestDatabase full(TestDatabase::CopyOf{tdb});
    QVERIFY2(full.isOpen(), qPrintable(full.error()));
    const QStringList reference = rewrittenByHand(tdb.db(), kChosen);

    const wire::Packet log = integrate(tdb.db(), server::Rewrite::Differing);
    const wire::Packet fullLog = integrate(full.db(), server::Rewrite::Every);
    QCOMPARE(recipes(tdb.db()), reference);
    QCOMPARE(recipes(full.db()), reference);
    QCOMPARE(imagedRecipes(full.db(), lastRun(full.db())), kChosen);

    // Only the changed recipes have a before-image, and it holds their lines as they were.
    const qint64 run = lastRun(tdb.db());
    QCOMPARE(imagedRecipes(tdb.db(), run), rewritten);
    QCOMPARE(rowsOf(tdb.db(), QStringLiteral("SELECT QTREESCRITAS, QTIGUAIS, QTAPAGADAS, QTINSERIDAS FROM INTGCENTRAL"
                                             " WHERE NRINTG = %1")
                                  .arg(run)),
             QStringList{QStringLiteral("%1|%2|%3|%4")
                             .arg(rewritten.size())
                             .arg(kChosenRecipes - rewritten.size())
                             .arg(changedLines.size())
                             .arg(linesOfRewritten().size())});
    if (rewritten.isEmpty())
        QCOMPARE(recipes(tdb.db()), before);
    // Every chosen recipe keeps its source recipe's digest, its own writes notwithstanding, so a re-run reads none.
    QCOMPARE(rowsOf(tdb.db(), QStringLiteral("SELECT COUNT(*) FROM INTGASSIN")),
             QStringList{QString::number(kChosenRecipes)});
    // Exactly what rewriting every recipe leaves, and the same log.
    QCOMPARE(recipes(tdb.db()), recipes(full.db()));
    QCOMPARE(logRows(log), logRows(fullLog));
    QCOMPARE(rowsOf(full.db(), QStringLiteral("SELECT QTREESCRITAS, QTIGUAIS FROM INTGCENTRAL WHERE NRINTG = %1")
                                   .arg(lastRun(full.db()))),
             QStringList{QStringLiteral("%1|0").arg(kChosenRecipes)});
    // Rewriting without comparing keeps no digest: one left behind would let a later run take the recipe for
    // equal to a source recipe it no longer matches.
    QCOMPARE(rowsOf(full.db(), QStringLiteral("SELECT COUNT(*) FROM INTGASSIN")), QStringList{QStringLiteral("0")});
}

void tst_RecipeWriter::followsTheSourceBackAndForth_data()
{
    QTest::addColumn<QString>("dialect");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("which"); // the source's lines that change
    QTest::addColumn<int>("rewritten");
    for (const QString& d : dialects()) {
        for (const char* table : {"RECEITA", "RECEITASERV"}) {
            const bool perService = table == QByteArrayView("RECEITASERV");
            QTest::addRow("%s %s, one recipe", qPrintable(d), table)
                << d << QString::fromLatin1(table)
                << (QStringLiteral("CDFILAUXPRAT = 'P' AND CDPRATO = '0101001'") +
                    (perService ? QStringLiteral(" AND CDSERVFILI = '00001'") : QString()))
                << 2;
            // No digest of a destination then matches, and each is rewritten over the one it has.
            QTest::addRow("%s %s, every recipe", qPrintable(d), table)
                << d << QString::fromLatin1(table) << QStringLiteral("1 = 1") << (perService ? 4 : 5);
        }
    }
}

void tst_RecipeWriter::followsTheSourceBackAndForth()
{
    // A digest rewritten with its recipe must say the new version: a stale one would match the source's recipe
    // once it is changed back, and the destinations would keep the version in between.
    QFETCH(QString, dialect);
    QFETCH(QString, table);
    QFETCH(QString, which);
    QFETCH(int, rewritten);
    SUITE_TEST_DATABASE(tdb, dialect, TestDatabase::Schema);
    loadFixture(tdb.db());
    integrate(tdb.db(), server::Rewrite::Differing);
    const QStringList first = recipes(tdb.db());
    // The first line of the source's recipes, changed and then changed back: their copies at both destinations.
    const QString sourceLines = QStringLiteral("UPDATE %1 SET QTPRODUTO = QTPRODUTO * %2 WHERE CDFILIAL = '0001'"
                                               " AND NRSEQ = 1 AND %3");
    for (const char* factor : {"2", "0.5"}) {
        exec(tdb.db(), sourceLines.arg(table, QLatin1String(factor), which));
        integrate(tdb.db(), server::Rewrite::Differing);
        QCOMPARE(
            rowsOf(tdb.db(),
                   QStringLiteral("SELECT QTREESCRITAS FROM INTGCENTRAL WHERE NRINTG = %1").arg(lastRun(tdb.db()))),
            QStringList{QString::number(rewritten)});
        QCOMPARE(rowsOf(tdb.db(), QStringLiteral("SELECT COUNT(*) FROM INTGASSIN")),
                 QStringList{QString::number(kChosenRecipes)});
    }
    QCOMPARE(recipes(tdb.db()), first);
}

void tst_RecipeWriter::endsAsAFullRewrite_data()
{
    QTest::addColumn<QString>("dialect");
    QTest::addColumn<QString>("kinds");
    for (const QString& d : dialects()) {
        for (const char* kinds : {"FS", "FX", "XS"})
            QTest::addRow("%s %s", qPrintable(d), kinds) << d << QString::fromLatin1(kinds);
    }
}

void tst_RecipeWriter::endsAsAFullRewrite()
{
    QFETCH(QString, dialect);
    QFETCH(QString, kinds);
    SUITE_TEST_DATABASE(tdb, dialect, TestDatabase::Schema);
    loadFixture(tdb.db());
    // Some destination recipes equal the source's from the start, the others differ in every way the fixture has:
    // more, fewer and renumbered lines, missing recipes, products and services that block a copy.
    exec(tdb.db(), QStringLiteral("DELETE FROM RECEITA WHERE CDFILIAL = '0003' AND CDPRATO = '0101003'"));
    exec(tdb.db(),
         QStringLiteral("INSERT INTO RECEITA SELECT '0003', CDFILAUXPRAT, CDPRATO, NRSEQ, CDARVPROD,"
                        " QTPRODUTO, SGUNIDADE FROM RECEITA WHERE CDFILIAL = '0001' AND CDPRATO = '0101003'"));
    exec(tdb.db(), QStringLiteral("INSERT INTO RECEITASERV SELECT '0003', CDSERVFILI, CDFILAUXPRAT, CDPRATO, NRSEQ,"
                                  " CDARVPROD, QTPRODUTO, SGUNIDADE FROM RECEITASERV WHERE CDFILIAL = '0001'"
                                  " AND CDSERVFILI = '00002'"));
    const QStringList before = recipes(tdb.db());
    TestDatabase full(TestDatabase::CopyOf{tdb});
    QVERIFY2(full.isOpen(), qPrintable(full.error()));

    const QJsonArray args{
        "0001", kDishes, kinds, destinationPacket({"0001", "0002", "0003", "0004", "0005", "0006"}, {"0007"}), "", ""};
    const auto request = server::IntegrationRequest::parse(wire::Arguments(QStringLiteral("IntgCentral"), args));
    server::IntegrationRun differing(tdb.db(), QStringLiteral("demo"), server::Rewrite::Differing);
    server::IntegrationRun every(full.db(), QStringLiteral("demo"), server::Rewrite::Every);
    const wire::Packet fullLog = every.run(request);
    // Which recipes a run may replace is the observations' business: the reference takes the full rewrite's list,
    // and writes their lines itself, from the database as it was.
    const QStringList reference = rewrittenByHand(tdb.db(), imagedRecipes(full.db(), every.counts().run));
    const wire::Packet log = differing.run(request);

    QVERIFY(recipes(tdb.db()) != before);
    QCOMPARE(recipes(tdb.db()), reference);
    QCOMPARE(recipes(tdb.db()), recipes(full.db()));
    QCOMPARE(logRows(log), logRows(fullLog));
    const server::IntegrationCounts counts = differing.counts();
    QVERIFY(counts.equal > 0);
    QVERIFY(counts.rewritten > 0);
    QCOMPARE(counts.rewritten + counts.equal, every.counts().rewritten);
    QCOMPARE(imagedRecipes(tdb.db(), counts.run).size(), counts.rewritten);
}

QTEST_GUILESS_MAIN(tst_RecipeWriter)
#include "tst_recipewriter.moc"
