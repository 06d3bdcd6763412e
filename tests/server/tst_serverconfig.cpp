// serve's configuration file: every refusal names its file, line and key; a good file gives the server its
// settings; the command line overrides the file option by option; the log level reaches the server's categories.
#include "configerror.h"
#include "serverconfig.h"
#include "serverlog.h"
#include "serverprocess.h"

#include <QFile>
#include <QLoggingCategory>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

using namespace suite::server;
using std::chrono::milliseconds;
using suite::test::ServerProcess;

namespace {

QString write(const QTemporaryDir& dir, const QByteArray& text, const QString& name = QStringLiteral("server.ini"))
{
    QFile file(dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        qFatal("cannot write %s", qPrintable(file.fileName()));
    return file.fileName();
}

// The settings `args` (key=value, all of [server]) give, as the command line's.
ServeSettings commandLine(const QStringList& args)
{
    ServeSettings settings;
    for (const QString& arg : args)
        settings.assign(QStringLiteral("server"), arg.section(QLatin1Char('='), 0, 0),
                        arg.section(QLatin1Char('='), 1));
    return settings;
}

} // namespace

class tst_ServerConfig : public QObject {
    Q_OBJECT
private slots:
    void refusesWhatItDoesNotUnderstand_data();
    void refusesWhatItDoesNotUnderstand();
    void refusesAFileItCannotRead();
    void goodFileGivesTheServerItsSettings();
    void commandLineOverridesTheFile();
    void commandLineChoosesHttpsOrPlainHttp_data();
    void commandLineChoosesHttpsOrPlainHttp();
    void logLevelReachesTheServerCategories_data();
    void logLevelReachesTheServerCategories();
    void serverRefusesABadFileAtStart();
    void serverTakesTheFileUnderItsCommandLine();
};

void tst_ServerConfig::refusesWhatItDoesNotUnderstand_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("says");

    const QByteArray server = "# the server\n[server]\n"; // a key on line 3
    const QByteArray connections = "[connections]\n";     // a key on line 2
    QTest::newRow("unknown key") << server + "lisen = 127.0.0.1:8211\n"
                                 << 3 << "lisen"
                                 << "unknown key \"lisen\"";
    QTest::newRow("key of the other section") << connections + "listen = 127.0.0.1:8211\n"
                                              << 2 << "listen"
                                              << "belongs in [server]";
    QTest::newRow("key before any section") << QByteArray("\nlog-level = info\n") << 2 << "log-level"
                                            << "before any section";
    QTest::newRow("unknown section") << QByteArray("[server]\n; next\n[servre]\n") << 3 << "servre"
                                     << "unknown section [servre]";
    QTest::newRow("unclosed section") << QByteArray("[server\n") << 1 << ""
                                      << "unknown section";
    QTest::newRow("line of no key") << server + "listen\n"
                                    << 3 << ""
                                    << "neither";
    QTest::newRow("key given twice, sections apart")
        << server + "log-level = info\n[connections]\ntotal = 10\n[server]\nlog-level = debug\n"
        << 7 << "log-level"
        << "given twice (first on line 3)";
    QTest::newRow("value left empty") << server + "key-file =\n"
                                      << 3 << "key-file"
                                      << "has no value";
    QTest::newRow("seconds of letters") << server + "statement-timeout = abc\n"
                                        << 3 << "statement-timeout"
                                        << "statement-timeout: \"abc\" is not a number of seconds";
    QTest::newRow("no seconds") << connections + "keep-alive = 0\n"
                                << 2 << "keep-alive"
                                << "more than 0";
    QTest::newRow("too many seconds") << connections + "request-deadline = 3601\n"
                                      << 2 << "request-deadline"
                                      << "at most 3600";
    QTest::newRow("a comment after a value") << connections + "per-address = 16 # per client\n"
                                             << 2 << "per-address"
                                             << "not a whole number";
    QTest::newRow("count of a fraction") << server + "database-workers = 2.5\n"
                                         << 3 << "database-workers"
                                         << "not a whole number";
    QTest::newRow("count out of range") << connections + "loop-threads = 0\n"
                                        << 2 << "loop-threads"
                                        << "not from 1 to 64";
    QTest::newRow("header limit too small") << connections + "header-limit = 100\n"
                                            << 2 << "header-limit"
                                            << "not from 1024";
    QTest::newRow("neither true nor false") << server + "insecure-plain-http = maybe\n"
                                            << 3 << "insecure-plain-http"
                                            << "neither true nor false";
    QTest::newRow("listen without a port") << server + "listen = localhost\n"
                                           << 3 << "listen"
                                           << "not HOST:PORT";
    QTest::newRow("listen past the last port") << server + "listen = 0.0.0.0:65536\n"
                                               << 3 << "listen"
                                               << "not HOST:PORT";
    QTest::newRow("proxy by name") << server + "trusted-proxies = 10.0.0.1, proxy.example\n"
                                   << 3 << "trusted-proxies"
                                   << "\"proxy.example\" is not an IP address";
    QTest::newRow("proxy network too wide") << server + "trusted-proxies = 10.0.0.0/33\n"
                                            << 3 << "trusted-proxies"
                                            << "\"10.0.0.0/33\"";
    QTest::newRow("proxy list of commas") << server + "trusted-proxies = ,,\n"
                                          << 3 << "trusted-proxies"
                                          << "names no address";
    QTest::newRow("log level of another program") << server + "log-level = verbose\n"
                                                  << 3 << "log-level"
                                                  << "not warning, info or debug";
    QTest::newRow("database of another kind") << server + "database = mysql://suite@db/suite\n"
                                              << 3 << "database"
                                              << "unsupported scheme";
}

