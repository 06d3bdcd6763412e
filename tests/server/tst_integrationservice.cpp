// The integration service called directly: what IntgCentral replaces, what it observes, what it refuses.
#include "rewrite/integrationrun.h"
#include "intgcentralservice.h"
#include "servererrors.h"
#include "servertestkit.h"

#include <QtTest>

#include <algorithm>

using namespace suite;
using namespace suite::test;

class tst_IntegrationService : public QObject {
    Q_OBJECT

private slots:
    void heavyArgumentsAreReadOnlyAsFarAsTheyMayGo_data();
    void heavyArgumentsAreReadOnlyAsFarAsTheyMayGo();
    void replacesOnlyListedDishesKindsAndMarkedDestinations_data();
    void replacesOnlyListedDishesKindsAndMarkedDestinations();
    void observationsSayWhyNothingChanged_data() { addDialectRows(); }
    void observationsSayWhyNothingChanged();
    void sourceAsDestinationKeepsItsRecipes_data() { addDialectRows(); }
    void sourceAsDestinationKeepsItsRecipes();
    void keepsBeforeImagesOfEveryOverwrittenLine_data() { addDialectRows(); }
    void keepsBeforeImagesOfEveryOverwrittenLine();
    void rewritesRecipesOfAnyNumbering_data();
    void rewritesRecipesOfAnyNumbering();
    void countsTheRun_data();
    void countsTheRun();
    void recordsEachDishOnce_data();
    void recordsEachDishOnce();
    void badInputChangesNothing_data();
    void badInputChangesNothing();
    void longDishListOfUnknownDishes_data() { addDialectRows(); }
    void longDishListOfUnknownDishes();
    void unknownDishObservedOnce_data();
    void unknownDishObservedOnce();
    void dishKeysSplitAtTheDishCodesLength_data();
    void dishKeysSplitAtTheDishCodesLength();
    void branchesOfAGrouping_data() { addDialectRows(); }
    void branchesOfAGrouping();
    void dishSearchByMenuAndCycle_data();
    void dishSearchByMenuAndCycle();

private:
    // One fixture database per dialect for the many rows that must leave it unchanged.
    TestDatabase* sharedDatabase(const QString& dialect)
    {
        auto& slot = m_shared[dialect];
        if (!slot) {
            slot = std::make_unique<TestDatabase>(dialect, TestDatabase::Schema);
            if (slot->isOpen())
                loadFixture(slot->db());
        }
        return slot->isOpen() ? slot.get() : nullptr;
    }

    std::map<QString, std::unique_ptr<TestDatabase>> m_shared;

    static QJsonArray intgArgs(const QString& dishes, const QString& kinds, const QJsonObject& packet,
                               const QString& source = QStringLiteral("0001"))
    {
        return {source, dishes, kinds, packet, "", ""};
    }
};

void tst_IntegrationService::heavyArgumentsAreReadOnlyAsFarAsTheyMayGo_data()
{
    QTest::addColumn<QString>("dialect");
    QTest::addColumn<QString>("profile");
    QTest::addColumn<int>("goodRows"); // then a row that is not a row: reading it would refuse the packet itself
    QTest::addColumn<QString>("refusal");
    for (const QString& d : dialects()) {
        QTest::addRow("%s: consult-only, refused before the packet", qPrintable(d))
            << d << "C" << 1 << "perfil de consulta";
        QTest::addRow("%s: more rows than branches, refused at the first one past them", qPrintable(d))
            << d << "I" << 20 << "mais linhas do que as";
        QTest::addRow("%s: a packet within the branches is read whole", qPrintable(d))
            << d << "I" << 3 << "Pacote de filiais destino inválido";
    }
}

void tst_IntegrationService::heavyArgumentsAreReadOnlyAsFarAsTheyMayGo()
{
    QFETCH(QString, dialect);
    QFETCH(QString, profile);
    QFETCH(int, goodRows);
    QFETCH(QString, refusal);
    SUITE_TEST_DATABASE(tdb, dialect, TestDatabase::Schema);
    loadFixture(tdb.db());
    QSqlQuery q(tdb.db());
    QVERIFY2(q.exec(QStringLiteral("UPDATE OPERADOR SET IDPERFIL = '%1' WHERE CDOPERADOR = 'demo'").arg(profile)),
             qPrintable(q.lastError().text()));
    QVERIFY(q.exec(QStringLiteral("SELECT COUNT(*) FROM FILIAL")) && q.next());
    QVERIFY2(goodRows > q.value(0).toInt() || refusal != QLatin1String("mais linhas do que as"), "too few rows");
    const QStringList before = everythingWritten(tdb.db());

    QJsonObject packet = destinationPacket({"0002"});
    QJsonArray rows = packet.value("rows").toArray();
    while (rows.size() < goodRows)
        rows.append(rows.first());
    rows.append(QJsonArray{"S"});
    packet.insert("rows", rows);
    server::IntgCentralService service(tdb.db(), QStringLiteral("demo"));
    QString why;
    try {
        service.call(QStringLiteral("IntgCentral"), intgArgs(QStringLiteral("P0101001_"), "FX", packet));
    } catch (const server::ServiceError& e) {
        why = e.message();
    }
    QVERIFY2(why.contains(refusal), qPrintable(why));
    QCOMPARE(everythingWritten(tdb.db()), before);
}

void tst_IntegrationService::replacesOnlyListedDishesKindsAndMarkedDestinations_data()
{
    QTest::addColumn<QString>("dialect");
    QTest::addColumn<QString>("kinds");
    for (const QString& d : dialects()) {
        for (const char* kinds : {"FS", "FX", "XS", "XX"})
            QTest::newRow(qPrintable(d + QLatin1Char(' ') + QLatin1String(kinds))) << d << QString::fromLatin1(kinds);
    }
}

