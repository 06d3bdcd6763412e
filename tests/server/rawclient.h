// A raw TCP client of the server for tests that send bytes no HTTP library would.
#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QRegularExpression>
#include <QString>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace suite::test {

// A TCP connection to the server from a chosen loopback address (all of 127/8 is the loopback on Linux), so that
// a test can play many client machines.
class RawClient {
public:
    RawClient(const QString& from, int port)
    {
        m_socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        ::inet_pton(AF_INET, qPrintable(from), &local.sin_addr);
        sockaddr_in server{};
        server.sin_family = AF_INET;
        server.sin_port = htons(quint16(port));
        ::inet_pton(AF_INET, "127.0.0.1", &server.sin_addr);
        m_open = m_socket >= 0 && ::bind(m_socket, reinterpret_cast<sockaddr*>(&local), sizeof(local)) == 0 &&
                 ::connect(m_socket, reinterpret_cast<sockaddr*>(&server), sizeof(server)) == 0;
    }
    ~RawClient()
    {
        if (m_socket >= 0)
            ::close(m_socket);
    }
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool send(const QByteArray& bytes)
    {
        if (!m_open)
            return false;
        m_sent += bytes.size();
        return ::send(m_socket, bytes.constData(), std::size_t(bytes.size()), MSG_NOSIGNAL) == bytes.size();
    }

    // Reads what has arrived, waiting up to `ms` for the first of it; notes when the server closed.
    void receive(int ms = 0)
    {
        pollfd fd{m_socket, POLLIN, 0};
        while (m_open && ::poll(&fd, 1, ms) > 0) {
            char buffer[4096];
            const ssize_t n = ::recv(m_socket, buffer, sizeof(buffer), 0);
            if (n <= 0) {
                m_open = false;
                break;
            }
            m_said.append(buffer, int(n));
            ms = 0;
        }
    }

    // Waits for one whole answer to a request (headers and a Content-Length body); false if none came in `ms`.
    bool awaitAnswer(int ms)
    {
        QDeadlineTimer deadline(ms);
        while (!deadline.hasExpired()) {
            receive(50);
            const qsizetype end = m_said.indexOf("\r\n\r\n");
            if (end >= 0) {
                static const QRegularExpression length(QStringLiteral("Content-Length: (\\d+)"),
                                                       QRegularExpression::CaseInsensitiveOption);
                const auto match = length.match(QString::fromLatin1(m_said.left(end)));
                if (match.hasMatch() && m_said.size() >= end + 4 + match.captured(1).toInt())
                    return true;
            }
            if (!m_open)
                return false;
        }
        return false;
    }

    // Waits for a status line and its headers (an interim 100 Continue has nothing more); false if none came in `ms`.
    bool awaitHead(int ms)
    {
        QDeadlineTimer deadline(ms);
        while (!deadline.hasExpired() && m_open && !m_said.contains("\r\n\r\n"))
            receive(50);
        return m_said.contains("\r\n\r\n");
    }

    bool isOpen() const { return m_open; }
    QByteArray said() const { return m_said; }
    void forget() { m_said.clear(); }
    qint64 sent() const { return m_sent; }
    int socket() const { return m_socket; }

private:
    int m_socket = -1;
    bool m_open = false;
    QByteArray m_said;
    qint64 m_sent = 0;
};

} // namespace suite::test
