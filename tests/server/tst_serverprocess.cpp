// The suite-server program itself: command line, start and graceful stop, and a SIGKILL in the middle of a run.
#include "servertestkit.h"

#include <QProcess>
#include <QRegularExpression>
#include <QtTest>
#include <future>
#include <signal.h>

using namespace suite;
using namespace suite::test;

namespace {

QString serverProgram()
{
    return qEnvironmentVariable("SUITE_BIN_DIR") + QStringLiteral("/suite-server");
}

// Starts "suite-server serve" on a free port and waits for its "listening on" line; 0 when it did not come.
int startServer(QProcess &process, const QString &url)
{
    process.setReadChannel(QProcess::StandardError);
    process.start(serverProgram(), {"serve", "--database", url, "--listen", "127.0.0.1:0"});
    if (!process.waitForStarted(10000))
        return 0;
    static const QRegularExpression listening(QStringLiteral("listening on 127\\.0\\.0\\.1:(\\d+)"));
    QByteArray err;
    while (process.waitForReadyRead(60000) || process.bytesAvailable() > 0) {
        err += process.readAllStandardError();
        const auto match = listening.match(QString::fromUtf8(err));
        if (match.hasMatch())
            return match.captured(1).toInt();
        if (process.state() != QProcess::Running)
            break;
    }
    qWarning("server said: %s", err.constData());
    return 0;
}

} // namespace

class tst_ServerProcess : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void commandLineErrors_data();
    void commandLineErrors();
    void initServeAndStop_data() { addDialectRows(); }
    void initServeAndStop();
    void killedMidRunChangesNothing_data() { addDialectRows(); }
    void killedMidRunChangesNothing();
    void servesOnlyItsOwnSchema_data() { addDialectRows(); }
    void servesOnlyItsOwnSchema();
};

void tst_ServerProcess::initTestCase()
{
    if (!QFileInfo::exists(serverProgram()))
        QSKIP("SUITE_BIN_DIR does not hold suite-server");
}

void tst_ServerProcess::commandLineErrors_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("no command") << QStringList{};
    QTest::newRow("unknown command") << QStringList{"start"};
    QTest::newRow("no database") << QStringList{"serve"};
    QTest::newRow("demo and scale") << QStringList{"init", "--database", "x.db", "--demo", "--scale", "1,1,1"};
    QTest::newRow("neither demo nor scale") << QStringList{"init", "--database", "x.db"};
    QTest::newRow("bad scale") << QStringList{"init", "--database", "x.db", "--scale", "1,a,1"};
    QTest::newRow("bad listen") << QStringList{"serve", "--database", "x.db", "--listen", "localhost"};
    QTest::newRow("unknown option") << QStringList{"serve", "--database", "x.db", "--verbose", "yes"};
    QTest::newRow("undo without a run") << QStringList{"undo", "--database", "x.db"};
    QTest::newRow("undo of no number") << QStringList{"undo", "--database", "x.db", "--run", "0"};
}

void tst_ServerProcess::commandLineErrors()
{
    QFETCH(QStringList, args);
    QTemporaryDir dir;
    QProcess process;
    process.setWorkingDirectory(dir.path());
    process.start(serverProgram(), args);
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitCode(), 2);
    QVERIFY(process.readAllStandardError().contains("usage:"));
    QVERIFY(QDir(dir.path()).entryList(QDir::Files).isEmpty());   // nothing created
}

void tst_ServerProcess::servesOnlyItsOwnSchema()
{
    QFETCH(QString, dialect);
    SUITE_TEST_DATABASE(tdb, dialect, TestDatabase::Schema);
    const auto run = [&](const QString &command) {
        QStringList args{command, "--database", tdb.url()};
        if (command == QLatin1String("serve"))
            args << "--listen" << "127.0.0.1:0";
        QProcess process;
        process.start(serverProgram(), args);
        process.waitForFinished(30000);
        return std::pair{process.exitCode(), QString::fromUtf8(process.readAllStandardError())};
    };
    QCOMPARE(run(QStringLiteral("check")).first, 0);

    // A database made before this build's schema: both refuse, and say what to do, before touching it.
    QSqlQuery q(tdb.db());
    QVERIFY(q.exec(QStringLiteral("DELETE FROM CONFIGSERV")));
    for (const QString &command : {QStringLiteral("check"), QStringLiteral("serve")}) {
        const auto [status, message] = run(command);
        QCOMPARE(status, 3);
        QVERIFY2(message.contains(QLatin1String("suite-server init")), qPrintable(message));
    }
    QVERIFY(rowsOf(tdb.db(), QStringLiteral("SELECT COUNT(*) FROM CONFIGSERV")) == QStringList{"0"});
}

