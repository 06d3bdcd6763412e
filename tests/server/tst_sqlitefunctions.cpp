// linhas_json: the before-image text of a recipe must read back as exactly the lines it was made from;
// linhas_json_se_diferem: a recipe is taken for equal to a signature only when every value is the same.
#include "database.h"
#include "rewrite/sqlite/sqlitefunctions.h"
#include "sqlrunner.h"
#include "testdb.h"

#include <QtTest>

using namespace suite::db;
using suite::server::ensureSqliteFunctions;
using suite::server::registerSqliteFunctions;
using suite::test::TestDatabase;

class tst_SqliteFunctions : public QObject {
    Q_OBJECT
private slots:
    void roundTrip_data();
    void roundTrip();
    void refusesBlobs();
    void readsOnlyLinesOfFourValues_data();
    void readsOnlyLinesOfFourValues();
    void equalOnlyWhenEveryValueIs_data();
    void equalOnlyWhenEveryValueIs();
    void onlyOnSqlite();
    void ensuredWhileAStatementIsOpen();
};

namespace {

// The lines, as SQL rows of (NRSEQ, CDARVPROD, QTPRODUTO, SGUNIDADE) in the order to aggregate.
QString rows(const QStringList& values)
{
    return values.isEmpty() ? QStringLiteral("SELECT NULL, NULL, NULL, NULL WHERE 0")
                            : QStringLiteral("VALUES ") + values.join(QStringLiteral(", "));
}

} // namespace

void tst_SqliteFunctions::roundTrip_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("text");
    QTest::newRow("no lines") << QStringList() << QStringLiteral("[]");
    QTest::newRow("only the empty side of an outer join")
        << QStringList{QStringLiteral("(NULL, 'x', 1, 'KG')")} << QStringLiteral("[]");
    QTest::newRow("lines in their order")
        << QStringList{QStringLiteral("(2, '00000076', 0.0376, 'KG')"), QStringLiteral("(1, '00000039', 3, 'LT')")}
        << QStringLiteral("[[2,\"00000076\",0.0376,\"KG\"],[1,\"00000039\",3,\"LT\"]]");
    // sqlite3's json_array() would write 0.3 here and read back another number.
    QTest::newRow("a double needing 17 digits") << QStringList{QStringLiteral("(1, 'a', 0.1 + 0.2, 'KG')")}
                                                << QStringLiteral("[[1,\"a\",0.30000000000000004,\"KG\"]]");
    QTest::newRow("integers past a double's precision")
        << QStringList{QStringLiteral("(9007199254740993, 'a', -9223372036854775808, 'KG')")}
        << QStringLiteral("[[9007199254740993,\"a\",-9223372036854775808,\"KG\"]]");
    QTest::newRow("tiny, huge and negative quantities")
        << QStringList{QStringLiteral("(1, 'a', 1e-300, 'KG')"), QStringLiteral("(2, 'b', -2.5e300, 'KG')")}
        << QStringLiteral("[[1,\"a\",1e-300,\"KG\"],[2,\"b\",-2.5e+300,\"KG\"]]");
    QTest::newRow("infinity") << QStringList{QStringLiteral("(1, 'a', 1e999, 'KG')"),
                                             QStringLiteral("(2, 'b', -1e999, 'KG')")}
                              << QStringLiteral("[[1,\"a\",9e999,\"KG\"],[2,\"b\",-9e999,\"KG\"]]");
    QTest::newRow("quotes and backslashes")
        << QStringList{QStringLiteral("(1, 'a\"b\\c', 1, '''')")} << QStringLiteral("[[1,\"a\\\"b\\\\c\",1,\"'\"]]");
    QTest::newRow("brackets and quotes in codes")
        << QStringList{QStringLiteral("(1, '[a],[', 1, ']\\')"), QStringLiteral("(2, '\"[', 1, 'KG')")}
        << QStringLiteral("[[1,\"[a],[\",1,\"]\\\\\"],[2,\"\\\"[\",1,\"KG\"]]");
    QTest::newRow("control characters") << QStringList{QStringLiteral(
                                               "(1, char(10) || 'x' || char(9) || char(1) || char(31), 1, 'KG')")}
                                        << QStringLiteral("[[1,\"\\u000ax\\u0009\\u0001\\u001f\",1,\"KG\"]]");
    QTest::newRow("accents and other scripts") << QStringList{QStringLiteral("(1, 'Açúcar refinado ☕ 𝄞', 1, 'KG')")}
                                               << QStringLiteral("[[1,\"Açúcar refinado ☕ 𝄞\",1,\"KG\"]]");
    QTest::newRow("null after the first column")
        << QStringList{QStringLiteral("(1, NULL, NULL, '')")} << QStringLiteral("[[1,null,null,\"\"]]");
}