void tst_ServerConfig::refusesWhatItDoesNotUnderstand()
{
    QFETCH(QByteArray, text);
    QFETCH(int, line);
    QFETCH(QString, key);
    QFETCH(QString, says);
    QTemporaryDir dir;
    const QString path = write(dir, text);
    try {
        ServerConfig::read(path);
        QFAIL("the file was taken");
    } catch (const ConfigError& e) {
        const QString what = QString::fromStdString(e.what());
        QCOMPARE(e.file(), path);
        QCOMPARE(e.line(), line);
        QCOMPARE(e.key(), key);
        QVERIFY2(what.startsWith(QStringLiteral("%1:%2: ").arg(path).arg(line)), qPrintable(what));
        QVERIFY2(what.contains(says), qPrintable(what));
    }
}

void tst_ServerConfig::refusesAFileItCannotRead()
{
    QTemporaryDir dir;
    for (const QString& path : {dir.filePath("absent.ini"), dir.path(), write(dir, "[server]\n\xff\xfe\n")}) {
        try {
            ServerConfig::read(path);
            QFAIL(qPrintable(path + " was taken"));
        } catch (const ConfigError& e) {
            QCOMPARE(e.file(), path);
            QCOMPARE(e.line(), 0);
            QVERIFY2(QString::fromStdString(e.what()).startsWith(path + ": "), e.what());
        }
    }
}

