// The suite-server program itself: command line, start and graceful stop, and a SIGKILL in the middle of a run.
#include "serverprocess.h"
#include "servertestkit.h"

#include "intgcentralservice.h"

#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QtTest>
#include <future>
#include <signal.h>
#include <sys/stat.h>

using namespace suite;
using namespace suite::test;

namespace {

QString serverProgram()
{
    return ServerProcess::program();
}

// Where a snapshot parts from another: the first row that differs, or that one of them lacks; empty when equal.
QString firstDifference(const QStringList& seen, const QStringList& expected)
{
    const auto row = [](const QStringList& rows, qsizetype i) {
        return i < rows.size() ? rows.at(i) : QStringLiteral("(no row)");
    };
    for (qsizetype i = 0; i < std::max(seen.size(), expected.size()); ++i) {
        if (row(seen, i) != row(expected, i))
            return QStringLiteral("row %1 is \"%2\" where it was to be \"%3\"")
                .arg(i)
                .arg(row(seen, i), row(expected, i));
    }
    return {};
}

// Whether a connection other than `db`'s holds the database's write lock: SQLite refuses a second writer at once
// (no waiting), PostgreSQL shows the lock a transaction took on INTGCENTRALANT when it wrote before-images.
bool anotherWriterHolds(QSqlDatabase& db, bool postgres, QString& why)
{
    if (postgres) {
        const bool holds =
            rowsOf(db, QStringLiteral("SELECT COUNT(*) FROM pg_locks l JOIN pg_class c ON c.oid = l.relation"
                                      " WHERE c.relname = 'intgcentralant' AND l.mode = 'RowExclusiveLock'"
                                      " AND l.pid <> pg_backend_pid()")) != QStringList{"0"};
        why = holds ? QString() : QStringLiteral("no other session holds a write lock on INTGCENTRALANT");
        return holds;
    }
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("PRAGMA busy_timeout = 0"))) {
        why = q.lastError().text();
        return false;
    }
    const bool began = q.exec(QStringLiteral("BEGIN IMMEDIATE"));
    why = began ? QStringLiteral("a second writer was let in") : q.lastError().text();
    const bool busy = !began && q.lastError().nativeErrorCode() == QLatin1String("5"); // SQLITE_BUSY
    if (began)
        q.exec(QStringLiteral("ROLLBACK"));
    q.exec(QStringLiteral("PRAGMA busy_timeout = 30000"));
    return busy;
}

// "init" of `url` with `data` ("--demo" or "--scale" and its size); a PostgreSQL database gets its key in `keys`.
QStringList initArguments(const QString& url, const QStringList& data, const QTemporaryDir& keys)
{
    QStringList args = QStringList{"init", "--database", url} + data;
    if (url.startsWith(QLatin1String("postgres")))
        args << "--key-file" << keys.filePath(QStringLiteral("suite.key"));
    return args;
}

// The permission bits of a file: 0600 is its owner's alone.
int modeOf(const QString& path)
{
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 0777) : -1;
}

} // namespace

class tst_ServerProcess : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void commandLineErrors_data();
    void commandLineErrors();
    void initServeAndStop_data() { addDialectRows(); }
    void initServeAndStop();
    void killedDuringRunIsAllOrNothing_data() { addDialectRows(); }
    void killedDuringRunIsAllOrNothing();
    void servesOnlyItsOwnSchema_data() { addDialectRows(); }
    void servesOnlyItsOwnSchema();
    void signingKeyLivesOutsideTheDatabase_data() { addDialectRows(); }
    void signingKeyLivesOutsideTheDatabase();
    void keyCommandNeverReplacesAKey();
    void databaseOthersMayReadIsWarnedAbout_data();
    void databaseOthersMayReadIsWarnedAbout();
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
    QTest::newRow("key without a file") << QStringList{"key"};
    QTest::newRow("key file for undo") << QStringList{"undo", "--database", "x.db", "--run", "1", "--key-file", "k"};
    QTest::newRow("PostgreSQL served without a key file")
        << QStringList{"serve", "--database", "postgresql://suite@127.0.0.1:1/suite"};
    QTest::newRow("PostgreSQL made without a key file")
        << QStringList{"init", "--database", "postgresql://suite@127.0.0.1:1/suite", "--demo"};
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
    QVERIFY(QDir(dir.path()).entryList(QDir::Files).isEmpty()); // nothing created
}