void tst_IntegrationService::replacesOnlyListedDishesKindsAndMarkedDestinations()
{
    QFETCH(QString, dialect);
    QFETCH(QString, kinds);
    SUITE_TEST_DATABASE(tdb, dialect, TestDatabase::Schema);
    loadFixture(tdb.db());
    const QStringList localBefore = recipeRows(tdb.db());
    const QStringList serviceBefore = serviceRecipeRows(tdb.db());

    server::IntgCentralService service(tdb.db(), QStringLiteral("demo"));
    service.call(QStringLiteral("IntgCentral"),
                 intgArgs(QStringLiteral("P0101001_"), kinds, destinationPacket({"0002"}, {"0003", "0006"})));

    const bool local = kinds.at(0) == QLatin1Char('F');
    const bool perService = kinds.at(1) == QLatin1Char('S');
    // The listed dish at the marked destination now holds exactly the source's lines.
    const QString source = QStringLiteral("CDFILIAL = '0001' AND CDFILAUXPRAT = 'P' AND CDPRATO = '0101001'");
    const QString target = QStringLiteral("CDFILIAL = '0002' AND CDFILAUXPRAT = 'P' AND CDPRATO = '0101001'");
    const auto withoutBranch = [](QStringList rows) {
        for (QString& row : rows)
            row = row.section(QLatin1Char('|'), 1);
        return rows;
    };
    QCOMPARE(withoutBranch(recipeRows(tdb.db(), target)) == withoutBranch(recipeRows(tdb.db(), source)), local);
    QCOMPARE(withoutBranch(serviceRecipeRows(tdb.db(), target)) == withoutBranch(serviceRecipeRows(tdb.db(), source)),
             perService);

    // Everything else is as it was: other dishes, other branches, the kinds not asked for.
    const auto outside = [&](const QStringList& rows) {
        QStringList kept;
        for (const QString& row : rows) {
            if (!row.startsWith(QLatin1String("0002|P|0101001|")) &&
                !row.startsWith(QLatin1String("0002|00001|P|0101001|")) &&
                !row.startsWith(QLatin1String("0002|00002|P|0101001|")))
                kept << row;
        }
        return kept;
    };
    QCOMPARE(outside(recipeRows(tdb.db())), outside(localBefore));
    QCOMPARE(outside(serviceRecipeRows(tdb.db())), outside(serviceBefore));
    if (!local)
        QCOMPARE(recipeRows(tdb.db()), localBefore);
    if (!perService)
        QCOMPARE(serviceRecipeRows(tdb.db()), serviceBefore);
}

void tst_IntegrationService::observationsSayWhyNothingChanged()
{
    QFETCH(QString, dialect);
    SUITE_TEST_DATABASE(tdb, dialect, TestDatabase::Schema);
    loadFixture(tdb.db());
    const QStringList before = recipeRows(tdb.db());

    server::IntgCentralService service(tdb.db(), QStringLiteral("demo"));
    const wire::Packet log =
        service.call(QStringLiteral("IntgCentral"),
                     intgArgs(QStringLiteral("P0101001_P0101002_P0101003_00010101901_"), QStringLiteral("FS"),
                              destinationPacket({"0001", "0002", "0003", "0004", "0005", "0006"}, {"0007"})));

    // code|destination|tree|dish|kind|product
    QStringList observed;
    for (const QVariantList& row : log.rows()) {
        observed << QStringList{row.at(7).toString(), row.at(4).toString(),  row.at(2).toString(),
                                row.at(5).toString(), row.at(12).toString(), row.at(6).toString()}
                        .join(QLatin1Char('|'));
        QCOMPARE(row.at(3).toString(), QStringLiteral("0001"));
        QCOMPARE(row.at(10).toString(), QStringLiteral("Matriz"));
    }
    const QStringList golden{
        "4|0001||||",
        "6|0002|P|0101002|L|",
        "6|0002|P|0101002|S|",
        "6|0002|P|0101003|S|",
        "6|0002|0001|0101901|S|",
        "6|0003|P|0101002|L|",
        "6|0003|P|0101002|S|",
        "6|0003|P|0101003|S|",
        "1|0003|0001|0101901|L|",
        "1|0003|0001|0101901|S|",
        "5|0004||||",
        "2|0005|P|0101001|L|0000000003",
        "6|0005|P|0101002|L|",
        "6|0005|P|0101002|S|",
        "6|0005|P|0101003|S|",
        "6|0005|0001|0101901|S|",
        "3|0006|P|0101001|S|",
        "6|0006|P|0101002|L|",
        "6|0006|P|0101002|S|",
        "6|0006|P|0101003|S|",
        "1|0006|0001|0101901|L|",
        "1|0006|0001|0101901|S|",
    };
    QCOMPARE(observed, golden);

    // What an observation names was left as it was; dish 0101002 (no source recipe) still has its lines at 0002.
    const QStringList after = recipeRows(tdb.db());
    for (const QString& keep : {QStringLiteral("0005|P|0101001|"), QStringLiteral("0002|P|0101002|"),
                                QStringLiteral("0004|"), QStringLiteral("0007|")}) {
        QCOMPARE(after.filter(QRegularExpression(QLatin1Char('^') + QRegularExpression::escape(keep))),
                 before.filter(QRegularExpression(QLatin1Char('^') + QRegularExpression::escape(keep))));
    }
    QVERIFY(!after.filter(QRegularExpression(QStringLiteral("^0002\\|P\\|0101002\\|"))).isEmpty());
    // The missing service's recipe was not created; the present one was replaced.
    QCOMPARE(serviceRecipeRows(tdb.db(), QStringLiteral("CDFILIAL = '0006'")),
             QStringList({"0006|00001|P|0101001|1|0000000001|1|KG", "0006|00001|P|0101001|2|0000000002|1|KG"}));
    // A replaced recipe has exactly the source's lines, also when the source numbers them with gaps.
    QCOMPARE(recipeRows(tdb.db(), QStringLiteral("CDFILIAL = '0005' AND CDPRATO = '0101003'")),
             QStringList({"0005|P|0101003|1|0000000004|1|LT", "0005|P|0101003|3|0000000005|0.5|KG"}));
    // Local-tree dishes map to the destination's own tree.
    QCOMPARE(recipeRows(tdb.db(), QStringLiteral("CDFILIAL = '0005' AND CDPRATO = '0101901'")),
             QStringList({"0005|0005|0101901|1|0000000001|3|KG", "0005|0005|0101901|2|0000000006|4|KG"}));
}

