// GET /metrics read by a real Prometheus client library: its counters move with what clients do, and only this
// machine reads them.
#include "metrics.h"
#include "rawclient.h"
#include "servertestkit.h"

#include <QProcess>
#include <QtTest>
#include <memory>
#include <vector>

#include <ifaddrs.h>

using namespace suite;
using namespace suite::test;

namespace {

// Debian's python3-prometheus-client, not a pyenv's interpreter that may lack it.
const char* const kPython = "/usr/bin/python3";

// The exposition as the client library reads it: every family with its type and help, every sample.
const char* const kParse = R"(
import json, sys
from prometheus_client.parser import text_string_to_metric_families
families, samples = [], []
for f in text_string_to_metric_families(sys.stdin.read()):
    families.append({"name": f.name, "type": f.type, "help": f.documentation})
    for s in f.samples:
        samples.append({"name": s.name, "labels": s.labels, "value": s.value})
print(json.dumps({"families": families, "samples": samples}))
)";

struct Family {
    QString name;
    QString type;
    QString help;
};

// Samples by `name{label="value",...}`, labels in name order.
struct Scrape {
    QList<Family> families;
    QMap<QString, double> samples;
    QString error; // why there is none

    double operator[](const QString& key) const { return samples.value(key, 0.0); }
};

QString keyOf(const QString& name, const QJsonObject& labels)
{
    QStringList pairs;
    for (const QString& label : labels.keys())
        pairs << QStringLiteral("%1=\"%2\"").arg(label, labels.value(label).toString());
    return pairs.isEmpty() ? name : QStringLiteral("%1{%2}").arg(name, pairs.join(QLatin1Char(',')));
}

Scrape parse(const QByteArray& text)
{
    QProcess python;
    python.start(QString::fromLatin1(kPython), {QStringLiteral("-c"), QString::fromLatin1(kParse)});
    if (!python.waitForStarted())
        return {{}, {}, QStringLiteral("%1 does not start: %2").arg(kPython, python.errorString())};
    python.write(text);
    python.closeWriteChannel();
    python.waitForFinished(120000);
    if (python.exitStatus() != QProcess::NormalExit || python.exitCode() != 0)
        return {{},
                {},
                QStringLiteral("the client library refused the text (is python3-prometheus-client installed?): %1\n%2")
                    .arg(QString::fromUtf8(python.readAllStandardError()), QString::fromUtf8(text))};
    const QJsonObject parsed = QJsonDocument::fromJson(python.readAllStandardOutput()).object();
    Scrape scrape;
    for (const QJsonValue family : parsed.value("families").toArray()) {
        const QJsonObject f = family.toObject();
        scrape.families.append({f.value("name").toString(), f.value("type").toString(), f.value("help").toString()});
    }
    for (const QJsonValue sample : parsed.value("samples").toArray()) {
        const QJsonObject s = sample.toObject();
        scrape.samples.insert(keyOf(s.value("name").toString(), s.value("labels").toObject()),
                              s.value("value").toDouble());
    }
    return scrape;
}

httplib::Result get(const std::string& host, int port, const std::string& path, const httplib::Headers& headers = {})
{
    httplib::Client client(host, port);
    client.set_read_timeout(60, 0);
    return client.Get(path.c_str(), headers);
}

// The metrics of the server on `port`, fetched from loopback and parsed.
Scrape scrape(int port)
{
    const auto answer = get("127.0.0.1", port, "/metrics");
    if (!answer)
        return {{}, {}, QStringLiteral("no answer to GET /metrics")};
    if (answer->status != 200)
        return {{}, {}, QStringLiteral("GET /metrics answered %1: %2").arg(answer->status).arg(answer->body.c_str())};
    if (answer->get_header_value("Content-Type") != server::Metrics::kContentType)
        return {{}, {}, QStringLiteral("GET /metrics sent %1").arg(answer->get_header_value("Content-Type").c_str())};
    return parse(QByteArray::fromStdString(answer->body));
}

