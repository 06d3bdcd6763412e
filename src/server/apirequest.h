// Request bodies of the wire protocol, each parsed once into its struct; a bad body is a 400.
#pragma once

#include <arguments.h>

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
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

// The body is checked whole but its arguments are only located, each read when the method asks for it.
struct CallRequest {
    // No method takes more; a longer list is refused before anything of it is kept.
    static constexpr qsizetype kMaxArguments = 16;

    QString server;
    QString method;
    QByteArray body;             // what `args` point into
    QList<QByteArrayView> args;  // each argument's JSON text

    wire::Arguments arguments() const { return wire::Arguments(method, body, args); }
    static CallRequest parse(const QByteArray& body);
};

// The token of an "Authorization: Bearer ..." header, empty when there is none.
QString bearerToken(const QString& authorization);

} // namespace suite::server
