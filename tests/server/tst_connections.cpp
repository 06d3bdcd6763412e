// What clients can hold of the server: slow senders, idle keep-alive connections, many connections from one address;
// and how its connections send (TCP_NODELAY).
#include "rawclient.h"
#include "servertestkit.h"

#include <QDir>
#include <QtTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

using namespace suite;
using namespace suite::test;

namespace {

QString clientAddress(int index, int addresses)
{
    return QStringLiteral("127.0.0.%1").arg(2 + index % addresses);
}

// A request that never ends: its headers come one byte per tick.
const QByteArray kSlowStart = "POST /call HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: ";

const QByteArray kHealth = "GET /health HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";

server::ServerOptions optionsFor(const QString& url)
{
    server::ServerOptions options;
    options.databaseUrl = url;
    return options;
}

// A call from 127.0.0.1 that waits long for its answer, so a server held by others fails it instead of the test
// guessing at a time.
HttpAnswer call(int port, const std::string& path, const QByteArray& body, const QString& token)
{
    httplib::Client client("127.0.0.1", port);
    client.set_read_timeout(30, 0);
    httplib::Headers headers{{"Authorization", "Bearer " + token.toStdString()}};
    const auto result =
        client.Post(path.c_str(), headers, body.constData(), std::size_t(body.size()), "application/json");
    if (!result)
        return {};
    return {result->status, QJsonDocument::fromJson(QByteArray::fromStdString(result->body)).object(), {}};
}

} // namespace

class tst_Connections : public QObject {
    Q_OBJECT

private slots:
    void slowClientsLeaveRoomForOthers_data();
    void slowClientsLeaveRoomForOthers();
    void slowRequestsAreDropped();
    void idleConnectionsHoldNoWorker();
    void connectionsSendWithoutDelay();
};

void tst_Connections::slowClientsLeaveRoomForOthers_data()
{
    QTest::addColumn<QString>("dialect");
    QTest::addColumn<int>("slowClients");
    QTest::addColumn<int>("addresses");
    QTest::newRow("sqlite, fifty clients from one address") << "sqlite" << 50 << 1;
    // Each address within its share, and together more connections than a server of a thread each would have.
    QTest::newRow("sqlite, 160 clients from ten addresses") << "sqlite" << 160 << 10;
    QTest::newRow("postgres, 160 clients from ten addresses") << "postgres" << 160 << 10;
}

void tst_Connections::slowClientsLeaveRoomForOthers()
{
    QFETCH(QString, dialect);
    QFETCH(int, slowClients);
    QFETCH(int, addresses);
    SUITE_TEST_DATABASE(tdb, dialect, TestDatabase::Schema);
    loadFixture(tdb.db());
    server::ServerOptions options = optionsFor(tdb.url());
    // Long enough that no slow client is dropped during the test: what is tested is that they leave room.
    options.connections.requestDeadline = std::chrono::minutes(5);
    RunningServer server(options);
    const QString token = login(server.port());
    QVERIFY(!token.isEmpty());

    std::vector<std::unique_ptr<RawClient>> slow;
    for (int i = 0; i < slowClients; ++i) {
        slow.push_back(std::make_unique<RawClient>(clientAddress(i, addresses), server.port()));
        QVERIFY2(slow.back()->send(kSlowStart), "a slow client could not connect");
    }
    // A few more bytes each, a tick apart: they are sending, slowly.
    for (int tick = 0; tick < 3; ++tick) {
        QThread::msleep(300);
        for (auto& client : slow) {
            client->receive();
            if (client->isOpen())
                client->send("a");
        }
    }

    // From one address, the server keeps its share and turns the rest away at once, saying why.
    const int perAddress = options.connections.perAddress;
    const int expectedHeld = std::min(slowClients, addresses * perAddress);
    QDeadlineTimer settle(30000);
    int refused = 0;
    do {
        refused = 0;
        for (auto& client : slow) {
            client->receive(10);
            if (client->isOpen())
                client->send("a");
            refused += client->isOpen() ? 0 : 1;
        }
    } while (refused < slowClients - expectedHeld && !settle.hasExpired());
    QCOMPARE(refused, slowClients - expectedHeld);
    for (auto& client : slow) {
        if (client->isOpen())
            QVERIFY2(client->said().isEmpty(), client->said().constData());
        else
            QVERIFY2(client->said().startsWith("HTTP/1.1 503"), client->said().constData());
    }

    // A normal call is answered while they hold their connections.
    httplib::Client health("127.0.0.1", server.port());
    health.set_read_timeout(30, 0);
    const auto healthy = health.Get("/health");
    QVERIFY2(healthy, "/health was not answered while slow clients held the server");
    QCOMPARE(healthy->status, 200);
    const HttpAnswer groups = call(server.port(), "/call", callBody("GetGrupFili", {""}), token);
    QCOMPARE(groups.status, 200);
    QCOMPARE(groups.body.value("result").toObject().value("rows").toArray().size(), 2);

    int stillHeld = 0;
    for (auto& client : slow) {
        client->receive();
        stillHeld += client->isOpen() ? 1 : 0;
    }
    QCOMPARE(stillHeld, expectedHeld);
}

