// Connection to a remote service on the application server, with late-bound calls.
#pragma once

#include <QJsonObject>
#include <QObject>
#include <QVariantList>
#include <functional>

class QNetworkAccessManager;

namespace mrv {

struct LoginResult {
    QString token;
    QString operador; // operator code as the server knows it
    QString nome;     // operator name
};

class TNetConnection : public QObject {
    Q_OBJECT
public:
    explicit TNetConnection(QObject* parent = nullptr);
    ~TNetConnection() override;

    QString ServerName; // e.g. "Rci06000.rdmIntgCentral"
    QString Host;       // host name or address (an "http://..." base is accepted)
    int Port = 8211;
    // Also raise service errors ({"error":...}) from call(); off, they come back in the
    // answer for CheckResultServ. Transport and HTTP errors always raise.
    bool ThrowException = false;
    int ConnectTimeoutMs = 5000;        // until the request is on the wire
    int CallTimeoutMs = 30 * 60 * 1000; // from then until the answer

    // Runs before every connect, after the BeforeConnect signal.
    std::function<void(QObject* sender)> OnBeforeConnect;

    void Open(); // POST /connect with the session token (AuthToken())
    void Close();
    bool Connected() const { return m_connected; }
    void setConnected(bool connected);
    QString canonicalServerName() const { return m_canonicalServer; }

    // AppServer call by name; returns the whole answer ({"result":..} or {"error":..}).
    // Connects first when not connected. Synchronous: user input is held back while the
    // window keeps painting. A look-up (a method named Get... or List...) is sent once more
    // when its server went away before answering; any other method never is.
    QJsonObject call(const QString& method, const QVariantList& args);

    // POST /login; "Usuário ou senha inválidos." on refusal.
    static LoginResult login(const QString& host, int port, const QString& user, const QString& password,
                             int timeoutMs = 15000);

signals:
    void BeforeConnect(QObject* sender);
    void connectedChanged(bool connected);

private:
    QNetworkAccessManager* manager();

    QNetworkAccessManager* m_manager = nullptr;
    bool m_connected = false;
    QString m_canonicalServer;
};

} // namespace mrv