void tst_ServerProcess::servesOnlyItsOwnSchema()
{
    QFETCH(QString, dialect);
    SUITE_TEST_DATABASE(tdb, dialect, TestDatabase::Schema);
    const QTemporaryDir keys;
    const auto run = [&](const QString& command) {
        QStringList args{command, "--database", tdb.url()};
        if (command == QLatin1String("serve"))
            args << "--listen"
                 << "127.0.0.1:0"
                 << "--key-file" << keys.filePath(QStringLiteral("suite.key"));
        QProcess process;
        process.start(serverProgram(), args);
        process.waitForFinished(30000);
        return std::pair{process.exitCode(), QString::fromUtf8(process.readAllStandardError())};
    };
    QCOMPARE(run(QStringLiteral("check")).first, 0);

    // A database made before this build's schema: both refuse, and say what to do, before touching it.
    QSqlQuery q(tdb.db());
    QVERIFY(q.exec(QStringLiteral("DELETE FROM CONFIGSERV")));
    for (const QString& command : {QStringLiteral("check"), QStringLiteral("serve")}) {
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

    const QTemporaryDir keys;
    QProcess init;
    init.start(serverProgram(), initArguments(tdb.url(), {"--scale", "3,5,2"}, keys));
    QVERIFY(init.waitForFinished(120000));
    QCOMPARE(init.exitCode(), 0);
    QVERIFY(init.readAllStandardOutput().contains("3 branches"));

    // A second init on the same database refuses and says why.
    QProcess again;
    again.start(serverProgram(), initArguments(tdb.url(), {"--demo"}, keys));
    QVERIFY(again.waitForFinished(120000));
    QCOMPARE(again.exitCode(), 1);
    QVERIFY(!again.readAllStandardError().isEmpty());

    ServerProcess server;
    const QString why = server.start(tdb.url());
    QVERIFY2(why.isEmpty(), qPrintable(why));
    QVERIFY(!login(server.port()).isEmpty());

    ::kill(pid_t(server.process().processId()), SIGTERM);
    QVERIFY(server.process().waitForFinished(30000));
    QCOMPARE(server.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(server.process().exitCode(), 0);
}

void tst_ServerProcess::killedDuringRunIsAllOrNothing()
{
    QFETCH(QString, dialect);
    SUITE_TEST_DATABASE(tdb, dialect, TestDatabase::Empty);
    // Quantities differ by branch here, so the run rewrites every recipe line of both kinds.
    const QTemporaryDir keys;
    QProcess init;
    init.start(serverProgram(), initArguments(tdb.url(), {"--scale", "20,300,10"}, keys));
    QVERIFY(init.waitForFinished(300000));
    QCOMPARE(init.exitCode(), 0);

    QStringList dishes;
    for (const QString& row : rowsOf(tdb.db(), QStringLiteral("SELECT CDFILAUXPRAT || CDPRATO FROM PRATO"
                                                              " WHERE CDNVPRATO = 3 ORDER BY CDPRATO")))
        dishes << row + QLatin1Char('_');
    const QStringList branches =
        rowsOf(tdb.db(), QStringLiteral("SELECT CDFILIAL FROM FILIAL WHERE CDFILIAL <> '0001'"));
    const QJsonArray args{"0001", dishes.join(QString()), "FS", destinationPacket(branches), "", ""};
    const QStringList before = everythingWritten(tdb.db());

    // What a completed run leaves: the same run on a copy, made while no server has the database open.
    TestDatabase copy(TestDatabase::CopyOf{tdb});
    QVERIFY2(copy.isOpen(), qPrintable(copy.error()));
    QCOMPARE(everythingWritten(copy.db()), before);
    server::IntgCentralService(copy.db(), QStringLiteral("demo")).call(QStringLiteral("IntgCentral"), args);
    const QStringList completed = everythingWritten(copy.db());
    QVERIFY(completed != before);

    // The server stops inside the run's transaction right after its first copy of recipes (the per-service ones),
    // so the kill lands on a run that has written part of its work, however fast or slow this machine is.
    const QString pausePoint = QStringLiteral("copiar as receitas da origem");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("SUITE_TEST_PAUSE_AT"), pausePoint);
    ServerProcess server;
    QString why = server.start(tdb.url(), env);
    QVERIFY2(why.isEmpty(), qPrintable(why));
    const int port = server.port();
    const QString token = login(port);
    auto answer =
        std::async(std::launch::async, [&] { return post(port, "/call", callBody("IntgCentral", args), token); });
    // Ends the request before `answer` waits for it, whichever way this test leaves.
    const auto killServer = qScopeGuard([&] {
        server.process().kill();
        server.process().waitForFinished(30000);
    });
    const auto answered = [&] { return answer.wait_for(std::chrono::seconds(0)) == std::future_status::ready; };
    const bool paused =
        server.waitForLine(QRegularExpression(QStringLiteral("paused at ") + pausePoint), 300000, answered).hasMatch();
    QVERIFY2(paused, answered()
                         ? "the run ended without reaching its pause; nothing was tested"
                         : qPrintable(QStringLiteral("the run did not reach its pause in time; the server said: ") +
                                      QString::fromUtf8(server.said())));
    QVERIFY2(anotherWriterHolds(tdb.db(), dialect == QLatin1String("postgres"), why), qPrintable(why));
    ::kill(pid_t(server.process().processId()), SIGKILL);
    QVERIFY(server.process().waitForFinished(30000));
    QVERIFY2(answer.get().status == 0, "the killed server answered");

    const QStringList after = everythingWritten(tdb.db());
    const bool rolledBack = after == before;
    if (rolledBack)
        qInfo("killed inside the run's transaction: the database holds the state before the run");
    else if (after == completed)
        qInfo("the run committed before the kill: the database holds the completed run");
    else
        QFAIL(
            qPrintable(QStringLiteral("after the kill the database is neither as before the run (%1) nor as a completed"
                                      " run leaves it (%2)")
                           .arg(firstDifference(after, before), firstDifference(after, completed))));

    // The database is usable afterwards: a new server completes the same run.
    ServerProcess restarted;
    why = restarted.start(tdb.url());
    QVERIFY2(why.isEmpty(), qPrintable(why));
    const HttpAnswer rerun = post(restarted.port(), "/call", callBody("IntgCentral", args), login(restarted.port()));
    QCOMPARE(rerun.status, 200);
    QVERIFY2(rerun.body.contains(QLatin1String("result")), QJsonDocument(rerun.body).toJson().constData());
    if (rolledBack)
        QCOMPARE(everythingWritten(tdb.db()), completed);
    ::kill(pid_t(restarted.process().processId()), SIGTERM);
    QVERIFY(restarted.process().waitForFinished(30000));
}

void tst_ServerProcess::signingKeyLivesOutsideTheDatabase()
{
    QFETCH(QString, dialect);
    const bool postgres = dialect == QLatin1String("postgres");
    SUITE_TEST_DATABASE(tdb, dialect, TestDatabase::Empty);
    // SQLite: a file init creates itself, not the one the test database opened.
    const QTemporaryDir dir;
    const QString url = postgres ? tdb.url() : dir.filePath(QStringLiteral("suite.db"));
    const QString key = postgres ? dir.filePath(QStringLiteral("suite.key")) : url + QStringLiteral(".key");

    QProcess init;
    init.start(serverProgram(), initArguments(url, {"--scale", "2,3,1"}, dir));
    QVERIFY(init.waitForFinished(120000));
    QVERIFY2(init.exitCode() == 0, init.readAllStandardError().constData());
    QCOMPARE(modeOf(key), 0600);
    if (!postgres)
        QCOMPARE(modeOf(url), 0600);

    // The database never holds the key, before or after a server signed tokens with it.
    ServerProcess server;
    QString why = server.start(url, QProcessEnvironment::systemEnvironment(), key);
    QVERIFY2(why.isEmpty(), qPrintable(why));
    QVERIFY(!login(server.port()).isEmpty());
    server.stop();
    QFile keyFile(key);
    QVERIFY(keyFile.open(QIODevice::ReadOnly));
    const QByteArray keyText = keyFile.readAll().trimmed();
    QCOMPARE(keyText.size(), 64);
    {
        const QString name = TestDatabase::uniqueName(QStringLiteral("check"));
        QSqlDatabase db = db::openDatabase(url, name);
        QCOMPARE(rowsOf(db, QStringLiteral("SELECT CDCHAVE FROM CONFIGSERV")), QStringList{"VERSAO_ESQUEMA"});
        for (const QString& value : rowsOf(db, QStringLiteral("SELECT VLCHAVE FROM CONFIGSERV")))
            QVERIFY(!value.contains(QString::fromLatin1(keyText), Qt::CaseInsensitive));
        db = QSqlDatabase();
        db::closeDatabase(name);
    }

    // A key other users may read is refused, and the server says how to mend it.
    QVERIFY(keyFile.setPermissions(keyFile.permissions() | QFileDevice::ReadOther));
    QProcess serve;
    serve.start(serverProgram(), {"serve", "--database", url, "--listen", "127.0.0.1:0", "--key-file", key});
    QVERIFY(serve.waitForFinished(30000));
    QCOMPARE(serve.exitCode(), 1);
    const QString said = QString::fromUtf8(serve.readAllStandardError());
    QVERIFY2(said.contains(QLatin1String("chmod 600")), qPrintable(said));
}

void tst_ServerProcess::keyCommandNeverReplacesAKey()
{
    const QTemporaryDir dir;
    const QString key = dir.filePath(QStringLiteral("suite.key"));
    const auto make = [&] {
        QProcess process;
        process.start(serverProgram(), {"key", "--key-file", key});
        process.waitForFinished(30000);
        return process.exitCode();
    };
    QCOMPARE(make(), 0);
    QCOMPARE(modeOf(key), 0600);
    QFile file(key);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray first = file.readAll();
    file.close();
    // Every server of the database signs with this key: a second "key" must not pull it from under them.
    QCOMPARE(make(), 1);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), first);
}

