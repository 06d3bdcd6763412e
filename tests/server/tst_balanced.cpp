// Three servers over one PostgreSQL database behind HAProxy, run with the configuration we ship (docs/haproxy.cfg),
// all over verified HTTPS: a token or a failed log-in is known to every server, any server answers a run's
// progress, and a server killed mid-run and mid-load leaves the database as it was and the clients served.
#include "freeport.h"
#include "selfsignedpair.h"
#include "serverprocess.h"
#include "servertestkit.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

#include <atomic>
#include <csignal>
#include <thread>

using namespace suite;
using suite::test::ServerProcess;
using suite::test::TestDatabase;

namespace {

constexpr int kServers = 3;
constexpr const char* kServersName = "suite.test"; // the name in the servers' certificate, checked by HAProxy

struct Answer {
    int status = 0; // 0: no answer
    QJsonObject body;
    bool retryAfter = false;
};

// A kept-alive HTTPS client of one address; `ca` empty: the certificate is not checked (the servers' names are the
// balancer's to check).
class HttpsClient {
public:
    HttpsClient(int port, const QString& ca)
        : m_client(QStringLiteral("https://127.0.0.1:%1").arg(port).toStdString())
    {
        m_client.enable_server_certificate_verification(!ca.isEmpty());
        if (!ca.isEmpty())
            m_client.set_ca_cert_path(ca.toStdString());
        m_client.set_read_timeout(60, 0);
        m_client.set_keep_alive(true);
    }

    Answer post(const std::string& path, const QByteArray& body, const QString& token = {})
    {
        httplib::Headers headers;
        if (!token.isEmpty())
            headers.emplace("Authorization", "Bearer " + token.toStdString());
        const auto result =
            m_client.Post(path.c_str(), headers, body.constData(), std::size_t(body.size()), "application/json");
        if (!result)
            return {};
        return {result->status, QJsonDocument::fromJson(QByteArray::fromStdString(result->body)).object(),
                result->has_header("Retry-After")};
    }

    int get(const std::string& path)
    {
        const auto result = m_client.Get(path.c_str());
        return result ? result->status : 0;
    }

    QString login(const QString& user, const QString& password)
    {
        return post("/login", test::json({{"user", user}, {"password", password}})).body.value("token").toString();
    }

    Answer call(const QString& token, const QString& method, const QJsonArray& args)
    {
        return post("/call", test::callBody(method, args), token);
    }

private:
    httplib::Client m_client;
};

} // namespace

class tst_Balanced : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void tokenOfOneServerHonouredByAll();
    void failedLogInsCountedOnceForAll();
    void serverKilledMidRunAndMidLoad();

private:
    // Waits until HAProxy says something matching `pattern`; what it said so far is kept in m_haproxySaid.
    bool waitForBalancer(const QRegularExpression& pattern, int timeoutMs);
    HttpsClient balancer() { return HttpsClient(m_balancerPort, m_balancerCa); }
    HttpsClient server(int i) { return HttpsClient(m_servers[i].port(), {}); }

    std::unique_ptr<TestDatabase> m_db;
    QTemporaryDir m_dir;
    ServerProcess m_servers[kServers];
    QProcess m_haproxy;
    QByteArray m_haproxySaid;
    int m_balancerPort = 0;
    QString m_balancerCa;
};

bool tst_Balanced::waitForBalancer(const QRegularExpression& pattern, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        m_haproxySaid += m_haproxy.readAll();
        if (pattern.match(QString::fromUtf8(m_haproxySaid)).hasMatch())
            return true;
        if (deadline.hasExpired() || m_haproxy.state() == QProcess::NotRunning)
            return false;
        m_haproxy.waitForReadyRead(100);
    }
}

