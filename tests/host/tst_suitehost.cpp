// suite-host as a user or a script runs it: the real binary against a real server.
#include "serverprocess.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

class tst_SuiteHost : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void dumpAfterLogin();
    void scriptedLoginFailures_data();
    void scriptedLoginFailures();
    void unusableCaFileStopsTheStart();
    void automateStopsAtUnmetExpectation();
    void moduleReopensAfterItsScreenCloses();

private:
    struct Run {
        int exitCode = -1;
        QString output;
    };
    Run host(const QStringList& arguments, int port = 0);
    QString writeFile(const QString& name, const QByteArray& content);
    static QJsonObject findWidget(const QJsonObject& window, const QString& name);

    suite::test::ServerProcess m_server;
    QTemporaryDir m_dir;
};

void tst_SuiteHost::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY2(QFile::exists(QDir(suite::test::ServerProcess::binDir()).filePath("suite-host")),
             "suite-host is not built");
    const QString why = m_server.startDemo();
    QVERIFY2(why.isEmpty(), qPrintable(why));
}

tst_SuiteHost::Run tst_SuiteHost::host(const QStringList& arguments, int port)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setWorkingDirectory(m_dir.path());
    const QStringList common{"--server", QStringLiteral("127.0.0.1:%1").arg(port ? port : m_server.port()),
                             "--database", m_server.database()};
    process.start(QDir(suite::test::ServerProcess::binDir()).filePath("suite-host"), common + arguments);
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        return {-1, QStringLiteral("suite-host did not finish: ") + QString::fromLocal8Bit(process.readAll())};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAll())};
}

QString tst_SuiteHost::writeFile(const QString& name, const QByteArray& content)
{
    QFile file(m_dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write(content);
    return file.fileName();
}

QJsonObject tst_SuiteHost::findWidget(const QJsonObject& window, const QString& name)
{
    for (const QJsonValue& value : window.value("widgets").toArray()) {
        if (value.toObject().value("objectName").toString() == name)
            return value.toObject();
    }
    return {};
}

void tst_SuiteHost::dumpAfterLogin()
{
    const QString dumpFile = m_dir.filePath("ui.json");
    const Run run = host({"--user", "demo", "--password", "demo", "--branch", "2", "--dump-ui", dumpFile});
    QVERIFY2(run.exitCode == 0, qPrintable(run.output));

    QFile file(dumpFile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QJsonArray windows = QJsonDocument::fromJson(file.readAll()).object().value("windows").toArray();
    QVERIFY(!windows.isEmpty());
    const QJsonObject main = windows.first().toObject();
    QCOMPARE(main.value("objectName").toString(), QString("frmPrincipal"));
    const QString title = main.value("windowTitle").toString();
    QVERIFY2(title.contains("0002") && title.contains("Filial Campinas") && title.contains("demo"), qPrintable(title));
    const QString cache = findWidget(main, "lblCache").value("text").toString();
    QVERIFY2(cache.contains("PRATO: ") && !cache.contains("PRATO: 0 "), qPrintable(cache));
}

void tst_SuiteHost::scriptedLoginFailures_data()
{
    QTest::addColumn<QStringList>("credentials");
    QTest::addColumn<bool>("stopped");
    QTest::addColumn<QString>("message");
    QTest::newRow("wrong password") << QStringList{"--user", "demo", "--password", "x", "--branch", "1"} << false
                                    << "Usuário ou senha inválidos.";
    QTest::newRow("server stopped") << QStringList{"--user", "demo", "--password", "demo", "--branch", "1"} << true
                                    << "Servidor de aplicação indisponível em 127.0.0.1:";
    QTest::newRow("no credentials") << QStringList{} << false << "precisam de --user, --password e --branch";
}

void tst_SuiteHost::scriptedLoginFailures()
{
    QFETCH(QStringList, credentials);
    QFETCH(bool, stopped);
    QFETCH(QString, message);
    int port = 0;
    if (stopped) {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        port = probe.serverPort();
    }
    const Run run = host(credentials + QStringList{"--dump-ui", m_dir.filePath("never.json")}, port);
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.output.contains(message), qPrintable(run.output));
    QVERIFY(!QFile::exists(m_dir.filePath("never.json")));
}

void tst_SuiteHost::unusableCaFileStopsTheStart()
{
    const QString empty = writeFile("empty-ca.pem", {});
    const Run run = host({"--ca-file", empty, "--user", "demo", "--password", "demo", "--branch", "1", "--dump-ui",
                          m_dir.filePath("never.json")});
    QCOMPARE(run.exitCode, 2); // a setting to correct, not a failed login
    QVERIFY2(run.output.contains(empty) && run.output.contains("sem certificado"), qPrintable(run.output));
    QVERIFY(!QFile::exists(m_dir.filePath("never.json")));
}

void tst_SuiteHost::automateStopsAtUnmetExpectation()
{
    const QString script = writeFile("fails.json", R"([
        {"do": "expect", "target": "lblServidor", "property": "visible", "value": true},
        {"do": "expect", "target": "frmPrincipal", "property": "windowTitle", "value": "outra coisa"},
        {"do": "menu", "target": "actSair"}
    ])");
    const Run run = host({"--user", "demo", "--password", "demo", "--branch", "1", "--automate", script});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.output.contains("[1/3] ok") && run.output.contains("[2/3] FALHOU: frmPrincipal.windowTitle é"),
             qPrintable(run.output));
    QVERIFY2(!run.output.contains("[3/3]"), qPrintable(run.output));
}

void tst_SuiteHost::moduleReopensAfterItsScreenCloses()
{
    const QString modules = QDir(suite::test::ServerProcess::binDir()).filePath("../lib");
    if (!QFile::exists(QDir(modules).filePath("librci06000.so")))
        QSKIP("librci06000.so is not built");
    // Closing the screen must unload the module, so the menu creates a new screen.
    const QString script = writeFile("reopen.json", R"([
        {"do": "expect", "target": "frmIntgCentral", "property": "visible", "value": true},
        {"do": "close", "target": "frmIntgCentral"},
        {"do": "expect", "target": "mdiArea", "property": "visible", "value": true},
        {"do": "menu", "text": "Integração de Receitas - Centralizada"},
        {"do": "expect", "target": "frmIntgCentral", "property": "visible", "value": true}
    ])");
    const Run run = host({"--user", "demo", "--password", "demo", "--branch", "1", "--open", "rci06000",
                          "--modules-dir", modules, "--automate", script});
    QVERIFY2(run.exitCode == 0, qPrintable(run.output));
}

QTEST_GUILESS_MAIN(tst_SuiteHost)
#include "tst_suitehost.moc"
