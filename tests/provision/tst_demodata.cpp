// The demo database: what the screen and the integration service rely on finding in it.
#include "datasets.h"
#include "password.h"
#include "sqlrunner.h"
#include "testdb.h"

#include <QCryptographicHash>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QtTest>

#include <map>
#include <memory>

using namespace suite::provision;
using suite::db::DbError;
using suite::db::SqlRunner;
using suite::test::TestDatabase;

class tst_DemoData : public QObject {
    Q_OBJECT
private slots:
    void cleanupTestCase() { m_demo.clear(); }
    void counts_data();
    void counts();
    void headOfficeAndRescindedBranch_data() { suite::test::addDialectRows(); }
    void headOfficeAndRescindedBranch();
    void dishCodesFollowThePicture_data() { suite::test::addDialectRows(); }
    void dishCodesFollowThePicture();
    void consistency_data();
    void consistency();
    void everyObservationCanHappen_data();
    void everyObservationCanHappen();
    void menusCoverDecember_data() { suite::test::addDialectRows(); }
    void menusCoverDecember();
    void operators_data() { suite::test::addDialectRows(); }
    void operators();
    void sameDataEveryTime_data() { suite::test::addDialectRows(); }
    void sameDataEveryTime();
    void secondLoadChangesNothing_data() { suite::test::addDialectRows(); }
    void secondLoadChangesNothing();

private:
    QSqlDatabase* demo(const QString& dialect);
    static qint64 count(QSqlDatabase& db, const QString& sql)
    {
        return SqlRunner(db).value(QStringLiteral("counting"), sql).toLongLong();
    }
    static QByteArray digest(QSqlDatabase& db, const QString& table, const QString& order);

    std::map<QString, std::unique_ptr<TestDatabase>> m_demo; // one loaded demo per dialect, read only
};

// The read-only checks share one demo database per dialect; loading it is the slow part.
QSqlDatabase* tst_DemoData::demo(const QString& dialect)
{
    auto& slot = m_demo[dialect];
    if (!slot)
        slot = std::make_unique<TestDatabase>(dialect, TestDatabase::Demo);
    return slot->isOpen() ? &slot->db() : nullptr;
}