void tst_IntegrationService::sourceAsDestinationKeepsItsRecipes()
{
    QFETCH(QString, dialect);
    SUITE_TEST_DATABASE(tdb, dialect, TestDatabase::Schema);
    loadFixture(tdb.db());
    const QString ofSource = QStringLiteral("CDFILIAL = '0001'");
    const QStringList local = recipeRows(tdb.db(), ofSource);
    const QStringList perService = serviceRecipeRows(tdb.db(), ofSource);

    server::IntgCentralService service(tdb.db(), QStringLiteral("demo"));
    const wire::Packet log =
        service.call(QStringLiteral("IntgCentral"), intgArgs(QStringLiteral("P0101001_P0101003_00010101901_"),
                                                             QStringLiteral("FS"), destinationPacket({"0001"})));

    QCOMPARE(recipeRows(tdb.db(), ofSource), local);
    QCOMPARE(serviceRecipeRows(tdb.db(), ofSource), perService);
    QCOMPARE(log.rows().size(), 1);
    QCOMPARE(log.rows().first().at(7).toString(), QStringLiteral("4"));
}

namespace {

// Recipe lines keyed kind|branch|service|tree|dish, the rest of the line after it.
QMultiMap<QString, QString> linesByRecipe(const QStringList& local, const QStringList& perService)
{
    QMultiMap<QString, QString> lines;
    for (const QString& row : local)
        lines.insert(
            QStringLiteral("L|%1||%2").arg(row.section(QLatin1Char('|'), 0, 0), row.section(QLatin1Char('|'), 1, 2)),
            row.section(QLatin1Char('|'), 3));
    for (const QString& row : perService)
        lines.insert(QLatin1String("S|") + row.section(QLatin1Char('|'), 0, 3), row.section(QLatin1Char('|'), 4));
    return lines;
}

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

// The lines kept by before-images, keyed as linesByRecipe keys them.
QMultiMap<QString, QString> beforeImages(QSqlDatabase& db, const QString& dialect)
{
    const QString lines =
        dialect == QLatin1String("sqlite")
            ? QStringLiteral("SELECT a.IDTIPORECE || '|' || a.CDFILIAL || '|' || a.CDSERVFILI || '|' || a.CDFILAUXPRAT"
                             " || '|' || a.CDPRATO, json_extract(j.value, '$[0]'), json_extract(j.value, '$[1]'),"
                             " CAST(json_extract(j.value, '$[2]') AS FLOAT), json_extract(j.value, '$[3]')"
                             " FROM INTGCENTRALANT a, json_each(a.DSLINHAS) j")
            : QStringLiteral("SELECT a.IDTIPORECE || '|' || a.CDFILIAL || '|' || a.CDSERVFILI || '|' || a.CDFILAUXPRAT"
                             " || '|' || a.CDPRATO, CAST(j.e->>0 AS INTEGER), j.e->>1, CAST(j.e->>2 AS FLOAT), j.e->>3"
                             " FROM INTGCENTRALANT a, json_array_elements(CAST(a.DSLINHAS AS json)) AS j(e)");
    QMultiMap<QString, QString> images;
    for (const QString& row : rowsOf(db, lines))
        images.insert(row.section(QLatin1Char('|'), 0, 4), row.section(QLatin1Char('|'), 5));
    return images;
}

} // namespace

