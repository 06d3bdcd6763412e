// Logging in against a real suite-server: the context, and the messages of a refused login.
#include "logindialog.h"
#include "loginservice.h"
#include "serverprocess.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

using suite::host::HostConfig;
using suite::host::LoginDialog;
using suite::host::LoginFailure;
using suite::host::LoginService;

class tst_Login : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void fillsContext();
    void refused_data();
    void refused();
    void stoppedServer();
    void untrustedServer();
    void dialogStaysForAnotherTry();

private:
    HostConfig configFor(int port) const;
    suite::test::ServerProcess m_server;
};

void tst_Login::initTestCase()
{
    const QString why = m_server.startDemo();
    QVERIFY2(why.isEmpty(), qPrintable(why));
}

HostConfig tst_Login::configFor(int port) const
{
    HostConfig config;
    config.server = {QStringLiteral("127.0.0.1"), port};
    config.databaseUrl = m_server.database();
    return config;
}

void tst_Login::fillsContext()
{
    const LoginService service(configFor(m_server.port()));
    const mrv::LoginContext context = service.login("demo", "demo", "2");
    QCOMPARE(context.filiProc, QString("0002"));
    QCOMPARE(context.nomeFiliProc, QString("Filial Campinas"));
    QCOMPARE(context.operador, QString("demo"));
    QCOMPARE(context.webUrl, QString("127.0.0.1"));
    QCOMPARE(context.webPort, m_server.port());
    QVERIFY(!context.token.isEmpty());
    QVERIFY(!context.moduFili);
}

void tst_Login::refused_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("branch");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("field");

    const int password = int(LoginFailure::Field::Password);
    const int branch = int(LoginFailure::Field::Branch);
    QTest::newRow("wrong password") << "demo"
                                    << "wrong"
                                    << "0001"
                                    << "Usuário ou senha inválidos." << password;
    QTest::newRow("unknown operator") << "nobody"
                                      << "demo"
                                      << "0001"
                                      << "Usuário ou senha inválidos." << password;
    QTest::newRow("branch not granted") << "nutri"
                                        << "nutri"
                                        << "0001" << QString() << branch;
    QTest::newRow("branch unknown") << "demo"
                                    << "demo"
                                    << "9999" << QString() << branch;
    QTest::newRow("no branch") << "demo"
                               << "demo"
                               << " "
                               << "Informe a filial." << branch;
}

void tst_Login::refused()
{
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, branch);
    QFETCH(QString, message);
    QFETCH(int, field);

    const LoginService service(configFor(m_server.port()));
    try {
        service.login(user, password, branch);
        QFAIL("login accepted");
    } catch (const LoginFailure& failure) {
        QCOMPARE(int(failure.field()), field);
        QVERIFY(!failure.message().isEmpty());
        if (!message.isEmpty())
            QCOMPARE(failure.message(), message);
    }
}

void tst_Login::stoppedServer()
{
    // A port that was just free: nothing answers there.
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost));
    const int port = probe.serverPort();
    probe.close();

    const LoginService service(configFor(port));
    try {
        service.login("demo", "demo", "0001");
        QFAIL("login accepted without a server");
    } catch (const LoginFailure& failure) {
        QVERIFY2(failure.message().startsWith(
                     QStringLiteral("Servidor de aplicação indisponível em 127.0.0.1:%1.").arg(port)),
                 qPrintable(failure.message()));
    }
}

// A server that answers over HTTPS with a certificate no authority vouches for is not "unavailable": the user is told
// that the connection was refused here, and why.
void tst_Login::untrustedServer()
{
    QTemporaryDir dir;
    QProcess cert;
    cert.start(qEnvironmentVariable("SUITE_BIN_DIR") + QStringLiteral("/suite-server"),
               {"cert", "--host", "127.0.0.1", "--tls-cert", dir.filePath("server.crt"), "--tls-key",
                dir.filePath("server.key")});
    QVERIFY2(cert.waitForFinished(30000) && cert.exitCode() == 0, cert.readAllStandardError().constData());
    suite::test::ServerProcess server;
    server.serveArguments = {"--tls-cert", dir.filePath("server.crt"), "--tls-key", dir.filePath("server.key")};
    const QString why = server.start(m_server.database());
    QVERIFY2(why.isEmpty(), qPrintable(why));

    HostConfig config = configFor(server.port());
    config.server.host = QStringLiteral("https://127.0.0.1");
    try {
        LoginService(config).login("demo", "demo", "0001");
        QFAIL("login accepted from a server whose certificate nothing vouches for");
    } catch (const LoginFailure& failure) {
        QVERIFY2(failure.message().startsWith(
                     QStringLiteral("Conexão com o servidor de aplicação em https://127.0.0.1:%1 recusada.\n")
                         .arg(server.port())),
                 qPrintable(failure.message()));
        QVERIFY2(failure.message().contains(QStringLiteral("autoridade desconhecida")), qPrintable(failure.message()));
    }
}

void tst_Login::dialogStaysForAnotherTry()
{
    const LoginService service(configFor(m_server.port()));
    LoginDialog dialog(service);
    dialog.show();
    dialog.setUser("demo");
    dialog.setPassword("wrong");
    dialog.setBranch("0001");
    auto* ok = dialog.findChild<QPushButton*>("btnOK");
    auto* error = dialog.findChild<QLabel*>("lblErro");
    auto* password = dialog.findChild<QLineEdit*>("edtSenha");
    QVERIFY(ok && error && password);

    ok->click();
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QVERIFY(error->isVisible());
    QCOMPARE(error->text(), QString("Usuário ou senha inválidos."));
    QVERIFY(password->text().isEmpty());

    password->setText("demo");
    ok->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.context().filiProc, QString("0001"));
}

QTEST_MAIN(tst_Login)
#include "tst_login.moc"
