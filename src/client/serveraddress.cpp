// Where the application server is.
#include "serveraddress.h"

#include <QUrl>

namespace mrv {

namespace {

std::optional<ServerAddress> parseHostPort(const QString& text)
{
    const qsizetype colon = text.lastIndexOf(u':');
    ServerAddress address;
    // An IPv6 literal has colons of its own: only a port after "]" counts.
    const bool bracketed = text.startsWith(u'[');
    const bool hasPort = colon >= 0 && (!bracketed || text.at(colon - 1) == u']');
    address.host = hasPort ? text.left(colon) : text;
    if (address.host.startsWith(u'[') && address.host.endsWith(u']'))
        address.host = address.host.mid(1, address.host.size() - 2);
    if (address.host.isEmpty())
        return std::nullopt;
    if (hasPort) {
        bool ok = false;
        address.port = text.mid(colon + 1).toInt(&ok);
        if (!ok || address.port < 1 || address.port > 65535)
            return std::nullopt;
    }
    return address;
}

} // namespace

QString ServerAddress::text() const
{
    return host + u':' + QString::number(port);
}

std::optional<ServerAddress> ServerAddress::parse(const QString& text)
{
    const QString trimmed = text.trimmed();
    const qsizetype scheme = trimmed.indexOf(QLatin1String("://"));
    if (scheme < 0)
        return parseHostPort(trimmed);

    const QUrl url(trimmed, QUrl::StrictMode);
    const QString kind = url.scheme();
    if (!url.isValid() || url.host().isEmpty() || (kind != QLatin1String("http") && kind != QLatin1String("https")) ||
        !url.userInfo().isEmpty() || url.hasQuery() || url.hasFragment() ||
        (!url.path().isEmpty() && url.path() != QLatin1String("/")))
        return std::nullopt;
    ServerAddress address;
    address.port = url.port(8211);
    if (address.port < 1 || address.port > 65535)
        return std::nullopt;
    // Plain HTTP keeps the bare host it always had; HTTPS keeps its scheme, which the client reads.
    const QString host = url.host().contains(u':') ? u'[' + url.host() + u']' : url.host();
    address.host = kind == QLatin1String("https") ? QStringLiteral("https://") + host : url.host();
    return address;
}

} // namespace mrv
