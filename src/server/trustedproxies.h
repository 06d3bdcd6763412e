// The balancers and reverse proxies whose X-Forwarded-For is believed, and whom a request through them comes from.
#pragma once

#include <boost/asio/ip/address.hpp>
#include <boost/asio/ip/network_v4.hpp>
#include <boost/asio/ip/network_v6.hpp>

#include <QStringList>
#include <string>
#include <string_view>
#include <vector>

namespace suite::server {

class TrustedProxies {
public:
    TrustedProxies() = default; // trusts no one
    // IP addresses and ADDRESS/BITS networks; throws std::invalid_argument naming an entry that is neither.
    explicit TrustedProxies(const QStringList& entries);

    // Whether the peer at `address` (IPv4, IPv6 or IPv4-mapped IPv6 text) is one of them.
    bool trusts(const std::string& address) const;

    // The client a request from `peer` carrying `forwardedFor` (every X-Forwarded-For field, joined by commas) is
    // made for: from a trusted peer, the right-most forwarded address that is not itself trusted (the left-most
    // when all are); otherwise, or when the header is absent or what must be read of it is not an address, `peer`.
    std::string clientOf(const std::string& peer, std::string_view forwardedFor) const;

private:
    bool trusts(const boost::asio::ip::address& address) const; // an IPv4-mapped one given in its IPv4 form

    std::vector<boost::asio::ip::network_v4> m_v4;
    std::vector<boost::asio::ip::network_v6> m_v6;
};

} // namespace suite::server