// Every family says what it counts and how; every histogram's buckets only grow up to its count.
QString malformed(const Scrape& scrape)
{
    for (const Family& family : scrape.families) {
        if (family.help.isEmpty())
            return family.name + QStringLiteral(" has no HELP");
        if (family.type != QLatin1String("counter") && family.type != QLatin1String("gauge") &&
            family.type != QLatin1String("histogram"))
            return family.name + QStringLiteral(" has type ") + family.type;
    }
    QMap<QString, QList<std::pair<double, double>>> buckets; // by series: (upper bound, count)
    for (auto it = scrape.samples.begin(); it != scrape.samples.end(); ++it) {
        static const QRegularExpression bucket(QStringLiteral("^(\\w+)_bucket\\{(.*),?le=\"([^\"]+)\"(.*)\\}$"));
        const auto match = bucket.match(it.key());
        if (!match.hasMatch())
            continue;
        const QString series = match.captured(1) + QLatin1Char('{') + match.captured(2) + match.captured(4);
        const double bound = match.captured(3) == QLatin1String("+Inf") ? qInf() : match.captured(3).toDouble();
        buckets[series].append({bound, it.value()});
    }
    for (auto it = buckets.begin(); it != buckets.end(); ++it) {
        std::sort(it->begin(), it->end());
        for (qsizetype i = 1; i < it->size(); ++i) {
            if (it->at(i).second < it->at(i - 1).second)
                return QStringLiteral("the buckets of %1 shrink past %2").arg(it.key()).arg(it->at(i - 1).first);
        }
        if (it->isEmpty() || !qIsInf(it->last().first))
            return QStringLiteral("%1 has no +Inf bucket").arg(it.key());
    }
    return {};
}

#define SCRAPE(var, port)                                                                                              \
    const Scrape var = scrape(port);                                                                                   \
    QVERIFY2(var.error.isEmpty(), qPrintable(var.error));                                                              \
    QVERIFY2(malformed(var).isEmpty(), qPrintable(malformed(var)))

// An address of this machine that is not its loopback, if it has one.
QString otherAddress()
{
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return {};
    QString found;
    for (ifaddrs* a = list; a && found.isEmpty(); a = a->ifa_next) {
        if (!a->ifa_addr || a->ifa_addr->sa_family != AF_INET)
            continue;
        char text[INET_ADDRSTRLEN] = {};
        ::inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(a->ifa_addr)->sin_addr, text, sizeof(text));
        if (!QString::fromLatin1(text).startsWith(QLatin1String("127.")))
            found = QString::fromLatin1(text);
    }
    ::freeifaddrs(list);
    return found;
}

QString calls(const char* method, int status)
{
    return QStringLiteral("suite_calls_total{method=\"%1\",status=\"%2\"}").arg(QLatin1String(method)).arg(status);
}

const QString kOpen = QStringLiteral("suite_connections_open");

} // namespace

class tst_Metrics : public QObject {
    Q_OBJECT

private slots:
    void readableFrom_data();
    void readableFrom();
    void countersMoveWithCalls();
    void refusalsAreCounted_data();
    void refusalsAreCounted();
    void otherPeersAreRefused();
};

void tst_Metrics::readableFrom_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("forwarded");
    QTest::addColumn<bool>("readable");
    QTest::newRow("IPv4 loopback") << "127.0.0.1" << false << true;
    QTest::newRow("elsewhere in 127/8") << "127.31.4.9" << false << true;
    QTest::newRow("IPv6 loopback") << "::1" << false << true;
    QTest::newRow("IPv4 loopback mapped into IPv6") << "::ffff:127.0.0.1" << false << true;
    QTest::newRow("a LAN address") << "192.168.0.10" << false << false;
    QTest::newRow("a LAN address mapped into IPv6") << "::ffff:10.1.2.3" << false << false;
    QTest::newRow("an IPv6 link-local address") << "fe80::1" << false << false;
    QTest::newRow("the unspecified address") << "0.0.0.0" << false << false;
    QTest::newRow("no address") << "" << false << false;
    QTest::newRow("not an address") << "localhost" << false << false;
    QTest::newRow("loopback, passed on by a proxy") << "127.0.0.1" << true << false;
}

void tst_Metrics::readableFrom()
{
    QFETCH(QString, address);
    QFETCH(bool, forwarded);
    QFETCH(bool, readable);
    QCOMPARE(server::metricsReadableFrom(address.toStdString(), forwarded), readable);
}

