// The wire protocol over a real loopback server: log-in, tokens, status codes, limits, concurrent runs.
#include "rewrite/integrationrun.h"
#include "servertestkit.h"
#include "tokensigner.h"

#include <QMutex>
#include <QtTest>
#include <future>

using namespace suite;
using namespace suite::test;

namespace {

// What the server logs while it lives, from whichever thread: its lines are part of what a failure must leave.
class ServerLog {
public:
    ServerLog()
    {
        QMutexLocker lock(&s_mutex);
        s_lines.clear();
        s_previous = qInstallMessageHandler(&ServerLog::record);
    }
    ~ServerLog() { qInstallMessageHandler(s_previous); }

    static QStringList lines()
    {
        QMutexLocker lock(&s_mutex);
        return s_lines;
    }

private:
    static void record(QtMsgType type, const QMessageLogContext& context, const QString& message)
    {
        if (context.category && qstrcmp(context.category, "suite.server") == 0) {
            QMutexLocker lock(&s_mutex);
            s_lines << message;
        }
        s_previous(type, context, message);
    }

    static inline QMutex s_mutex;
    static inline QStringList s_lines;
    static inline QtMessageHandler s_previous = nullptr;
};

} // namespace

class tst_HttpServer : public QObject {
    Q_OBJECT

private slots:
    void loginAndConnect_data() { addDialectRows(); }
    void loginAndConnect();
    void refusedCallsChangeNothing_data() { addDialectRows(); }
    void refusedCallsChangeNothing();
    void concurrentRunsOnOverlappingDestinations_data() { addDialectRows(); }
    void concurrentRunsOnOverlappingDestinations();
    void databaseFailureIsTheServersOwn_data();
    void databaseFailureIsTheServersOwn();
    void nulInAJsonStringIsRefused_data();
    void nulInAJsonStringIsRefused();
    void callerTextCannotForgeALogLine_data() { addDialectRows(); }
    void callerTextCannotForgeALogLine();
    void runNumberInTheAnswerAndTheLog_data() { addDialectRows(); }
    void runNumberInTheAnswerAndTheLog();
    void largeRequestAnsweredInBounds_data() { addDialectRows(); }
    void largeRequestAnsweredInBounds();
};

void tst_HttpServer::loginAndConnect()
{
    QFETCH(QString, dialect);
    SUITE_TEST_DATABASE(tdb, dialect, TestDatabase::Schema);
    loadFixture(tdb.db());
    RunningServer server(tdb.url());
    QVERIFY(server.isRunning());

    httplib::Client client("127.0.0.1", server.port());
    const auto health = client.Get("/health");
    QVERIFY(health);
    QCOMPARE(health->status, 200);
    QCOMPARE(QByteArray::fromStdString(health->body), QByteArray(R"({"status":"ok"})"));

    const HttpAnswer ok = post(server.port(), "/login", json({{"user", "demo"}, {"password", "demo"}}));
    QCOMPARE(ok.status, 200);
    QCOMPARE(ok.body.value("operator").toString(), QStringLiteral("demo"));
    QCOMPARE(ok.body.value("name").toString(), QStringLiteral("Operador"));
    const QString token = ok.body.value("token").toString();
    QVERIFY(!token.isEmpty());

    // Nothing tells an unknown operator from a wrong password.
    const HttpAnswer badPassword = post(server.port(), "/login", json({{"user", "demo"}, {"password", "x"}}));
    const HttpAnswer unknownUser =
        post(server.port(), "/login", json({{"user", "ghost' OR '1'='1"}, {"password", "demo"}}));
    QCOMPARE(badPassword.status, 401);
    QCOMPARE(unknownUser.status, 401);
    QCOMPARE(badPassword.body, unknownUser.body);
    QCOMPARE(post(server.port(), "/login", "{\"user\": 1}").status, 400);

    const HttpAnswer connected = post(server.port(), "/connect", json({{"server", "RCI06000.RDMINTGCENTRAL"}}), token);
    QCOMPARE(connected.status, 200);
    QCOMPARE(connected.body.value("server").toString(), QStringLiteral("Rci06000.rdmIntgCentral"));
    QCOMPARE(post(server.port(), "/connect", json({{"server", "Rci07000.rdmOutro"}}), token).status, 404);
    QCOMPARE(post(server.port(), "/connect", json({{"server", "Rci06000.rdmIntgCentral"}})).status, 401);

    const HttpAnswer groups = post(server.port(), "/call", callBody("GetGrupFili", {""}), token);
    QCOMPARE(groups.status, 200);
    QCOMPARE(groups.body.value("result").toObject().value("rows").toArray().size(), 2);
}

