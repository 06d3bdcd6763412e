// The connection against a real application server on a loopback port, and against
// servers that are down or never answer.
#include "clientdataset.h"
#include "errors.h"
#include "kittestutil.h"
#include "logincontext.h"
#include "netconnection.h"
#include "protocol.h"
#include "serverprocess.h"

#include <QDate>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QtTest>

using namespace mrv;

namespace {

// Accepts connections and reads requests, but never answers.
class SilentServer : public QTcpServer {
public:
    SilentServer()
    {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = nextPendingConnection())
                connect(socket, &QTcpSocket::readyRead, socket, [socket] { socket->readAll(); });
        });
        listen(QHostAddress::LocalHost);
    }
};

// Answers each request as its script says, in turn: "close" (closes the connection without a word, as a server that
// died), "502" (a balancer whose server went away) or "ok".
class ScriptedServer : public QTcpServer {
public:
    explicit ScriptedServer(QStringList script)
        : m_script(std::move(script))
    {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = nextPendingConnection())
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { read(socket); });
        });
        listen(QHostAddress::LocalHost);
    }
    int requests() const { return m_requests; }

private:
    void read(QTcpSocket* socket)
    {
        QByteArray& got = m_pending[socket];
        got += socket->readAll();
        const qsizetype end = got.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        static const QRegularExpression lengthHeader(QStringLiteral("(?i)content-length:\\s*(\\d+)"));
        const int length = lengthHeader.match(QString::fromLatin1(got.left(end))).captured(1).toInt();
        if (got.size() < end + 4 + length)
            return;
        got.clear();
        ++m_requests;
        const QString fate = m_script.isEmpty() ? QStringLiteral("ok") : m_script.takeFirst();
        if (fate == QLatin1String("close")) {
            socket->abort();
        } else if (fate == QLatin1String("502")) {
            socket->write("HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
            socket->disconnectFromHost();
        } else {
            const QByteArray body = R"({"result":{"answered":true}})";
            socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " +
                          QByteArray::number(body.size()) + "\r\n\r\n" + body);
        }
    }

    QStringList m_script;
    QHash<QTcpSocket*, QByteArray> m_pending;
    int m_requests = 0;
};

// A port nothing listens on.
int closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}

} // namespace

class tst_NetConnection : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void login_data();
    void login();
    void loginHeldBackSaysHowLongToWait();
    void callLoadsPacket();
    void serviceError_data();
    void serviceError();
    void refusedRequests_data();
    void refusedRequests();
    void beforeConnectRunsBeforeEveryConnect();
    void serverDown();
    void loginWithServerDown();
    void timeOut_data();
    void timeOut();
    void bodyTooLarge();
    void serverGoneAway_data();
    void serverGoneAway();

private:
    TNetConnection* integrationConnection();

    suite::test::ServerProcess m_server;
    int m_port = 0;
    QString m_token;
    std::unique_ptr<TNetConnection> m_connection;
};

void tst_NetConnection::initTestCase()
{
    if (!QFileInfo::exists(suite::test::ServerProcess::program()))
        QSKIP(qPrintable("no application server binary at " + suite::test::ServerProcess::program()));
    const QString why = m_server.startDemo();
    QVERIFY2(why.isEmpty(), qPrintable(why));
    m_port = m_server.port();
    m_token = TNetConnection::login("127.0.0.1", m_port, "demo", "demo").token;
    QVERIFY(!m_token.isEmpty());
}

void tst_NetConnection::cleanupTestCase()
{
    m_server.stop();
}

void tst_NetConnection::init()
{
    LoginContext context;
    context.webUrl = "127.0.0.1";
    context.webPort = m_port;
    context.token = m_token;
    context.operador = "demo";
    setLoginContext(context);
    m_connection.reset();
}

// netIntgCentral as the screen sets it up: host and port from the login context at every connect.
TNetConnection* tst_NetConnection::integrationConnection()
{
    m_connection = std::make_unique<TNetConnection>();
    m_connection->setObjectName("netIntgCentral");
    m_connection->ServerName = "Rci06000.rdmIntgCentral";
    m_connection->OnBeforeConnect = [this](QObject*) {
        m_connection->Host = WebURL();
        m_connection->Port = WebPort();
    };
    return m_connection.get();
}

void tst_NetConnection::login_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("error");
    QTest::newRow("right password") << "demo"
                                    << "demo"
                                    << "";
    QTest::newRow("wrong password") << "demo"
                                    << "errada"
                                    << "Usuário ou senha inválidos.";
    QTest::newRow("unknown operator") << "ninguem"
                                      << "demo"
                                      << "Usuário ou senha inválidos.";
}

void tst_NetConnection::login()
{
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, error);
    LoginResult result;
    QCOMPARE(kittest::failureOf([&] { result = TNetConnection::login("127.0.0.1", m_port, user, password); }), error);
    QCOMPARE(result.token.isEmpty(), !error.isEmpty());
    if (error.isEmpty())
        QCOMPARE(result.operador, user);
}