void tst_SqliteFunctions::roundTrip()
{
    QFETCH(QStringList, lines);
    QFETCH(QString, text);
    SUITE_TEST_DATABASE(tdb, QStringLiteral("sqlite"), TestDatabase::Empty);
    registerSqliteFunctions(tdb.db());
    const QSqlDatabase& db = tdb.db();
    SqlRunner(db).run(QStringLiteral("table"),
                      QStringLiteral("CREATE TEMP TABLE L (N INTEGER PRIMARY KEY, A, B, C, D)"));
    SqlRunner(db).run(QStringLiteral("lines"), QStringLiteral("INSERT INTO L (A, B, C, D) ") + rows(lines));
    // Kept and read back the way a run and an undo do: the same values, and of the same types.
    SqlRunner(db).run(QStringLiteral("text table"), QStringLiteral("CREATE TEMP TABLE T (J TEXT)"));
    SqlRunner(db).run(QStringLiteral("keep"),
                      QStringLiteral("INSERT INTO T SELECT linhas_json(A, B, C, D) FROM (SELECT * FROM L ORDER BY N)"));
    QCOMPARE(SqlRunner(db).value(QStringLiteral("text"), QStringLiteral("SELECT J FROM T")).toString(), text);
    QCOMPARE(SqlRunner(db).value(QStringLiteral("valid"), QStringLiteral("SELECT json_valid(J) FROM T")).toInt(), 1);
    // The undo's reader, and SQLite's own as a second opinion.
    const QString differing = QStringLiteral(
        "SELECT COUNT(*) FROM L JOIN (%1) r USING (N) WHERE r.A IS NOT L.A OR r.B IS NOT L.B OR r.C IS NOT L.C"
        " OR r.D IS NOT L.D OR typeof(r.A) <> typeof(L.A) OR typeof(r.C) <> typeof(L.C)");
    const QString undo = QStringLiteral("SELECT l.rowid + 1 AS N, l.NRSEQ AS A, l.CDARVPROD AS B, l.QTPRODUTO AS C,"
                                        " l.SGUNIDADE AS D FROM T, linhas_de(T.J) l");
    const QString extract = QStringLiteral(
        "SELECT j.key + 1 AS N, json_extract(j.value, '$[0]') AS A, json_extract(j.value, '$[1]') AS B,"
        " json_extract(j.value, '$[2]') AS C, json_extract(j.value, '$[3]') AS D FROM T, json_each(T.J) j");
    QCOMPARE(SqlRunner(db).value(QStringLiteral("compare"), differing.arg(undo)).toInt(), 0);
    QCOMPARE(SqlRunner(db).value(QStringLiteral("compare"), differing.arg(extract)).toInt(), 0);
    QCOMPARE(SqlRunner(db).value(QStringLiteral("count"), QStringLiteral("SELECT COUNT(*) FROM T, linhas_de(T.J)")),
             SqlRunner(db).value(QStringLiteral("count"), QStringLiteral("SELECT COUNT(A) FROM L")));
    QCOMPARE(
        SqlRunner(db).value(QStringLiteral("length"), QStringLiteral("SELECT json_array_length(J) FROM T")).toInt(),
        SqlRunner(db).value(QStringLiteral("count"), QStringLiteral("SELECT COUNT(A) FROM L")).toInt());
    QCOMPARE(SqlRunner(db).value(QStringLiteral("lines"), QStringLiteral("SELECT linhas_qt(J) FROM T")).toInt(),
             SqlRunner(db).value(QStringLiteral("count"), QStringLiteral("SELECT COUNT(A) FROM L")).toInt());
}