void tst_HttpServer::refusedCallsChangeNothing()
{
    QFETCH(QString, dialect);
    SUITE_TEST_DATABASE(tdb, dialect, TestDatabase::Schema);
    loadFixture(tdb.db());
    const QStringList before = everythingWritten(tdb.db());
    RunningServer server(tdb.url());
    const QString token = login(server.port());
    QVERIFY(!token.isEmpty());

    const server::TokenSigner signer = server.signer();
    const QString expired = signer.issue(QStringLiteral("demo"), QDateTime::currentDateTimeUtc().addSecs(-1));
    const QString forged = server::TokenSigner("another secret")
                               .issue(QStringLiteral("demo"), QDateTime::currentDateTimeUtc().addSecs(3600));
    const QJsonObject packet = destinationPacket({"0002", "0003"});
    const QByteArray good = callBody("IntgCentral", {"0001", "P0101001_", "FX", packet, "", ""});

    struct Case {
        const char* name;
        QByteArray body;
        QString token;
        int status;
    };
    const QList<Case> cases{
        {"no token", good, QString(), 401},
        {"garbage token", good, QStringLiteral("abc.def"), 401},
        {"expired token", good, expired, 401},
        {"token of another secret", good, forged, 401},
        {"malformed JSON", "{\"server\": \"Rci06000.rdmIntgCentral\", \"method\": ", token, 400},
        {"body not an object", "[1, 2]", token, 400},
        {"args not an array", json({{"server", "Rci06000.rdmIntgCentral"}, {"method", "IntgCentral"}, {"args", "x"}}),
         token, 400},
        {"wrong argument count", callBody("IntgCentral", {"0001", "P0101001_", "FX", packet}), token, 400},
        {"wrong argument type", callBody("IntgCentral", {"0001", 101001, "FX", packet, "", ""}), token, 400},
        {"unknown server", json({{"server", "Rci06000.rdmOutro"}, {"method", "IntgCentral"}, {"args", QJsonArray{}}}),
         token, 404},
        {"unknown method", callBody("ApagaTudo", {}), token, 404},
        {"body over the limit", QByteArray(33 * 1024 * 1024, ' '), token, 413},
        {"body of megabytes within the limit", callBody("ApagaTudo", {}) + QByteArray(3 * 1024 * 1024, ' '), token, 404},
    };
    for (const Case& c : cases) {
        const HttpAnswer answer = post(server.port(), "/call", c.body, c.token);
        QVERIFY2(answer.status == c.status, qPrintable(QStringLiteral("%1: status %2, expected %3")
                                                           .arg(QLatin1String(c.name))
                                                           .arg(answer.status)
                                                           .arg(c.status)));
        QVERIFY2(!answer.body.value("error").toObject().value("message").toString().isEmpty() || c.status == 413,
                 c.name);
    }

    // A service error is an answer, not a failure of the protocol.
    const HttpAnswer refused =
        post(server.port(), "/call", callBody("IntgCentral", {"0001", "P0101001_", "QQ", packet, "", ""}), token);
    QCOMPARE(refused.status, 200);
    QVERIFY(
        refused.body.value("error").toObject().value("message").toString().contains(QStringLiteral("Tipo de receita")));
    QCOMPARE(everythingWritten(tdb.db()), before);

    // A 100,000-key list fits the body limit but names more dishes than the database holds: refused at the first key
    // past them, before its bad last key is read, and nothing is written.
    QString dishes;
    for (int i = 0; i < 100000; ++i)
        dishes += QStringLiteral("P9%1_").arg(i, 6, 10, QLatin1Char('0'));
    const HttpAnswer large =
        post(server.port(), "/call", callBody("IntgCentral", {"0001", dishes + "P9x_", "FX", packet, "", ""}), token);
    QCOMPARE(large.status, 200);
    const QString why = large.body.value("error").toObject().value("message").toString();
    QVERIFY2(why.contains(QStringLiteral("mais pratos")) && !why.contains(QStringLiteral("P9x")), qPrintable(why));
    QCOMPARE(everythingWritten(tdb.db()), before);
}

