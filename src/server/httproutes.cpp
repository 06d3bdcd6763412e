#include "httproutes.h"
#include "intgcentralservice.h"

#include <boost/beast/core/string.hpp>
#include <boost/beast/http/field.hpp>
#include <boost/beast/http/verb.hpp>

#include <QString>
#include <array>
#include <utility>

namespace suite::server {

namespace http = boost::beast::http;

namespace {

struct RouteEntry {
    std::string_view path;
    http::verb method;
    Route::Kind kind;
};

constexpr std::array kRoutes{
    RouteEntry{"/login", http::verb::post, Route::Kind::Login},
    RouteEntry{"/connect", http::verb::post, Route::Kind::Connect},
    RouteEntry{"/call", http::verb::post, Route::Kind::Call},
    RouteEntry{"/health", http::verb::get, Route::Kind::Health},
    RouteEntry{"/ready", http::verb::get, Route::Kind::Ready},
    RouteEntry{"/metrics", http::verb::get, Route::Kind::Metrics},
};

std::string_view pathOf(boost::beast::string_view target)
{
    const std::string_view text(target.data(), target.size());
    return text.substr(0, text.find('?'));
}

QString text(boost::beast::string_view value)
{
    return QString::fromUtf8(value.data(), qsizetype(value.size()));
}

// Every X-Forwarded-For field in order, as one list: HTTP lets a proxy append a field instead of extending one.
std::string forwardedFor(const HttpRoutes::Header& header)
{
    std::string joined;
    for (auto [field, end] = header.equal_range("X-Forwarded-For"); field != end; ++field) {
        if (!joined.empty())
            joined += ',';
        joined.append(field->value().data(), field->value().size());
    }
    return joined;
}

ApiReply refusal(int status, const QString& message, QList<std::pair<QByteArray, QByteArray>> headers = {})
{
    ApiReply reply = ApiHandler::error(status, message);
    reply.headers = std::move(headers);
    return reply;
}

} // namespace

HttpRoutes::HttpRoutes(const ApiHandler& api, const Metrics& metrics, std::uint64_t bodyLimit, TrustedProxies proxies)
    : m_api(api)
    , m_metrics(metrics)
    , m_bodyLimit(bodyLimit)
    , m_proxies(std::move(proxies))
{}

std::variant<Route, ApiReply> HttpRoutes::admit(const Header& header, std::optional<std::uint64_t> contentLength,
                                                bool chunked) const
{
    const std::string_view path = pathOf(header.target());
    const RouteEntry* entry = nullptr;
    for (const RouteEntry& candidate : kRoutes) {
        if (candidate.path != path)
            continue;
        if (candidate.method == header.method()) {
            entry = &candidate;
            break;
        }
        return refusal(405, QStringLiteral("%1 is not answered to %2").arg(text(header.method_string()), text(path)),
                       {{"Allow", QByteArray(http::to_string(candidate.method).data())}});
    }
    if (!entry)
        return refusal(404, QStringLiteral("no such route: %1").arg(text(path)));

    // A coding other than chunks would leave the body's end to the connection's: a request another server in the
    // path may read differently.
    if (header.count(http::field::transfer_encoding) && !chunked)
        return refusal(400, QStringLiteral("a request's Transfer-Encoding must end in chunked"));

    Route route{entry->kind, 0};
    switch (entry->kind) {
    case Route::Kind::Login:
        route.bodyLimit = std::uint64_t(ApiHandler::kLoginBodyLimit);
        if (chunked)
            return refusal(411, QStringLiteral("a log-in body needs its Content-Length"));
        break;
    case Route::Kind::Connect:
    case Route::Kind::Call:
        route.bodyLimit = m_bodyLimit;
        break;
    case Route::Kind::Health:
    case Route::Kind::Ready:
    case Route::Kind::Metrics:
        break;
    }
    if (contentLength.value_or(0) > route.bodyLimit)
        return refusal(413, route.bodyLimit == 0
                                ? QStringLiteral("%1 takes no body").arg(text(path))
                                : QStringLiteral("a body of %1 holds at most %2 bytes").arg(text(path)).arg(route.bodyLimit));

    // A body is read only for a caller who may send one: without a token this server signed, a call costs its
    // headers and no more, however many connections send it.
    const bool needsToken = route.kind == Route::Kind::Connect || route.kind == Route::Kind::Call;
    if (needsToken && !m_api.wellSigned(text(header[http::field::authorization])))
        return refusal(401, QString::fromLatin1(ApiHandler::kTokenRefused));
    const auto expect = header.find(http::field::expect);
    if (expect != header.end() && !boost::beast::iequals(expect->value(), "100-continue"))
        return refusal(417, QStringLiteral("only 100-continue is expected"));
    return route;
}

ApiReply HttpRoutes::answer(const Route& route, const Header& header, const std::string& body,
                            const std::string& address) const
{
    // Read where it lies: the handler never keeps the body past its call.
    const QByteArray bytes = QByteArray::fromRawData(body.data(), qsizetype(body.size()));
    const QString authorization = text(header[http::field::authorization]);
    try {
        switch (route.kind) {
        case Route::Kind::Login:
            return m_api.login(bytes, QString::fromStdString(m_proxies.clientOf(address, forwardedFor(header))));
        case Route::Kind::Connect:
            return m_api.connect(authorization, bytes);
        case Route::Kind::Call:
            return m_api.call(authorization, bytes);
        case Route::Kind::Health:
            return ApiHandler::health();
        case Route::Kind::Ready:
            return ready();
        case Route::Kind::Metrics:
            return metrics(header, address);
        }
        return ApiHandler::error(404, QStringLiteral("no such route"));
    } catch (const std::exception& e) {
        return ApiHandler::internalError(text(pathOf(header.target())), QString::fromUtf8(e.what()));
    }
}

ApiReply HttpRoutes::ready() const
{
    return ApiHandler::readiness(m_api.databaseAnswers());
}

ApiReply HttpRoutes::metrics(const Header& header, const std::string& address) const
{
    const bool forwarded =
        header.count(http::field::forwarded) || header.count("X-Forwarded-For") || header.count("X-Real-IP");
    // There is no administrator's profile to let anyone else in; a balancer must not pass them on.
    if (!metricsReadableFrom(address, forwarded))
        return ApiHandler::error(403, QStringLiteral("the metrics are answered only to this machine's loopback, and"
                                                     " not through a proxy"));
    ApiReply reply;
    reply.contentType = Metrics::kContentType;
    reply.text = m_metrics.text();
    return reply;
}

QStringList HttpRoutes::callLabels()
{
    QStringList labels;
    for (const RouteEntry& entry : kRoutes) {
        if (entry.kind != Route::Kind::Call)
            labels << text(entry.path);
    }
    return labels + IntgCentralService::methodNames();
}

QString HttpRoutes::callLabel(Route::Kind kind, const ApiReply& reply)
{
    if (kind == Route::Kind::Call)
        return reply.method;
    for (const RouteEntry& entry : kRoutes) {
        if (entry.kind == kind)
            return text(entry.path);
    }
    return QString::fromLatin1(Metrics::kOtherLabel);
}

} // namespace suite::server
