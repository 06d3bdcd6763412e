// One synchronous JSON request to the application server.
#pragma once

#include <QJsonObject>
#include <QString>
#include <QUrl>

class QNetworkAccessManager;

namespace mrv::Internal {

struct HttpAnswer {
    int status = 0;
    QJsonObject body;
};

struct HttpLimits {
    int connectTimeoutMs = 5000; // until the request is on the wire
    int answerTimeoutMs = 30000; // from then until the answer is complete
    // Off: a connection closed before the answer fails with ServerGone, never sent again by Qt unasked.
    bool resendable = true;
};

// The server's address as a base URL; an "http://..." host is taken as it is.
QUrl serverUrl(const QString& host, int port, const QString& path);

// Posts body and waits in a local event loop that holds back user input, so windows
// keep painting. Transport failures and time-outs throw mrv::ServerError (ServerGone
// when the server closed the connection before answering); any HTTP status comes back
// to the caller.
HttpAnswer postJson(QNetworkAccessManager& manager, const QUrl& url, const QJsonObject& body, const QString& token,
                    const HttpLimits& limits);

// The server's own explanation in an error answer ({"error":{"message"}}), if any.
QString serverMessage(const HttpAnswer& answer);

} // namespace mrv::Internal