void tst_Balanced::initTestCase()
{
    // The HTTPS client writes its closing alert to a connection that a killed server has closed; that write must
    // fail, not kill the test with SIGPIPE.
    std::signal(SIGPIPE, SIG_IGN);
    const QString haproxy = QStandardPaths::findExecutable(QStringLiteral("haproxy"), {"/usr/sbin", "/usr/bin"});
    if (haproxy.isEmpty())
        QSKIP("no haproxy on this machine (Debian's haproxy package)");
    if (const QString why = TestDatabase::unavailable(QStringLiteral("postgres")); !why.isEmpty())
        QSKIP(qPrintable(why));
    m_db = std::make_unique<TestDatabase>(QStringLiteral("postgres"), TestDatabase::Demo);
    QVERIFY2(m_db->error().isEmpty(), qPrintable(m_db->error()));
    QVERIFY(m_dir.isValid());

    // The servers share a certificate for their name, and the signing key, as a head office's would.
    const QString cert = m_dir.filePath("servers.crt");
    const QString key = m_dir.filePath("servers.key");
    server::makeSelfSignedPair(QString::fromLatin1(kServersName), cert, key);
    QFile config(m_dir.filePath("server.ini"));
    QVERIFY(config.open(QIODevice::WriteOnly));
    config.write("[server]\ntrusted-proxies = 127.0.0.1\n");
    config.close();
    for (int i = 0; i < kServers; ++i) {
        m_servers[i].serveArguments = {"--config", config.fileName(), "--tls-cert", cert, "--tls-key", key};
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        // The second server stops inside its first run, where it copies the source's recipes.
        if (i == 1)
            env.insert(QStringLiteral("SUITE_TEST_PAUSE_AT"), QStringLiteral("copiar as receitas da origem"));
        const QString why = m_servers[i].start(m_db->url(), env, i == 0 ? QString() : m_servers[0].keyFile());
        QVERIFY2(why.isEmpty(), qPrintable(why));
    }

    // The balancer's certificate, as the desktops see it, and its key in one file.
    m_balancerCa = m_dir.filePath("balancer.crt");
    const QString balancerKey = m_dir.filePath("balancer.key");
    server::makeSelfSignedPair(QStringLiteral("127.0.0.1"), m_balancerCa, balancerKey);
    QFile pem(m_dir.filePath("balancer.pem"));
    QVERIFY(pem.open(QIODevice::WriteOnly));
    for (const QString& part : {m_balancerCa, balancerKey}) {
        QFile file(part);
        QVERIFY(file.open(QIODevice::ReadOnly));
        pem.write(file.readAll());
    }
    pem.close();
    m_balancerPort = test::freeLoopbackPort();
    QVERIFY(m_balancerPort > 0);

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("SUITE_LB_BIND", QStringLiteral("127.0.0.1:%1").arg(m_balancerPort));
    env.insert("SUITE_LB_PEM", pem.fileName());
    env.insert("SUITE_SERVERS_CA", cert);
    env.insert("SUITE_SERVERS_NAME", QString::fromLatin1(kServersName));
    for (int i = 0; i < kServers; ++i)
        env.insert(QStringLiteral("SUITE_SERVER%1").arg(i + 1),
                   QStringLiteral("127.0.0.1:%1").arg(m_servers[i].port()));
    m_haproxy.setProcessEnvironment(env);
    m_haproxy.setProcessChannelMode(QProcess::MergedChannels);
    m_haproxy.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    m_haproxy.start(haproxy,
                    {"-db", "-f", qEnvironmentVariable("SUITE_SOURCE_DIR") + QStringLiteral("/docs/haproxy.cfg")});
    QVERIFY2(m_haproxy.waitForStarted(10000), qPrintable(m_haproxy.errorString()));
    // Ready when every server answered its checks through the balancer.
    QDeadlineTimer deadline(30000);
    int served = 0;
    int status = 0;
    while (served < 2 * kServers && !deadline.hasExpired()) {
        status = balancer().get("/ready");
        served = status == 200 ? served + 1 : 0;
        if (served == 0)
            QThread::msleep(200);
    }
    m_haproxySaid += m_haproxy.readAll();
    QVERIFY2(served == 2 * kServers,
             qPrintable(QStringLiteral("the balancer answered %1; it said: %2").arg(status).arg(m_haproxySaid)));
}

void tst_Balanced::cleanupTestCase()
{
    m_haproxy.terminate();
    m_haproxy.waitForFinished(10000);
    for (ServerProcess& s : m_servers)
        s.stop();
}

