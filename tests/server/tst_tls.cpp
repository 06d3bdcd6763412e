// HTTPS: the server speaks TLS 1.2 and later from PEM files, refuses files it should not serve from, and never
// sends passwords in clear off the machine unless told, in so many words, that it may.
#include "selfsignedpair.h"
#include "servertestkit.h"

#include <QFile>
#include <QProcess>
#include <QtTest>

#include <stdexcept>

using namespace suite;
using namespace suite::test;

namespace {

struct Pair {
    QString certificate;
    QString key;
};

Pair makePair(const QTemporaryDir& dir, const QString& name, const QString& host = QStringLiteral("127.0.0.1"))
{
    const Pair pair{dir.filePath(name + QStringLiteral(".crt")), dir.filePath(name + QStringLiteral(".key"))};
    server::makeSelfSignedPair(host, pair.certificate, pair.key);
    return pair;
}

// Whether `openssl s_client` completes a handshake with the server offering only `protocol`.
bool handshakes(int port, const QString& protocol)
{
    QProcess client;
    // The client's own floor is lowered, so that a refusal is the server's.
    client.start(QStringLiteral("openssl"), {QStringLiteral("s_client"), QStringLiteral("-connect"),
                                             QStringLiteral("127.0.0.1:%1").arg(port), protocol,
                                             QStringLiteral("-cipher"), QStringLiteral("DEFAULT@SECLEVEL=0")});
    client.closeWriteChannel();
    if (!client.waitForFinished(30000))
        client.kill();
    const QByteArray said = client.readAllStandardOutput();
    return said.contains("Cipher is ") && !said.contains("Cipher is (NONE)");
}

} // namespace

class tst_Tls : public QObject {
    Q_OBJECT

private slots:
    void plainHttpOnlyOnLoopback_data();
    void plainHttpOnlyOnLoopback();
    void refusesFilesItShouldNotServe_data();
    void refusesFilesItShouldNotServe();
    void servesHttps();
};

void tst_Tls::plainHttpOnlyOnLoopback_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<bool>("insecure");
    QTest::addColumn<bool>("starts");
    QTest::newRow("loopback") << "127.0.0.1" << false << true;
    QTest::newRow("loopback by name") << "localhost" << false << true;
    QTest::newRow("every address") << "0.0.0.0" << false << false;
    QTest::newRow("every address, said insecure") << "0.0.0.0" << true << true;
}

void tst_Tls::plainHttpOnlyOnLoopback()
{
    QFETCH(QString, host);
    QFETCH(bool, insecure);
    QFETCH(bool, starts);
    SUITE_TEST_DATABASE(tdb, QStringLiteral("sqlite"), TestDatabase::Schema);
    QTemporaryDir dir;
    server::ServerOptions options = RunningServer::optionsFor(tdb.url());
    options.keyFile = dir.filePath(QStringLiteral("server.key"));
    server::createSigningKey(options.keyFile);
    options.host = host;
    options.port = 0;
    options.insecurePlainHttp = insecure;
    try {
        server::HttpServer server(options);
        QVERIFY2(starts, "plain HTTP was set to serve other machines");
    } catch (const std::runtime_error& e) {
        QVERIFY2(!starts, e.what());
        QVERIFY2(QString::fromUtf8(e.what()).contains(QStringLiteral("--insecure-plain-http")), e.what());
    }
}

void tst_Tls::refusesFilesItShouldNotServe_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("why");
    QTest::newRow("key every user may read") << "readable key" << "every user may read";
    QTest::newRow("key of another certificate") << "other key" << "is not the key of";
    QTest::newRow("certificate missing") << "no certificate" << "cannot read";
    QTest::newRow("certificate not PEM") << "garbage certificate" << "not a PEM certificate";
}

void tst_Tls::refusesFilesItShouldNotServe()
{
    QFETCH(QString, fault);
    QFETCH(QString, why);
    SUITE_TEST_DATABASE(tdb, QStringLiteral("sqlite"), TestDatabase::Schema);
    QTemporaryDir dir;
    Pair pair = makePair(dir, QStringLiteral("server"));
    if (fault == QLatin1String("readable key"))
        QFile::setPermissions(pair.key, QFile::permissions(pair.key) | QFileDevice::ReadOther);
    else if (fault == QLatin1String("other key"))
        pair.key = makePair(dir, QStringLiteral("other")).key;
    else if (fault == QLatin1String("no certificate"))
        pair.certificate = dir.filePath(QStringLiteral("missing.crt"));
    else {
        QFile garbage(pair.certificate);
        QVERIFY(garbage.open(QIODevice::WriteOnly | QIODevice::Truncate));
        garbage.write("not a certificate\n");
    }
    server::ServerOptions options = RunningServer::optionsFor(tdb.url());
    options.keyFile = dir.filePath(QStringLiteral("signing.key"));
    server::createSigningKey(options.keyFile);
    options.tlsCertificate = pair.certificate;
    options.tlsKey = pair.key;
    try {
        server::HttpServer server(options);
        QFAIL("the server took files it should have refused");
    } catch (const std::runtime_error& e) {
        QVERIFY2(QString::fromUtf8(e.what()).contains(why), e.what());
    }
}

void tst_Tls::servesHttps()
{
    SUITE_TEST_DATABASE(tdb, QStringLiteral("sqlite"), TestDatabase::Schema);
    loadFixture(tdb.db());
    QTemporaryDir dir;
    const Pair pair = makePair(dir, QStringLiteral("server"));
    server::ServerOptions options = RunningServer::optionsFor(tdb.url());
    options.tlsCertificate = pair.certificate;
    options.tlsKey = pair.key;
    RunningServer server(options);

    // A client that checks the certificate logs in and calls on one kept-alive connection.
    httplib::Client client(QStringLiteral("https://127.0.0.1:%1").arg(server.port()).toStdString());
    client.set_ca_cert_path(pair.certificate.toStdString());
    client.enable_server_certificate_verification(true);
    client.set_read_timeout(30, 0);
    const std::string credentials = R"({"user":"demo","password":"demo"})";
    const auto loggedIn = client.Post("/login", credentials, "application/json");
    QVERIFY2(loggedIn, httplib::to_string(loggedIn.error()).c_str());
    QCOMPARE(loggedIn->status, 200);
    const std::string token =
        QJsonDocument::fromJson(QByteArray::fromStdString(loggedIn->body)).object().value("token").toString().toStdString();
    const QByteArray body = callBody(QStringLiteral("GetGrupFili"), {""});
    const auto groups = client.Post("/call", {{"Authorization", "Bearer " + token}}, body.constData(),
                                    std::size_t(body.size()), "application/json");
    QVERIFY(groups);
    QCOMPARE(groups->status, 200);
    QVERIFY(groups->body.find("Grupo A") != std::string::npos);

    // Plain HTTP to the same port gets no answer, and so nothing is said in clear.
    httplib::Client plain("127.0.0.1", server.port());
    plain.set_read_timeout(10, 0);
    QVERIFY(!plain.Get("/health"));

    QVERIFY(handshakes(server.port(), QStringLiteral("-tls1_2")));
    QVERIFY2(!handshakes(server.port(), QStringLiteral("-tls1_1")), "the server agreed to TLS 1.1");
}

QTEST_GUILESS_MAIN(tst_Tls)
#include "tst_tls.moc"
