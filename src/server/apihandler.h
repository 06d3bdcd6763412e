// The protocol's operations, free of HTTP plumbing: each takes a request body and gives a status and a JSON body.
#pragma once

#include "loginthrottle.h"

#include "metrics.h"
#include "threadconnection.h"
#include "tokensigner.h"
#include <memory>

#include <statementdeadline.h>

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <chrono>
#include <optional>
#include <utility>

namespace suite::server {

struct ApiReply {
    using Headers = QList<std::pair<QByteArray, QByteArray>>;
    ApiReply(int status = 200, QJsonObject body = {}, Headers headers = {})
        : status(status)
        , body(std::move(body))
        , headers(std::move(headers))
    {}

    int status;
    QJsonObject body;
    Headers headers;        // beside the content type (Retry-After)
    QString method;         // the protocol method a /call named, as sent: what the metrics count it under
    QByteArray contentType; // set: `text` is the answer, in place of `body` as JSON
    QByteArray text;
};

class ApiHandler {
public:
    // A log-in body is two short texts; anything longer is refused before it is read.
    static constexpr qsizetype kLoginBodyLimit = 4096;

    // Why a call without a good token is refused (401).
    static constexpr const char* kTokenRefused = "missing, invalid or expired token";

    // A balancer's readiness probe waits this long for a worker to run a statement.
    static constexpr std::chrono::milliseconds kReadyLimit{2000};

    // Look-ups and log-ins wait at most `statementTimeout` for each statement (zero: no limit). Runs, undos and
    // held-back log-ins are counted in `metrics`.
    ApiHandler(QString databaseUrl, TokenSigner signer, Metrics& metrics, LoginLimits perOperator = {},
               LoginLimits perAddress = {20},
               std::chrono::milliseconds statementTimeout = ThreadConnection::kDefaultStatementTimeout);

    // `address` is the client's, for the back-off of failed log-ins.
    ApiReply login(const QByteArray& body, const QString& address) const;
    ApiReply connect(const QString& authorization, const QByteArray& body) const;
    ApiReply call(const QString& authorization, const QByteArray& body) const;
    static ApiReply health();
    // Whether the database runs a statement within kReadyLimit, on this thread's connection.
    bool databaseAnswers() const;
    // A balancer's readiness answer: 200 when the database answers, else 503: the process is up, but is it of use.
    static ApiReply readiness(bool databaseAnswers);
    // Whether `authorization` carries a token this server signed and that has not expired; nothing is looked up.
    bool wellSigned(const QString& authorization) const;

    static ApiReply error(int status, const QString& message);
    // The server's own failure: 500 with a new id, and a log line of `route` with that id and the detail.
    static ApiReply internalError(const QString& route, const QString& detail);

private:
    // The operator of a well-signed, unexpired token; throws RequestError(401).
    QString tokenOperator(const QString& authorization) const;
    // Throws RequestError(401) unless the operator exists and is active.
    void requireActive(const QString& op) const;
    // Ends a call that failed inside: the thread's connection may be broken, so the next call opens another.
    ApiReply failed(const QString& route, const std::exception& e) const;
    // The limit of each statement of a look-up or a log-in, on the server's side and on this one's (a database
    // whose processes are frozen cannot end its own statements); nullopt when there is none.
    std::optional<std::chrono::milliseconds> statementLimit() const;

    ThreadConnection m_connection;
    TokenSigner m_signer;
    Metrics& m_metrics;
    std::unique_ptr<LoginFailures> m_loginFailures;
    LoginThrottle m_throttle;
};

} // namespace suite::server