void tst_IntegrationService::keepsBeforeImagesOfEveryOverwrittenLine()
{
    QFETCH(QString, dialect);
    SUITE_TEST_DATABASE(tdb, dialect, TestDatabase::Schema);
    loadFixture(tdb.db());
    const QMultiMap<QString, QString> before = linesByRecipe(recipeRows(tdb.db()), serviceRecipeRows(tdb.db()));

    // Recipes with more, fewer and renumbered lines than the source's, a missing one, local and per service.
    server::IntgCentralService service(tdb.db(), QStringLiteral("demo"));
    service.call(QStringLiteral("IntgCentral"),
                 {"0001", "P0101001_P0101003_00010101901_", "FS", destinationPacket({"0002", "0005", "0006"}),
                  "01/01/2026", "31/01/2026"});
    const QMultiMap<QString, QString> after = linesByRecipe(recipeRows(tdb.db()), serviceRecipeRows(tdb.db()));

    // One before-image per replaced recipe, holding exactly the lines it had ("[]" when it had none).
    const QMultiMap<QString, QString> images = beforeImages(tdb.db(), dialect);
    const QStringList recipes = rowsOf(tdb.db(), QStringLiteral("SELECT IDTIPORECE || '|' || CDFILIAL || '|' ||"
                                                                " CDSERVFILI || '|' || CDFILAUXPRAT || '|' || CDPRATO,"
                                                                " QTLINHAS FROM INTGCENTRALANT ORDER BY 1"));
    QSet<QString> imaged;
    for (const QString& row : recipes) {
        const QString recipe = row.section(QLatin1Char('|'), 0, 4);
        QVERIFY2(!imaged.contains(recipe), qPrintable(recipe));
        imaged.insert(recipe);
        QCOMPARE(sorted(images.values(recipe)), sorted(before.values(recipe)));
        QCOMPARE(row.section(QLatin1Char('|'), 5).toInt(), before.count(recipe));
    }
    // Every recipe the run changed can be put back, and the run did change some, including one that was new.
    QStringList changed;
    for (const QString& recipe :
         QSet<QString>(before.keyBegin(), before.keyEnd()) | QSet<QString>(after.keyBegin(), after.keyEnd())) {
        if (sorted(before.values(recipe)) != sorted(after.values(recipe)))
            changed << recipe;
    }
    QVERIFY(changed.size() >= 4);
    for (const QString& recipe : std::as_const(changed))
        QVERIFY2(imaged.contains(recipe), qPrintable(recipe));
    QVERIFY(std::any_of(recipes.cbegin(), recipes.cend(),
                        [](const QString& row) { return row.endsWith(QLatin1String("|0")); }));

    QCOMPARE(rowsOf(tdb.db(), QStringLiteral("SELECT COUNT(*) FROM INTGCENTRAL WHERE DTFIM IS NOT NULL"
                                             " AND DTINICARD IS NOT NULL AND DTFINCARD IS NOT NULL")),
             QStringList{"1"});
}

void tst_IntegrationService::rewritesRecipesOfAnyNumbering_data()
{
    QTest::addColumn<QString>("dialect");
    QTest::addColumn<QList<int>>("source");
    QTest::addColumn<QList<int>>("destination");
    const QList<std::tuple<const char*, QList<int>, QList<int>>> cases{
        {"same numbering", {1, 2, 3}, {1, 2, 3}},
        {"destination has more lines", {1, 2, 3}, {1, 2, 3, 4, 5}},
        {"destination has fewer lines", {1, 2, 3, 4}, {1, 2}},
        {"source numbered with gaps", {1, 3, 7}, {1, 2, 3}},
        {"destination had none", {1, 2}, {}},
        {"no number in common", {4, 5, 6}, {1, 2, 3}},
        {"same count, shifted", {2, 3, 4}, {1, 2, 3}},
        {"same count, first and last", {1, 4, 5}, {1, 3, 5}},
    };
    for (const QString& d : dialects()) {
        for (const auto& [name, source, destination] : cases)
            QTest::newRow(qPrintable(d + QLatin1Char(' ') + QLatin1String(name))) << d << source << destination;
    }
}

void tst_IntegrationService::rewritesRecipesOfAnyNumbering()
{
    QFETCH(QString, dialect);
    QFETCH(QList<int>, source);
    QFETCH(QList<int>, destination);
    SUITE_TEST_DATABASE(tdb, dialect, TestDatabase::Schema);
    loadFixture(tdb.db());
    const QString recipe = QStringLiteral("CDFILAUXPRAT = 'P' AND CDPRATO = '0101001'");
    QSqlQuery q(tdb.db());
    QVERIFY(q.exec(QStringLiteral("DELETE FROM RECEITA WHERE CDFILIAL IN ('0001', '0002') AND %1").arg(recipe)));
    const auto addLines = [&](const char* branch, const QList<int>& seqs, int product, const char* unit) {
        for (const int seq : seqs) {
            QVERIFY(q.exec(
                QStringLiteral("INSERT INTO RECEITA (CDFILIAL, CDFILAUXPRAT, CDPRATO, NRSEQ, CDARVPROD,"
                               " QTPRODUTO, SGUNIDADE) VALUES ('%1', 'P', '0101001', %2, '000000000%3', %4, '%5')")
                    .arg(QLatin1String(branch))
                    .arg(seq)
                    .arg((seq + product) % 6 + 1)
                    .arg(seq * product)
                    .arg(QLatin1String(unit))));
        }
    };
    addLines("0001", source, 1, "KG");
    addLines("0002", destination, 10, "LT");
    const QStringList old = recipeRows(tdb.db(), QStringLiteral("CDFILIAL = '0002' AND %1").arg(recipe));

    server::IntgCentralService service(tdb.db(), QStringLiteral("demo"));
    service.call(QStringLiteral("IntgCentral"),
                 intgArgs(QStringLiteral("P0101001_"), QStringLiteral("FX"), destinationPacket({"0002"})));

    QStringList expected = recipeRows(tdb.db(), QStringLiteral("CDFILIAL = '0001' AND %1").arg(recipe));
    for (QString& row : expected)
        row.replace(0, 4, QStringLiteral("0002"));
    QCOMPARE(recipeRows(tdb.db(), QStringLiteral("CDFILIAL = '0002' AND %1").arg(recipe)), expected);
    QStringList kept;
    for (const QString& row : old)
        kept << row.section(QLatin1Char('|'), 3);
    QCOMPARE(sorted(beforeImages(tdb.db(), dialect).values(QStringLiteral("L|0002||P|0101001"))), sorted(kept));
    QCOMPARE(rowsOf(tdb.db(), QStringLiteral("SELECT QTAPAGADAS, QTINSERIDAS FROM INTGCENTRAL")),
             QStringList{QStringLiteral("%1|%2").arg(destination.size()).arg(source.size())});
}

void tst_IntegrationService::countsTheRun_data()
{
    addDialectRows();
}

