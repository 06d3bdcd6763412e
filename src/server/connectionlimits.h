// What one client may hold of the server's connections, and for how long.
#pragma once

#include <chrono>
#include <cstddef>

namespace suite::server {

struct ConnectionLimits {
    // From a request's first byte (for a new connection, from its accept, TLS handshake included) to its last;
    // slow senders are dropped.
    std::chrono::milliseconds requestDeadline{10000};
    std::chrono::milliseconds answerDeadline{60000}; // to write one answer to a slow reader
    std::chrono::milliseconds keepAlive{5000};       // an idle connection is closed after this
    int perAddress = 16;                             // connections one client address may have open
    int total = 4096;                                // connections open at once, from every address
    int loopThreads = 2;                             // threads reading and writing every connection
    int requestsPerConnection = 1000;                // then the connection is closed and the client opens another
    std::size_t headerLimit = 16 * 1024;             // a request line and its headers, in bytes
};

} // namespace suite::server
