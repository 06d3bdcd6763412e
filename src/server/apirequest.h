// Request bodies of the wire protocol, each parsed once into its struct; a bad body is a 400.
#pragma once

#include <QJsonArray>
#include <QString>

namespace suite::server {

struct LoginRequest {
    QString user;
    QString password;
    static LoginRequest parse(const QByteArray& body);
};

struct ConnectRequest {
    QString server;
    static ConnectRequest parse(const QByteArray& body);
};

struct CallRequest {
    QString server;
    QString method;
    QJsonArray args;
    static CallRequest parse(const QByteArray& body);
};

// The token of an "Authorization: Bearer ..." header, empty when there is none.
QString bearerToken(const QString& authorization);

} // namespace suite::server
