#include "streamedrequest.h"

#include <QByteArrayView>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace suite::bench {

namespace {

class Socket {
public:
    Socket()
        : m_fd(::socket(AF_INET, SOCK_STREAM, 0))
    {}
    ~Socket()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

QString lastError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// An answer as it arrives: whole once its headers and its Content-Length's worth of body have come.
class Answer {
public:
    void add(const char* data, qsizetype size) { m_bytes.append(data, size); }
    bool hasHeader() const { return m_bytes.indexOf("\r\n\r\n") >= 0; }
    bool whole() const
    {
        const qsizetype end = m_bytes.indexOf("\r\n\r\n");
        return end >= 0 && contentLength() >= 0 && m_bytes.size() - end - 4 >= contentLength();
    }
    int status() const
    {
        // "HTTP/1.1 413 Payload Too Large"
        return hasHeader() ? m_bytes.mid(9, 3).toInt() : 0;
    }
    QByteArray body() const
    {
        const qsizetype end = m_bytes.indexOf("\r\n\r\n");
        return end < 0 ? QByteArray() : m_bytes.mid(end + 4);
    }

private:
    qsizetype contentLength() const
    {
        const QByteArray head = m_bytes.left(m_bytes.indexOf("\r\n\r\n")).toLower();
        const qsizetype at = head.indexOf("\r\ncontent-length:");
        if (at < 0)
            return -1;
        const qsizetype from = at + qstrlen("\r\ncontent-length:");
        return head.mid(from, head.indexOf('\r', from) - from).trimmed().toLongLong();
    }

    QByteArray m_bytes;
};

} // namespace

StreamedRequest::StreamedRequest(QByteArray head, QByteArray piece, qint64 pieces, QByteArray tail)
    : m_head(std::move(head))
    , m_piece(std::move(piece))
    , m_pieces(pieces)
    , m_tail(std::move(tail))
{}

StreamedRequest::Outcome StreamedRequest::send(quint16 port, int silence) const
{
    Outcome outcome;
    const Socket socket;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (socket.fd() < 0 || ::connect(socket.fd(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        outcome.ending = QStringLiteral("no connection: ") + lastError();
        return outcome;
    }
    ::fcntl(socket.fd(), F_SETFL, ::fcntl(socket.fd(), F_GETFL) | O_NONBLOCK);

    // What is left to send: the rest of the present part, then the parts after it.
    int part = 0; // 0 head, 1 pieces, 2 tail, 3 done
    qint64 piecesLeft = m_pieces;
    QByteArrayView rest = m_head;
    const auto nextPart = [&] {
        while (rest.isEmpty() && part < 3) {
            if (part == 1 && piecesLeft > 0) {
                --piecesLeft;
                rest = m_piece;
                return;
            }
            ++part;
            rest = part == 1 ? QByteArrayView() : part == 2 ? QByteArrayView(m_tail) : QByteArrayView();
        }
    };
    nextPart();

    Answer answer;
    char buffer[65536];
    // Reads what has come; false once the exchange is over (the answer whole, the connection closed or broken).
    const auto receive = [&] {
        const ssize_t read = ::recv(socket.fd(), buffer, sizeof buffer, 0);
        if (read > 0) {
            answer.add(buffer, read);
            return !answer.whole();
        }
        if (read < 0 && (errno == EAGAIN || errno == EINTR))
            return true;
        outcome.ending =
            read == 0 ? QStringLiteral("connection closed") : QStringLiteral("connection closed (%1)").arg(lastError());
        return false;
    };

    for (;;) {
        const bool sending = part < 3;
        pollfd waiting{socket.fd(), short(POLLIN | (sending ? POLLOUT : 0)), 0};
        const int ready = ::poll(&waiting, 1, silence * 1000);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0) {
            outcome.ending = ready == 0 ? QStringLiteral("no answer in %1 s").arg(silence) : lastError();
            break;
        }
        if (waiting.revents & (POLLIN | POLLHUP | POLLERR)) {
            if (!receive())
                break;
            continue;
        }
        if (waiting.revents & POLLOUT) {
            const ssize_t written = ::send(socket.fd(), rest.data(), size_t(rest.size()), MSG_NOSIGNAL);
            if (written < 0 && (errno == EAGAIN || errno == EINTR))
                continue;
            if (written < 0) {
                // The server may have answered and closed while this side was writing: read what came first.
                outcome.ending = QStringLiteral("connection closed (%1)").arg(lastError());
                while (receive()) {
                    pollfd left{socket.fd(), POLLIN, 0};
                    if (::poll(&left, 1, 1000) <= 0)
                        break;
                }
                break;
            }
            outcome.sent += written;
            rest = rest.sliced(written);
            nextPart();
        }
    }
    outcome.whole = part == 3;
    outcome.status = answer.status();
    outcome.body = answer.body();
    return outcome;
}

} // namespace suite::bench