void tst_NetConnection::loginHeldBackSaysHowLongToWait()
{
    // The server holds an operator back after five wrong passwords in a row; no other test here logs in as nutri.
    for (int i = 0; i < 5; ++i)
        QCOMPARE(kittest::failureOf([&] { TNetConnection::login("127.0.0.1", m_port, "nutri", "errada"); }),
                 QStringLiteral("Usuário ou senha inválidos."));
    const QString held = kittest::failureOf([&] { TNetConnection::login("127.0.0.1", m_port, "nutri", "nutri"); });
    QVERIFY2(held.startsWith(QLatin1String("Muitas tentativas de entrada sem sucesso.")) &&
                 held.contains(QLatin1String("segundos")),
             qPrintable(held));
}

void tst_NetConnection::callLoadsPacket()
{
    TNetConnection* net = integrationConnection();
    net->Open();
    QVERIFY(net->Connected());
    QCOMPARE(net->canonicalServerName().toLower(), QStringLiteral("rci06000.rdmintgcentral"));

    TClientDataSet cdsGrupFili;
    cdsGrupFili.setObjectName("cdsGrupFili");
    cdsGrupFili.setData(CheckResultServ(net->call("GetGrupFili", {QString()}), true, 0));
    QVERIFY(cdsGrupFili.RecordCount() > 0);
    QCOMPARE(cdsGrupFili.FieldByName("CDGRUPFILI")->AsString().size(), 10);

    TClientDataSet cdsFiliGrup;
    cdsFiliGrup.setObjectName("cdsFiliGrup");
    cdsFiliGrup.setData(CheckResultServ(net->call("GetFiliGrup", {"T", "0001"}), true, 0));
    QVERIFY(cdsFiliGrup.RecordCount() > 0);
    QVERIFY(!cdsFiliGrup.Locate("CDFILIAL", "0001")); // the source is never its own destination
    QVERIFY(cdsFiliGrup.FindField("IDMARCADO"));
}

void tst_NetConnection::serviceError_data()
{
    QTest::addColumn<bool>("throwException");
    QTest::newRow("raised by CheckResultServ") << false;
    QTest::newRow("raised by the call") << true;
}

void tst_NetConnection::serviceError()
{
    QFETCH(bool, throwException);
    TNetConnection* net = integrationConnection();
    net->ThrowException = throwException;
    const QVariantList args{"0001", "0001", "P", 3, "T", "T", QDate(2024, 3, 10), QDate(2024, 3, 1), "", "", ""};
    const QString expected = QStringLiteral("Data inicial maior que a data final.");
    if (throwException) {
        QCOMPARE(kittest::failureOf([&] { net->call("GetPesqPrato", args); }), expected);
    } else {
        const QJsonObject answer = net->call("GetPesqPrato", args);
        QCOMPARE(kittest::failureOf([&] { CheckResultServ(answer, true, 0); }), expected);
    }
    QVERIFY(net->Connected()); // a service error leaves the connection usable
}

void tst_NetConnection::refusedRequests_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("method");
    QTest::addColumn<QVariantList>("args");
    QTest::addColumn<QString>("token");
    QTest::addColumn<QString>("error");
    QTest::newRow("unknown server") << "RCI99999.rdmNada"
                                    << "" << QVariantList{} << m_token
                                    << "Servidor remoto \"RCI99999.rdmNada\" não encontrado no servidor de aplicação.";
    QTest::newRow("unknown method")
        << "Rci06000.rdmIntgCentral"
        << "ApagaTudo" << QVariantList{} << m_token
        << "Método \"ApagaTudo\" não encontrado no servidor remoto \"Rci06000.rdmIntgCentral\".";
    QTest::newRow("wrong argument count")
        << "Rci06000.rdmIntgCentral"
        << "GetFiliGrup" << QVariantList{"T"} << m_token
        << "O servidor de aplicação recusou o pedido: dados inválidos ou incompletos.";
    QTest::newRow("forged token")
        << "Rci06000.rdmIntgCentral"
        << "" << QVariantList{} << "abc.def"
        << "Sessão expirada ou inválida no servidor de aplicação. Entre novamente no sistema.";
}

void tst_NetConnection::refusedRequests()
{
    QFETCH(QString, server);
    QFETCH(QString, method);
    QFETCH(QVariantList, args);
    QFETCH(QString, token);
    QFETCH(QString, error);
    LoginContext context = loginContext();
    context.token = token;
    setLoginContext(context);

    TNetConnection* net = integrationConnection();
    net->ServerName = server;
    QCOMPARE(kittest::failureOf([&] {
                 if (method.isEmpty())
                     net->Open();
                 else
                     net->call(method, args);
             }),
             error);
}

