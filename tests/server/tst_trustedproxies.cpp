// Behind a trusted balancer: whom a request comes from, how many connections the balancer may hold, and whose
// failed log-ins are held back; and that from anyone else X-Forwarded-For changes nothing.
#include "rawclient.h"
#include "servertestkit.h"
#include "trustedproxies.h"

#include <QtTest>

#include <stdexcept>

using namespace suite;
using namespace suite::test;
using server::TrustedProxies;

namespace {

const QString kBalancer = QStringLiteral("127.0.0.9");

// The status of the answer to `request`, sent alone on a new connection from `from` (0: none came).
int statusFrom(const QString& from, int port, const QByteArray& request)
{
    RawClient client(from, port);
    if (!client.send(request) || !client.awaitAnswer(60000))
        return 0;
    return client.said().startsWith("HTTP/1.1 ") ? client.said().mid(9, 3).toInt() : 0;
}

// `headerLines`: extra header lines, separated by CRLF, none at the end.
QByteArray loginRequest(const QString& user, const QString& password, const QByteArray& headerLines)
{
    const QByteArray body = json({{"user", user}, {"password", password}});
    return "POST /login HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\nConnection: close\r\n"
           "Content-Length: " +
           QByteArray::number(body.size()) + "\r\n" + (headerLines.isEmpty() ? QByteArray() : headerLines + "\r\n") +
           "\r\n" + body;
}

server::ServerOptions optionsTrusting(const QString& url, const QStringList& trusted)
{
    server::ServerOptions options = RunningServer::optionsFor(url);
    options.trustedProxies = trusted;
    return options;
}

} // namespace

class tst_TrustedProxies : public QObject {
    Q_OBJECT
private slots:
    void clientOf_data();
    void clientOf();
    void refusesWhatIsNoAddress_data();
    void refusesWhatIsNoAddress();
    void balancerIsNotHeldToTheAddressCap_data();
    void balancerIsNotHeldToTheAddressCap();
    void loginsHeldBackPerForwardedClient_data();
    void loginsHeldBackPerForwardedClient();
    void metricsStayClosedThroughTheBalancer_data();
    void metricsStayClosedThroughTheBalancer();
};

void tst_TrustedProxies::clientOf_data()
{
    QTest::addColumn<QStringList>("trusted");
    QTest::addColumn<QString>("peer");
    QTest::addColumn<QString>("forwardedFor");
    QTest::addColumn<QString>("client");
    const auto row = [](const char* name, const QStringList& trusted, const char* peer, const char* forwardedFor,
                        const char* client) {
        QTest::newRow(name) << trusted << QString::fromLatin1(peer) << QString::fromLatin1(forwardedFor)
                            << QString::fromLatin1(client);
    };
    const QStringList one{QStringLiteral("10.0.0.5")};
    const QStringList net{QStringLiteral("10.0.0.0/24")};
    const QStringList v6net{QStringLiteral("2001:db8:ffff::/48")};

    // From anyone else the header is the sender's own word.
    row("untrusted peer, no header", one, "203.0.113.7", "", "203.0.113.7");
    row("untrusted peer names another client", one, "203.0.113.7", "198.51.100.1", "203.0.113.7");
    row("untrusted peer names the balancer", one, "203.0.113.7", "10.0.0.5", "203.0.113.7");
    row("nothing trusted", {}, "10.0.0.5", "198.51.100.1", "10.0.0.5");
    row("untrusted peer just outside the network", net, "10.0.1.1", "198.51.100.1", "10.0.1.1");

    row("balancer by address", one, "10.0.0.5", "198.51.100.1", "198.51.100.1");
    row("balancer in a network", net, "10.0.0.77", "198.51.100.1", "198.51.100.1");
    row("balancer sent no header", one, "10.0.0.5", "", "10.0.0.5");
    row("blanks and empty elements", one, "10.0.0.5", " ,\t, 198.51.100.1 , ", "198.51.100.1");
    row("only empty elements", one, "10.0.0.5", " , ,", "10.0.0.5");

    // A client writes what it likes before the balancer appends the address it really came from.
    row("client's own claim is left of the balancer's", one, "10.0.0.5", "1.2.3.4, 198.51.100.1", "198.51.100.1");
    row("client claims to be the balancer", one, "10.0.0.5", "198.51.100.9, 10.0.0.5, 198.51.100.1", "198.51.100.1");
    row("client's garbage is never read", one, "10.0.0.5", "garbage, 198.51.100.1", "198.51.100.1");

    row("two trusted proxies", {"10.0.0.5", "192.168.7.0/24"}, "10.0.0.5", "198.51.100.1, 192.168.7.20",
        "198.51.100.1");
    row("inner hop not trusted", one, "10.0.0.5", "198.51.100.1, 192.168.7.20", "192.168.7.20");
    row("every hop trusted", {"10.0.0.0/8"}, "10.0.0.5", "10.1.1.1, 10.2.2.2", "10.1.1.1");

    // What the balancer's part of the header says must be an address; otherwise the balancer is the client.
    row("not an address", one, "10.0.0.5", "198.51.100.1, not-an-address", "10.0.0.5");
    row("address with a port", one, "10.0.0.5", "198.51.100.1:4711", "10.0.0.5");
    row("short IPv4 form", one, "10.0.0.5", "198.51.1", "10.0.0.5");
    row("unknown", one, "10.0.0.5", "unknown", "10.0.0.5");

    row("IPv6 client, canonical", one, "10.0.0.5", "2001:DB8:0:0::1", "2001:db8::1");
    row("IPv4-mapped client", one, "10.0.0.5", "::ffff:198.51.100.1", "198.51.100.1");
    row("IPv6 balancer network", v6net, "2001:db8:ffff::2", "198.51.100.1", "198.51.100.1");
    row("IPv6 peer outside the network", v6net, "2001:db8:fffe::2", "198.51.100.1", "2001:db8:fffe::2");
    row("IPv4-mapped peer of an IPv4 balancer", one, "::ffff:10.0.0.5", "198.51.100.1", "198.51.100.1");
    row("IPv4 peer of an IPv4-mapped network", {"::ffff:10.0.0.0/120"}, "10.0.0.5", "198.51.100.1", "198.51.100.1");
    row("IPv4 peer against an IPv6 network", {"2001:db8::/32"}, "10.0.0.5", "198.51.100.1", "10.0.0.5");
    row("every IPv4 address trusted", {"0.0.0.0/0"}, "203.0.113.7", "198.51.100.1", "198.51.100.1");
}

