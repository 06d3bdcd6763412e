// Command line and suite.ini of suite-host.
#include "hostconfig.h"
#include "hostoptions.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using suite::host::HostConfig;
using suite::host::HostOptions;

class tst_HostOptions : public QObject {
    Q_OBJECT
private slots:
    void parses_data();
    void parses();
    void refuses_data();
    void refuses();
    void configFileAndCommandLine();
    void missingConfigFile();
    void modulesBesideTheProgram_data();
    void modulesBesideTheProgram();
    void passwordKeptOffTheCommandLine_data();
    void passwordKeptOffTheCommandLine();
};

void tst_HostOptions::parses_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("autoLogin");
    QTest::addColumn<QString>("server");
    QTest::addColumn<QStringList>("modules");
    QTest::addColumn<bool>("scripted");

    QTest::newRow("nothing: the dialog asks") << QStringList{} << false << QString() << QStringList{} << false;
    QTest::newRow("all three credentials") << QStringList{"--user", "demo", "--password", "demo", "--branch", "1"}
                                           << true << QString() << QStringList{} << false;
    QTest::newRow("password missing") << QStringList{"--user", "demo", "--branch", "0001"} << false << QString()
                                      << QStringList{} << false;
    QTest::newRow("empty password is still given") << QStringList{"--user", "demo", "--password=", "--branch", "0001"}
                                                   << true << QString() << QStringList{} << false;
    QTest::newRow("server with port") << QStringList{"--server", "10.0.0.5:9000"} << false << "10.0.0.5:9000"
                                      << QStringList{} << false;
    QTest::newRow("server without port") << QStringList{"--server", "appserver"} << false << "appserver:8211"
                                         << QStringList{} << false;
    QTest::newRow("https with port") << QStringList{"--server", "https://app.example:8443"} << false
                                     << "https://app.example:8443" << QStringList{} << false;
    QTest::newRow("https without port") << QStringList{"--server", "https://app.example"} << false
                                        << "https://app.example:8211" << QStringList{} << false;
    QTest::newRow("https, IPv6 address") << QStringList{"--server", "https://[::1]:8443"} << false
                                         << "https://[::1]:8443" << QStringList{} << false;
    QTest::newRow("http:// is the plain form")
        << QStringList{"--server", "http://10.0.0.5:9000/"} << false << "10.0.0.5:9000" << QStringList{} << false;
    QTest::newRow("open twice, dump") << QStringList{"--open", "rci06000", "--open", "rci06001", "--dump-ui", "ui.json"}
                                      << false << QString() << QStringList{"rci06000", "rci06001"} << true;
    QTest::newRow("automate") << QStringList{"--automate", "script.json"} << false << QString() << QStringList{}
                              << true;
}

void tst_HostOptions::parses()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, autoLogin);
    QFETCH(QString, server);
    QFETCH(QStringList, modules);
    QFETCH(bool, scripted);

    const HostOptions options = HostOptions::parse(QStringList{"suite-host"} + arguments);
    QVERIFY2(options.error.isEmpty(), qPrintable(options.error));
    QCOMPARE(options.autoLogin(), autoLogin);
    QCOMPARE(options.server ? options.server->text() : QString(), server);
    QCOMPARE(options.openModules, modules);
    QCOMPARE(options.scripted(), scripted);
}

void tst_HostOptions::refuses_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");

    QTest::newRow("unknown option") << QStringList{"--usr", "demo"} << "Opção desconhecida: usr";
    QTest::newRow("port out of range") << QStringList{"--server", "localhost:70000"} << "Servidor inválido";
    QTest::newRow("port not a number") << QStringList{"--server", "localhost:http"} << "Servidor inválido";
    QTest::newRow("no host") << QStringList{"--server", ":8211"} << "Servidor inválido";
    QTest::newRow("scheme other than http(s)") << QStringList{"--server", "ftp://app:21"} << "Servidor inválido";
    QTest::newRow("https with a path") << QStringList{"--server", "https://app/suite"} << "Servidor inválido";
    QTest::newRow("https without host") << QStringList{"--server", "https://:8443"} << "Servidor inválido";
    QTest::newRow("value missing") << QStringList{"--user"} << "Linha de comando inválida";
    QTest::newRow("module as a path") << QStringList{"--open", "../evil"} << "Nome de módulo inválido";
    QTest::newRow("dump and automate") << QStringList{"--dump-ui", "a.json", "--automate", "b.json"} << "não os dois";
    QTest::newRow("stray argument") << QStringList{"demo"} << "Argumento inesperado";
}

void tst_HostOptions::refuses()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    const HostOptions options = HostOptions::parse(QStringList{"suite-host"} + arguments);
    QVERIFY2(options.error.contains(message), qPrintable(options.error));
}

