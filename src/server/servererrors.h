// Failures a call can end with, each mapped to one answer of the wire protocol. A database failure (db::DbError)
// is none of these: it is the server's own, answered 500 with an id that its log line also carries.
#pragma once

#include <QString>
#include <stdexcept>

namespace suite::server {

// A business failure the user can fix: answered 200 {"error":{"message"}} and shown to the user.
class ServiceError : public std::runtime_error {
public:
    explicit ServiceError(const QString& message)
        : std::runtime_error(message.toStdString())
        , m_message(message)
    {}
    QString message() const { return m_message; }

private:
    QString m_message;
};

// A request the protocol refuses (400, 401, 404, ...).
class RequestError : public std::runtime_error {
public:
    RequestError(int status, const QString& message)
        : std::runtime_error(message.toStdString())
        , m_status(status)
        , m_message(message)
    {}
    int status() const { return m_status; }
    QString message() const { return m_message; }

private:
    int m_status;
    QString m_message;
};

} // namespace suite::server
