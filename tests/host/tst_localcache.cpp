// The host's local cache over a real database.
#include "localcache.h"

#include "../common/testdb.h"

#include <errors.h>

#include <QSignalSpy>
#include <QSqlQuery>
#include <QTest>

using suite::host::LocalCache;

class tst_LocalCache : public QObject {
    Q_OBJECT
private slots:
    void readsNamedTables_data() { suite::test::addDialectRows(); }
    void readsNamedTables();
    void refusesWhatIsNotATable_data() { suite::test::addDialectRows(); }
    void refusesWhatIsNotATable();
};

namespace {

int countRows(QSqlDatabase& db, const QString& table)
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT COUNT(*) FROM %1").arg(table)) || !query.next())
        return -1;
    return query.value(0).toInt();
}

} // namespace

void tst_LocalCache::readsNamedTables()
{
    QFETCH(QString, dialect);
    SUITE_TEST_DATABASE(tdb, dialect, suite::test::TestDatabase::Demo);
    LocalCache cache;
    QSignalSpy refreshed(&cache, &LocalCache::refreshed);

    cache.refresh({"prato", "FILIAL"}, tdb.db());
    QCOMPARE(refreshed.count(), 1);
    const LocalCache::Table* dishes = cache.table("PRATO");
    QVERIFY(dishes != nullptr);
    QVERIFY(dishes->rows.size() > 0);
    QCOMPARE(dishes->rows.size(), countRows(tdb.db(), "PRATO"));
    QVERIFY(dishes->refreshedAt.isValid());
    QCOMPARE(cache.names(), QStringList({"FILIAL", "PRATO"}));
    QVERIFY2(cache.summary().contains(QStringLiteral("PRATO: %1 linhas").arg(dishes->rows.size())),
             qPrintable(cache.summary()));

    // A refresh sees rows written since.
    QSqlQuery insert(tdb.db());
    QVERIFY(insert.exec("INSERT INTO FILIAL (CDFILIAL, NMFILIAL) VALUES ('0999', 'Filial Nova')"));
    const qsizetype before = cache.table("filial")->rows.size();
    cache.refresh({"FILIAL"}, tdb.db());
    QCOMPARE(cache.table("FILIAL")->rows.size(), before + 1);
}

void tst_LocalCache::refusesWhatIsNotATable()
{
    QFETCH(QString, dialect);
    SUITE_TEST_DATABASE(tdb, dialect, suite::test::TestDatabase::Demo);
    LocalCache cache;
    const int branches = countRows(tdb.db(), "FILIAL");
    for (const QString& name : {QStringLiteral("PRATOS"), QStringLiteral("PRATO; DELETE FROM FILIAL")}) {
        try {
            cache.refresh({name}, tdb.db());
            QFAIL(qPrintable("read " + name));
        } catch (const mrv::Exception& error) {
            QVERIFY2(error.message().contains(name), qPrintable(error.message()));
        }
    }
    QCOMPARE(countRows(tdb.db(), "FILIAL"), branches);
    QVERIFY(cache.table("PRATO") == nullptr);
}

QTEST_GUILESS_MAIN(tst_LocalCache)
#include "tst_localcache.moc"
