// The desktop keeps one connection to the application server alive for all its calls: the log-in's and every
// screen's, one after another.
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

QTEST_MAIN(tst_KeepAlive)
#include "tst_keepalive.moc"