#define DEMO(var)                                                                                                      \
    QFETCH(QString, dialect);                                                                                          \
    if (const QString why = TestDatabase::unavailable(dialect); !why.isEmpty())                                        \
        QSKIP(qPrintable(why));                                                                                        \
    QSqlDatabase* var##Ptr = demo(dialect);                                                                            \
    QVERIFY2(var##Ptr, qPrintable(m_demo[dialect]->error()));                                                          \
    QSqlDatabase& var = *var##Ptr

void tst_DemoData::counts_data()
{
    QTest::addColumn<QString>("dialect");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<int>("minimum");
    QTest::addColumn<int>("maximum");
    const struct {
        const char* name;
        const char* sql;
        int min;
        int max;
    } rows[] = {
        {"branches", "SELECT COUNT(*) FROM FILIAL", 12, 9999},
        {"groupings", "SELECT COUNT(*) FROM GRUPFILI", 3, 3},
        {"empty groupings",
         "SELECT COUNT(*) FROM GRUPFILI G WHERE NOT EXISTS (SELECT 1 FROM FILIGRUP F WHERE F.CDGRUPFILI = "
         "G.CDGRUPFILI)",
         0, 0},
        {"standard dishes", "SELECT COUNT(*) FROM PRATO WHERE CDFILAUXPRAT = 'P' AND CDNVPRATO = 3", 150, 999999},
        {"local trees", "SELECT COUNT(DISTINCT CDFILAUXPRAT) FROM PRATO WHERE CDFILAUXPRAT <> 'P'", 3, 9999},
        {"dish types", "SELECT COUNT(*) FROM TIPOPRAT", 8, 99},
        {"service patterns", "SELECT COUNT(*) FROM SERVPADR", 5, 5},
        {"branches without services",
         "SELECT COUNT(*) FROM FILIAL F WHERE NOT EXISTS (SELECT 1 FROM SERVICO S WHERE S.CDFILIAL = F.CDFILIAL)", 0,
         0},
        {"menu cycles", "SELECT COUNT(*) FROM CARDCICLO", 4, 4},
        {"cycles without items",
         "SELECT COUNT(*) FROM CARDCICLO C WHERE NOT EXISTS (SELECT 1 FROM CARDCICLOITEM I WHERE I.CDCARDCICLO = "
         "C.CDCARDCICLO)",
         0, 0},
        {"products", "SELECT COUNT(*) FROM PRODUTO", 300, 99999},
        {"branches with fewer than 300 products",
         "SELECT COUNT(*) FROM FILIAL F WHERE (SELECT COUNT(*) FROM PRODFILI P WHERE P.CDFILIAL = F.CDFILIAL) < 300", 0,
         0},
        {"per-service recipes", "SELECT COUNT(*) FROM RECEITASERV", 1000, 999999},
        {"run history", "SELECT COUNT(*) FROM INTGCENTRAL", 0, 0},
    };
    for (const QString& d : suite::test::dialects()) {
        for (const auto& r : rows)
            QTest::addRow("%s %s", qPrintable(d), r.name) << d << QString::fromLatin1(r.sql) << r.min << r.max;
    }
}

void tst_DemoData::counts()
{
    DEMO(db);
    QFETCH(QString, sql);
    QFETCH(int, minimum);
    QFETCH(int, maximum);
    const qint64 n = count(db, sql);
    QVERIFY2(n >= minimum && n <= maximum,
             qPrintable(QStringLiteral("%1 not in [%2, %3]").arg(n).arg(minimum).arg(maximum)));
}

void tst_DemoData::headOfficeAndRescindedBranch()
{
    DEMO(db);
    QSqlQuery q = SqlRunner(db).run(QStringLiteral("head office"),
                                    QStringLiteral("SELECT CDFILIAL, NMFILIAL FROM FILIAL WHERE IDMATRIZ = 'S'"));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toString(), QStringLiteral("0001"));
    QCOMPARE(q.value(1).toString(), QStringLiteral("Matriz"));
    QVERIFY2(!q.next(), "more than one head office");
    QCOMPARE(count(db, QStringLiteral("SELECT COUNT(*) FROM FILIAL WHERE IDCNTRRESC = 'S' AND IDMATRIZ = 'N'")), 1);
    QCOMPARE(count(db, QStringLiteral("SELECT COUNT(*) FROM FILIAL WHERE IDCNTRRESC = 'S'")), 1);
    // Codes are stored as Ajusta leaves them: branches 4 characters, groupings 10.
    QCOMPARE(count(db, QStringLiteral("SELECT COUNT(*) FROM FILIAL WHERE LENGTH(CDFILIAL) <> 4")), 0);
    QCOMPARE(count(db, QStringLiteral("SELECT COUNT(*) FROM GRUPFILI WHERE LENGTH(CDGRUPFILI) <> 10")), 0);
}

void tst_DemoData::dishCodesFollowThePicture()
{
    DEMO(db);
    QCOMPARE(SqlRunner(db)
                 .value(QStringLiteral("picture"), QStringLiteral("SELECT DSPICTURE FROM PICTURE WHERE TPPICTURE = 1"))
                 .toString(),
             QStringLiteral("99.99.999"));
    // "99.99.999": levels of 2, 4 and 7 digits; every dish hangs under its two groups in its tree.
    QCOMPARE(count(db, QStringLiteral("SELECT COUNT(*) FROM PRATO WHERE LENGTH(CDPRATO) <> CASE CDNVPRATO WHEN 1 THEN "
                                      "2 WHEN 2 THEN 4 ELSE 7 END")),
             0);
    QCOMPARE(count(db, QStringLiteral("SELECT MAX(CDNVPRATO) FROM PRATO")), 3);
    QCOMPARE(
        count(db, QStringLiteral(
                      "SELECT COUNT(*) FROM PRATO D WHERE D.CDNVPRATO > 1 AND NOT EXISTS (SELECT 1 FROM PRATO G WHERE "
                      "G.CDFILAUXPRAT = D.CDFILAUXPRAT AND G.CDNVPRATO = D.CDNVPRATO - 1 AND "
                      "G.CDPRATO = SUBSTR(D.CDPRATO, 1, CASE D.CDNVPRATO WHEN 2 THEN 2 ELSE 4 END))")),
        0);
    QCOMPARE(count(db, QStringLiteral("SELECT COUNT(*) FROM PRATO WHERE CDNVPRATO = 3 AND CDTIPOPRAT IS NULL")), 0);
    QCOMPARE(count(db, QStringLiteral("SELECT COUNT(*) FROM PRATO WHERE CDFILAUXPRAT <> 'P' AND CDFILAUXPRAT NOT IN "
                                      "(SELECT CDFILIAL FROM FILIAL)")),
             0);
}

