// The server's routes as HTTP sees them: which requests are let in from their headers alone (before a byte of
// their body is read or paid for), and how a whole request becomes an answer of ApiHandler.
#pragma once

#include "apihandler.h"
#include "metrics.h"
#include "trustedproxies.h"

#include <boost/beast/http/message.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

namespace suite::server {

struct Route {
    enum class Kind { Login, Connect, Call, Health, Ready, Metrics };
    Kind kind = Kind::Health;
    std::uint64_t bodyLimit = 0;
};

class HttpRoutes {
public:
    // A log-in through one of `proxies` is held back for the client it forwards, not for the proxy.
    HttpRoutes(const ApiHandler& api, const Metrics& metrics, std::uint64_t bodyLimit, TrustedProxies proxies = {});

    using Header = boost::beast::http::request_header<>;

    // The route of a request from its headers (and the parser's reading of its length), or the answer that refuses
    // it before its body is read.
    std::variant<Route, ApiReply> admit(const Header& header, std::optional<std::uint64_t> contentLength,
                                        bool chunked) const;

    // Answers a request `admit` let in and whose body has been read, from the peer at `address`. Runs where the
    // database may be used: on a database worker (the connection bounds how long a readiness probe waits for one).
    ApiReply answer(const Route& route, const Header& header, const std::string& body, const std::string& address) const;

    // A balancer's readiness answer; on a database worker too.
    ApiReply ready() const;

    // The metrics for a peer at `address` on this machine, else 403; needs no database.
    ApiReply metrics(const Header& header, const std::string& address) const;

    // What the metrics count the answers of a route under: a call's protocol method, else the route's path.
    static QStringList callLabels();
    static QString callLabel(Route::Kind kind, const ApiReply& reply);

private:
    const ApiHandler& m_api;
    const Metrics& m_metrics;
    const std::uint64_t m_bodyLimit;
    const TrustedProxies m_proxies;
};

} // namespace suite::server
