// How the server reads a request off the wire when a client, or a proxy in front of it, frames it unusually or
// hostilely: what is answered, what is refused before it is paid for, and that a refused request never lets a
// second one hidden in its bytes be answered.
#include "rawclient.h"
#include "servertestkit.h"

#include <QtTest>

using namespace suite;
using namespace suite::test;

namespace {

constexpr std::size_t kBodyLimit = 64 * 1024;

const QByteArray kHealth = "GET /health HTTP/1.1\r\nHost: x\r\n\r\n";

QByteArray chunked(const QByteArray& start, qsizetype bytes)
{
    QByteArray request = start + "Transfer-Encoding: chunked\r\n\r\n";
    const QByteArray chunk(4096, 'x');
    for (qsizetype sent = 0; sent < bytes; sent += chunk.size())
        request += QByteArray::number(chunk.size(), 16) + "\r\n" + chunk + "\r\n";
    return request + "0\r\n\r\n";
}

int answers(const QByteArray& said)
{
    return int(said.count("HTTP/1.1 ")) - int(said.count("HTTP/1.1 100 Continue"));
}

} // namespace

class tst_RequestFraming : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void refusedBeforeItIsPaidFor_data();
    void refusedBeforeItIsPaidFor();
    void continueOnlyForAGoodToken_data();
    void continueOnlyForAGoodToken();

private:
    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<RunningServer> m_server;
    QString m_token;
};

void tst_RequestFraming::initTestCase()
{
    m_db = std::make_unique<TestDatabase>(QStringLiteral("sqlite"), TestDatabase::Schema);
    loadFixture(m_db->db());
    m_server = std::make_unique<RunningServer>(m_db->url(), kBodyLimit);
    m_token = login(m_server->port());
    QVERIFY(!m_token.isEmpty());
}

void tst_RequestFraming::cleanupTestCase()
{
    m_server.reset();
    m_db.reset();
}

void tst_RequestFraming::refusedBeforeItIsPaidFor_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("status");

    const QByteArray call = "POST /call HTTP/1.1\r\nHost: x\r\nAuthorization: Bearer TOKEN\r\n";
    const QByteArray login = "POST /login HTTP/1.1\r\nHost: x\r\n";
    // Each ends in a second request that a server reading the first one differently would answer.
    QTest::newRow("length and chunks both") << call + "Content-Length: 5\r\nTransfer-Encoding: chunked\r\n\r\n"
                                                      "0\r\n\r\n" + kHealth
                                            << QByteArray("400");
    QTest::newRow("chunks and length both") << call + "Transfer-Encoding: chunked\r\nContent-Length: 5\r\n\r\n"
                                                      "0\r\n\r\n" + kHealth
                                            << QByteArray("400");
    QTest::newRow("two different lengths") << call + "Content-Length: 2\r\nContent-Length: 40\r\n\r\n{}" + kHealth
                                           << QByteArray("400");
    QTest::newRow("space before the colon") << call + "Transfer-Encoding : chunked\r\n\r\n0\r\n\r\n" + kHealth
                                            << QByteArray("400");
    QTest::newRow("signed length") << call + "Content-Length: +2\r\n\r\n{}" + kHealth << QByteArray("400");
    QTest::newRow("NUL in a header name") << call + QByteArray("X-A\0B: 1\r\nContent-Length: 2\r\n\r\n{}", 33) + kHealth
                                          << QByteArray("400");
    QTest::newRow("a coding other than chunks") << call + "Transfer-Encoding: gzip\r\n\r\n{}" + kHealth
                                                << QByteArray("400");
    QTest::newRow("bare line feeds") << QByteArray("GET /health HTTP/1.1\nHost: x\n\n") + kHealth << QByteArray("400");

    // Limits that hold however the body comes.
    QTest::newRow("chunked body past the limit") << chunked(call, 4 * qsizetype(kBodyLimit)) + kHealth
                                                 << QByteArray("413");
    QTest::newRow("declared length past the limit")
        << call + "Content-Length: " + QByteArray::number(quint64(kBodyLimit) + 1) + "\r\n\r\n" + kHealth
        << QByteArray("413");
    QTest::newRow("chunked body without a token")
        << chunked("POST /call HTTP/1.1\r\nHost: x\r\n", 4 * qsizetype(kBodyLimit)) + kHealth << QByteArray("401");
    QTest::newRow("chunked log-in") << chunked(login, 10) + kHealth << QByteArray("411");
    QTest::newRow("log-in past 4 KB") << login + "Content-Length: 5000\r\n\r\n" + kHealth << QByteArray("413");
    QByteArray manyHeaders = "GET /health HTTP/1.1\r\nHost: x\r\n";
    for (int i = 0; i < 5000; ++i)
        manyHeaders += "A: b\r\n";
    QTest::newRow("thousands of short headers") << manyHeaders + "\r\n" + kHealth << QByteArray("431");
    QTest::newRow("one long header") << "GET /health HTTP/1.1\r\nHost: x\r\nX: " + QByteArray(20000, 'a') + "\r\n\r\n" +
                                            kHealth
                                     << QByteArray("431");
}

// The refusal is the only answer, and the connection is closed: what followed the refused request is never taken
// for a request of its own.
void tst_RequestFraming::refusedBeforeItIsPaidFor()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, status);
    RawClient client(QStringLiteral("127.0.0.1"), m_server->port());
    QVERIFY(client.send(request.replace("TOKEN", m_token.toLatin1())));
    QDeadlineTimer patience(30000);
    while (client.isOpen() && !patience.hasExpired())
        client.receive(100);
    QVERIFY2(!client.isOpen(), "the connection was kept open after a refused request");
    const QByteArray said = client.said();
    QVERIFY2(said.startsWith("HTTP/1.1 " + status), said.left(200).constData());
    QCOMPARE(answers(said), 1);
}

void tst_RequestFraming::continueOnlyForAGoodToken_data()
{
    QTest::addColumn<QString>("token");
    QTest::addColumn<bool>("continues");
    QTest::newRow("no token") << QString() << false;
    QTest::newRow("forged token") << QStringLiteral("abc.def") << false;
    QTest::newRow("good token") << QStringLiteral("TOKEN") << true;
}

// A client that asks before sending its body is told to go on only when the body would be used.
void tst_RequestFraming::continueOnlyForAGoodToken()
{
    QFETCH(QString, token);
    QFETCH(bool, continues);
    if (token == QLatin1String("TOKEN"))
        token = m_token;
    const QByteArray body = callBody(QStringLiteral("GetGrupFili"), {""});
    RawClient client(QStringLiteral("127.0.0.1"), m_server->port());
    QVERIFY(client.send("POST /call HTTP/1.1\r\nHost: x\r\nAuthorization: Bearer " + token.toLatin1() +
                        "\r\nExpect: 100-continue\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n"));
    QVERIFY(client.awaitHead(30000));
    if (!continues) {
        QVERIFY2(client.said().startsWith("HTTP/1.1 401"), client.said().constData());
        return;
    }
    QVERIFY2(client.said().startsWith("HTTP/1.1 100 Continue\r\n\r\n"), client.said().constData());
    client.forget();
    QVERIFY(client.send(body));
    QVERIFY(client.awaitAnswer(30000));
    QVERIFY2(client.said().startsWith("HTTP/1.1 200"), client.said().constData());
    QVERIFY(client.said().contains("Grupo A"));
}

QTEST_GUILESS_MAIN(tst_RequestFraming)
#include "tst_requestframing.moc"