void tst_NetConnection::beforeConnectRunsBeforeEveryConnect()
{
    TNetConnection* net = integrationConnection();
    int connects = 0;
    connect(net, &TNetConnection::BeforeConnect, net, [&] { ++connects; });
    net->Host = "host.invalido"; // replaced by the before-connect hook
    net->Open();
    net->Close();
    QVERIFY(!net->Connected());
    net->setConnected(true);
    QCOMPARE(connects, 2);
    QVERIFY(net->Connected());
}

void tst_NetConnection::serverDown()
{
    LoginContext context = loginContext();
    context.webPort = closedPort();
    setLoginContext(context);
    TNetConnection* net = integrationConnection();
    const QString error = kittest::failureOf([&] { net->Open(); });
    QCOMPARE(error,
             QStringLiteral("Não foi possível conectar ao servidor de aplicação em 127.0.0.1:%1: conexão recusada. "
                            "Verifique se o servidor está em execução.")
                 .arg(WebPort()));
    QVERIFY(!net->Connected());
}

void tst_NetConnection::loginWithServerDown()
{
    const int port = closedPort();
    QCOMPARE(kittest::failureOf([&] { TNetConnection::login("127.0.0.1", port, "demo", "demo"); }),
             QStringLiteral("Não foi possível conectar ao servidor de aplicação em 127.0.0.1:%1: conexão recusada. "
                            "Verifique se o servidor está em execução.")
                 .arg(port));
}

void tst_NetConnection::timeOut_data()
{
    QTest::addColumn<bool>("connectFirst");
    QTest::newRow("connecting") << false;
    QTest::newRow("calling") << true;
}

void tst_NetConnection::timeOut()
{
    QFETCH(bool, connectFirst);
    SilentServer silent;
    QVERIFY(silent.isListening());
    TNetConnection* net = integrationConnection();
    net->CallTimeoutMs = 400;
    if (connectFirst) {
        net->Open();
        net->Port = silent.serverPort(); // the server stops answering after the connect
    } else {
        LoginContext context = loginContext();
        context.webPort = silent.serverPort();
        setLoginContext(context);
    }

    // The window keeps painting while the caller waits.
    int ticks = 0;
    QTimer painter;
    connect(&painter, &QTimer::timeout, this, [&] { ++ticks; });
    painter.start(20);

    const QString error = kittest::failureOf([&] { net->call("GetGrupFili", {QString()}); });
    QCOMPARE(error,
             QStringLiteral("Tempo de espera esgotado: o servidor de aplicação em 127.0.0.1:%1 não respondeu em 0.4 s.")
                 .arg(silent.serverPort()));
    QVERIFY(ticks > 0);
}

void tst_NetConnection::bodyTooLarge()
{
    TNetConnection* net = integrationConnection();
    net->Open();
    const QString huge(33 * 1024 * 1024, QLatin1Char('P'));
    QCOMPARE(kittest::failureOf([&] {
                 net->call("GetFiliGrup", {huge, "0001"});
             }),
             QStringLiteral("Os dados enviados excedem o limite aceito pelo servidor de aplicação."));
}

void tst_NetConnection::serverGoneAway_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<QStringList>("script");
    QTest::addColumn<int>("requests");
    QTest::addColumn<QString>("error"); // %1: the port; empty: the answer came
    const QString closed =
        QStringLiteral("O servidor de aplicação em 127.0.0.1:%1 encerrou a conexão antes de responder.");
    const QString gateway =
        QStringLiteral("Erro interno no servidor de aplicação (HTTP 502). Consulte o registro do servidor.");
    QTest::newRow("a look-up on a connection closed is asked again")
        << "GetGrupFili" << QStringList{"close"} << 2 << QString();
    QTest::newRow("a look-up answered 502 by a balancer is asked again")
        << "ListIntg" << QStringList{"502"} << 2 << QString();
    QTest::newRow("a look-up is asked again once only")
        << "GetPesqPrato" << QStringList{"close", "close"} << 2 << closed;
    QTest::newRow("a run is never sent again") << "IntgCentral" << QStringList{"close"} << 1 << closed;
    QTest::newRow("nor an undo, after a 502") << "UndoIntg" << QStringList{"502"} << 1 << gateway;
}

void tst_NetConnection::serverGoneAway()
{
    QFETCH(QString, method);
    QFETCH(QStringList, script);
    QFETCH(int, requests);
    QFETCH(QString, error);
    ScriptedServer server(script);
    QVERIFY(server.isListening());
    TNetConnection* net = integrationConnection();
    net->Open();
    net->Port = server.serverPort(); // the calls go to the scripted server from here
    QJsonObject answer;
    const QString failure = kittest::failureOf([&] { answer = net->call(method, {}); });
    QCOMPARE(failure, error.contains(QLatin1String("%1")) ? error.arg(server.serverPort()) : error);
    QCOMPARE(server.requests(), requests);
    if (error.isEmpty())
        QVERIFY(answer.value("result").toObject().value("answered").toBool());
}

QTEST_GUILESS_MAIN(tst_NetConnection)
#include "tst_netconnection.moc"
