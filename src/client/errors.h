// The kit's two kinds of failure.
#pragma once

#include <QString>
#include <exception>
#include <stdexcept>

namespace mrv {

// Ends the running operation silently; the user has already been told why.
class EAbort : public std::exception {
public:
    const char* what() const noexcept override;
};

// Any other failure: its Portuguese message reaches the host's exception handler.
class Exception : public std::runtime_error {
public:
    explicit Exception(const QString& message);
    QString message() const;
};

// The application server could not be reached (status 0) or answered with an HTTP failure.
class ServerError : public Exception {
public:
    ServerError(int status, const QString& message);
    int status() const { return m_status; }

private:
    int m_status;
};

// The server's certificate failed its check, so this side refused the connection.
class CertificateRefused : public ServerError {
public:
    explicit CertificateRefused(const QString& message)
        : ServerError(0, message)
    {}
};

// The server closed the connection before it answered: it may have died, or a balancer's server under it.
class ServerGone : public ServerError {
public:
    explicit ServerGone(const QString& message)
        : ServerError(0, message)
    {}
};

// The service refused what was asked, and said why (a request the user can change).
class ServiceRefusal : public Exception {
public:
    using Exception::Exception;
};

} // namespace mrv