void tst_Balanced::tokenOfOneServerHonouredByAll()
{
    const QString token = balancer().login("demo", "demo");
    QVERIFY(!token.isEmpty());
    for (int i = 0; i < kServers; ++i) {
        const Answer groups = server(i).call(token, "GetGrupFili", {""});
        QVERIFY2(groups.status == 200,
                 qPrintable(QStringLiteral("server %1 answered %2").arg(i + 1).arg(groups.status)));
        QVERIFY(!groups.body.value("result").toObject().value("rows").toArray().isEmpty());
    }
}

void tst_Balanced::failedLogInsCountedOnceForAll()
{
    // Five wrong passwords, each to the next server, as round-robin spreads them: the sixth try waits, wherever it
    // goes. Counted by each server alone, fifteen would pass.
    for (int i = 0; i < 5; ++i) {
        const Answer refused =
            server(i % kServers).post("/login", test::json({{"user", "intruso"}, {"password", "x"}}));
        QCOMPARE(refused.status, 401);
    }
    for (int i = 0; i < kServers; ++i) {
        const Answer held = server(i).post("/login", test::json({{"user", "intruso"}, {"password", "x"}}));
        QCOMPARE(held.status, 429);
        QVERIFY(held.retryAfter);
    }
    const Answer throughBalancer = balancer().post("/login", test::json({{"user", "intruso"}, {"password", "x"}}));
    QCOMPARE(throughBalancer.status, 429);
}

void tst_Balanced::serverKilledMidRunAndMidLoad()
{
    QSqlDatabase db = m_db->db();
    const QStringList before = test::everythingWritten(db);
    const QString token = balancer().login("demo", "demo");
    QVERIFY(!token.isEmpty());

    // Desktops looking things up through the balancer all along; each asks a failed look-up once more, as the
    // desktop does when its server went away.
    std::atomic<bool> loading{true};
    std::atomic<int> lookUps{0};
    std::atomic<int> askedAgain{0};
    QStringList failedTwice;
    std::thread desktops([&] {
        HttpsClient client = balancer();
        while (loading) {
            Answer a = client.call(token, "GetGrupFili", {""});
            if (a.status != 200) {
                ++askedAgain;
                a = client.call(token, "GetGrupFili", {""});
                if (a.status != 200)
                    failedTwice << QString::number(a.status);
            }
            ++lookUps;
        }
    });

    // A run on the second server, which stops inside its transaction; every server tells its progress.
    std::thread running([&] {
        server(1).call(token, "IntgCentral",
                       {"0001", "P0101001_", "FS", test::destinationPacket({"0002", "0007"}), "", ""});
    });
    const bool paused = m_servers[1].waitForLine(QRegularExpression("paused at"), 60000).hasMatch();
    QStringList progress;
    for (int i = 0; i < kServers + 1; ++i) {
        HttpsClient asked = i < kServers ? server(i) : balancer();
        const QJsonArray rows =
            asked.call(token, "GetProgresso", {}).body.value("result").toObject().value("rows").toArray();
        progress << QString::number(rows.size());
    }

    // Killed as a crash would: no word to anyone.
    m_servers[1].process().kill();
    m_servers[1].process().waitForFinished(10000);
    running.join();
    const bool down = waitForBalancer(QRegularExpression("suite2 is DOWN"), 10000);
    const int lookUpsAtDown = lookUps;
    QTRY_VERIFY_WITH_TIMEOUT(lookUps >= lookUpsAtDown + 30, 30000);
    loading = false;
    desktops.join();

    QVERIFY2(paused, m_servers[1].said().constData());
    QCOMPARE(progress, QStringList(kServers + 1, "1"));
    QVERIFY2(down, m_haproxySaid.constData());
    QVERIFY2(failedTwice.isEmpty(), qPrintable("look-ups failed when asked again: " + failedTwice.join(", ")));
    qInfo("%d look-ups, %d asked again", int(lookUps), int(askedAgain));
    // The run died with its server: nothing of it stays, and no server shows it going on.
    QCOMPARE(test::everythingWritten(db), before);
    QTRY_COMPARE_WITH_TIMEOUT(
        server(0).call(token, "GetProgresso", {}).body.value("result").toObject().value("rows").toArray().size(), 0,
        10000);
}

QTEST_GUILESS_MAIN(tst_Balanced)
#include "tst_balanced.moc"
