// The protocol's operations, free of HTTP plumbing: each takes a request body and gives a status and a JSON body.
#pragma once

#include "threadconnection.h"
#include "tokensigner.h"

#include <QJsonObject>
#include <chrono>

namespace suite::server {

struct ApiReply {
    int status = 200;
    QJsonObject body;
};

class ApiHandler {
public:
    ApiHandler(QString databaseUrl, TokenSigner signer, std::chrono::seconds tokenLifetime);

    ApiReply login(const QByteArray& body) const;
    ApiReply connect(const QString& authorization, const QByteArray& body) const;
    ApiReply call(const QString& authorization, const QByteArray& body) const;
    static ApiReply health();

    static ApiReply error(int status, const QString& message);
    // The server's own failure: 500 with a new id, and a log line of `route` with that id and the detail.
    static ApiReply internalError(const QString& route, const QString& detail);

private:
    QString authorizedOperator(const QString& authorization) const; // throws RequestError(401)
    // Ends a call that failed inside: the thread's connection may be broken, so the next call opens another.
    ApiReply failed(const QString& route, const std::exception& e) const;

    ThreadConnection m_connection;
    TokenSigner m_signer;
    std::chrono::seconds m_tokenLifetime;
};

} // namespace suite::server