void tst_ServerProcess::databaseOthersMayReadIsWarnedAbout_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("warned");
    QTest::newRow("its owner's alone") << 0600 << false;
    QTest::newRow("others may read it") << 0644 << true;
    QTest::newRow("its group may read it") << 0640 << true;
}

void tst_ServerProcess::databaseOthersMayReadIsWarnedAbout()
{
    QFETCH(int, mode);
    QFETCH(bool, warned);
    const QTemporaryDir dir;
    const QString url = dir.filePath(QStringLiteral("suite.db"));
    QProcess init;
    init.start(serverProgram(), initArguments(url, {"--scale", "2,3,1"}, dir));
    QVERIFY(init.waitForFinished(120000));
    QVERIFY2(init.exitCode() == 0, init.readAllStandardError().constData());
    QCOMPARE(::chmod(QFile::encodeName(url).constData(), mode_t(mode)), 0);

    // Served all the same: a trial may share it on purpose; the key beside it stays its owner's alone.
    ServerProcess server;
    const QString why = server.start(url);
    QVERIFY2(why.isEmpty(), qPrintable(why));
    QVERIFY(!login(server.port()).isEmpty());
    const QString said = QString::fromUtf8(server.said());
    QCOMPARE(said.contains(QStringLiteral("chmod 600 ") + url), warned);
}

QTEST_GUILESS_MAIN(tst_ServerProcess)
#include "tst_serverprocess.moc"
