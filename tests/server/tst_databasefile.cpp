// The SQLite file a server serves: moved away while serving, it is missed, never replaced by a new empty one.
#include "servertestkit.h"

#include <QtTest>

#include <cstdio>

using namespace suite;
using namespace suite::test;

class tst_DatabaseFile : public QObject {
    Q_OBJECT
private slots:
    void movedAwayWhileServing();
};

void tst_DatabaseFile::movedAwayWhileServing()
{
    SUITE_TEST_DATABASE(tdb, QStringLiteral("sqlite"), TestDatabase::Schema);
    loadFixture(tdb.db());
    const QString path = tdb.url();
    const QString moved = path + QStringLiteral(".moved");
    // One worker: every call after the run opens the database afresh, as a run leaves its worker to.
    RunningServer server(path, 32u * 1024u * 1024u, 1);
    const QString token = login(server.port());
    QVERIFY(!token.isEmpty());
    const HttpAnswer run =
        post(server.port(), "/call",
             callBody("IntgCentral", {"0001", "P0101001_", "FX", destinationPacket({"0002"}), "", ""}), token);
    QCOMPARE(run.status, 200);
    const qint64 number = run.body.value("run").toInteger();
    QVERIFY(number > 0);

    // Moved as an administrator moves it, without the write-ahead log that may still hold the run.
    QCOMPARE(std::rename(QFile::encodeName(path).constData(), QFile::encodeName(moved).constData()), 0);
    const HttpAnswer missed = post(server.port(), "/call", callBody("ListIntg", {}), token);
    QCOMPARE(missed.status, 500);
    QVERIFY(!missed.body.value("error").toObject().value("id").toString().isEmpty());
    QVERIFY2(!QFile::exists(path), "a new database was made where the served one was");

    // Put back, it is served again with the run it committed.
    QCOMPARE(std::rename(QFile::encodeName(moved).constData(), QFile::encodeName(path).constData()), 0);
    const HttpAnswer history = post(server.port(), "/call", callBody("ListIntg", {}), token);
    QCOMPARE(history.status, 200);
    const QJsonArray rows = history.body.value("result").toObject().value("rows").toArray();
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.first().toArray().first().toInteger(), number);
}

QTEST_GUILESS_MAIN(tst_DatabaseFile)
#include "tst_databasefile.moc"