void tst_DemoData::consistency_data()
{
    QTest::addColumn<QString>("dialect");
    QTest::addColumn<QString>("sql"); // counts rows that break the rule
    const struct {
        const char* name;
        const char* sql;
    } rows[] = {
        {"local recipes of 5 to 15 lines numbered from 1",
         "SELECT COUNT(*) FROM (SELECT COUNT(*) N, MIN(NRSEQ) LO, MAX(NRSEQ) HI FROM RECEITA "
         "GROUP BY CDFILIAL, CDFILAUXPRAT, CDPRATO) R WHERE N < 5 OR N > 15 OR LO <> 1 OR HI <> N"},
        {"per-service recipes of 5 to 15 lines numbered from 1",
         "SELECT COUNT(*) FROM (SELECT COUNT(*) N, MIN(NRSEQ) LO, MAX(NRSEQ) HI FROM RECEITASERV "
         "GROUP BY CDFILIAL, CDSERVFILI, CDFILAUXPRAT, CDPRATO) R WHERE N < 5 OR N > 15 OR LO <> 1 OR HI <> N"},
        {"recipes of unregistered dishes",
         "SELECT COUNT(*) FROM RECEITA R WHERE NOT EXISTS (SELECT 1 FROM PRATO P WHERE P.CDFILAUXPRAT = R.CDFILAUXPRAT "
         "AND P.CDPRATO = R.CDPRATO AND P.CDNVPRATO = 3)"},
        {"recipes from another branch's local tree",
         "SELECT COUNT(*) FROM RECEITA WHERE CDFILAUXPRAT <> 'P' AND CDFILAUXPRAT <> CDFILIAL"},
        {"recipe products the branch does not buy",
         "SELECT COUNT(*) FROM RECEITA R WHERE NOT EXISTS (SELECT 1 FROM PRODFILI P WHERE P.CDFILIAL = R.CDFILIAL AND "
         "P.CDARVPROD = R.CDARVPROD)"},
        {"recipe units other than the product's",
         "SELECT COUNT(*) FROM RECEITA R JOIN PRODUTO P ON P.CDARVPROD = R.CDARVPROD WHERE P.SGUNIDADE <> R.SGUNIDADE"},
        {"per-service recipes of services the branch lacks",
         "SELECT COUNT(*) FROM RECEITASERV R WHERE NOT EXISTS (SELECT 1 FROM SERVICO S WHERE S.CDFILIAL = R.CDFILIAL "
         "AND S.CDSERVFILI = R.CDSERVFILI)"},
        {"non-positive quantities", "SELECT COUNT(*) FROM RECEITA WHERE QTPRODUTO <= 0"},
        {"menu dishes of another type", "SELECT COUNT(*) FROM CARDAPIO C JOIN PRATO P ON P.CDFILAUXPRAT = "
                                        "C.CDFILAUXPRAT AND P.CDPRATO = C.CDPRATO WHERE P.CDTIPOPRAT <> C.CDTIPOPRAT"},
        {"menu services the branch lacks", "SELECT COUNT(*) FROM CARDAPIO C WHERE NOT EXISTS (SELECT 1 FROM SERVICO S "
                                           "WHERE S.CDFILIAL = C.CDFILIAL AND S.CDSERVFILI = C.CDSERVFILI)"},
        {"cycle items of unregistered dishes",
         "SELECT COUNT(*) FROM CARDCICLOITEM C WHERE NOT EXISTS (SELECT 1 FROM PRATO P WHERE P.CDFILAUXPRAT = "
         "C.CDFILAUXPRAT AND P.CDPRATO = C.CDPRATO AND P.CDNVPRATO = 3)"},
    };
    for (const QString& d : suite::test::dialects()) {
        for (const auto& r : rows)
            QTest::addRow("%s %s", qPrintable(d), r.name) << d << QString::fromLatin1(r.sql);
    }
}

void tst_DemoData::consistency()
{
    DEMO(db);
    QFETCH(QString, sql);
    QCOMPARE(count(db, sql), 0);
}