void tst_ServerProcess::initServeAndStop()
{
    QFETCH(QString, dialect);
    SUITE_TEST_DATABASE(tdb, dialect, TestDatabase::Empty);

    QProcess init;
    init.start(serverProgram(), {"init", "--database", tdb.url(), "--scale", "3,5,2"});
    QVERIFY(init.waitForFinished(120000));
    QCOMPARE(init.exitCode(), 0);
    QVERIFY(init.readAllStandardOutput().contains("3 branches"));

    // A second init on the same database refuses and says why.
    QProcess again;
    again.start(serverProgram(), {"init", "--database", tdb.url(), "--demo"});
    QVERIFY(again.waitForFinished(120000));
    QCOMPARE(again.exitCode(), 1);
    QVERIFY(!again.readAllStandardError().isEmpty());

    QProcess server;
    const int port = startServer(server, tdb.url());
    QVERIFY(port > 0);
    QVERIFY(!login(port).isEmpty());

    ::kill(pid_t(server.processId()), SIGTERM);
    QVERIFY(server.waitForFinished(30000));
    QCOMPARE(server.exitStatus(), QProcess::NormalExit);
    QCOMPARE(server.exitCode(), 0);
}

void tst_ServerProcess::killedMidRunChangesNothing()
{
    QFETCH(QString, dialect);
    SUITE_TEST_DATABASE(tdb, dialect, TestDatabase::Empty);
    QProcess init;
    init.start(serverProgram(), {"init", "--database", tdb.url(), "--scale", "20,300,10"});
    QVERIFY(init.waitForFinished(300000));
    QCOMPARE(init.exitCode(), 0);

    QStringList dishes;
    for (const QString &row : rowsOf(tdb.db(), QStringLiteral("SELECT CDFILAUXPRAT || CDPRATO FROM PRATO"
                                                              " WHERE CDNVPRATO = 3 ORDER BY CDPRATO")))
        dishes << row + QLatin1Char('_');
    QStringList branches = rowsOf(tdb.db(), QStringLiteral("SELECT CDFILIAL FROM FILIAL WHERE CDFILIAL <> '0001'"));
    const QByteArray run = callBody("IntgCentral", {"0001", dishes.join(QString()), "FS", destinationPacket(branches), "", ""});

    QProcess server;
    int port = startServer(server, tdb.url());
    QVERIFY(port > 0);
    QString token = login(port);

    // A first run tells how long one takes on this machine (sanitizers make it much slower).
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(post(port, "/call", run, token).status, 200);
    const qint64 fullRun = timer.elapsed();

    // Make the next run change every destination, then kill the server a third of the way through it.
    QSqlQuery change(tdb.db());
    QVERIFY(change.exec(QStringLiteral("UPDATE RECEITA SET QTPRODUTO = QTPRODUTO + 1 WHERE CDFILIAL = '0001'")));
    const QStringList before = everythingWritten(tdb.db());
    auto answer = std::async(std::launch::async, [&] { return post(port, "/call", run, token); });
    if (dialect == QLatin1String("postgres")) {
        // Kill as soon as the run writes its first before-images: under parallel tests a timed guess could land
        // after the commit. The lock is held until the transaction ends, so it is seen only while it runs.
        QElapsedTimer waiting;
        waiting.start();
        while (waiting.elapsed() < 2 * fullRun + 5000
               && rowsOf(tdb.db(), QStringLiteral("SELECT COUNT(*) FROM pg_locks l JOIN pg_class c ON c.oid = l.relation"
                                                  " WHERE c.relname = 'intgcentralant' AND l.mode = 'RowExclusiveLock'"
                                                  " AND l.pid <> pg_backend_pid()"))
                      == QStringList{"0"})
            QThread::msleep(2);
    } else {
        QThread::msleep(std::max<qint64>(fullRun / 3, 20));
    }
    ::kill(pid_t(server.processId()), SIGKILL);
    QVERIFY(server.waitForFinished(30000));
    QVERIFY2(answer.get().status == 0, "the run ended before the kill; nothing was tested");

    QCOMPARE(everythingWritten(tdb.db()), before);

    // The database is usable afterwards: a new server completes the same run.
    QProcess restarted;
    port = startServer(restarted, tdb.url());
    QVERIFY(port > 0);
    QCOMPARE(post(port, "/call", run, login(port)).status, 200);
    QVERIFY(everythingWritten(tdb.db()) != before);
    ::kill(pid_t(restarted.processId()), SIGTERM);
    QVERIFY(restarted.waitForFinished(30000));
}

QTEST_GUILESS_MAIN(tst_ServerProcess)
#include "tst_serverprocess.moc"