void tst_Metrics::countersMoveWithCalls()
{
    SUITE_TEST_DATABASE(tdb, QStringLiteral("sqlite"), TestDatabase::Schema);
    loadFixture(tdb.db());
    server::ServerOptions options = RunningServer::optionsFor(tdb.url());
    options.loginsPerOperator = server::LoginLimits{1}; // the second wrong password in a row waits
    RunningServer server(options);
    const QString token = login(server.port());
    QVERIFY(!token.isEmpty());
    SCRAPE(before, server.port());

    for (const char* spelling : {"GetGrupFili", "GetGrupFili", "getgrupfili"})
        QCOMPARE(post(server.port(), "/call", callBody(spelling, {""}), token).status, 200);
    // A name no method has is counted, but under one label for all of them.
    QCOMPARE(post(server.port(), "/call", callBody("DropEverything", {}), token).status, 404);
    QCOMPARE(post(server.port(), "/login", json({{"user", "demo"}, {"password", "wrong"}})).status, 401);
    QCOMPARE(post(server.port(), "/login", json({{"user", "demo"}, {"password", "wrong"}})).status, 429);

    // A run the database fails is an error with an id, not a run.
    QSqlQuery q(tdb.db());
    const QByteArray run =
        callBody("IntgCentral", {"0001", "P0101001_", "FS", destinationPacket({"0002", "0005"}), "", ""});
    QVERIFY2(q.exec(QStringLiteral("ALTER TABLE INTGCENTRALANT RENAME TO INTGCENTRALANT_FORA")),
             qPrintable(q.lastError().text()));
    QCOMPARE(post(server.port(), "/call", run, token).status, 500);
    QVERIFY2(q.exec(QStringLiteral("ALTER TABLE INTGCENTRALANT_FORA RENAME TO INTGCENTRALANT")),
             qPrintable(q.lastError().text()));

    const HttpAnswer ran = post(server.port(), "/call", run, token);
    QCOMPARE(ran.status, 200);
    const qint64 number = ran.body.value("run").toInteger();
    const double rewritten =
        rowsOf(tdb.db(), QStringLiteral("SELECT QTREESCRITAS FROM INTGCENTRAL WHERE NRINTG = %1").arg(number))
            .value(0)
            .toDouble();
    QVERIFY2(rewritten > 0, "the run must rewrite recipes for the count to mean anything");
    const HttpAnswer undone = post(server.port(), "/call", callBody("UndoIntg", {number}), token);
    QCOMPARE(undone.status, 200);
    const double putBack =
        undone.body.value("result").toObject().value("rows").toArray().at(0).toArray().at(1).toDouble();
    QCOMPARE(putBack, rewritten);

    SCRAPE(after, server.port());
    const auto moved = [&](const QString& key) { return after[key] - before[key]; };
    QCOMPARE(moved(calls("GetGrupFili", 200)), 3.0);
    QCOMPARE(moved(QStringLiteral("suite_call_duration_seconds_count{method=\"GetGrupFili\"}")), 3.0);
    QVERIFY(moved(QStringLiteral("suite_call_duration_seconds_sum{method=\"GetGrupFili\"}")) > 0);
    QCOMPARE(moved(calls("other", 404)), 1.0);
    QCOMPARE(moved(calls("/login", 401)), 1.0);
    QCOMPARE(moved(calls("/login", 429)), 1.0);
    QCOMPARE(moved(QStringLiteral("suite_login_throttled_total")), 1.0);
    QCOMPARE(moved(calls("IntgCentral", 500)), 1.0);
    QCOMPARE(moved(QStringLiteral("suite_internal_errors_total")), 1.0);
    QCOMPARE(moved(calls("IntgCentral", 200)), 1.0);
    QCOMPARE(moved(QStringLiteral("suite_runs_total")), 1.0);
    QCOMPARE(moved(QStringLiteral("suite_recipes_written_total{work=\"run\"}")), rewritten);
    QCOMPARE(moved(calls("UndoIntg", 200)), 1.0);
    QCOMPARE(moved(QStringLiteral("suite_undos_total")), 1.0);
    QCOMPARE(moved(QStringLiteral("suite_recipes_written_total{work=\"undo\"}")), putBack);
    QCOMPARE(moved(calls("/metrics", 200)), 1.0);
    for (const QString& key : after.samples.keys())
        QVERIFY2(!key.contains(QLatin1String("DropEverything")) && !key.contains(QLatin1String("getgrupfili")),
                 qPrintable(key));
}

void tst_Metrics::refusalsAreCounted_data()
{
    QTest::addColumn<QString>("refusal");
    QTest::addColumn<QString>("counted");
    QTest::newRow("a call without a token") << "no token"
                                            << R"(suite_requests_refused_total{status="401"})";
    QTest::newRow("a route no one serves") << "no route"
                                           << R"(suite_requests_refused_total{status="404"})";
    QTest::newRow("a log-in body past its limit") << "large login"
                                                  << R"(suite_requests_refused_total{status="413"})";
    QTest::newRow("an address past its share") << "address full"
                                               << R"(suite_connections_refused_total{reason="address_full"})";
    QTest::newRow("the server past its total") << "server full"
                                               << R"(suite_connections_refused_total{reason="server_full"})";
}