void tst_DemoData::everyObservationCanHappen_data()
{
    QTest::addColumn<QString>("dialect");
    QTest::addColumn<QString>("sql"); // counts cases that give the observation when 0001 is the source
    const struct {
        const char* name;
        const char* sql;
    } rows[] = {
        {"1 local dish missing in another local tree",
         "SELECT COUNT(*) FROM PRATO A JOIN FILIAL F ON F.CDFILIAL <> A.CDFILAUXPRAT "
         "WHERE A.CDFILAUXPRAT = '0001' AND A.CDNVPRATO = 3 AND EXISTS (SELECT 1 FROM PRATO L WHERE L.CDFILAUXPRAT = "
         "F.CDFILIAL) "
         "AND NOT EXISTS (SELECT 1 FROM PRATO B WHERE B.CDFILAUXPRAT = F.CDFILIAL AND B.CDPRATO = A.CDPRATO)"},
        {"1 local dish code shared by two local trees",
         "SELECT COUNT(*) FROM PRATO A JOIN PRATO B ON B.CDPRATO = A.CDPRATO AND B.CDFILAUXPRAT NOT IN ('P', '0001') "
         "WHERE A.CDFILAUXPRAT = '0001' AND A.CDNVPRATO = 3"},
        {"2 source recipe product not enabled at a destination",
         "SELECT COUNT(*) FROM RECEITA R JOIN FILIAL F ON F.CDFILIAL <> R.CDFILIAL WHERE R.CDFILIAL = '0001' "
         "AND NOT EXISTS (SELECT 1 FROM PRODFILI P WHERE P.CDFILIAL = F.CDFILIAL AND P.CDARVPROD = R.CDARVPROD)"},
        {"3 source service missing at a destination",
         "SELECT COUNT(*) FROM SERVICO S JOIN FILIAL F ON F.CDFILIAL <> S.CDFILIAL WHERE S.CDFILIAL = '0001' "
         "AND NOT EXISTS (SELECT 1 FROM SERVICO D WHERE D.CDFILIAL = F.CDFILIAL AND D.CDSERVFILI = S.CDSERVFILI)"},
        {"5 rescinded destination", "SELECT COUNT(*) FROM FILIAL WHERE IDCNTRRESC = 'S'"},
        {"6 standard dish without a source recipe",
         "SELECT COUNT(*) FROM PRATO P WHERE P.CDFILAUXPRAT = 'P' AND P.CDNVPRATO = 3 AND NOT EXISTS "
         "(SELECT 1 FROM RECEITA R WHERE R.CDFILIAL = '0001' AND R.CDFILAUXPRAT = 'P' AND R.CDPRATO = P.CDPRATO)"},
        {"6 that dish has a recipe at a destination",
         "SELECT COUNT(*) FROM PRATO P WHERE P.CDFILAUXPRAT = 'P' AND P.CDNVPRATO = 3 AND NOT EXISTS "
         "(SELECT 1 FROM RECEITA R WHERE R.CDFILIAL = '0001' AND R.CDFILAUXPRAT = 'P' AND R.CDPRATO = P.CDPRATO) AND "
         "EXISTS "
         "(SELECT 1 FROM RECEITA D WHERE D.CDFILIAL <> '0001' AND D.CDFILAUXPRAT = 'P' AND D.CDPRATO = P.CDPRATO)"},
    };
    for (const QString& d : suite::test::dialects()) {
        for (const auto& r : rows)
            QTest::addRow("%s %s", qPrintable(d), r.name) << d << QString::fromLatin1(r.sql);
    }
}

void tst_DemoData::everyObservationCanHappen()
{
    DEMO(db);
    QFETCH(QString, sql);
    QVERIFY(count(db, sql) > 0);
}

void tst_DemoData::menusCoverDecember()
{
    DEMO(db);
    struct Month {
        QString branch;
        int days;
        QDate first, last;
        qint64 services;
    };
    std::vector<Month> months;
    {
        QSqlQuery q = SqlRunner(db).run(QStringLiteral("menus"),
                                        QStringLiteral("SELECT CDFILIAL, COUNT(DISTINCT DTCARDAPIO), MIN(DTCARDAPIO), "
                                                       "MAX(DTCARDAPIO), COUNT(DISTINCT CDSERVFILI) "
                                                       "FROM CARDAPIO GROUP BY CDFILIAL ORDER BY CDFILIAL"));
        while (q.next())
            months.push_back({q.value(0).toString(), q.value(1).toInt(), q.value(2).toDate(), q.value(3).toDate(),
                              q.value(4).toLongLong()});
    }
    for (const Month& m : months) {
        QCOMPARE(m.days, 31);
        QCOMPARE(m.first, QDate(2026, 12, 1));
        QCOMPARE(m.last, QDate(2026, 12, 31));
        QCOMPARE(m.services,
                 count(db, QStringLiteral("SELECT COUNT(*) FROM SERVICO WHERE CDFILIAL = '%1'").arg(m.branch)));
    }
    const int branches = int(months.size());
    QVERIFY2(branches >= 5, qPrintable(QString::number(branches)));
    // Some menus serve a dish of the branch's own tree, which the menu filter must find too.
    QVERIFY(count(db, QStringLiteral("SELECT COUNT(*) FROM CARDAPIO WHERE CDFILAUXPRAT = CDFILIAL")) > 0);
}

