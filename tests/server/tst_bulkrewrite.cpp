// The settings of a bulk rewrite hold for its transaction only: a run must not leave its connection (a worker's,
// reused for every later call) with a gigabyte of page cache, its file mapped or a planner switched off.
#include "rewrite/bulkrewrite.h"
#include "sqlrunner.h"
#include "testdb.h"
#include "transaction.h"

#include <QtTest>

using namespace suite;
using suite::test::TestDatabase;

class tst_BulkRewrite : public QObject {
    Q_OBJECT
private slots:
    void lastsForItsTransaction_data();
    void lastsForItsTransaction();
};

namespace {

// The settings a bulk rewrite changes, as the dialect reports them.
QString setting(const db::SqlRunner& sql)
{
    const QString purpose = QStringLiteral("ler");
    if (sql.isPostgres())
        return sql
            .value(purpose, QStringLiteral("SELECT current_setting('enable_memoize') || ' ' ||"
                                           " current_setting('work_mem')"))
            .toString();
    return sql.value(purpose, QStringLiteral("PRAGMA cache_size")).toString() + QLatin1Char(' ') +
           sql.value(purpose, QStringLiteral("PRAGMA mmap_size")).toString();
}

} // namespace

void tst_BulkRewrite::lastsForItsTransaction_data()
{
    QTest::addColumn<QString>("dialect");
    QTest::addColumn<bool>("fails");
    QTest::addColumn<QString>("during");
    for (const QString& d : test::dialects()) {
        const QString during =
            d == QLatin1String("sqlite") ? QStringLiteral("-1048576 2147418112") : QStringLiteral("off 64MB");
        QTest::addRow("%s committed", qPrintable(d)) << d << false << during;
        QTest::addRow("%s failed", qPrintable(d)) << d << true << during;
    }
}

void tst_BulkRewrite::lastsForItsTransaction()
{
    QFETCH(QString, dialect);
    QFETCH(bool, fails);
    QFETCH(QString, during);
    SUITE_TEST_DATABASE(tdb, dialect, TestDatabase::Schema);
    const db::SqlRunner sql(tdb.db());
    const QString before = setting(sql);
    QVERIFY(!before.trimmed().isEmpty());
    QVERIFY(before != during);
    try {
        db::Transaction transaction(sql);
        const server::BulkRewrite bulk(sql);
        QCOMPARE(setting(sql), during);
        sql.run(QStringLiteral("gravar"),
                QStringLiteral("INSERT INTO FILIAL (CDFILIAL, NMFILIAL) VALUES ('0001', 'Matriz')"));
        if (fails)
            sql.run(QStringLiteral("falhar"),
                    QStringLiteral("INSERT INTO FILIAL (CDFILIAL, NMFILIAL) VALUES ('0001', 'Outra')"));
        transaction.commit();
    } catch (const db::DbError& e) {
        QVERIFY2(fails, qPrintable(e.message()));
    }
    QCOMPARE(setting(sql), before);
    QCOMPARE(sql.number(QStringLiteral("contar"), QStringLiteral("SELECT COUNT(*) FROM FILIAL")), fails ? 0 : 1);
}

QTEST_GUILESS_MAIN(tst_BulkRewrite)
#include "tst_bulkrewrite.moc"
