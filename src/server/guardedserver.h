// cpp-httplib's server with bounds on what one client can hold: a deadline for reading each request and for writing
// each answer, idle keep-alive connections held off the worker threads, a cap on the connections of one client
// address, and TCP_NODELAY on every connection.
#pragma once

#include <httplib.h>

#include <atomic>
#include <chrono>

namespace suite::server {

class ConnectionPool;

struct ConnectionLimits {
    // From a request's first byte (for a new connection, from its accept) to its last; slow senders are dropped.
    std::chrono::milliseconds requestDeadline{10000};
    std::chrono::milliseconds answerDeadline{60000}; // to write one answer to a slow reader
    std::chrono::milliseconds keepAlive{5000};       // an idle connection is closed after this
    int perAddress = 16;                             // connections one client address may have open
    int workers = 64;                                // connections being read, handled or answered at once
    int requestsPerConnection = 1000;                // then the connection is closed and the client opens another
};

class GuardedServer : public httplib::Server {
public:
    explicit GuardedServer(ConnectionLimits limits);
    ~GuardedServer() override;

private:
    bool process_and_close_socket(socket_t sock) override;
    // Answers requests until the connection idles (then it is parked), asks to close, fails or runs out of time.
    void serve(socket_t sock, int served);

    const ConnectionLimits m_limits;
    std::atomic<ConnectionPool*> m_pool{nullptr};
};

} // namespace suite::server
