// Fuzz target: requests as raw bytes off a connection, one after another as keep-alive sends them, through the
// server's HTTP parser (Beast's, with the server's limits), the routes' checks of a request's headers, and the
// routes' own parsing: the bearer token and its signature, and the bodies of /login, /connect and /call. Nothing
// here reaches a database.
#include "apihandler.h"
#include "apirequest.h"
#include "httproutes.h"
#include "intgcentralservice.h"
#include "servererrors.h"
#include "tokensigner.h"

#include <boost/beast/http.hpp>

#include <QDateTime>

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <variant>

using namespace suite::server;

namespace {

namespace http = boost::beast::http;

// Seeds carry tokens signed with this key, so the fuzzer starts past the signature check.
const QByteArray kKey = QByteArrayLiteral("fuzzing key");

// The routes of the real server up to the point where they would open the database.
class Routes {
public:
    // Answers the requests of one connection until it ends, fails or asks to close, as the server's sessions do.
    void serve(const std::uint8_t* data, std::size_t size)
    {
        boost::asio::const_buffer input(data, size);
        for (int requests = 0; requests < 64 && input.size() > 0; ++requests) {
            http::request_parser<http::string_body> parser;
            parser.header_limit(16 * 1024);
            parser.eager(false);
            if (!feed(parser, input, [&] { return parser.is_header_done(); }))
                return;
            const auto length = parser.content_length();
            const auto admitted =
                m_routes.admit(parser.get(), length ? std::optional(*length) : std::nullopt, parser.chunked());
            if (std::holds_alternative<ApiReply>(admitted))
                return; // the connection is closed after a refusal
            const Route route = std::get<Route>(admitted);
            parser.body_limit(route.bodyLimit);
            parser.eager(true);
            if (!feed(parser, input, [&] { return parser.is_done(); }))
                return;
            answer(route, parser.get());
            if (!parser.get().keep_alive())
                return;
        }
    }

private:
    // Puts the input into the parser until `done`; false when the input ends first or the parser refuses it.
    template<class Done> static bool feed(http::request_parser<http::string_body>& parser,
                                          boost::asio::const_buffer& input, Done done)
    {
        while (!done()) {
            boost::beast::error_code ec;
            const std::size_t used = parser.put(input, ec);
            input += used;
            if (ec || (used == 0 && !done()))
                return false;
        }
        return true;
    }

    void answer(const Route& route, const http::request<http::string_body>& request) const
    {
        const QByteArray body = QByteArray::fromStdString(request.body());
        const QString authorization = QString::fromStdString(std::string(request[http::field::authorization]));
        try {
            switch (route.kind) {
            case Route::Kind::Login:
                LoginRequest::parse(body);
                break;
            case Route::Kind::Connect:
                authorize(authorization);
                if (!IntgCentralService::canonicalServer(ConnectRequest::parse(body).server))
                    throw RequestError(404, QStringLiteral("unknown server"));
                break;
            case Route::Kind::Call:
                authorize(authorization);
                if (!IntgCentralService::canonicalServer(CallRequest::parse(body).server))
                    throw RequestError(404, QStringLiteral("unknown server"));
                break;
            case Route::Kind::Health:
            case Route::Kind::Ready:
                break;
            case Route::Kind::Metrics:
                m_routes.metrics(request, "127.0.0.1");
                break;
            }
        } catch (const RequestError&) {
            // The request's refusal: what the parsers are for. Anything else they throw escapes as a finding.
        }
    }

    void authorize(const QString& authorization) const
    {
        const QString token = bearerToken(authorization);
        if (token.isEmpty() || !m_signer.verify(token, QDateTime::fromSecsSinceEpoch(1767225600, Qt::UTC)))
            throw RequestError(401, QStringLiteral("missing, invalid or expired token"));
    }

    const TokenSigner m_signer{kKey};
    Metrics m_metrics{HttpRoutes::callLabels()};
    // Only its signature check is reached (an Expect: 100-continue); its database is never opened.
    const ApiHandler m_api{QStringLiteral("/nonexistent/fuzz.sqlite"), TokenSigner(kKey), m_metrics};
    const HttpRoutes m_routes{m_api, m_metrics, 1u << 20};
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static Routes routes;
    routes.serve(data, size);
    return 0;
}
