#include "guardedserver.h"
#include "connectionpool.h"
#include "serverlog.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <optional>

namespace suite::server {

namespace {

using Clock = std::chrono::steady_clock;

// How often a wait looks whether the server is stopping.
constexpr std::chrono::milliseconds kWaitSlice{100};

void addressOf(int socket, bool peer, std::string& ip, int& port)
{
    sockaddr_storage address{};
    socklen_t length = sizeof(address);
    const int status = peer ? ::getpeername(socket, reinterpret_cast<sockaddr*>(&address), &length)
                            : ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length);
    ip.clear();
    port = 0;
    if (status != 0)
        return;
    std::array<char, INET6_ADDRSTRLEN> text{};
    if (address.ss_family == AF_INET6) {
        const auto& v6 = reinterpret_cast<const sockaddr_in6&>(address);
        ::inet_ntop(AF_INET6, &v6.sin6_addr, text.data(), socklen_t(text.size()));
        port = ntohs(v6.sin6_port);
    } else {
        const auto& v4 = reinterpret_cast<const sockaddr_in&>(address);
        ::inet_ntop(AF_INET, &v4.sin_addr, text.data(), socklen_t(text.size()));
        port = ntohs(v4.sin_port);
    }
    ip = text.data();
}

// Sequential calls on one connection would otherwise wait for the client's delayed ACK between the answer's header
// and its body (Nagle's algorithm): about 40 ms each.
void setNoDelay(int socket)
{
    const int yes = 1;
    ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof(yes));
}

// A client that sends a request's headers and its body in two writes without TCP_NODELAY (most do) holds the body
// back until the headers are acknowledged, and Linux delays that ACK by up to 40 ms while nothing goes back: every
// call on a kept-alive connection would wait for it. Quick ACKs are not sticky, so this is asked after each read.
void ackAtOnce(int socket)
{
    const int yes = 1;
    ::setsockopt(socket, IPPROTO_TCP, TCP_QUICKACK, &yes, sizeof(yes));
}

// A connection's reads bounded by one deadline per request and its writes by one per answer, instead of
// httplib's timeout per read, which a client sending a byte every few seconds never reaches.
class DeadlineStream final : public httplib::Stream {
public:
    DeadlineStream(int socket, const ConnectionLimits& limits, const ConnectionPool& pool)
        : m_socket(socket)
        , m_limits(limits)
        , m_pool(pool)
    {}

    void startRequest(Clock::time_point from)
    {
        m_readBy = from + m_limits.requestDeadline;
        m_writeBy.reset();
    }
    bool hasBufferedInput() const { return m_begin < m_end; }
    bool ranOutOfTime() const { return m_ranOutOfTime; }

    bool is_readable() const override { return hasBufferedInput() || wait(POLLIN, m_readBy); }
    bool is_writable() const override
    {
        return wait(POLLOUT, m_writeBy.value_or(Clock::now() + m_limits.answerDeadline));
    }

    ssize_t read(char* ptr, size_t size) override
    {
        if (hasBufferedInput()) {
            const size_t n = std::min(size, m_end - m_begin);
            std::memcpy(ptr, m_buffer.data() + m_begin, n);
            m_begin += n;
            return ssize_t(n);
        }
        if (!wait(POLLIN, m_readBy))
            return -1;
        // httplib reads the request line and headers a byte at a time: those come from the buffer.
        if (size >= m_buffer.size())
            return receive(ptr, size);
        const ssize_t n = receive(m_buffer.data(), m_buffer.size());
        if (n <= 0)
            return n;
        m_begin = 0;
        m_end = size_t(n);
        return read(ptr, size);
    }

    ssize_t write(const char* ptr, size_t size) override
    {
        if (!m_writeBy)
            m_writeBy = Clock::now() + m_limits.answerDeadline;
        if (!wait(POLLOUT, *m_writeBy))
            return -1;
        for (;;) {
            const ssize_t n = ::send(m_socket, ptr, size, MSG_NOSIGNAL);
            if (n >= 0 || errno != EINTR)
                return n;
        }
    }

    void get_remote_ip_and_port(std::string& ip, int& port) const override { addressOf(m_socket, true, ip, port); }
    void get_local_ip_and_port(std::string& ip, int& port) const override { addressOf(m_socket, false, ip, port); }
    socket_t socket() const override { return m_socket; }

private:
    ssize_t receive(char* ptr, size_t size)
    {
        for (;;) {
            const ssize_t n = ::recv(m_socket, ptr, size, 0);
            if (n > 0)
                ackAtOnce(m_socket);
            if (n >= 0 || errno != EINTR)
                return n;
        }
    }

