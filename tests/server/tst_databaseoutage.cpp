// A server whose PostgreSQL is restarted or frozen under it: the next calls find the database again without a
// failure, and a frozen one is answered, 503 for readiness and 500 with an id for a call, not waited on for ever.
#include "servertestkit.h"

#include <QDir>
#include <QProcess>
#include <QScopeGuard>
#include <QtTest>

#include <future>
#include <signal.h>
#include <unistd.h>

using namespace suite;
using namespace suite::test;

namespace {

constexpr auto kStatementTimeout = std::chrono::seconds(2);

// A PostgreSQL of this test's own, started by the suite's script, so that stopping it troubles no other test.
class OwnPostgres {
public:
    QString start()
    {
        const QString root = qEnvironmentVariable("SUITE_SOURCE_DIR");
        if (root.isEmpty() || !QFile::exists(QStringLiteral("/usr/lib/postgresql/15/bin/pg_ctl")))
            return QStringLiteral("needs SUITE_SOURCE_DIR and PostgreSQL 15's programs");
        QProcess script;
        script.start(QStringLiteral("bash"),
                     {QStringLiteral("-c"), QStringLiteral("SUITE_ROOT='%1'; source \"$SUITE_ROOT/scripts/common.sh\"; "
                                                           "suite_pg_start >/dev/null && echo \"$SUITE_TEST_PG_URL\" "
                                                           "&& echo \"$SUITE_PG_DIR\"")
                                                .arg(root)});
        if (!script.waitForFinished(120000) || script.exitCode() != 0)
            return QStringLiteral("PostgreSQL did not start: ") + QString::fromLocal8Bit(script.readAllStandardError());
        const QStringList said = QString::fromLocal8Bit(script.readAllStandardOutput()).split('\n');
        m_url = said.value(0);
        m_dir = said.value(1);
        return m_dir.isEmpty() ? QStringLiteral("no PostgreSQL folder") : QString();
    }
    ~OwnPostgres()
    {
        if (m_dir.isEmpty())
            return;
        signalAll(SIGCONT);
        pgCtl({QStringLiteral("-m"), QStringLiteral("immediate"), QStringLiteral("stop")});
        QDir(m_dir).removeRecursively();
    }
    QString url() const { return m_url; }
    QString dir() const { return m_dir; }

    bool restart() { return pgCtl({QStringLiteral("-m"), QStringLiteral("fast"), QStringLiteral("-w"), QStringLiteral("restart")}); }

    // SIGSTOP or SIGCONT to the postmaster and every process it started: a database whose machine froze.
    void signalAll(int signal) const
    {
        QFile pidFile(m_dir + QStringLiteral("/data/postmaster.pid"));
        if (!pidFile.open(QIODevice::ReadOnly))
            return;
        const pid_t postmaster = pid_t(pidFile.readLine().trimmed().toInt());
        if (postmaster <= 0)
            return;
        ::kill(postmaster, signal);
        for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
            QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
            if (!stat.open(QIODevice::ReadOnly))
                continue;
            const QByteArray line = stat.readAll();
            const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
            if (fields.value(1).toInt() == postmaster)
                ::kill(pid_t(entry.toInt()), signal);
        }
    }

private:
    bool pgCtl(QStringList arguments) const
    {
        QStringList command{QStringLiteral("/usr/lib/postgresql/15/bin/pg_ctl"), QStringLiteral("-D"),
                            m_dir + QStringLiteral("/data")};
        if (::getuid() == 0)
            command = QStringList{QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--")} + command;
        QProcess pg;
        pg.setStandardOutputFile(QProcess::nullDevice());
        pg.start(::getuid() == 0 ? QStringLiteral("runuser") : command.takeFirst(), command + arguments);
        return pg.waitForFinished(60000) && pg.exitCode() == 0;
    }

    QString m_url;
    QString m_dir;
};

HttpAnswer get(int port, const char* path, int readTimeoutSeconds)
{
    httplib::Client client("127.0.0.1", port);
    client.set_read_timeout(readTimeoutSeconds, 0);
    const auto result = client.Get(path);
    if (!result)
        return {};
    return {result->status, QJsonDocument::fromJson(QByteArray::fromStdString(result->body)).object(), result->headers};
}

} // namespace

class tst_DatabaseOutage : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void restartedDatabaseLetsTheNextLogInsThrough();
    void frozenDatabaseIsAnsweredWithinTheStatementTimeout();

private:
    OwnPostgres m_postgres;
    QTemporaryDir m_keys;
    std::unique_ptr<RunningServer> m_server;
};

void tst_DatabaseOutage::initTestCase()
{
    if (const QString why = m_postgres.start(); !why.isEmpty())
        QSKIP(qPrintable(why));
    const QString key = m_keys.filePath(QStringLiteral("server.key"));
    QProcess init;
    init.start(qEnvironmentVariable("SUITE_BIN_DIR") + QStringLiteral("/suite-server"),
               {"init", "--database", m_postgres.url(), "--demo", "--key-file", key});
    QVERIFY2(init.waitForFinished(120000) && init.exitCode() == 0, init.readAllStandardError().constData());
    server::ServerOptions options = RunningServer::optionsFor(m_postgres.url());
    options.keyFile = key;
    options.statementTimeout = kStatementTimeout;
    m_server = std::make_unique<RunningServer>(options);
}

void tst_DatabaseOutage::restartedDatabaseLetsTheNextLogInsThrough()
{
    const auto logInsAtOnce = [this] {
        std::vector<std::future<HttpAnswer>> answers;
        for (int i = 0; i < 8; ++i) // twice the workers, so that every worker's connection is used
            answers.push_back(std::async(std::launch::async, [this] {
                return post(m_server->port(), "/login", json({{"user", "demo"}, {"password", "demo"}}));
            }));
        QStringList statuses;
        for (auto& answer : answers)
            statuses << QString::number(answer.get().status);
        return statuses;
    };
    const QStringList allLetIn(8, QStringLiteral("200"));
    QCOMPARE(logInsAtOnce(), allLetIn);
    QVERIFY(m_postgres.restart());
    QCOMPARE(logInsAtOnce(), allLetIn);
}

void tst_DatabaseOutage::frozenDatabaseIsAnsweredWithinTheStatementTimeout()
{
    const QString token = login(m_server->port());
    QVERIFY(!token.isEmpty());
    QCOMPARE(get(m_server->port(), "/ready", 10).status, 200);

    m_postgres.signalAll(SIGSTOP);
    auto thaw = qScopeGuard([this] { m_postgres.signalAll(SIGCONT); });
    // The client waits several times the limits: no answer by then is the hang this guards against.
    const HttpAnswer ready = get(m_server->port(), "/ready", 10);
    QCOMPARE(ready.status, 503);
    const HttpAnswer call = post(m_server->port(), "/call", callBody("GetGrupFili", {"T"}), token);
    QCOMPARE(call.status, 500);
    QVERIFY(!call.body.value("error").toObject().value("id").toString().isEmpty());

    thaw.dismiss();
    m_postgres.signalAll(SIGCONT);
    // Thawed, the database serves again; the connections cut while it was frozen are opened anew.
    QTRY_COMPARE_WITH_TIMEOUT(get(m_server->port(), "/ready", 10).status, 200, 15000);
    QCOMPARE(post(m_server->port(), "/call", callBody("GetGrupFili", {"T"}), token).status, 200);
}

QTEST_GUILESS_MAIN(tst_DatabaseOutage)
#include "tst_databaseoutage.moc"
