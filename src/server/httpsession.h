// One client connection, plain or TLS, driven by events: while it is idle, slow or being answered it holds a
// socket and a timer, never a thread. Calls are handed to the database workers and their answers posted back.
#pragma once

#include "addressquota.h"
#include "connectionlimits.h"

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl/context.hpp>

#include <string>

namespace suite::server {

class DatabaseWorkers;
class HttpRoutes;
class Metrics;

struct SessionServices {
    const ConnectionLimits& limits;
    const HttpRoutes& routes;
    DatabaseWorkers& database;
    Metrics& metrics;
    boost::asio::ssl::context* tls = nullptr; // none: plain HTTP
};

// Serves `socket` until the client closes it, a limit ends it or the server stops. A connection whose address has
// its share open is told so (503 with Retry-After) and closed.
void startSession(boost::asio::ip::tcp::socket socket, std::string address, AddressQuota::Ticket ticket,
                  bool addressFull, const SessionServices& services);

} // namespace suite::server
