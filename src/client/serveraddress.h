// Where the application server is, as the host's settings and the command line name it.
#pragma once

#include <QString>
#include <optional>

namespace mrv {

// HOST[:PORT] (plain HTTP) or https://HOST[:PORT]; the port defaults to 8211 either way.
struct ServerAddress {
    QString host; // a name or address; "https://name" for HTTPS, the form serverUrl and TNetConnection take
    int port = 8211;
    QString text() const;
    static std::optional<ServerAddress> parse(const QString& text);
};

} // namespace mrv