void tst_IntegrationService::countsTheRun()
{
    QFETCH(QString, dialect);
    SUITE_TEST_DATABASE(tdb, dialect, TestDatabase::Schema);
    loadFixture(tdb.db());
    server::IntgCentralService service(tdb.db(), QStringLiteral("demo"));
    service.call(QStringLiteral("IntgCentral"),
                 intgArgs(QStringLiteral("P0101001_"), QStringLiteral("FX"), destinationPacket({"0002"})));
    // Four destination lines replaced by the source's three.
    QCOMPARE(rowsOf(tdb.db(), QStringLiteral("SELECT CDOPERADOR, CDFILIORIG, IDTIPORECE, DSPRATOS, DSDESTINOS,"
                                             " QTAPAGADAS, QTINSERIDAS, QTOBSERV FROM INTGCENTRAL")),
             QStringList{"demo|0001|FX|P0101001_|0002_|4|3|0"});
}

void tst_IntegrationService::recordsEachDishOnce_data()
{
    QTest::addColumn<QString>("dialect");
    QTest::addColumn<QString>("dishes");
    QTest::addColumn<QString>("recorded");
    for (const QString& d : dialects()) {
        QTest::addRow("%s: one key sent 200,000 times", qPrintable(d))
            << d << QStringLiteral("P0101001_").repeated(200000) << QStringLiteral("P0101001_");
        QTest::addRow("%s: repeats keep the order first sent", qPrintable(d))
            << d << QStringLiteral("00010101901_P0101003_00010101901_P0101001_P0101003_")
            << QStringLiteral("00010101901_P0101003_P0101001_");
        QTest::addRow("%s: another branch's dish is observed, not recorded", qPrintable(d))
            << d << QStringLiteral("00020101901_P0101001_00020101901_") << QStringLiteral("P0101001_");
    }
}

void tst_IntegrationService::recordsEachDishOnce()
{
    QFETCH(QString, dialect);
    QFETCH(QString, dishes);
    QFETCH(QString, recorded);
    SUITE_TEST_DATABASE(tdb, dialect, TestDatabase::Schema);
    loadFixture(tdb.db());
    server::IntgCentralService service(tdb.db(), QStringLiteral("demo"));
    service.call(QStringLiteral("IntgCentral"), intgArgs(dishes, QStringLiteral("FS"), destinationPacket({"0002"})));
    QCOMPARE(rowsOf(tdb.db(), QStringLiteral("SELECT DSPRATOS FROM INTGCENTRAL")), QStringList{recorded});
    // The undo's record leads to the run's dishes rather than copying them.
    const qint64 run = rowsOf(tdb.db(), QStringLiteral("SELECT NRINTG FROM INTGCENTRAL")).value(0).toLongLong();
    service.call(QStringLiteral("UndoIntg"), {run});
    QCOMPARE(rowsOf(tdb.db(), QStringLiteral("SELECT DSPRATOS, NRINTGDESF FROM INTGCENTRAL WHERE IDTIPOINTG = 'D'")),
             QStringList{QStringLiteral("|%1").arg(run)});
}

