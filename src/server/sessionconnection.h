// The connection behind startSession(), for a plain or a TLS stream. Each stream's session is instantiated in a
// file of its own (plainsession.cpp, tlssession.cpp): the TLS one alone is most of the server's compile time, and
// apart the two compile side by side.
#pragma once

#include "apihandler.h"
#include "databaseworkers.h"
#include "httproutes.h"
#include "httpsession.h"
#include "metrics.h"

#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/ssl/ssl_stream.hpp>

#include <QJsonDocument>
#include <memory>
#include <optional>
#include <type_traits>

#include <netinet/in.h>
#include <netinet/tcp.h>

namespace suite::server::session {

namespace net = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using error_code = beast::error_code;

using PlainStream = beast::tcp_stream;
using TlsStream = beast::ssl_stream<beast::tcp_stream>;

// A lingering close reads away what the client still sends (a refused body's rest: a 32 MiB body takes a fraction
// of a second on a LAN), at most this much for at most this long, so that the unread bytes do not reset the
// connection before the client reads the answer. Read and dropped, they cost no memory.
inline constexpr std::size_t kLingerBytes = 64u << 20;
inline constexpr std::chrono::seconds kLingerTime{2};

// The answer to a connection whose address has its share open.
ApiReply addressFullReply();
// Errors that end a request the client never finished: it is dropped, not answered.
bool abandoned(const error_code& ec);

template<class Stream> class Session : public std::enable_shared_from_this<Session<Stream>> {
    static constexpr bool kTls = std::is_same_v<Stream, TlsStream>;

public:
    template<class... Args>
    Session(const SessionServices& services, std::string address, AddressQuota::Ticket ticket, bool addressFull,
            Args&&... streamArgs)
        : m_services(services)
        , m_stream(std::forward<Args>(streamArgs)...)
        , m_executor(m_stream.get_executor())
        , m_address(std::move(address))
        , m_ticket(std::move(ticket))
        , m_addressFull(addressFull)
        , m_counted(services.metrics)
    {}

    void start()
    {
        setOption(TCP_NODELAY); // an answer's header and body would otherwise wait for the client's delayed ACK
        // A new connection's first request, TLS handshake included, must be whole by this deadline.
        lowest().expires_after(m_services.limits.requestDeadline);
        if constexpr (kTls)
            m_stream.async_handshake(net::ssl::stream_base::server, [self = this->shared_from_this()](error_code ec) {
                if (!ec)
                    self->begin();
            });
        else
            begin();
    }

private:
    beast::tcp_stream& lowest() { return beast::get_lowest_layer(m_stream); }

    void setOption(int option)
    {
        const int yes = 1;
        ::setsockopt(lowest().socket().native_handle(), IPPROTO_TCP, option, &yes, sizeof(yes));
    }

    // A client that sends its headers and body in two writes (most do) holds the body back until the headers are
    // acknowledged, which Linux delays by up to 40 ms. Quick ACKs are not sticky, so they are asked for each read.
    void ackAtOnce() { setOption(TCP_QUICKACK); }

    void begin()
    {
        if (m_addressFull) {
            m_closeAfter = true;
            send(addressFullReply());
            return;
        }
        readHeader();
    }

    // A kept-alive connection waits for the first byte of its next request, then has the request's deadline.
    void awaitRequest()
    {
        if (m_buffer.size() > 0) {
            lowest().expires_after(m_services.limits.requestDeadline);
            readHeader();
            return;
        }
        lowest().expires_after(m_services.limits.keepAlive);
        m_stream.async_read_some(m_buffer.prepare(4096),
                                 [self = this->shared_from_this()](error_code ec, std::size_t read) {
                                     if (ec)
                                         return self->close();
                                     self->m_buffer.commit(read);
                                     self->lowest().expires_after(self->m_services.limits.requestDeadline);
                                     self->readHeader();
                                 });
    }

    void readHeader()
    {
        ackAtOnce();
        m_parser.emplace();
        m_parser->header_limit(std::uint32_t(m_services.limits.headerLimit));
        // The route's limit is set once the headers say which route: the parser's own default (1 MiB) would refuse
        // a declared length before that, whatever the route takes.
        m_parser->body_limit(boost::none);
        http::async_read_header(m_stream, m_buffer, *m_parser,
                                [self = this->shared_from_this()](error_code ec, std::size_t) { self->onHeader(ec); });
    }

    void onHeader(error_code ec)
    {
        if (ec)
            return refuseRead(ec);
        auto& request = m_parser->get();
        const auto length = m_parser->content_length();
        auto admitted =
            m_services.routes.admit(request, length ? std::optional(*length) : std::nullopt, m_parser->chunked());
        if (const ApiReply* refusal = std::get_if<ApiReply>(&admitted)) {
            // Its body, if any, is left unread: the connection cannot tell where the next request would begin.
            m_closeAfter = true;
            m_services.metrics.countRefusedRequest(refusal->status);
            send(*refusal);
            return;
        }
        m_route = std::get<Route>(admitted);
        m_parser->body_limit(m_route.bodyLimit);
        if (beast::iequals(request[http::field::expect], "100-continue")) {
            m_continue.emplace(http::status::continue_, request.version());
            http::async_write(m_stream, *m_continue, [self = this->shared_from_this()](error_code ec, std::size_t) {
                if (ec)
                    return self->close();
                self->readBody();
            });
            return;
        }
        readBody();
    }

    void readBody()
    {
        ackAtOnce();
        http::async_read(m_stream, m_buffer, *m_parser, [self = this->shared_from_this()](error_code ec, std::size_t) {
            if (ec)
                return self->refuseRead(ec);
            self->dispatch();
        });
    }

    // A request that could not be read whole: a bad one is answered and the connection closed; one the client
    // abandoned (silence past its deadline, a closed connection) is dropped.
    void refuseRead(error_code ec)
    {
        if (abandoned(ec))
            return close();
        m_closeAfter = true;
        ApiReply refusal;
        if (ec == http::error::body_limit)
            refusal = ApiHandler::error(
                413, QStringLiteral("a body of this route holds at most %1 bytes").arg(m_route.bodyLimit));
        else if (ec == http::error::header_limit)
            refusal = ApiHandler::error(
                431, QStringLiteral("a request's headers hold at most %1 bytes").arg(m_services.limits.headerLimit));
        else
            refusal = ApiHandler::error(
                400, QStringLiteral("malformed request: %1").arg(QString::fromStdString(ec.message())));
        m_services.metrics.countRefusedRequest(refusal.status);
        send(refusal);
    }

    void dispatch()
    {
        m_dispatched = std::chrono::steady_clock::now();
        if (m_route.kind == Route::Kind::Health)
            return answer(ApiHandler::health());
        if (m_route.kind == Route::Kind::Metrics)
            return answer(m_services.routes.metrics(m_parser->get(), m_address));
        const int request = m_served;
        if (m_route.kind == Route::Kind::Ready) {
            // The probe owns what it uses: its time may run out and the connection go on to its next request.
            armReadyLimit(request);
            return answerFromWorker(request, [](Session& session) { return session.m_services.routes.ready(); });
        }
        // The parser's request is left alone on this side until the answer comes back.
        answerFromWorker(request, [](Session& session) {
            return session.m_services.routes.answer(session.m_route, session.m_parser->get(),
                                                    session.m_parser->get().body(), session.m_address);
        });
    }

    // Runs `work` on a database worker and answers request number `request` with its reply, back on this connection.
    template<class Work> void answerFromWorker(int request, Work work)
    {
        m_services.database.post([self = this->shared_from_this(), request, work] {
            ApiReply reply = work(*self);
            net::post(self->m_executor,
                      [self, request, reply = std::move(reply)] { self->answerOnce(request, reply); });
        });
    }

    // A balancer's probe is answered 503 when no database worker has run it in time.
    void armReadyLimit(int request)
    {
        m_readyLimit.emplace(m_executor);
        m_readyLimit->expires_after(ApiHandler::kReadyLimit);
        m_readyLimit->async_wait([self = this->shared_from_this(), request](error_code ec) {
            if (!ec)
                self->answerOnce(request, ApiHandler::readiness(false));
        });
    }

    // The first answer to the request numbered `request` goes out; a later one (a probe's, past its time) is dropped.
    void answerOnce(int request, const ApiReply& reply)
    {
        if (request != m_served || m_answered)
            return;
        m_answered = true;
        answer(reply);
    }

    // The answer of a request its route ran, counted.
    void answer(const ApiReply& reply)
    {
        Metrics& metrics = m_services.metrics;
        metrics.countCall(HttpRoutes::callLabel(m_route.kind, reply), reply.status,
                          std::chrono::steady_clock::now() - m_dispatched);
        if (reply.status == 500)
            metrics.countInternalError();
        send(reply);
    }

    void send(const ApiReply& reply)
    {
        const unsigned version = m_parser ? m_parser->get().version() : 11;
        const bool keepAlive = !m_closeAfter && m_parser && m_parser->get().keep_alive() &&
                               m_served + 1 < m_services.limits.requestsPerConnection;
        const bool json = reply.contentType.isEmpty();
        m_answerBytes = json ? QJsonDocument(reply.body).toJson(QJsonDocument::Compact) : reply.text;
        // The request, which may be large, is not needed past its answer.
        m_parser.reset();
        m_response.emplace(http::status(reply.status), version);
        m_response->set(http::field::content_type, json ? beast::string_view("application/json")
                                                        : beast::string_view(reply.contentType.constData(),
                                                                             std::size_t(reply.contentType.size())));
        for (const auto& [name, value] : reply.headers)
            m_response->set(beast::string_view(name.constData(), std::size_t(name.size())),
                            beast::string_view(value.constData(), std::size_t(value.size())));
        m_response->body() = {m_answerBytes.constData(), std::size_t(m_answerBytes.size())};
        m_response->keep_alive(keepAlive);
        m_response->prepare_payload();
        lowest().expires_after(m_services.limits.answerDeadline);
        http::async_write(m_stream, *m_response,
                          [self = this->shared_from_this(), keepAlive](error_code ec, std::size_t) {
                              if (ec)
                                  return self->close();
                              self->m_response.reset();
                              self->m_answerBytes.clear();
                              self->m_answered = false;
                              if (self->m_readyLimit)
                                  self->m_readyLimit->cancel();
                              ++self->m_served;
                              if (keepAlive)
                                  self->awaitRequest();
                              else
                                  self->finish();
                          });
    }

    // Ends the connection after its last answer without resetting it under the client's reading.
    void finish()
    {
        lowest().expires_after(kLingerTime);
        if constexpr (kTls) {
            m_stream.async_shutdown([self = this->shared_from_this()](error_code) { self->close(); });
        } else {
            error_code ignored;
            lowest().socket().shutdown(net::ip::tcp::socket::shutdown_send, ignored);
            linger();
        }
    }

    void linger()
    {
        m_buffer.clear();
        m_stream.async_read_some(m_buffer.prepare(16384),
                                 [self = this->shared_from_this()](error_code ec, std::size_t read) {
                                     self->m_lingered += read;
                                     if (ec || self->m_lingered > kLingerBytes)
                                         return self->close();
                                     self->linger();
                                 });
    }

    void close()
    {
        error_code ignored;
        lowest().socket().close(ignored);
    }

    const SessionServices& m_services;
    Stream m_stream;
    const net::any_io_executor m_executor;
    const std::string m_address;
    const AddressQuota::Ticket m_ticket;
    const bool m_addressFull;
    const Metrics::OpenConnection m_counted;

    beast::flat_buffer m_buffer;
    std::optional<http::request_parser<http::string_body>> m_parser;
    std::optional<http::response<http::empty_body>> m_continue;
    std::optional<http::response<http::span_body<const char>>> m_response;
    std::optional<net::steady_timer> m_readyLimit;
    QByteArray m_answerBytes;
    Route m_route;
    std::chrono::steady_clock::time_point m_dispatched;
    bool m_closeAfter = false;
    bool m_answered = false;
    int m_served = 0;
    std::size_t m_lingered = 0;
};

void startPlain(net::ip::tcp::socket socket, std::string address, AddressQuota::Ticket ticket, bool addressFull,
                const SessionServices& services);
void startTls(net::ip::tcp::socket socket, std::string address, AddressQuota::Ticket ticket, bool addressFull,
              const SessionServices& services);

} // namespace suite::server::session