void tst_TrustedProxies::clientOf()
{
    QFETCH(QStringList, trusted);
    QFETCH(QString, peer);
    QFETCH(QString, forwardedFor);
    QFETCH(QString, client);
    const TrustedProxies proxies(trusted);
    QCOMPARE(QString::fromStdString(proxies.clientOf(peer.toStdString(), forwardedFor.toStdString())), client);
}

void tst_TrustedProxies::refusesWhatIsNoAddress_data()
{
    QTest::addColumn<QString>("entry");
    QTest::newRow("name") << "proxy.example";
    QTest::newRow("IPv4 network too wide") << "10.0.0.0/33";
    QTest::newRow("IPv6 network too wide") << "2001:db8::/129";
    QTest::newRow("no bits") << "10.0.0.0/";
    QTest::newRow("negative bits") << "10.0.0.0/-1";
    QTest::newRow("bits not a number") << "10.0.0.0/8x";
    QTest::newRow("empty") << "";
}

void tst_TrustedProxies::refusesWhatIsNoAddress()
{
    QFETCH(QString, entry);
    // A mistyped entry stops the start instead of quietly trusting less than the operator wrote.
    const QStringList entries{QStringLiteral("10.0.0.5"), entry};
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, const TrustedProxies refused(entries));
}

void tst_TrustedProxies::balancerIsNotHeldToTheAddressCap_data()
{
    QTest::addColumn<QStringList>("trusted");
    QTest::addColumn<int>("served");
    QTest::newRow("balancer trusted") << QStringList{kBalancer} << 20;
    QTest::newRow("balancer in a trusted network") << QStringList{"127.0.0.8/30"} << 20;
    QTest::newRow("nothing trusted") << QStringList() << 16;
    QTest::newRow("another address trusted") << QStringList{"127.0.0.8"} << 16;
}