void tst_IntegrationService::badInputChangesNothing_data()
{
    QTest::addColumn<QString>("dialect");
    QTest::addColumn<QString>("method");
    QTest::addColumn<QJsonArray>("args");
    QTest::addColumn<int>("status"); // 0: a service error; else the protocol status

    const QJsonObject good = destinationPacket({"0002", "0003"});
    const QString evil = QStringLiteral("0001'; DELETE FROM RECEITA; --");
    QString hundredThousand;
    for (int i = 0; i < 100000; ++i)
        hundredThousand += QStringLiteral("P%1_").arg(i, 7, 10, QLatin1Char('0'));
    QJsonObject badMark = destinationPacket({"0002"});
    QJsonArray rows = badMark.value("rows").toArray();
    rows.append(QJsonArray{"X", "0003", "Filial 0003", "N"});
    badMark.insert("rows", rows);
    QJsonObject ragged = good;
    ragged.insert("rows", QJsonArray{QJsonArray{"S", "0002"}});

    struct Case {
        const char* name;
        QString method;
        QJsonArray args;
        int status;
    };
    const QList<Case> cases{
        {"too few arguments", "IntgCentral", {"0001", "P0101001_", "FX", good, ""}, 400},
        {"too many arguments", "IntgCentral", {"0001", "P0101001_", "FX", good, "", "", ""}, 400},
        {"number for a text", "IntgCentral", {1, "P0101001_", "FX", good, "", ""}, 400},
        {"text for the packet", "IntgCentral", {"0001", "P0101001_", "FX", "S0002", "", ""}, 400},
        {"unknown method", "DropEverything", {}, 404},
        {"quote in source", "IntgCentral", {evil, "P0101001_", "FX", good, "", ""}, 0},
        {"quote in dish list", "IntgCentral", {"0001", "P0101001'); DELETE FROM RECEITA; --_", "FX", good, "", ""}, 0},
        {"quote in kinds", "IntgCentral", {"0001", "P0101001_", "F'", good, "", ""}, 0},
        {"quote in start date", "IntgCentral", {"0001", "P0101001_", "FX", good, "01/01/2026' OR '1'='1", ""}, 0},
        {"quote in end date", "IntgCentral", {"0001", "P0101001_", "FX", good, "", "'; DROP TABLE RECEITA; --"}, 0},
        {"quote in destination code", "IntgCentral", {"0001", "P0101001_", "FX", destinationPacket({evil}), "", ""}, 0},
        {"100,000 keys, one malformed", "IntgCentral", {"0001", hundredThousand + "P01x_", "FX", good, "", ""}, 0},
        {"dish list without separator", "IntgCentral", {"0001", "P0101001", "FX", good, "", ""}, 0},
        {"empty dish list", "IntgCentral", {"0001", "", "FX", good, "", ""}, 0},
        {"unknown kinds", "IntgCentral", {"0001", "P0101001_", "FF", good, "", ""}, 0},
        {"unknown mark", "IntgCentral", {"0001", "P0101001_", "FX", badMark, "", ""}, 0},
        {"no marked destination",
         "IntgCentral",
         {"0001", "P0101001_", "FX", destinationPacket({}, {"0002"}), "", ""},
         0},
        {"empty packet", "IntgCentral", {"0001", "P0101001_", "FX", destinationPacket({}), "", ""}, 0},
        {"packet without columns",
         "IntgCentral",
         {"0001", "P0101001_", "FX", QJsonObject{{"rows", QJsonArray{}}}, "", ""},
         0},
        {"ragged packet", "IntgCentral", {"0001", "P0101001_", "FX", ragged, "", ""}, 0},
        {"unknown destination",
         "IntgCentral",
         {"0001", "P0101001_", "FX", destinationPacket({"0002", "9999"}), "", ""},
         0},
        {"unknown source", "IntgCentral", {"9999", "P0101001_", "FX", good, "", ""}, 0},
        {"impossible date", "IntgCentral", {"0001", "P0101001_", "FX", good, "31/02/2026", ""}, 0},
        {"ISO date for a text date", "IntgCentral", {"0001", "P0101001_", "FX", good, "2026-01-01", ""}, 0},
        {"start after end", "IntgCentral", {"0001", "P0101001_", "FX", good, "02/01/2026", "01/01/2026"}, 0},
        {"quote in grouping", "GetFiliGrup", {"T' OR '1'='1", "0001"}, -1},
        {"quote in grouping's source", "GetFiliGrup", {"T", evil}, 0},
        {"quote in search lists",
         "GetPesqPrato",
         {"0001", "0001", "P", 3, "'_", "T'_", QJsonValue(), QJsonValue(), "1'OR'1'='1_", "'--_", "x'_"},
         -1},
        {"quote in search source and trees",
         "GetPesqPrato",
         {evil, evil, "P' OR '1'='1", 3, "'_", "T'_", QJsonValue(), QJsonValue(), "1'OR'1'='1_", "'--_", "x'_"},
         0},
        {"malformed date in search",
         "GetPesqPrato",
         {"0001", "X", "P", 3, "", "", "10/01/2026", QJsonValue(), "", "", ""},
         400},
    };
    for (const QString& d : dialects()) {
        for (const Case& c : cases)
            QTest::newRow(qPrintable(d + QLatin1Char(' ') + QLatin1String(c.name)))
                << d << c.method << c.args << c.status;
    }
}

void tst_IntegrationService::badInputChangesNothing()
{
    QFETCH(QString, dialect);
    QFETCH(QString, method);
    QFETCH(QJsonArray, args);
    QFETCH(int, status);
    const QString why = TestDatabase::unavailable(dialect);
    if (!why.isEmpty())
        QSKIP(qPrintable(why));
    TestDatabase* shared = sharedDatabase(dialect);
    QVERIFY2(shared, "the fixture database could not be opened");
    TestDatabase& tdb = *shared;
    const QStringList before = everythingWritten(tdb.db());

    server::IntgCentralService service(tdb.db(), QStringLiteral("demo"));
    int got = -1; // -1: answered normally
    QString message;
    try {
        const wire::Packet result = service.call(method, args);
        if (method == QLatin1String("GetFiliGrup") || method == QLatin1String("GetPesqPrato"))
            QCOMPARE(result.rows().size(), 0); // the metacharacters matched nothing, as plain text
    } catch (const server::RequestError& e) {
        got = e.status();
        message = e.message();
    } catch (const server::ServiceError& e) {
        got = 0;
        message = e.message();
    }
    QCOMPARE(got, status);
    if (got >= 0)
        QVERIFY2(!message.isEmpty(), "an error must say what is wrong");
    QCOMPARE(everythingWritten(tdb.db()), before);
}

void tst_IntegrationService::longDishListOfUnknownDishes()
{
    QFETCH(QString, dialect);
    SUITE_TEST_DATABASE(tdb, dialect, TestDatabase::Schema);
    loadFixture(tdb.db());
    const QStringList before = everythingWritten(tdb.db());
    QString dishes;
    for (int i = 0; i < 100000; ++i)
        dishes += QStringLiteral("P9%1_").arg(i, 6, 10, QLatin1Char('0'));

    // More dishes than the source's trees hold cannot all be dishes: refused at the first key past them, before any
    // work, nothing recorded.
    server::IntgCentralService service(tdb.db(), QStringLiteral("demo"));
    QString refusal;
    try {
        service.call(QStringLiteral("IntgCentral"),
                     intgArgs(dishes, QStringLiteral("FX"), destinationPacket({"0002"})));
    } catch (const server::ServiceError& e) {
        refusal = e.message();
    }
    QVERIFY2(refusal.contains(QStringLiteral("mais pratos do que")), qPrintable(refusal));
    QCOMPARE(everythingWritten(tdb.db()), before);
}

void tst_IntegrationService::unknownDishObservedOnce_data()
{
    QTest::addColumn<QString>("dialect");
    QTest::addColumn<QString>("kinds");
    for (const QString& d : dialects()) {
        for (const char* kinds : {"FS", "FX", "XS"})
            QTest::addRow("%s %s", qPrintable(d), kinds) << d << QString::fromLatin1(kinds);
    }
}