void tst_ServerConfig::goodFileGivesTheServerItsSettings()
{
    QTemporaryDir dir;
    // Windows line ends, both kinds of comment, keys spaced any way, paths relative to the file's folder.
    const QString path = write(dir, "; a head office's server\r\n"
                                    "[server]\r\n"
                                    "listen = 0.0.0.0:8443\r\n"
                                    "database=suite.db\r\n"
                                    "key-file  =  /etc/suite/server.key\r\n"
                                    "tls-cert = tls/server.crt\r\n"
                                    "tls-key = tls/server.key\r\n"
                                    "trusted-proxies = 10.0.0.7, 192.168.1.0/24 0:0::1\r\n"
                                    "database-workers = 4\r\n"
                                    "statement-timeout = 2.5\r\n"
                                    "log-level = info\r\n"
                                    "\r\n"
                                    "# what clients may hold\r\n"
                                    "[connections]\r\n"
                                    "per-address = 32\r\n"
                                    "total = 1000\r\n"
                                    "request-deadline = 20\r\n"
                                    "answer-deadline = 90\r\n"
                                    "keep-alive = 0.5\r\n"
                                    "loop-threads = 3\r\n"
                                    "requests-per-connection = 50\r\n"
                                    "header-limit = 8192\r\n");
    const ServeSettings settings = ServerConfig::read(path);
    const ServerOptions o = settings.serverOptions();
    QCOMPARE(o.host, QStringLiteral("0.0.0.0"));
    QCOMPARE(o.port, 8443);
    QCOMPARE(o.databaseUrl, dir.filePath("suite.db"));
    QCOMPARE(o.keyFile, QStringLiteral("/etc/suite/server.key"));
    QCOMPARE(o.tlsCertificate, dir.filePath("tls/server.crt"));
    QCOMPARE(o.tlsKey, dir.filePath("tls/server.key"));
    QVERIFY(o.usesTls());
    QVERIFY(!o.insecurePlainHttp);
    QCOMPARE(o.trustedProxies, (QStringList{"10.0.0.7", "192.168.1.0/24", "::1"}));
    QCOMPARE(o.threads, 4);
    QCOMPARE(o.statementTimeout, milliseconds(2500));
    QCOMPARE(o.connections.perAddress, 32);
    QCOMPARE(o.connections.total, 1000);
    QCOMPARE(o.connections.requestDeadline, milliseconds(20000));
    QCOMPARE(o.connections.answerDeadline, milliseconds(90000));
    QCOMPARE(o.connections.keepAlive, milliseconds(500));
    QCOMPARE(o.connections.loopThreads, 3);
    QCOMPARE(o.connections.requestsPerConnection, 50);
    QCOMPARE(o.connections.headerLimit, std::size_t(8192));
    QCOMPARE(settings.logLevel, LogLevel::Info);

    // What the file leaves out keeps the server's defaults, the key beside a SQLite file among them.
    const ServerOptions defaults;
    const ServerOptions sparse =
        ServerConfig::read(write(dir, "[server]\ndatabase = /srv/suite.db\n", "sparse.ini")).serverOptions();
    QCOMPARE(sparse.keyFile, QStringLiteral("/srv/suite.db.key"));
    QCOMPARE(sparse.host, defaults.host);
    QCOMPARE(sparse.port, defaults.port);
    QCOMPARE(sparse.threads, defaults.threads);
    QCOMPARE(sparse.connections.perAddress, defaults.connections.perAddress);
    QCOMPARE(sparse.statementTimeout, defaults.statementTimeout);
}

void tst_ServerConfig::commandLineOverridesTheFile()
{
    QTemporaryDir dir;
    const ServeSettings file = ServerConfig::read(write(dir, "[server]\n"
                                                             "listen = 0.0.0.0:8211\n"
                                                             "database = /srv/suite/suite.db\n"
                                                             "key-file = /srv/suite/file.key\n"
                                                             "statement-timeout = 30\n"
                                                             "[connections]\n"
                                                             "per-address = 4\n"));
    const ServerOptions o =
        ServeSettings::merged(file, commandLine({"listen=127.0.0.1:9000", "key-file=cli.key"})).serverOptions();
    QCOMPARE(o.host, QStringLiteral("127.0.0.1"));
    QCOMPARE(o.port, 9000);
    QCOMPARE(o.keyFile, QStringLiteral("cli.key")); // a command line's relative path is the caller's
    QCOMPARE(o.databaseUrl, QStringLiteral("/srv/suite/suite.db"));
    QCOMPARE(o.statementTimeout, milliseconds(30000));
    QCOMPARE(o.connections.perAddress, 4);

    // A database on the command line alone still finds its key beside it, and one it names replaces the file's.
    const ServerOptions moved =
        ServeSettings::merged(ServerConfig::read(write(dir, "[server]\ndatabase = /srv/a.db\n", "b.ini")),
                              commandLine({"database=/srv/b.db"}))
            .serverOptions();
    QCOMPARE(moved.databaseUrl, QStringLiteral("/srv/b.db"));
    QCOMPARE(moved.keyFile, QStringLiteral("/srv/b.db.key"));
}

void tst_ServerConfig::commandLineChoosesHttpsOrPlainHttp_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("certificate"); // empty: plain HTTP
    QTest::addColumn<bool>("insecure");
    QTest::addColumn<QString>("refusedKey"); // non-empty: the settings make no server, for this key

    const QByteArray https = "[server]\ntls-cert = /etc/suite/a.crt\ntls-key = /etc/suite/a.key\n";
    const QByteArray insecure = "[server]\ninsecure-plain-http = yes\n";
    QTest::newRow("file's HTTPS") << https << QStringList{} << "/etc/suite/a.crt" << false << "";
    QTest::newRow("plain HTTP for a trial") << https << QStringList{"insecure-plain-http=true"} << "" << true << "";
    QTest::newRow("HTTPS over the file's plain HTTP")
        << insecure << QStringList{"tls-cert=/tmp/b.crt", "tls-key=/tmp/b.key"} << "/tmp/b.crt" << false << "";
    QTest::newRow("a new certificate, the file's key")
        << https << QStringList{"tls-cert=/tmp/b.crt"} << "/tmp/b.crt" << false << "";
    QTest::newRow("half a pair in the file")
        << QByteArray("[server]\ntls-cert = /etc/suite/a.crt\n") << QStringList{} << "" << false << "tls-key";
    QTest::newRow("both in the file") << https + "insecure-plain-http = true\n"
                                      << QStringList{} << "" << true << "insecure-plain-http";
}

