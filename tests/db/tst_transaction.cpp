// The checked statements and their transaction guard: all or nothing on every way out, failures named by purpose.
#include "sqlrunner.h"
#include "testdb.h"
#include "transaction.h"

#include <QtTest>

using namespace suite::db;
using suite::test::TestDatabase;

class tst_Transaction : public QObject {
    Q_OBJECT
private slots:
    void outcome_data();
    void outcome();
};

void tst_Transaction::outcome_data()
{
    QTest::addColumn<QString>("dialect");
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("commit");
    QTest::addColumn<bool>("fail");
    QTest::addColumn<int>("rows");
    for (const QString& d : suite::test::dialects()) {
        for (int mode : {int(Transaction::Write), int(Transaction::Read)}) {
            const char* m = mode == Transaction::Write ? "write" : "read";
            QTest::addRow("%s %s committed", qPrintable(d), m) << d << mode << true << false << 2;
            QTest::addRow("%s %s left without commit", qPrintable(d), m) << d << mode << false << false << 0;
            QTest::addRow("%s %s failed statement", qPrintable(d), m) << d << mode << true << true << 0;
        }
    }
}

void tst_Transaction::outcome()
{
    QFETCH(QString, dialect);
    QFETCH(int, mode);
    QFETCH(bool, commit);
    QFETCH(bool, fail);
    SUITE_TEST_DATABASE(tdb, dialect, TestDatabase::Schema);
    const SqlRunner sql(tdb.db());
    try {
        Transaction t(sql, Transaction::Mode(mode));
        sql.run(QStringLiteral("first"),
                QStringLiteral("INSERT INTO FILIAL (CDFILIAL, NMFILIAL) VALUES ('0001', 'Matriz')"));
        sql.run(QStringLiteral("second"),
                QStringLiteral("INSERT INTO FILIAL (CDFILIAL, NMFILIAL) VALUES ('0002', 'Filial Campinas')"));
        if (fail)
            sql.run(QStringLiteral("duplicate"),
                    QStringLiteral("INSERT INTO FILIAL (CDFILIAL, NMFILIAL) VALUES ('0001', 'Outra')"));
        if (commit)
            t.commit();
    } catch (const DbError& e) {
        QVERIFY2(fail, e.what());
        QVERIFY2(e.message().startsWith(QLatin1String("duplicate: ")), e.what());
    }
    QTEST(sql.value(QStringLiteral("count"), QStringLiteral("SELECT COUNT(*) FROM FILIAL")).toInt(), "rows");
    // The connection is usable again: a new transaction starts and commits.
    Transaction again(sql);
    sql.run(QStringLiteral("third"),
            QStringLiteral("INSERT INTO FILIAL (CDFILIAL, NMFILIAL) VALUES ('0003', 'Filial Santos')"));
    again.commit();
}

QTEST_GUILESS_MAIN(tst_Transaction)
#include "tst_transaction.moc"