void tst_TrustedProxies::balancerIsNotHeldToTheAddressCap()
{
    QFETCH(QStringList, trusted);
    QFETCH(int, served);
    SUITE_TEST_DATABASE(tdb, QStringLiteral("sqlite"), TestDatabase::Schema);
    server::ServerOptions options = optionsTrusting(tdb.url(), trusted);
    options.connections.perAddress = 16;
    options.connections.keepAlive = std::chrono::minutes(5); // every desktop stays connected to the end
    RunningServer server(options);

    // Twenty desktops behind the balancer, all connected at once.
    std::vector<std::unique_ptr<RawClient>> desktops;
    for (int i = 0; i < 20; ++i) {
        desktops.push_back(std::make_unique<RawClient>(kBalancer, server.port()));
        QVERIFY(desktops.back()->send("GET /health HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"));
    }
    int ok = 0;
    int busy = 0;
    for (auto& desktop : desktops) {
        QVERIFY2(desktop->awaitAnswer(30000), desktop->said().constData());
        ok += desktop->said().startsWith("HTTP/1.1 200");
        busy += desktop->said().startsWith("HTTP/1.1 503");
    }
    QCOMPARE(ok, served);
    QCOMPARE(busy, 20 - served);
}

void tst_TrustedProxies::loginsHeldBackPerForwardedClient_data()
{
    QTest::addColumn<QStringList>("trusted");
    QTest::addColumn<QByteArray>("attacker"); // %1: a different claim of its own each try
    QTest::addColumn<QByteArray>("branch");
    QTest::addColumn<int>("branchStatus");

    const QByteArray attacker = "X-Forwarded-For: 198.51.100.%1, 203.0.113.1";
    const QByteArray branch = "X-Forwarded-For: 203.0.113.2";
    QTest::newRow("balancer trusted") << QStringList{kBalancer} << attacker << branch << 200;
    // The inner proxy appends a field of its own: read as one list, the attacker's first field is not its address.
    QTest::newRow("two proxies, one appending a field")
        << QStringList{kBalancer, "10.0.0.0/8"}
        << QByteArray("X-Forwarded-For: 198.51.100.%1\r\nX-Forwarded-For: 203.0.113.1, 10.0.0.4")
        << QByteArray("X-Forwarded-For: 203.0.113.2, 10.0.0.4") << 200;
    // Without trust, everyone behind the balancer is the balancer, whatever they claim.
    QTest::newRow("nothing trusted") << QStringList() << attacker << branch << 429;
    QTest::newRow("another address trusted") << QStringList{"127.0.0.8"} << attacker << branch << 429;
}

void tst_TrustedProxies::loginsHeldBackPerForwardedClient()
{
    QFETCH(QStringList, trusted);
    QFETCH(QByteArray, attacker);
    QFETCH(QByteArray, branch);
    QFETCH(int, branchStatus);
    SUITE_TEST_DATABASE(tdb, QStringLiteral("sqlite"), TestDatabase::Schema);
    loadFixture(tdb.db());
    server::ServerOptions options = optionsTrusting(tdb.url(), trusted);
    options.loginsPerAddress.freeFailures = 2; // few tries, each under another name so no operator is held back
    RunningServer server(options);

    const auto from = [&attacker](int attempt) { return QString::fromLatin1(attacker).arg(attempt).toLatin1(); };
    QCOMPARE(statusFrom(kBalancer, server.port(), loginRequest("ana", "x", from(1))), 401);
    QCOMPARE(statusFrom(kBalancer, server.port(), loginRequest("bia", "x", from(2))), 401);
    QCOMPARE(statusFrom(kBalancer, server.port(), loginRequest("demo", "demo", from(3))), 429);
    QCOMPARE(statusFrom(kBalancer, server.port(), loginRequest("demo", "demo", branch)), branchStatus);
}

void tst_TrustedProxies::metricsStayClosedThroughTheBalancer_data()
{
    QTest::addColumn<QByteArray>("headerLines");
    QTest::addColumn<int>("status");
    QTest::newRow("the balancer's own request") << QByteArray() << 200;
    QTest::newRow("forwarded for loopback") << QByteArray("X-Forwarded-For: 127.0.0.1") << 403;
}

void tst_TrustedProxies::metricsStayClosedThroughTheBalancer()
{
    QFETCH(QByteArray, headerLines);
    QFETCH(int, status);
    SUITE_TEST_DATABASE(tdb, QStringLiteral("sqlite"), TestDatabase::Schema);
    RunningServer server(optionsTrusting(tdb.url(), {kBalancer}));
    const QByteArray request = "GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n" +
                               (headerLines.isEmpty() ? QByteArray() : headerLines + "\r\n") + "\r\n";
    QCOMPARE(statusFrom(kBalancer, server.port(), request), status);
}

QTEST_GUILESS_MAIN(tst_TrustedProxies)
#include "tst_trustedproxies.moc"