void tst_Metrics::refusalsAreCounted()
{
    QFETCH(QString, refusal);
    QFETCH(QString, counted);
    SUITE_TEST_DATABASE(tdb, QStringLiteral("sqlite"), TestDatabase::Schema);
    server::ServerOptions options = RunningServer::optionsFor(tdb.url());
    options.connections.perAddress = 4;
    options.connections.total = 8;
    options.connections.requestDeadline = std::chrono::seconds(60); // held connections outlive the test's waits
    RunningServer server(options);
    SCRAPE(before, server.port());

    std::vector<std::unique_ptr<RawClient>> held;
    const auto hold = [&](const QString& from, int count) {
        for (int i = 0; i < count; ++i) {
            held.push_back(std::make_unique<RawClient>(from, server.port()));
            QVERIFY(held.back()->isOpen());
        }
    };
    double refused = 1;
    if (refusal == QLatin1String("no token")) {
        QCOMPARE(post(server.port(), "/call", callBody("GetGrupFili", {""})).status, 401);
    } else if (refusal == QLatin1String("no route")) {
        QCOMPARE(get("127.0.0.1", server.port(), "/admin")->status, 404);
    } else if (refusal == QLatin1String("large login")) {
        QCOMPARE(post(server.port(), "/login", QByteArray(8192, 'x')).status, 413);
    } else if (refusal == QLatin1String("address full")) {
        hold(QStringLiteral("127.0.0.9"), 4);
        QTRY_COMPARE(scrape(server.port())[kOpen] - before[kOpen], 4.0);
        RawClient fifth(QStringLiteral("127.0.0.9"), server.port());
        QVERIFY(fifth.awaitHead(10000));
        QVERIFY2(fifth.said().startsWith("HTTP/1.1 503"), fifth.said().constData());
    } else {
        // Nine connections for eight places (one may still be the last scrape's): those past the total are closed
        // unanswered at once, the others wait for a request.
        hold(QStringLiteral("127.0.0.9"), 4);
        hold(QStringLiteral("127.0.0.10"), 4);
        hold(QStringLiteral("127.0.0.11"), 1);
        refused = 0;
        for (const auto& client : held) {
            client->receive(200);
            if (!client->isOpen() && client->said().isEmpty())
                ++refused;
        }
        QVERIFY(refused >= 1);
    }
    held.clear();

    // The held connections end as their clients close them: the server's places come back for the last scrape.
    Scrape after;
    QTRY_VERIFY2((after = scrape(server.port())).error.isEmpty() && after[kOpen] == before[kOpen],
                 qPrintable(after.error));
    QCOMPARE(after[counted] - before[counted], refused);
    QVERIFY2(malformed(after).isEmpty(), qPrintable(malformed(after)));
}

void tst_Metrics::otherPeersAreRefused()
{
    SUITE_TEST_DATABASE(tdb, QStringLiteral("sqlite"), TestDatabase::Schema);
    {
        RunningServer local(tdb.url());
        // A balancer on this machine connects from loopback: what it passes on is someone else's request.
        for (const auto& [name, value] :
             {std::pair{"X-Forwarded-For", "203.0.113.7"}, {"Forwarded", "for=203.0.113.7"}}) {
            const auto answer = get("127.0.0.1", local.port(), "/metrics", {{name, value}});
            QVERIFY(answer);
            QCOMPARE(answer->status, 403);
            QVERIFY2(answer->body.find("loopback") != std::string::npos, answer->body.c_str());
        }
    }

    const QString address = otherAddress();
    if (address.isEmpty())
        QSKIP("this machine has no address but its loopback: no peer from elsewhere to try");
    server::ServerOptions options = RunningServer::optionsFor(tdb.url());
    options.host = address;
    options.insecurePlainHttp = true;
    RunningServer reached(options);
    QVERIFY(reached.isRunning());
    const auto answer = get(address.toStdString(), reached.port(), "/metrics");
    QVERIFY2(answer, "the server on the machine's own address does not answer");
    QCOMPARE(answer->status, 403);
    QCOMPARE(answer->get_header_value("Content-Type"), std::string("application/json"));
    QVERIFY(answer->body.find("suite_") == std::string::npos);
}

QTEST_GUILESS_MAIN(tst_Metrics)
#include "tst_metrics.moc"