void tst_Connections::slowRequestsAreDropped()
{
    SUITE_TEST_DATABASE(tdb, QStringLiteral("sqlite"), TestDatabase::Schema);
    loadFixture(tdb.db());
    server::ServerOptions options = optionsFor(tdb.url());
    options.connections.requestDeadline = std::chrono::seconds(2);
    RunningServer server(options);

    // Each sends a header byte every half second, well inside any timeout of a single read; two send nothing at all.
    constexpr int kSlowClients = 10;
    constexpr int kSilentClients = 2;
    std::vector<std::unique_ptr<RawClient>> clients;
    for (int i = 0; i < kSlowClients + kSilentClients; ++i) {
        clients.push_back(std::make_unique<RawClient>(clientAddress(i, 20), server.port()));
        QVERIFY(clients.back()->isOpen());
        if (i < kSlowClients)
            QVERIFY(clients.back()->send(kSlowStart));
    }
    // Bounded only so that a server that never drops them fails instead of hanging the test.
    QDeadlineTimer patience(120000);
    int open = 0;
    do {
        QThread::msleep(500);
        open = 0;
        for (int i = 0; i < int(clients.size()); ++i) {
            RawClient& client = *clients[std::size_t(i)];
            client.receive();
            if (!client.isOpen())
                continue;
            ++open;
            if (i < kSlowClients)
                client.send("a");
        }
    } while (open > 0 && !patience.hasExpired());
    QCOMPARE(open, 0);

    // Dropped, not answered as if their request had ended: at most a refusal of the unfinished request.
    for (const auto& client : clients)
        QVERIFY2(client->said().isEmpty() || client->said().startsWith("HTTP/1.1 400"), client->said().constData());

    // The server itself goes on serving.
    httplib::Client health("127.0.0.1", server.port());
    const auto healthy = health.Get("/health");
    QVERIFY(healthy);
    QCOMPARE(healthy->status, 200);
}

void tst_Connections::idleConnectionsHoldNoWorker()
{
    SUITE_TEST_DATABASE(tdb, QStringLiteral("sqlite"), TestDatabase::Schema);
    loadFixture(tdb.db());
    server::ServerOptions options = optionsFor(tdb.url());
    options.connections.loopThreads = 1;
    options.connections.keepAlive = std::chrono::minutes(5);
    RunningServer server(options);

    // Ten desktops that made a call and keep their connection for the next one.
    constexpr int kIdle = 10;
    std::vector<std::unique_ptr<RawClient>> idle;
    for (int i = 0; i < kIdle; ++i) {
        idle.push_back(std::make_unique<RawClient>(QStringLiteral("127.0.0.1"), server.port()));
        QVERIFY(idle.back()->send(kHealth));
        QVERIFY2(idle.back()->awaitAnswer(30000), idle.back()->said().constData());
        QVERIFY(idle.back()->said().startsWith("HTTP/1.1 200"));
        idle.back()->forget();
    }

    // With one loop thread, a new caller is served while all ten wait idle...
    httplib::Client fresh("127.0.0.1", server.port());
    fresh.set_read_timeout(30, 0);
    const auto answer = fresh.Get("/health");
    QVERIFY2(answer, "a new connection was not served while idle ones were open");
    QCOMPARE(answer->status, 200);

    // ...and each idle connection still takes its next request.
    for (auto& client : idle) {
        QVERIFY(client->isOpen());
        QVERIFY(client->send(kHealth));
        QVERIFY2(client->awaitAnswer(30000), client->said().constData());
        QVERIFY(client->said().startsWith("HTTP/1.1 200"));
    }
}

void tst_Connections::connectionsSendWithoutDelay()
{
    SUITE_TEST_DATABASE(tdb, QStringLiteral("sqlite"), TestDatabase::Schema);
    loadFixture(tdb.db());
    RunningServer server(optionsFor(tdb.url()));
    RawClient client(QStringLiteral("127.0.0.1"), server.port());
    QVERIFY(client.send(kHealth));
    QVERIFY(client.awaitAnswer(30000));

    // The server's end of this connection is a socket of this process: find it by its two ports and read its option.
    sockaddr_in mine{};
    socklen_t length = sizeof(mine);
    QVERIFY(::getsockname(client.socket(), reinterpret_cast<sockaddr*>(&mine), &length) == 0);
    int serverSide = -1;
    const QStringList fds = QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System);
    for (const QString& name : fds) {
        const int fd = name.toInt();
        sockaddr_in local{};
        sockaddr_in peer{};
        socklen_t localLength = sizeof(local);
        socklen_t peerLength = sizeof(peer);
        if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localLength) != 0 ||
            ::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerLength) != 0 || local.sin_family != AF_INET)
            continue;
        if (ntohs(local.sin_port) == server.port() && peer.sin_port == mine.sin_port)
            serverSide = fd;
    }
    QVERIFY2(serverSide >= 0, "the server's end of the connection was not found");
    int noDelay = 0;
    socklen_t size = sizeof(noDelay);
    QVERIFY(::getsockopt(serverSide, IPPROTO_TCP, TCP_NODELAY, &noDelay, &size) == 0);
    QVERIFY2(noDelay != 0, "the server's connection waits to fill segments (Nagle), delaying answers on keep-alive");
}

QTEST_GUILESS_MAIN(tst_Connections)
#include "tst_connections.moc"