void tst_DemoData::operators()
{
    DEMO(db);
    const QString demoHash =
        SqlRunner(db)
            .value(QStringLiteral("demo operator"),
                   QStringLiteral("SELECT DSSENHA FROM OPERADOR WHERE CDOPERADOR = 'demo' AND IDATIVO = 'S'"))
            .toString();
    QVERIFY(verifyPassword(QStringLiteral("demo"), demoHash));
    QCOMPARE(
        SqlRunner(db)
            .value(QStringLiteral("name"), QStringLiteral("SELECT NMOPERADOR FROM OPERADOR WHERE CDOPERADOR = 'demo'"))
            .toString(),
        QStringLiteral("Operador Demonstração"));
    const qint64 branches = count(db, QStringLiteral("SELECT COUNT(*) FROM FILIAL"));
    QCOMPARE(count(db, QStringLiteral("SELECT COUNT(*) FROM OPERFILI WHERE CDOPERADOR = 'demo'")), branches);
    // A second, active operator limited to some branches (not the head office).
    const qint64 restricted =
        count(db, QStringLiteral("SELECT COUNT(*) FROM OPERFILI O JOIN OPERADOR P ON P.CDOPERADOR = O.CDOPERADOR "
                                 "WHERE P.CDOPERADOR <> 'demo' AND P.IDATIVO = 'S' AND O.CDFILIAL <> '0001'"));
    QVERIFY(restricted > 0 && restricted < branches);
    QCOMPARE(count(db, QStringLiteral("SELECT COUNT(*) FROM OPERADOR WHERE DSSENHA NOT LIKE 'pbkdf2-sha256$%'")), 0);
}

QByteArray tst_DemoData::digest(QSqlDatabase& db, const QString& table, const QString& order)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    QSqlQuery q = SqlRunner(db).run(table, QStringLiteral("SELECT * FROM %1 ORDER BY %2").arg(table, order));
    while (q.next()) {
        for (int i = 0; i < q.record().count(); ++i)
            hash.addData(q.value(i).toString().toUtf8() + '|');
    }
    return hash.result().toHex();
}

void tst_DemoData::sameDataEveryTime()
{
    DEMO(first);
    TestDatabase other(dialect, TestDatabase::Demo);
    QVERIFY2(other.isOpen(), qPrintable(other.error()));
    const struct {
        const char* table;
        const char* order;
    } tables[] = {
        {"FILIAL", "CDFILIAL"},
        {"PRATO", "CDFILAUXPRAT, CDPRATO"},
        {"PRODFILI", "CDFILIAL, CDARVPROD"},
        {"RECEITA", "CDFILIAL, CDFILAUXPRAT, CDPRATO, NRSEQ"},
        {"RECEITASERV", "CDFILIAL, CDSERVFILI, CDFILAUXPRAT, CDPRATO, NRSEQ"},
        {"CARDAPIO", "CDFILIAL, DTCARDAPIO, CDSERVFILI, CDTIPOPRAT, CDFILAUXPRAT, CDPRATO"},
        {"CARDCICLOITEM", "CDCARDCICLO, NRDIA, CDSERVPADR, CDTIPOPRAT, CDFILAUXPRAT, CDPRATO"},
    };
    for (const auto& t : tables)
        QVERIFY2(digest(first, t.table, t.order) == digest(other.db(), t.table, t.order), t.table);
}

void tst_DemoData::secondLoadChangesNothing()
{
    // Runs on the shared demo: a load that fails must leave it exactly as it was.
    DEMO(db);
    const qint64 before = count(db, QStringLiteral("SELECT COUNT(*) FROM RECEITA"));
    QVERIFY_THROWS_EXCEPTION(DbError, loadDemo(db));
    QCOMPARE(count(db, QStringLiteral("SELECT COUNT(*) FROM RECEITA")), before);
    QCOMPARE(count(db, QStringLiteral("SELECT COUNT(*) FROM OPERADOR")), 4);
}

QTEST_GUILESS_MAIN(tst_DemoData)
#include "tst_demodata.moc"