void tst_SqliteFunctions::refusesBlobs()
{
    SUITE_TEST_DATABASE(tdb, QStringLiteral("sqlite"), TestDatabase::Empty);
    registerSqliteFunctions(tdb.db());
    QSqlQuery q(tdb.db());
    QVERIFY(!q.exec(QStringLiteral("SELECT linhas_json(1, x'00ff', 1, 'KG')")));
    QVERIFY2(q.lastError().text().contains(QLatin1String("BLOB")), qPrintable(q.lastError().text()));
}

void tst_SqliteFunctions::readsOnlyLinesOfFourValues_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("lines"); // -1: refused
    QTest::newRow("spaces between the parts") << QStringLiteral(" [ [1 , \"a\" , 2.5 , \"KG\"] ] ") << 1;
    QTest::newRow("escapes a JSON writer may use")
        << QStringLiteral("[[1,\"\\/\\b\\ud834\\udd1e\",1e-999,\"KG\"]]") << 1;
    QTest::newRow("three values") << QStringLiteral("[[1,\"a\",2]]") << -1;
    QTest::newRow("five values") << QStringLiteral("[[1,\"a\",2,\"KG\",5]]") << -1;
    QTest::newRow("not closed") << QStringLiteral("[[1,\"a\",2,\"KG\"]") << -1;
    QTest::newRow("a string not closed") << QStringLiteral("[[1,\"a,2,\"KG\"]]") << -1;
    QTest::newRow("something after it") << QStringLiteral("[[1,\"a\",2,\"KG\"]]x") << -1;
    QTest::newRow("a line that is not an array") << QStringLiteral("[1]") << -1;
    QTest::newRow("a bad escape") << QStringLiteral("[[1,\"\\q\",2,\"KG\"]]") << -1;
    QTest::newRow("a bad number") << QStringLiteral("[[1,\"a\",2-,\"KG\"]]") << -1;
}

void tst_SqliteFunctions::readsOnlyLinesOfFourValues()
{
    QFETCH(QString, text);
    QFETCH(int, lines);
    SUITE_TEST_DATABASE(tdb, QStringLiteral("sqlite"), TestDatabase::Empty);
    registerSqliteFunctions(tdb.db());
    QSqlQuery q(tdb.db());
    q.prepare(QStringLiteral("SELECT COUNT(*), MIN(typeof(QTPRODUTO)) FROM linhas_de(?)"));
    q.addBindValue(text);
    const bool read = q.exec() && q.next();
    QCOMPARE(read ? q.value(0).toInt() : -1, lines);
    if (read && lines > 0) // the line as SQLite's own reader sees it
        QCOMPARE(q.value(1).toString(), QStringLiteral("real"));
}

void tst_SqliteFunctions::equalOnlyWhenEveryValueIs_data()
{
    QTest::addColumn<QStringList>("signature");
    QTest::addColumn<QStringList>("compared");
    QTest::addColumn<bool>("equal");
    const QStringList recipe{QStringLiteral("(1, '00000039', 0.0376, 'KG')"),
                             QStringLiteral("(2, '0000007', 3, 'LT')")};
    QTest::newRow("the same lines") << recipe << recipe << true;
    QTest::newRow("no lines on either side") << QStringList() << QStringList() << true;
    QTest::newRow("another sequence") << recipe << QStringList{recipe.at(0), QStringLiteral("(3, '0000007', 3, 'LT')")}
                                      << false;
    QTest::newRow("another product") << recipe << QStringList{recipe.at(0), QStringLiteral("(2, '0000008', 3, 'LT')")}
                                     << false;
    QTest::newRow("another unit") << recipe << QStringList{recipe.at(0), QStringLiteral("(2, '0000007', 3, 'KG')")}
                                  << false;
    QTest::newRow("a quantity off in its last digit") << QStringList{QStringLiteral("(1, 'a', 0.1 + 0.2, 'KG')")}
                                                      << QStringList{QStringLiteral("(1, 'a', 0.3, 'KG')")} << false;
    QTest::newRow("the same number as text") << QStringList{QStringLiteral("(1, 'a', 3, 'KG')")}
                                             << QStringList{QStringLiteral("(1, 'a', '3', 'KG')")} << false;
    QTest::newRow("an extra line") << recipe << recipe + QStringList{QStringLiteral("(3, 'x', 1, 'KG')")} << false;
    QTest::newRow("a missing line") << recipe << QStringList{recipe.at(0)} << false;
    QTest::newRow("none where the signature has lines") << recipe << QStringList() << false;
    QTest::newRow("a text that holds the next value's bytes")
        << QStringList{QStringLiteral("(1, 'ab', 1, 'KG')")} << QStringList{QStringLiteral("(1, 'a', 1, 'bKG')")}
        << false;
}