    // False when the deadline passes first or the server is stopping.
    bool wait(short events, Clock::time_point deadline) const
    {
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) {
                m_ranOutOfTime = true;
                return false;
            }
            if (m_pool.stopping())
                return false;
            pollfd fd{m_socket, events, 0};
            const int ready = ::poll(&fd, 1, int(std::min(left, kWaitSlice).count()));
            if (ready > 0)
                return (fd.revents & (POLLERR | POLLNVAL)) == 0 && (events != POLLOUT || !(fd.revents & POLLHUP));
            if (ready < 0 && errno != EINTR)
                return false;
        }
    }

    const int m_socket;
    const ConnectionLimits& m_limits;
    const ConnectionPool& m_pool;
    Clock::time_point m_readBy;
    std::optional<Clock::time_point> m_writeBy;
    mutable bool m_ranOutOfTime = false;
    std::array<char, 4096> m_buffer{};
    size_t m_begin = 0;
    size_t m_end = 0;
};

// Said before the request is read, so the client gets it as soon as it reads.
void refuse(int socket)
{
    static const std::string answer = [] {
        const std::string body = R"({"error":{"message":"too many connections from this address; try again"}})";
        return "HTTP/1.1 503 Service Unavailable\r\nContent-Type: application/json\r\nRetry-After: 1\r\n"
               "Connection: close\r\nContent-Length: " +
               std::to_string(body.size()) + "\r\n\r\n" + body;
    }();
    ::send(socket, answer.data(), answer.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    ::shutdown(socket, SHUT_WR);
    // What the client already sent is read away, so that closing does not reset the connection before it reads.
    std::array<char, 4096> discard{};
    while (::recv(socket, discard.data(), discard.size(), MSG_DONTWAIT) > 0) {
    }
    ::close(socket);
}

} // namespace

GuardedServer::GuardedServer(ConnectionLimits limits)
    : m_limits(limits)
{
    new_task_queue = [this] {
        auto* pool = new ConnectionPool(m_limits.workers, m_limits.keepAlive, m_limits.perAddress,
                                        [this](int socket, int served) { serve(socket, served); });
        m_pool = pool;
        return pool;
    };
    set_tcp_nodelay(true);
    // What the Keep-Alive header announces.
    set_keep_alive_timeout(
        std::max<time_t>(1, std::chrono::duration_cast<std::chrono::seconds>(m_limits.keepAlive).count()));
    set_keep_alive_max_count(std::size_t(m_limits.requestsPerConnection));
}

GuardedServer::~GuardedServer()
{
    stop();
}

bool GuardedServer::process_and_close_socket(socket_t sock)
{
    ConnectionPool* pool = m_pool;
    if (pool->stopping()) {
        ::close(sock);
        return false;
    }
    setNoDelay(sock);
    if (!pool->admit(sock)) {
        qCInfo(lcServer).noquote() << "connection from" << QString::fromStdString(peerAddress(sock))
                                   << "refused: that address has" << m_limits.perAddress << "open";
        refuse(sock);
        return false;
    }
    serve(sock, 0);
    return true;
}

void GuardedServer::serve(socket_t sock, int served)
{
    ConnectionPool* pool = m_pool;
    if (pool->stopping()) {
        pool->close(sock);
        return;
    }
    DeadlineStream stream(sock, m_limits, *pool);
    for (;;) {
        stream.startRequest(Clock::now());
        const bool last = served + 1 >= m_limits.requestsPerConnection || pool->stopping();
        bool clientCloses = false;
        const bool answered = process_request(stream, last, clientCloses, {});
        ++served;
        if (stream.ranOutOfTime()) {
            qCInfo(lcServer).noquote() << "connection from" << QString::fromStdString(peerAddress(sock))
                                       << "dropped: a request or its answer did not finish in time";
            break;
        }
        if (!answered || clientCloses || last)
            break;
        // Bytes of the next request already read belong to this stream; anything else waits off the workers.
        if (!stream.hasBufferedInput()) {
            pool->park(sock, served);
            return;
        }
    }
    pool->close(sock);
}

} // namespace suite::server