void tst_HttpServer::concurrentRunsOnOverlappingDestinations()
{
    QFETCH(QString, dialect);
    SUITE_TEST_DATABASE(tdb, dialect, TestDatabase::Schema);
    loadFixture(tdb.db());
    RunningServer server(tdb.url());
    const QString token = login(server.port());
    QVERIFY(!token.isEmpty());

    const auto recipeOf = [&](const QString& branch) {
        QStringList lines = recipeRows(tdb.db(), QStringLiteral("CDFILIAL = '%1' AND CDFILAUXPRAT = 'P'"
                                                                " AND CDPRATO = '0101001'")
                                                     .arg(branch));
        for (QString& line : lines)
            line = line.section(QLatin1Char('|'), 1);
        return lines;
    };
    const QStringList fromMatriz = recipeOf(QStringLiteral("0001"));
    const QStringList fromOeste = recipeOf(QStringLiteral("0007"));
    QVERIFY(fromMatriz != fromOeste);

    // Two operators' screens integrating different sources into overlapping destinations, several times.
    constexpr int kRounds = 4;
    const auto client = [&](const QString& source, const QStringList& destinations) {
        int failures = 0;
        for (int i = 0; i < kRounds; ++i) {
            const HttpAnswer a = post(
                server.port(), "/call",
                callBody("IntgCentral", {source, "P0101001_", "FX", destinationPacket(destinations), "", ""}), token);
            if (a.status != 200 || !a.body.contains("result"))
                ++failures;
        }
        return failures;
    };
    auto first = std::async(std::launch::async, client, QStringLiteral("0001"), QStringList{"0002", "0003", "0006"});
    auto second = std::async(std::launch::async, client, QStringLiteral("0007"), QStringList{"0006", "0003", "0002"});
    QCOMPARE(first.get(), 0);
    QCOMPARE(second.get(), 0);

    for (const QString& destination : {QStringLiteral("0002"), QStringLiteral("0003"), QStringLiteral("0006")}) {
        const QStringList now = recipeOf(destination);
        QVERIFY2(now == fromMatriz || now == fromOeste,
                 qPrintable(destination + QStringLiteral(": ") + now.join(QStringLiteral("; "))));
    }
    QCOMPARE(rowsOf(tdb.db(), QStringLiteral("SELECT COUNT(*) FROM INTGCENTRAL")),
             QStringList{QString::number(2 * kRounds)});
}

void tst_HttpServer::largeRequestAnsweredInBounds()
{
    QFETCH(QString, dialect);
    SUITE_TEST_DATABASE(tdb, dialect, TestDatabase::Schema);
    // 12,000 dishes, so that a list of 11,000 unknown ones is within the catalogue's size; 12 destinations.
    provision::loadScale(tdb.db(), {13, 12000, 1});
    const QString everything = QStringLiteral("CDFILIAL IS NOT NULL");
    const QStringList before = recipeRows(tdb.db(), everything) + serviceRecipeRows(tdb.db(), everything) +
                               rowsOf(tdb.db(), QStringLiteral("SELECT COUNT(*) FROM INTGCENTRALANT"));
    QString dishes;
    constexpr int kUnknown = 11000;
    for (int i = 0; i < kUnknown; ++i)
        dishes += QStringLiteral("P9%1_").arg(i, 6, 10, QLatin1Char('0'));
    const QStringList destinations = rowsOf(tdb.db(), QStringLiteral("SELECT CDFILIAL FROM FILIAL WHERE CDFILIAL <>"
                                                                     " '0001' ORDER BY CDFILIAL"));
    QCOMPARE(destinations.size(), 12);
    RunningServer server(tdb.url());
    const QString token = login(server.port());
    QVERIFY(!token.isEmpty());

    const HttpAnswer answer =
        post(server.port(), "/call",
             callBody("IntgCentral", {"0001", dishes, "FS", destinationPacket(destinations), "", ""}), token);
    QCOMPARE(answer.status, 200);
    // One observation per unknown dish, not per destination and kind; the rows sent stop at the cap, the full count
    // beside them; the packet keeps the log's columns.
    QCOMPARE(answer.body.value("total").toInteger(-1), kUnknown);
    const std::optional<wire::Packet> log = wire::Packet::fromJson(answer.body.value("result"));
    QVERIFY(log);
    QCOMPARE(log->columns().size(), 13);
    QCOMPARE(log->rows().size(), server::kLogRowLimit);
    QSet<QString> named;
    for (const QVariantList& row : log->rows()) {
        QCOMPARE(row.at(7).toString(), QStringLiteral("7"));
        QCOMPARE(row.at(4).toString(), QString());
        named.insert(row.at(2).toString() + row.at(5).toString());
    }
    QCOMPARE(named.size(), server::kLogRowLimit);
    QVERIFY(named.contains(QStringLiteral("P9000000")));
    QCOMPARE(recipeRows(tdb.db(), everything) + serviceRecipeRows(tdb.db(), everything) +
                 rowsOf(tdb.db(), QStringLiteral("SELECT COUNT(*) FROM INTGCENTRALANT")),
             before);
    QCOMPARE(rowsOf(tdb.db(), QStringLiteral("SELECT QTOBSERV, QTREESCRITAS FROM INTGCENTRAL")),
             QStringList{QStringLiteral("%1|0").arg(kUnknown)});
}