void tst_SqliteFunctions::equalOnlyWhenEveryValueIs()
{
    QFETCH(QStringList, signature);
    QFETCH(QStringList, compared);
    QFETCH(bool, equal);
    SUITE_TEST_DATABASE(tdb, QStringLiteral("sqlite"), TestDatabase::Empty);
    registerSqliteFunctions(tdb.db());
    const SqlRunner sql(tdb.db());
    for (const char* table : {"S", "C"})
        sql.run(QStringLiteral("table"),
                QStringLiteral("CREATE TEMP TABLE %1 (N INTEGER PRIMARY KEY, A, B, C, D)").arg(QLatin1String(table)));
    sql.run(QStringLiteral("signed"), QStringLiteral("INSERT INTO S (A, B, C, D) ") + rows(signature));
    sql.run(QStringLiteral("compared"), QStringLiteral("INSERT INTO C (A, B, C, D) ") + rows(compared));
    // Compared through an outer join, as a run compares a destination recipe that may have no lines.
    const QVariant differing = sql.value(
        QStringLiteral("compare"),
        QStringLiteral("SELECT linhas_json_se_diferem(c.A, c.B, c.C, c.D, g.X) FROM (SELECT linhas_assinatura(A, B,"
                       " C, D) AS X FROM (SELECT * FROM S ORDER BY N)) g LEFT JOIN (SELECT * FROM C ORDER BY N) c"));
    QCOMPARE(differing.isNull(), equal);
    // Over no row at all, as a correlated subquery over a recipe with no lines, there is no signature to match.
    if (compared.isEmpty())
        QCOMPARE(sql.value(QStringLiteral("nothing"),
                           QStringLiteral("SELECT (SELECT linhas_json_se_diferem(c.A, c.B, c.C, c.D, g.X) FROM C c)"
                                          " FROM (SELECT linhas_assinatura(A, B, C, D) AS X FROM S) g"))
                     .toString(),
                 QStringLiteral("[]"));
    if (!equal) {
        // What a run keeps as the before-image of a recipe that differs.
        const QString json =
            sql.value(QStringLiteral("json"),
                      QStringLiteral("SELECT linhas_json(A, B, C, D) FROM (SELECT * FROM C ORDER BY N)"))
                .toString();
        QCOMPARE(differing.toString(), json);
    }
}

void tst_SqliteFunctions::onlyOnSqlite()
{
    SUITE_TEST_DATABASE(tdb, QStringLiteral("postgres"), TestDatabase::Empty);
    QVERIFY_THROWS_EXCEPTION(DbError, registerSqliteFunctions(tdb.db()));
}

// The engine ensures its functions on every connection it is handed, which may be reading at that moment: a second
// registration would then fail with SQLITE_BUSY and fail the run.
void tst_SqliteFunctions::ensuredWhileAStatementIsOpen()
{
    SUITE_TEST_DATABASE(tdb, QStringLiteral("sqlite"), TestDatabase::Empty);
    QSqlQuery absent(tdb.db());
    QVERIFY(!absent.exec(QStringLiteral("SELECT linhas_qt('[]')")));
    ensureSqliteFunctions(tdb.db());
    QSqlQuery open(tdb.db());
    QVERIFY(open.exec(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 100)"
                                     " SELECT linhas_qt('[[1,\"A\",1,\"KG\"]]') FROM n")));
    QVERIFY(open.next());
    QCOMPARE(open.value(0).toInt(), 1);
    QVERIFY_THROWS_EXCEPTION(DbError, registerSqliteFunctions(tdb.db()));
    ensureSqliteFunctions(tdb.db());
    QVERIFY(open.next());
    SUITE_TEST_DATABASE(pg, QStringLiteral("postgres"), TestDatabase::Empty);
    ensureSqliteFunctions(pg.db());
}

QTEST_GUILESS_MAIN(tst_SqliteFunctions)
#include "tst_sqlitefunctions.moc"
