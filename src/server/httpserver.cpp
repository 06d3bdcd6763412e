#include "httpserver.h"
#include "addressquota.h"
#include "apihandler.h"
#include "databaseworkers.h"
#include "httproutes.h"
#include "httpsession.h"
#include "metrics.h"
#include "serverlog.h"
#include "signingkey.h"
#include "tlscontext.h"
#include "trustedproxies.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>

#include <QLoggingCategory>
#include <algorithm>
#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include <sys/resource.h>

namespace suite::server {

namespace net = boost::asio;
using tcp = net::ip::tcp;

namespace {

QString keyPathOf(const ServerOptions& options)
{
    return options.keyFile.isEmpty() ? defaultKeyPath(options.databaseUrl) : options.keyFile;
}

std::unique_ptr<net::ssl::context> tlsOf(const ServerOptions& options)
{
    if (!options.usesTls()) {
        if (!options.insecurePlainHttp && !isLoopbackHost(options.host))
            throw std::runtime_error(
                QStringLiteral("%1 is reached from other machines: serve it over HTTPS (--tls-cert, --tls-key), or "
                               "say --insecure-plain-http to send passwords and tokens in clear")
                    .arg(options.host)
                    .toStdString());
        return nullptr;
    }
    if (options.tlsCertificate.isEmpty() || options.tlsKey.isEmpty())
        throw std::runtime_error("HTTPS needs both a certificate file and its key file");
    return makeTlsContext(options.tlsCertificate, options.tlsKey);
}

// Each connection is a descriptor: as many as the system lets this process open, less a margin for the database's
// connections and files, bound the connections served at once.
int connectionsTheProcessMayOpen(int wanted)
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return wanted;
    if (limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
        ::getrlimit(RLIMIT_NOFILE, &limit);
    }
    constexpr rlim_t kMargin = 128;
    if (limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur > rlim_t(wanted) + kMargin)
        return wanted;
    return std::max(1, int(limit.rlim_cur) - int(kMargin));
}

std::string textOf(const tcp::endpoint& peer)
{
    net::ip::address address = peer.address();
    if (address.is_v6() && address.to_v6().is_v4_mapped())
        address = net::ip::make_address_v4(net::ip::v4_mapped, address.to_v6());
    return address.to_string();
}

} // namespace

bool isLoopbackHost(const QString& host)
{
    net::io_context context;
    boost::system::error_code ec;
    const auto found = tcp::resolver(context).resolve(host.toStdString(), "0", ec);
    if (ec || found.empty())
        return false;
    return std::all_of(found.begin(), found.end(),
                       [](const auto& entry) { return entry.endpoint().address().is_loopback(); });
}

struct HttpServer::Private {
    explicit Private(ServerOptions o)
        : options(std::move(o))
        , proxies(options.trustedProxies)
        , quota(options.connections.perAddress, connectionsTheProcessMayOpen(options.connections.total))
        , metrics(HttpRoutes::callLabels())
        , api(options.databaseUrl, TokenSigner(readSigningKey(keyPathOf(options))), metrics, options.loginsPerOperator,
              options.loginsPerAddress, options.statementTimeout)
        , routes(api, metrics, options.bodyLimit, proxies)
        , tls(tlsOf(options))
        , acceptor(loop)
        , acceptPause(loop)
        , database(options.threads)
        , services{options.connections, routes, database, metrics, tls.get()}
    {}

    void accept();

    // Destroyed in reverse: the database workers finish (their answers posted to the loop) before the loop and its
    // connections go, and those give their places back to the quota and use the TLS context until then.
    ServerOptions options;
    TrustedProxies proxies;
    AddressQuota quota;
    Metrics metrics;
    ApiHandler api;
    HttpRoutes routes;
    std::unique_ptr<net::ssl::context> tls;
    net::io_context loop;
    tcp::acceptor acceptor;
    net::steady_timer acceptPause;
    DatabaseWorkers database;
    SessionServices services;
    std::atomic<bool> running{false};
};

void HttpServer::Private::accept()
{
    acceptor.async_accept(net::make_strand(loop), [this](boost::system::error_code ec, tcp::socket socket) {
        if (ec == net::error::operation_aborted || !acceptor.is_open())
            return;
        if (ec) {
            // Out of descriptors: connections already open will end and give theirs back.
            qCWarning(lcServer).noquote() << "accept:" << QString::fromStdString(ec.message());
            acceptPause.expires_after(std::chrono::milliseconds(100));
            acceptPause.async_wait([this](boost::system::error_code waited) {
                if (!waited)
                    accept();
            });
            return;
        }
        boost::system::error_code peerError;
        const tcp::endpoint peer = socket.remote_endpoint(peerError);
        if (!peerError) {
            std::string address = textOf(peer);
            AddressQuota::Ticket ticket;
            // A balancer's connections carry many clients; it limits them itself (HAProxy's maxconn).
            const AddressQuota::Verdict verdict =
                proxies.trusts(address) ? quota.admitProxy(ticket) : quota.admit(address, ticket);
            if (verdict == AddressQuota::Verdict::AddressFull)
                metrics.countRefusedConnection(Metrics::Refusal::AddressFull);
            else if (verdict == AddressQuota::Verdict::ServerFull)
                metrics.countRefusedConnection(Metrics::Refusal::ServerFull);
            // Past the total the connection is closed unanswered: answering would cost what is being protected.
            if (verdict != AddressQuota::Verdict::ServerFull)
                startSession(std::move(socket), std::move(address), std::move(ticket),
                             verdict == AddressQuota::Verdict::AddressFull, services);
        }
        accept();
    });
}

HttpServer::HttpServer(ServerOptions options)
    : d(std::make_unique<Private>(std::move(options)))
{}

HttpServer::~HttpServer()
{
    stop();
}

int HttpServer::bind()
{
    const auto cannot = [this](const boost::system::error_code& ec) {
        return std::runtime_error(QStringLiteral("cannot listen on %1:%2: %3")
                                      .arg(d->options.host)
                                      .arg(d->options.port)
                                      .arg(QString::fromStdString(ec.message()))
                                      .toStdString());
    };
    boost::system::error_code ec;
    const auto found =
        tcp::resolver(d->loop).resolve(d->options.host.toStdString(), std::to_string(d->options.port), ec);
    if (ec || found.empty())
        throw cannot(ec);
    const tcp::endpoint endpoint = found.begin()->endpoint();
    d->acceptor.open(endpoint.protocol(), ec);
    if (!ec)
        d->acceptor.set_option(net::socket_base::reuse_address(true), ec);
    if (!ec)
        d->acceptor.bind(endpoint, ec);
    // Desktops connecting at once all wait in the queue instead of seeing their first call fail.
    if (!ec)
        d->acceptor.listen(net::socket_base::max_listen_connections, ec);
    if (ec)
        throw cannot(ec);
    d->options.port = d->acceptor.local_endpoint().port();
    return d->options.port;
}

void HttpServer::serve()
{
    d->running = true;
    d->accept();
    const auto run = [this] {
        for (;;) {
            try {
                d->loop.run();
                return;
            } catch (const std::exception& e) {
                qCCritical(lcServer).noquote() << "event loop:" << QString::fromUtf8(e.what());
            }
        }
    };
    std::vector<std::thread> others;
    for (int i = 1; i < std::max(1, d->options.connections.loopThreads); ++i)
        others.emplace_back(run);
    run();
    for (std::thread& thread : others)
        thread.join();
    d->running = false;
}

void HttpServer::stop()
{
    d->loop.stop();
}

bool HttpServer::isRunning() const
{
    return d->running;
}

} // namespace suite::server