void tst_HttpServer::databaseFailureIsTheServersOwn_data()
{
    QTest::addColumn<QString>("dialect");
    QTest::addColumn<QString>("failure");
    for (const QString& d : dialects())
        QTest::addRow("%s: a table gone half-way through a run", qPrintable(d)) << d << QStringLiteral("table gone");
    QTest::addRow("postgres: the server's session ended by the database")
        << QStringLiteral("postgres") << QStringLiteral("session ended");
}

void tst_HttpServer::databaseFailureIsTheServersOwn()
{
    QFETCH(QString, dialect);
    QFETCH(QString, failure);
    SUITE_TEST_DATABASE(tdb, dialect, TestDatabase::Schema);
    loadFixture(tdb.db());
    const QStringList before = everythingWritten(tdb.db());
    const ServerLog log;
    // One worker, so the call that fails runs on the connection the log-in opened.
    RunningServer server(tdb.url(), 32u * 1024u * 1024u, 1);
    const QString token = login(server.port());
    QVERIFY(!token.isEmpty());

    QSqlQuery q(tdb.db());
    if (failure == QLatin1String("table gone")) {
        // The run starts writing (its record, its work tables) and fails where it keeps the before-images.
        QVERIFY2(q.exec(QStringLiteral("ALTER TABLE INTGCENTRALANT RENAME TO INTGCENTRALANT_FORA")),
                 qPrintable(q.lastError().text()));
    } else {
        QVERIFY2(q.exec(QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity"
                                       " WHERE datname = current_database() AND pid <> pg_backend_pid()")),
                 qPrintable(q.lastError().text()));
        // Ended is not yet gone: the call must come after the session closed its end, as after a restart.
        QDeadlineTimer gone(30000);
        qint64 others = -1;
        for (;;) {
            QVERIFY2(q.exec(QStringLiteral("SELECT COUNT(*) FROM pg_stat_activity WHERE datname = current_database()"
                                           " AND backend_type = 'client backend' AND pid <> pg_backend_pid()")) &&
                         q.next(),
                     qPrintable(q.lastError().text()));
            others = q.value(0).toLongLong();
            if (others == 0 || gone.hasExpired())
                break;
            QThread::msleep(20);
        }
        QCOMPARE(others, 0);
    }
    const QByteArray run =
        callBody("IntgCentral", {"0001", "P0101001_P0101003_", "FS", destinationPacket({"0002", "0005"}), "", ""});
    const HttpAnswer failed = post(server.port(), "/call", run, token);
    if (failure == QLatin1String("session ended")) {
        // Ended while idle, the session is seen gone before the call uses it: a new one serves the call.
        QCOMPARE(failed.status, 200);
        QVERIFY2(failed.body.contains(QLatin1String("result")), QJsonDocument(failed.body).toJson().constData());
        return;
    }
    if (failure == QLatin1String("table gone"))
        QVERIFY2(q.exec(QStringLiteral("ALTER TABLE INTGCENTRALANT_FORA RENAME TO INTGCENTRALANT")),
                 qPrintable(q.lastError().text()));

    QCOMPARE(failed.status, 500);
    const QJsonObject error = failed.body.value("error").toObject();
    const QString id = error.value("id").toString();
    QVERIFY2(!id.isEmpty() && error.value("message").toString().contains(id),
             QJsonDocument(failed.body).toJson().constData());
    const QStringList withId = ServerLog::lines().filter(id);
    QVERIFY2(withId.size() == 1 && withId.first().contains(QLatin1String("500")) &&
                 withId.first().contains(QLatin1String("IntgCentral")),
             qPrintable(ServerLog::lines().join(QLatin1Char('\n'))));
    QCOMPARE(everythingWritten(tdb.db()), before);

    // The worker opens a new connection for the next call, which completes.
    const HttpAnswer again = post(server.port(), "/call", run, token);
    QCOMPARE(again.status, 200);
    QVERIFY2(again.body.contains(QLatin1String("result")), QJsonDocument(again.body).toJson().constData());
}

