// Sessions over a real loopback server: whose tokens are honoured, where their key lives, and how log-ins are
// held back, limited and kept strong.
#include "servertestkit.h"

#include <QtTest>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace suite;
using namespace suite::test;

namespace {

QDateTime inAnHour()
{
    return QDateTime::currentDateTimeUtc().addSecs(3600);
}

// Sends `request` as it is on a new connection and returns the status line's code of the answer (0: none).
int rawStatus(int port, const QByteArray& request)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return 0;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(quint16(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const timeval patience{60, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
    QByteArray answer;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
        ::send(fd, request.constData(), size_t(request.size()), MSG_NOSIGNAL) == request.size()) {
        char buffer[4096];
        ssize_t got = 0;
        while (!answer.contains("\r\n") && (got = ::recv(fd, buffer, sizeof buffer, 0)) > 0)
            answer.append(buffer, got);
    }
    ::close(fd);
    // "HTTP/1.1 413 Payload Too Large"
    return answer.startsWith("HTTP/1.1 ") ? answer.mid(9, 3).toInt() : 0;
}

QString passwordHash(QSqlDatabase& db)
{
    return rowsOf(db, QStringLiteral("SELECT DSSENHA FROM OPERADOR WHERE CDOPERADOR = 'demo'")).value(0);
}

} // namespace

class tst_Sessions : public QObject {
    Q_OBJECT
private slots:
    void tokenOfNoActiveOperatorIsRefused_data();
    void tokenOfNoActiveOperatorIsRefused();
    void expiryBeyondTheLifetimeIsRefused_data();
    void expiryBeyondTheLifetimeIsRefused();
    void keyPlantedInTheDatabaseSignsNothing_data() { addDialectRows(); }
    void keyPlantedInTheDatabaseSignsNothing();
    void loginsHeldBackPerOperator_data() { addDialectRows(); }
    void loginsHeldBackPerOperator();
    void loginsHeldBackPerAddress_data() { addDialectRows(); }
    void loginsHeldBackPerAddress();
    void loginBodyOverItsLimitIsRefused_data();
    void loginBodyOverItsLimitIsRefused();
    void olderHashIsStrengthenedAtLogin_data() { addDialectRows(); }
    void olderHashIsStrengthenedAtLogin();
    void rightLoginsAtOnceAreAllLetIn_data() { addDialectRows(); }
    void rightLoginsAtOnceAreAllLetIn();
    void tokenHasOneSpelling_data();
    void tokenHasOneSpelling();
};

void tst_Sessions::tokenOfNoActiveOperatorIsRefused_data()
{
    QTest::addColumn<QString>("dialect");
    QTest::addColumn<QString>("situation");
    for (const QString& d : dialects()) {
        QTest::addRow("%s: an operator that never existed", qPrintable(d)) << d << QStringLiteral("unknown");
        QTest::addRow("%s: an operator deactivated after its log-in", qPrintable(d))
            << d << QStringLiteral("deactivated");
    }
}

void tst_Sessions::tokenOfNoActiveOperatorIsRefused()
{
    QFETCH(QString, dialect);
    QFETCH(QString, situation);
    SUITE_TEST_DATABASE(tdb, dialect, TestDatabase::Schema);
    loadFixture(tdb.db());
    RunningServer server(tdb.url());
    QString token;
    if (situation == QLatin1String("unknown")) {
        token = server.signer().issue(QStringLiteral("fantasma"), inAnHour());
    } else {
        token = login(server.port());
        QVERIFY(!token.isEmpty());
        QSqlQuery q(tdb.db());
        QVERIFY(q.exec(QStringLiteral("UPDATE OPERADOR SET IDATIVO = 'N' WHERE CDOPERADOR = 'demo'")));
    }
    const QStringList before = everythingWritten(tdb.db());

    QCOMPARE(post(server.port(), "/connect", json({{"server", "Rci06000.rdmIntgCentral"}}), token).status, 401);
    QCOMPARE(post(server.port(), "/call", callBody("GetGrupFili", {""}), token).status, 401);
    QCOMPARE(post(server.port(), "/call",
                  callBody("IntgCentral", {"0001", "P0101001_", "FS", destinationPacket({"0002"}), "", ""}), token)
                 .status,
             401);
    QCOMPARE(everythingWritten(tdb.db()), before);
}

void tst_Sessions::expiryBeyondTheLifetimeIsRefused_data()
{
    QTest::addColumn<QString>("dialect");
    QTest::addColumn<qint64>("secondsFromNow");
    QTest::addColumn<int>("status");
    const qint64 lifetime = server::kTokenLifetime.count();
    for (const QString& d : dialects()) {
        QTest::addRow("%s: as issued now", qPrintable(d)) << d << lifetime << 200;
        QTest::addRow("%s: an hour beyond the lifetime", qPrintable(d)) << d << lifetime + 3600 << 401;
        QTest::addRow("%s: ten years", qPrintable(d)) << d << qint64(10) * 365 * 24 * 3600 << 401;
    }
}

void tst_Sessions::expiryBeyondTheLifetimeIsRefused()
{
    QFETCH(QString, dialect);
    QFETCH(qint64, secondsFromNow);
    QFETCH(int, status);
    SUITE_TEST_DATABASE(tdb, dialect, TestDatabase::Schema);
    loadFixture(tdb.db());
    RunningServer server(tdb.url());
    const QString token =
        server.signer().issue(QStringLiteral("demo"), QDateTime::currentDateTimeUtc().addSecs(secondsFromNow));
    QCOMPARE(post(server.port(), "/call", callBody("GetGrupFili", {""}), token).status, status);
}

void tst_Sessions::keyPlantedInTheDatabaseSignsNothing()
{
    QFETCH(QString, dialect);
    SUITE_TEST_DATABASE(tdb, dialect, TestDatabase::Schema);
    loadFixture(tdb.db());
    // Whoever can write (or only read and copy) the database knows this key; the server must not sign with it.
    const QByteArray planted(32, 'k');
    QSqlQuery q(tdb.db());
    q.prepare(QStringLiteral("INSERT INTO CONFIGSERV (CDCHAVE, VLCHAVE) VALUES ('TOKEN_SECRET', ?)"));
    q.addBindValue(QString::fromLatin1(planted.toHex()));
    QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
    const QStringList settings = rowsOf(tdb.db(), QStringLiteral("SELECT CDCHAVE, VLCHAVE FROM CONFIGSERV ORDER BY 1"));

    RunningServer server(tdb.url());
    const QString forged = server::TokenSigner(planted).issue(QStringLiteral("demo"), inAnHour());
    QCOMPARE(post(server.port(), "/call", callBody("GetGrupFili", {""}), forged).status, 401);
    // Log-ins and calls leave the server's settings in the database as they were.
    const QString token = login(server.port());
    QVERIFY(!token.isEmpty());
    QCOMPARE(post(server.port(), "/call", callBody("GetGrupFili", {""}), token).status, 200);
    QCOMPARE(rowsOf(tdb.db(), QStringLiteral("SELECT CDCHAVE, VLCHAVE FROM CONFIGSERV ORDER BY 1")), settings);
}

void tst_Sessions::loginsHeldBackPerOperator()
{
    QFETCH(QString, dialect);
    SUITE_TEST_DATABASE(tdb, dialect, TestDatabase::Schema);
    loadFixture(tdb.db());
    RunningServer server(tdb.url());
    const QByteArray wrong = json({{"user", "demo"}, {"password", "errada"}});
    for (int i = 1; i <= 5; ++i)
        QCOMPARE(post(server.port(), "/login", wrong).status, 401);
    // The sixth try waits, right password or not, and is told for how long.
    const HttpAnswer held = post(server.port(), "/login", json({{"user", "demo"}, {"password", "demo"}}));
    QCOMPARE(held.status, 429);
    const auto retryAfter = held.headers.find("Retry-After");
    QVERIFY(retryAfter != held.headers.end());
    const int seconds = QByteArray::fromStdString(retryAfter->second).toInt();
    QVERIFY2(seconds >= 1 && seconds <= 30, retryAfter->second.c_str());
    QVERIFY(!held.body.value("error").toObject().value("message").toString().isEmpty());
    QVERIFY(!held.body.contains("token"));
}

void tst_Sessions::loginsHeldBackPerAddress()
{
    QFETCH(QString, dialect);
    SUITE_TEST_DATABASE(tdb, dialect, TestDatabase::Schema);
    loadFixture(tdb.db());
    // Two failures from one address before it waits, so that the test tries few names.
    server::ServerOptions options = RunningServer::optionsFor(tdb.url());
    options.loginsPerAddress.freeFailures = 2;
    RunningServer server(options);
    for (const char* name : {"ana", "bia"})
        QCOMPARE(post(server.port(), "/login", json({{"user", name}, {"password", "x"}})).status, 401);
    const HttpAnswer held = post(server.port(), "/login", json({{"user", "demo"}, {"password", "demo"}}));
    QCOMPARE(held.status, 429);
    QVERIFY(held.headers.find("Retry-After") != held.headers.end());
}

void tst_Sessions::loginBodyOverItsLimitIsRefused_data()
{
    QTest::addColumn<QString>("dialect");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("status");
    const auto withBody = [](const QByteArray& body) {
        return "POST /login HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\nContent-Length: " +
               QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    };
    const auto loginOf = [](qsizetype padding) {
        return json({{"user", "demo"}, {"password", QString(padding, QLatin1Char('x'))}});
    };
    for (const QString& d : dialects()) {
        QTest::addRow("%s: a 3 KB body is read", qPrintable(d)) << d << withBody(loginOf(3000)) << 401;
        QTest::addRow("%s: a 5 KB body is refused", qPrintable(d)) << d << withBody(loginOf(5000)) << 413;
        // Answered from the headers: had the server waited for the 10 MB, it would have timed out instead.
        QTest::addRow("%s: 10 MB announced, none sent", qPrintable(d))
            << d
            << QByteArray("POST /login HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\n"
                          "Content-Length: 10485760\r\n\r\n")
            << 413;
        QTest::addRow("%s: a body of unknown length", qPrintable(d))
            << d
            << QByteArray("POST /login HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\n"
                          "Transfer-Encoding: chunked\r\n\r\n1000\r\n")
            << 411;
    }
}

void tst_Sessions::loginBodyOverItsLimitIsRefused()
{
    QFETCH(QString, dialect);
    QFETCH(QByteArray, request);
    QFETCH(int, status);
    SUITE_TEST_DATABASE(tdb, dialect, TestDatabase::Schema);
    loadFixture(tdb.db());
    RunningServer server(tdb.url());
    QCOMPARE(rawStatus(server.port(), request), status);
}

void tst_Sessions::olderHashIsStrengthenedAtLogin()
{
    QFETCH(QString, dialect);
    SUITE_TEST_DATABASE(tdb, dialect, TestDatabase::Schema);
    loadFixture(tdb.db());
    // As an earlier build, or another system, stored it.
    const QString older = provision::hashPassword(QStringLiteral("demo"), 1000);
    QSqlQuery q(tdb.db());
    q.prepare(QStringLiteral("UPDATE OPERADOR SET DSSENHA = ? WHERE CDOPERADOR = 'demo'"));
    q.addBindValue(older);
    QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
    RunningServer server(tdb.url());

    QVERIFY(!login(server.port()).isEmpty());
    const QString now = passwordHash(tdb.db());
    QVERIFY(now != older);
    QVERIFY2(now.section(QLatin1Char('$'), 1, 1).toInt() >= 600000, qPrintable(now));
    QVERIFY(provision::verifyPassword(QStringLiteral("demo"), now));
    QVERIFY(!provision::needsRehash(now));
}

void tst_Sessions::rightLoginsAtOnceAreAllLetIn()
{
    QFETCH(QString, dialect);
    SUITE_TEST_DATABASE(tdb, dialect, TestDatabase::Schema);
    loadFixture(tdb.db());
    // As many workers as log-ins, so that all of them are checked at once: twice the failures allowed in a row.
    constexpr int kAtOnce = 10;
    RunningServer server(tdb.url(), 32u * 1024u * 1024u, kAtOnce);
    std::vector<HttpAnswer> answers(kAtOnce);
    {
        std::vector<std::jthread> clients;
        const QByteArray right = json({{"user", "demo"}, {"password", "demo"}});
        const int port = server.port();
        for (HttpAnswer& answer : answers)
            clients.emplace_back([port, right, slot = &answer] { *slot = post(port, "/login", right); });
    }
    for (const HttpAnswer& answer : answers)
        QCOMPARE(answer.status, 200);
    // Nor did they count against a wrong one that follows.
    QCOMPARE(post(server.port(), "/login", json({{"user", "demo"}, {"password", "errada"}})).status, 401);
}

void tst_Sessions::tokenHasOneSpelling_data()
{
    QTest::addColumn<QString>("change"); // what is done to a good token
    QTest::newRow("two characters appended") << "append !!";
    QTest::newRow("padding appended") << "append =";
    QTest::newRow("a blank appended") << "append  ";
    QTest::newRow("the signature's unused bits set") << "last bits";
    QTest::newRow("the claims' unused bits set") << "claims bits";
    QTest::newRow("standard alphabet for the URL one") << "alphabet";
    QTest::newRow("a third part") << "append .x";
}

void tst_Sessions::tokenHasOneSpelling()
{
    QFETCH(QString, change);
    const server::TokenSigner signer(QByteArray(32, 's'));
    const QDateTime now = QDateTime::currentDateTimeUtc();
    // Claims and signature whose last characters carry unused bits, and a signature with "-" or "_" in it.
    QString token;
    for (int i = 0; i < 1000 && !(token.contains(QLatin1Char('-')) || token.contains(QLatin1Char('_'))); ++i)
        token = signer.issue(QStringLiteral("op%1").arg(i), now.addSecs(3600));
    QVERIFY(signer.verify(token, now).has_value());

    const QString claims = token.section(QLatin1Char('.'), 0, 0);
    const QString mac = token.section(QLatin1Char('.'), 1, 1);
    // The next character of the alphabet differs only in the lowest bit, which a partial last group drops.
    const auto nudged = [](QString part) {
        const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_");
        const qsizetype at = alphabet.indexOf(part.back());
        part.back() = alphabet.at(at ^ 1);
        return part;
    };
    QString altered;
    if (change.startsWith(QLatin1String("append ")))
        altered = token + change.mid(7);
    else if (change == QLatin1String("last bits"))
        altered = claims + QLatin1Char('.') + nudged(mac);
    else if (change == QLatin1String("claims bits"))
        altered = nudged(claims) + QLatin1Char('.') + mac;
    else
        altered =
            QString(token).replace(QLatin1Char('-'), QLatin1Char('+')).replace(QLatin1Char('_'), QLatin1Char('/'));
    QVERIFY(altered != token);
    QVERIFY2(!signer.verify(altered, now).has_value(), qPrintable(altered));
}

QTEST_GUILESS_MAIN(tst_Sessions)
#include "tst_sessions.moc"
