#include "trustedproxies.h"

#include <algorithm>
#include <optional>
#include <stdexcept>

namespace suite::server {

namespace ip = boost::asio::ip;

namespace {

// An IPv4 client reached over an IPv6 socket is the same client as over IPv4.
std::optional<ip::address> addressOf(std::string_view text)
{
    boost::system::error_code ec;
    ip::address address = ip::make_address(std::string(text), ec);
    if (ec)
        return std::nullopt;
    if (address.is_v6() && address.to_v6().is_v4_mapped())
        address = ip::make_address_v4(ip::v4_mapped, address.to_v6());
    return address;
}

std::string_view trimmed(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

template<class Network, class Address> bool withinAny(const std::vector<Network>& networks, const Address& address)
{
    return std::any_of(networks.begin(), networks.end(),
                       [&address](const Network& n) { return Network(address, n.prefix_length()).canonical() == n; });
}

} // namespace

TrustedProxies::TrustedProxies(const QStringList& entries)
{
    for (const QString& entry : entries) {
        const std::string text = entry.trimmed().toStdString();
        const auto slash = text.find('/');
        boost::system::error_code ec;
        // Taken as written: a network of IPv4-mapped addresses stays IPv6, and an IPv4 peer is looked up in both.
        const ip::address address = ip::make_address(text.substr(0, slash), ec);
        const int most = address.is_v4() ? 32 : 128;
        int bits = most;
        if (!ec && slash != std::string::npos) {
            const std::string digits = text.substr(slash + 1);
            const bool numeric = !digits.empty() && digits.size() <= 3 &&
                                 std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
            bits = numeric ? std::stoi(digits) : -1;
        }
        if (ec || bits < 0 || bits > most)
            throw std::invalid_argument("trusted proxy \"" + text + "\" is not an IP address or ADDRESS/BITS");
        if (address.is_v4())
            m_v4.push_back(ip::network_v4(address.to_v4(), unsigned(bits)).canonical());
        else
            m_v6.push_back(ip::network_v6(address.to_v6(), unsigned(bits)).canonical());
    }
}

bool TrustedProxies::trusts(const std::string& address) const
{
    const std::optional<ip::address> peer = addressOf(address);
    return peer && trusts(*peer);
}

bool TrustedProxies::trusts(const ip::address& address) const
{
    if (address.is_v6())
        return withinAny(m_v6, address.to_v6());
    const ip::address_v4 v4 = address.to_v4();
    return withinAny(m_v4, v4) || withinAny(m_v6, ip::make_address_v6(ip::v4_mapped, v4));
}

std::string TrustedProxies::clientOf(const std::string& peer, std::string_view forwardedFor) const
{
    if (!trusts(peer))
        return peer;
    // Each proxy appends the address it was reached from, so only the entries right of the first untrusted one
    // were written by proxies we trust; what lies further left the client chose and is never read.
    std::optional<ip::address> farthest;
    std::string_view rest = forwardedFor;
    while (!rest.empty()) {
        const auto comma = rest.rfind(',');
        const std::string_view entry = trimmed(comma == std::string_view::npos ? rest : rest.substr(comma + 1));
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(0, comma);
        if (entry.empty())
            continue; // an empty list element, which HTTP lets a sender write
        const std::optional<ip::address> hop = addressOf(entry);
        if (!hop)
            return peer;
        farthest = hop;
        if (!trusts(*hop))
            break;
    }
    return farthest ? farthest->to_string() : peer;
}

} // namespace suite::server