void tst_HttpServer::nulInAJsonStringIsRefused_data()
{
    QTest::addColumn<QString>("dialect");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("body");
    for (const QString& d : dialects()) {
        QTest::addRow("%s: log-in name", qPrintable(d))
            << d << "/login" << QByteArray(R"({"user":"demo\u0000","password":"demo"})");
        QTest::addRow("%s: call argument", qPrintable(d))
            << d << "/call"
            << QByteArray(R"({"server":"Rci06000.rdmIntgCentral","method":"IntgCentral","args":["0001",)"
                          R"("P0101001_\u0000","FS",{"columns":[],"rows":[]},"",""]})");
    }
}

void tst_HttpServer::nulInAJsonStringIsRefused()
{
    QFETCH(QString, dialect);
    QFETCH(QString, path);
    QFETCH(QByteArray, body);
    SUITE_TEST_DATABASE(tdb, dialect, TestDatabase::Schema);
    loadFixture(tdb.db());
    const QStringList before = everythingWritten(tdb.db());
    RunningServer server(tdb.url());
    const QString token = server.signer().issue(QStringLiteral("demo"), QDateTime::currentDateTimeUtc().addSecs(60));
    const HttpAnswer answer = post(server.port(), path.toStdString(), body, token);
    QCOMPARE(answer.status, 400);
    QCOMPARE(everythingWritten(tdb.db()), before);
}

void tst_HttpServer::callerTextCannotForgeALogLine()
{
    QFETCH(QString, dialect);
    SUITE_TEST_DATABASE(tdb, dialect, TestDatabase::Schema);
    loadFixture(tdb.db());
    const ServerLog log;
    RunningServer server(tdb.url());
    const QString token = server.signer().issue(QStringLiteral("demo"), QDateTime::currentDateTimeUtc().addSecs(60));
    const QString forged = QStringLiteral("call IntgCentral operator demo 1 ms ok");
    QCOMPARE(post(server.port(), "/login", json({{"user", "x\n" + forged}, {"password", "x"}})).status, 401);
    QCOMPARE(post(server.port(), "/call", callBody("Get\r\n" + forged, {}), token).status, 404);

    // Each line the server wrote is one whole message, and none of them starts as the forged one.
    const QStringList lines = ServerLog::lines();
    for (const QString& line : lines) {
        QVERIFY2(!line.contains(QLatin1Char('\n')) && !line.contains(QLatin1Char('\r')), qPrintable(line));
        QVERIFY2(!line.startsWith(forged), qPrintable(line));
    }
    QVERIFY2(!lines.filter(QStringLiteral("login x\\ncall IntgCentral")).isEmpty(), qPrintable(lines.join('|')));
    QVERIFY2(!lines.filter(QStringLiteral("call Get\\r\\ncall IntgCentral")).isEmpty(), qPrintable(lines.join('|')));
}

void tst_HttpServer::runNumberInTheAnswerAndTheLog()
{
    QFETCH(QString, dialect);
    SUITE_TEST_DATABASE(tdb, dialect, TestDatabase::Schema);
    loadFixture(tdb.db());
    const ServerLog log;
    RunningServer server(tdb.url());
    const QString token = server.signer().issue(QStringLiteral("demo"), QDateTime::currentDateTimeUtc().addSecs(60));
    const QByteArray run =
        callBody("IntgCentral", {"0001", "P0101001_", "FS", destinationPacket({"0002", "0005"}), "", ""});
    for (int i = 0; i < 2; ++i) {
        const HttpAnswer answer = post(server.port(), "/call", run, token);
        QCOMPARE(answer.status, 200);
        QVERIFY(answer.body.contains("result"));
        const QString recorded = rowsOf(tdb.db(), QStringLiteral("SELECT MAX(NRINTG) FROM INTGCENTRAL")).value(0);
        QCOMPARE(QString::number(answer.body.value("run").toInteger()), recorded);
        QVERIFY2(!ServerLog::lines()
                      .filter(QStringLiteral("call IntgCentral operator demo run %1 ").arg(recorded))
                      .isEmpty(),
                 qPrintable(ServerLog::lines().join(QLatin1Char('\n'))));
    }
    // A look-up is no run.
    const HttpAnswer lookup = post(server.port(), "/call", callBody("GetGrupFili", {""}), token);
    QCOMPARE(lookup.status, 200);
    QVERIFY(!lookup.body.contains("run"));
}

QTEST_GUILESS_MAIN(tst_HttpServer)
#include "tst_httpserver.moc"