void tst_HostOptions::configFileAndCommandLine()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString ini = dir.filePath("suite.ini");
    QFile file(ini);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[server]\nhost=app.local\nport=9100\ncafile=certs/ca.pem\n[database]\nurl=var/demo.db\n"
               "[host]\nbranchMode=true\nmodulesDir=mods\nreportsDir=/srv/reports\n");
    file.close();

    const HostConfig fromFile = HostConfig::load(HostOptions::parse({"suite-host", "--config", ini}), "/opt/suite/bin");
    QVERIFY2(fromFile.error.isEmpty(), qPrintable(fromFile.error));
    QCOMPARE(fromFile.server.text(), QString("app.local:9100"));
    QCOMPARE(fromFile.databaseUrl, dir.filePath("var/demo.db")); // relative to the file
    QCOMPARE(fromFile.caFile, dir.filePath("certs/ca.pem"));
    QVERIFY(fromFile.branchMode);
    QCOMPARE(fromFile.modulesDir, dir.filePath("mods"));
    QCOMPARE(fromFile.reportsDir, QString("/srv/reports"));

    const HostConfig overridden =
        HostConfig::load(HostOptions::parse({"suite-host", "--config", ini, "--server", "127.0.0.1:8300", "--database",
                                             "postgresql://suite@db:5432/suite"}),
                         "/opt/suite/bin");
    QCOMPARE(overridden.server.text(), QString("127.0.0.1:8300"));
    QCOMPARE(overridden.databaseUrl, QString("postgresql://suite@db:5432/suite"));
    QCOMPARE(overridden.caFile, dir.filePath("certs/ca.pem")); // the command line named none

    const HostConfig https = HostConfig::load(
        HostOptions::parse({"suite-host", "--config", ini, "--server", "https://app.local", "--ca-file", "ca.pem"}),
        "/opt/suite/bin");
    QCOMPARE(https.server.text(), QString("https://app.local:8211"));
    QCOMPARE(https.caFile, QDir::current().filePath("ca.pem")); // relative to where the user typed it
    QVERIFY(overridden.branchMode);                             // a file setting the command line does not switch off

    const HostConfig noFile = HostConfig::load(HostOptions::parse({"suite-host"}), dir.filePath("bin"));
    QCOMPARE(noFile.modulesDir, dir.filePath("lib")); // next to bin/
    QCOMPARE(noFile.server.text(), QString("127.0.0.1:8211"));
    QVERIFY(noFile.caFile.isEmpty()); // the system's store
}

void tst_HostOptions::missingConfigFile()
{
    const HostConfig config =
        HostConfig::load(HostOptions::parse({"suite-host", "--config", "/nonexistent/suite.ini"}), "/tmp");
    QVERIFY2(config.error.contains("não encontrado"), qPrintable(config.error));
}

void tst_HostOptions::modulesBesideTheProgram_data()
{
    QTest::addColumn<QString>("libSuite"); // what lib/suite beside bin/ is: "", "folder" or "file"
    QTest::addColumn<QString>("modules");
    QTest::newRow("build directory") << QString() << "lib";
    QTest::newRow("installed under /usr") << QStringLiteral("folder") << "lib/suite";
    QTest::newRow("a file named lib/suite") << QStringLiteral("file") << "lib";
}

void tst_HostOptions::modulesBesideTheProgram()
{
    QFETCH(QString, libSuite);
    QFETCH(QString, modules);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir().mkpath(dir.filePath("bin")) && QDir().mkpath(dir.filePath("lib")));
    if (libSuite == "folder")
        QVERIFY(QDir().mkpath(dir.filePath("lib/suite")));
    if (libSuite == "file") {
        QFile file(dir.filePath("lib/suite"));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    const HostConfig config = HostConfig::load(HostOptions::parse({"suite-host"}), dir.filePath("bin"));
    QCOMPARE(config.modulesDir, dir.filePath(modules));
}

void tst_HostOptions::passwordKeptOffTheCommandLine_data()
{
    QTest::addColumn<QByteArray>("fileText"); // written to a file the row names with FILE
    QTest::addColumn<QByteArray>("environment");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("password"); // or the error's start
    const QStringList login{"--user", "demo", "--branch", "0001"};
    QTest::newRow("first line of a file") << QByteArray("segredo\r\nsecond line\n") << QByteArray()
                                          << login + QStringList{"--password-file", "FILE"} << "segredo";
    QTest::newRow("environment") << QByteArray() << QByteArray("segredo") << login << "segredo";
    QTest::newRow("file before environment") << QByteArray("do arquivo\n") << QByteArray("do ambiente")
                                             << login + QStringList{"--password-file", "FILE"} << "do arquivo";
    QTest::newRow("unreadable file") << QByteArray() << QByteArray()
                                     << login + QStringList{"--password-file", "/nonexistent/senha"}
                                     << "Não foi possível ler a senha em /nonexistent/senha";
    QTest::newRow("file and command line") << QByteArray("x\n") << QByteArray()
                                           << login + QStringList{"--password-file", "FILE", "--password", "y"}
                                           << "Use --password ou --password-file";
}

void tst_HostOptions::passwordKeptOffTheCommandLine()
{
    QFETCH(QByteArray, fileText);
    QFETCH(QByteArray, environment);
    QFETCH(QStringList, arguments);
    QFETCH(QString, password);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("senha"));
    QFile out(file);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(fileText);
    out.close();
    arguments.replaceInStrings(QStringLiteral("FILE"), file);
    qputenv("SUITE_PASSWORD", environment);
    const HostOptions options = HostOptions::parse(QStringList{"suite-host"} + arguments);
    qunsetenv("SUITE_PASSWORD");
    if (options.error.isEmpty()) {
        QVERIFY(options.autoLogin());
        QCOMPARE(*options.password, password);
    } else {
        QVERIFY2(options.error.startsWith(password), qPrintable(options.error));
    }
}

QTEST_GUILESS_MAIN(tst_HostOptions)
#include "tst_hostoptions.moc"