void tst_ServerConfig::commandLineChoosesHttpsOrPlainHttp()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, args);
    QFETCH(QString, certificate);
    QFETCH(bool, insecure);
    QFETCH(QString, refusedKey);
    QTemporaryDir dir;
    const ServeSettings merged =
        ServeSettings::merged(ServerConfig::read(write(dir, file + "database = /srv/suite.db\n")), commandLine(args));
    try {
        const ServerOptions o = merged.serverOptions();
        QVERIFY2(refusedKey.isEmpty(), "settings that make no server were taken");
        QCOMPARE(o.tlsCertificate, certificate);
        QCOMPARE(o.usesTls(), !certificate.isEmpty());
        QCOMPARE(o.insecurePlainHttp, insecure);
    } catch (const ConfigError& e) {
        QVERIFY2(!refusedKey.isEmpty(), e.what());
        QCOMPARE(e.key(), refusedKey);
    }
}

void tst_ServerConfig::logLevelReachesTheServerCategories_data()
{
    QTest::addColumn<QString>("level");
    QTest::addColumn<bool>("info");
    QTest::addColumn<bool>("debug");
    QTest::newRow("warning") << "warning" << false << false;
    QTest::newRow("info") << "info" << true << false;
    QTest::newRow("debug") << "debug" << true << true;
}

void tst_ServerConfig::logLevelReachesTheServerCategories()
{
    QFETCH(QString, level);
    QFETCH(bool, info);
    QFETCH(bool, debug);
    ServeSettings settings;
    settings.assign(QStringLiteral("server"), QStringLiteral("log-level"), level);
    QLoggingCategory::setFilterRules(settings.loggingRules());
    const auto restore = qScopeGuard([] { QLoggingCategory::setFilterRules({}); });
    QCOMPARE(lcServer().isWarningEnabled(), true);
    QCOMPARE(lcServer().isInfoEnabled(), info);
    QCOMPARE(lcServer().isDebugEnabled(), debug);
    QLoggingCategory below("suite.server.sub");
    QCOMPARE(below.isInfoEnabled(), info);
    QLoggingCategory other("suite.db");
    QVERIFY(other.isInfoEnabled()); // other libraries keep their own
}

void tst_ServerConfig::serverRefusesABadFileAtStart()
{
    if (ServerProcess::binDir().isEmpty())
        QSKIP("SUITE_BIN_DIR is not set");
    QTemporaryDir dir;
    const QString path = write(dir, "[server]\ndatabase = suite.db\nstatement-timeout = abc\n");
    QProcess process;
    process.start(ServerProcess::program(), {"serve", "--config", path, "--listen", "127.0.0.1:0"});
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitCode(), 2);
    const QString said = QString::fromUtf8(process.readAllStandardError());
    QVERIFY2(said.startsWith(QStringLiteral("suite-server: %1:3: statement-timeout: \"abc\" is not a number of "
                                            "seconds\n")
                                 .arg(path)),
             qPrintable(said));
    QVERIFY(!QFile::exists(dir.filePath("suite.db"))); // nothing made
}

void tst_ServerConfig::serverTakesTheFileUnderItsCommandLine()
{
    // The file names an address of no machine here and a database that is not there: the command line's replace
    // both, and the file's other settings are taken.
    QTemporaryDir dir;
    const QString path = write(dir, "[server]\n"
                                    "listen = 192.0.2.1:8211\n"
                                    "database = nowhere.db\n"
                                    "log-level = warning\n"
                                    "[connections]\n"
                                    "loop-threads = 1\n");
    ServerProcess server;
    server.serveArguments = QStringList{"--config", path};
    const QString why = server.startDemo();
    QVERIFY2(why.isEmpty(), qPrintable(why));
}

QTEST_GUILESS_MAIN(tst_ServerConfig)
#include "tst_serverconfig.moc"