void tst_IntegrationService::unknownDishObservedOnce()
{
    QFETCH(QString, dialect);
    QFETCH(QString, kinds);
    SUITE_TEST_DATABASE(tdb, dialect, TestDatabase::Schema);
    loadFixture(tdb.db());

    // Two dishes no tree has, one the source's local tree lacks, and one the source has but 0003 and 0005 lack.
    server::IntgCentralService service(tdb.db(), QStringLiteral("demo"));
    const server::ServiceAnswer answer = service.answer(
        QStringLiteral("IntgCentral"), intgArgs(QStringLiteral("P9000001_P0101001_P9000002_00019000003_00010101901_"),
                                                kinds, destinationPacket({"0002", "0003", "0005"})));

    // code|destination|tree|dish|kind of the "not registered" rows: at the source (7) once, at a destination (1)
    QStringList unregistered;
    for (const QVariantList& row : answer.result.rows()) {
        if (row.at(7).toString() == QLatin1String("1") || row.at(7).toString() == QLatin1String("7"))
            unregistered << QStringList{row.at(7).toString(), row.at(4).toString(), row.at(2).toString(),
                                        row.at(5).toString(), row.at(12).toString()}
                                .join(QLatin1Char('|'));
    }
    QStringList expected{"7||P|9000001|", "7||P|9000002|", "7||0001|9000003|"};
    for (const QChar kind : {QLatin1Char('L'), QLatin1Char('S')}) {
        if (kinds.contains(kind == QLatin1Char('L') ? QLatin1Char('F') : QLatin1Char('S')))
            expected << QStringLiteral("1|0003|0001|0101901|%1").arg(kind);
    }
    QCOMPARE(unregistered, expected);
    QCOMPARE(answer.total, std::optional<qint64>(answer.result.rows().size()));
}

void tst_IntegrationService::dishKeysSplitAtTheDishCodesLength_data()
{
    QTest::addColumn<QString>("dialect");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("dishes");
    QTest::addColumn<QString>("kinds");
    QTest::addColumn<QStringList>("observed"); // code|destination|tree|dish|kind
    QTest::addColumn<QStringList>("copied");   // destination|tree|dish that now holds the source's local recipe
    struct Row {
        const char* name;
        const char* source;
        const char* dishes;
        const char* kinds;
        QStringList observed;
        QStringList copied;
    };
    // Destinations 0002 and 0003; branch "P010" is a source whose code starts as the standard tree's does.
    const QList<Row> rows{
        {"another branch's local dish, kept from an earlier source, beside a standard one",
         "0001",
         "00070101901_P0101001_",
         "FS",
         {"7||0007|0101901|"},
         {"0002|P|0101001", "0003|P|0101001"}},
        {"two other branches' local dishes and nothing else",
         "0001",
         "00070101901_00020101901_",
         "FX",
         {"7||0002|0101901|", "7||0007|0101901|"},
         {}},
        {"a standard key, from a source coded P and digits",
         "P010",
         "P0101001_",
         "FX",
         {},
         {"0002|P|0101001", "0003|P|0101001"}},
        {"the local key of a source coded P and digits",
         "P010",
         "P0100101901_",
         "FX",
         {"1|0003|P010|0101901|L"},
         {"0002|0002|0101901"}},
    };
    for (const QString& d : dialects()) {
        for (const Row& r : rows)
            QTest::addRow("%s: %s", qPrintable(d), r.name)
                << d << QString::fromLatin1(r.source) << QString::fromLatin1(r.dishes) << QString::fromLatin1(r.kinds)
                << r.observed << r.copied;
    }
}

void tst_IntegrationService::dishKeysSplitAtTheDishCodesLength()
{
    QFETCH(QString, dialect);
    QFETCH(QString, source);
    QFETCH(QString, dishes);
    QFETCH(QString, kinds);
    QFETCH(QStringList, observed);
    QFETCH(QStringList, copied);
    SUITE_TEST_DATABASE(tdb, dialect, TestDatabase::Schema);
    loadFixture(tdb.db());
    QSqlQuery q(tdb.db());
    for (const char* statement :
         {"INSERT INTO FILIAL (CDFILIAL, NMFILIAL, IDMATRIZ, IDCNTRRESC) VALUES ('P010', 'Filial P010', 'N', 'N')",
          "INSERT INTO OPERFILI (CDOPERADOR, CDFILIAL) VALUES ('demo', 'P010')",
          "INSERT INTO PRATO (CDFILAUXPRAT, CDPRATO, NMPRATO, CDNVPRATO, CDTIPOPRAT) VALUES"
          " ('P010', '0101901', 'Feijoada P010', 3, '01')",
          "INSERT INTO RECEITA (CDFILIAL, CDFILAUXPRAT, CDPRATO, NRSEQ, CDARVPROD, QTPRODUTO, SGUNIDADE) VALUES"
          " ('P010', 'P', '0101001', 1, '0000000006', 2.5, 'KG'), ('P010', 'P', '0101001', 2, '0000000003', 1, 'KG'),"
          " ('P010', 'P010', '0101901', 1, '0000000002', 3.5, 'KG')"})
        QVERIFY2(q.exec(QString::fromLatin1(statement)), qPrintable(q.lastError().text()));
    const QStringList before = recipeRows(tdb.db());

    server::IntgCentralService service(tdb.db(), QStringLiteral("demo"));
    const wire::Packet log = service.call(QStringLiteral("IntgCentral"),
                                          intgArgs(dishes, kinds, destinationPacket({"0002", "0003"}), source));

    QStringList got;
    for (const QVariantList& row : log.rows())
        got << QStringList{row.at(7).toString(), row.at(4).toString(), row.at(2).toString(), row.at(5).toString(),
                           row.at(12).toString()}
                   .join(QLatin1Char('|'));
    QCOMPARE(got, observed);

    // Lines of a recipe from its sequence number on, so recipes of two branches and trees compare.
    const auto lines = [&](const QString& branch, const QString& tree, const QString& dish) {
        QStringList rows = recipeRows(
            tdb.db(),
            QStringLiteral("CDFILIAL = '%1' AND CDFILAUXPRAT = '%2' AND CDPRATO = '%3'").arg(branch, tree, dish));
        for (QString& row : rows)
            row = row.section(QLatin1Char('|'), 3);
        return rows;
    };
    QStringList changed;
    for (const QString& target : copied) {
        const QStringList key = target.split(QLatin1Char('|'));
        const QStringList fromSource = lines(source, key.at(1) == QLatin1String("P") ? key.at(1) : source, key.at(2));
        QVERIFY(!fromSource.isEmpty());
        QCOMPARE(lines(key.at(0), key.at(1), key.at(2)), fromSource);
        changed << target + QLatin1Char('|');
    }
    // Nothing else was written: another branch's dish is named, never copied.
    const auto untouched = [&](const QStringList& rows) {
        QStringList kept;
        for (const QString& row : rows) {
            if (std::none_of(changed.begin(), changed.end(), [&](const QString& c) { return row.startsWith(c); }))
                kept << row;
        }
        return kept;
    };
    QCOMPARE(untouched(recipeRows(tdb.db())), untouched(before));
}

