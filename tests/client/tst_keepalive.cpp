// The desktop's connection to the application server: one kept alive for all its calls, the log-in's and every
// screen's, one after another; and a server that turns a connection away as one too many is said to be busy.
#include "errors.h"
#include "logincontext.h"
#include "netconnection.h"
#include "serverprocess.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

using namespace mrv;

namespace {

// Stands between the desktop and the server, passing bytes both ways, and counts the TCP connections it carries.
class CountingRelay : public QTcpServer {
public:
    explicit CountingRelay(int serverPort)
    {
        connect(this, &QTcpServer::newConnection, this, [this, serverPort] {
            while (QTcpSocket* client = nextPendingConnection()) {
                ++m_connections;
                auto* server = new QTcpSocket(client);
                server->connectToHost(QHostAddress::LocalHost, quint16(serverPort));
                if (!server->waitForConnected(10000)) {
                    client->close();
                    continue;
                }
                connect(client, &QTcpSocket::readyRead, server, [client, server] { server->write(client->readAll()); });
                connect(server, &QTcpSocket::readyRead, client, [client, server] { client->write(server->readAll()); });
                connect(client, &QTcpSocket::disconnected, server, &QTcpSocket::disconnectFromHost);
                connect(server, &QTcpSocket::disconnected, client, &QTcpSocket::disconnectFromHost);
                connect(client, &QTcpSocket::disconnected, client, &QObject::deleteLater);
                if (client->bytesAvailable() > 0)
                    server->write(client->readAll());
            }
        });
        listen(QHostAddress::LocalHost);
    }
    int connections() const { return m_connections; }

private:
    int m_connections = 0;
};

} // namespace

class tst_KeepAlive : public QObject {
    Q_OBJECT
private slots:
    void callsShareOneConnection();
    void busyServerIsSaidSo();
};

void tst_KeepAlive::callsShareOneConnection()
{
    if (!QFileInfo::exists(suite::test::ServerProcess::program()))
        QSKIP(qPrintable("no application server binary at " + suite::test::ServerProcess::program()));
    suite::test::ServerProcess server;
    const QString why = server.startDemo();
    QVERIFY2(why.isEmpty(), qPrintable(why));
    CountingRelay relay(server.port());
    QVERIFY(relay.isListening());

    const LoginResult login = TNetConnection::login("127.0.0.1", relay.serverPort(), "demo", "demo");
    LoginContext context;
    context.webUrl = "127.0.0.1";
    context.webPort = relay.serverPort();
    context.token = login.token;
    context.operador = login.operador;
    setLoginContext(context);

    // Two screens, each with its connection object, calling in turn as a user moves between them.
    TNetConnection first;
    TNetConnection second;
    for (TNetConnection* net : {&first, &second}) {
        net->ServerName = "Rci06000.rdmIntgCentral";
        net->Host = "127.0.0.1";
        net->Port = relay.serverPort();
    }
    for (int round = 0; round < 3; ++round) {
        QVERIFY(first.call("GetGrupFili", {QString()}).contains("result"));
        QVERIFY(second.call("GetFiliGrup", {"T", "0001"}).contains("result"));
    }
    QCOMPARE(relay.connections(), 1);
}

void tst_KeepAlive::busyServerIsSaidSo()
{
    if (!QFileInfo::exists(suite::test::ServerProcess::program()))
        QSKIP(qPrintable("no application server binary at " + suite::test::ServerProcess::program()));
    suite::test::ServerProcess server;
    const QString why = server.startDemo();
    QVERIFY2(why.isEmpty(), qPrintable(why));

    // This machine's address holds every connection the server allows one address, each kept alive after an
    // answer: the answer shows the server has taken the connection in, which a handshake alone does not (the
    // server's workers take queued connections in no fixed order).
    std::vector<std::unique_ptr<QTcpSocket>> held;
    for (int i = 0; i < 16; ++i) {
        held.push_back(std::make_unique<QTcpSocket>());
        held.back()->connectToHost(QHostAddress::LocalHost, quint16(server.port()));
        QVERIFY(held.back()->waitForConnected(10000));
        held.back()->write("GET /health HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
        QVERIFY(held.back()->waitForBytesWritten(10000));
        QVERIFY(held.back()->waitForReadyRead(10000));
        QVERIFY(held.back()->readAll().startsWith("HTTP/1.1 200"));
    }

    QString message;
    try {
        TNetConnection::login("127.0.0.1", server.port(), "demo", "demo");
    } catch (const mrv::Exception& e) {
        message = e.message();
    }
    QVERIFY2(message.contains(QStringLiteral("ocupado")), qPrintable(message));
}

QTEST_MAIN(tst_KeepAlive)
#include "tst_keepalive.moc"