void tst_IntegrationService::branchesOfAGrouping()
{
    QFETCH(QString, dialect);
    SUITE_TEST_DATABASE(tdb, dialect, TestDatabase::Schema);
    loadFixture(tdb.db());
    server::IntgCentralService service(tdb.db(), QStringLiteral("demo"));
    const auto codes = [](const wire::Packet& p) {
        QStringList list;
        for (const QVariantList& row : p.rows()) {
            QStringList cells;
            for (const QVariant& cell : row)
                cells << cell.toString();
            list << cells.join(QLatin1Char('|'));
        }
        return list;
    };
    QCOMPARE(codes(service.call(QStringLiteral("GetFiliGrup"), {"0000000002", "0001"})),
             QStringList({"N|0005|Filial Sul|N", "N|0006|Filial Leste|N"}));
    const QStringList all = codes(service.call(QStringLiteral("getfiligrup"), {"T", "0002"}));
    QCOMPARE(all.size(), 6);
    QVERIFY(all.contains(QStringLiteral("N|0004|Filial Rescindida|S")));
    QVERIFY(all.filter(QStringLiteral("|0002|")).isEmpty());
    QCOMPARE(codes(service.call(QStringLiteral("GetGrupFili"), {""})),
             QStringList({"0000000001|Grupo A", "0000000002|Grupo B"}));
}

void tst_IntegrationService::dishSearchByMenuAndCycle_data()
{
    QTest::addColumn<QString>("dialect");
    QTest::addColumn<QJsonArray>("args");
    QTest::addColumn<QStringList>("keys");
    const QJsonValue none;
    struct Case {
        const char* name;
        QJsonArray args;
        QStringList keys;
    };
    const QList<Case> cases{
        {"no filter: every top-level dish of both trees",
         {"0001", "0001", "P", 3, "", "", none, none, "", "", ""},
         {"P0101001", "P0101002", "P0101003", "00010101901"}},
        {"standard tree only",
         {"0001", "X", "P", 3, "", "", none, none, "", "", ""},
         {"P0101001", "P0101002", "P0101003"}},
        {"menu: all services and types in January",
         {"0001", "0001", "P", 3, "T", "T", "2026-01-01", "2026-01-31", "", "", ""},
         {"P0101001", "00010101901"}},
        {"menu: dinner service only", {"0001", "0001", "P", 3, "00002_", "T", none, none, "", "", ""}, {"P0101003"}},
        {"menu: dessert type in January",
         {"0001", "0001", "P", 3, "T", "02_", "2026-01-01", "2026-01-31", "", "", ""},
         {}},
        {"cycle: all", {"0001", "0001", "P", 3, "", "", none, none, "T", "T", "T"}, {"P0101002"}},
        {"both filters must hold", {"0001", "0001", "P", 3, "T", "T", none, none, "T", "T", "T"}, {}},
        {"cycle: another pattern", {"0001", "0001", "P", 3, "", "", none, none, "00001_", "00002_", "T"}, {}},
    };
    for (const QString& d : dialects()) {
        for (const Case& c : cases)
            QTest::newRow(qPrintable(d + QLatin1Char(' ') + QLatin1String(c.name))) << d << c.args << c.keys;
    }
}

void tst_IntegrationService::dishSearchByMenuAndCycle()
{
    QFETCH(QString, dialect);
    QFETCH(QJsonArray, args);
    QFETCH(QStringList, keys);
    const QString why = TestDatabase::unavailable(dialect);
    if (!why.isEmpty())
        QSKIP(qPrintable(why));
    TestDatabase* tdb = sharedDatabase(dialect);
    QVERIFY2(tdb, "the fixture database could not be opened");
    const wire::Packet result =
        server::IntgCentralService(tdb->db(), QStringLiteral("demo")).call(QStringLiteral("GetPesqPrato"), args);
    QStringList found;
    for (const QVariantList& row : result.rows())
        found << row.at(0).toString();
    QCOMPARE(found, keys);
    QCOMPARE(result.columns().size(), 5);
}

QTEST_GUILESS_MAIN(tst_IntegrationService)
#include "tst_integrationservice.moc"
