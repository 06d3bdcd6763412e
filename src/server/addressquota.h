// Counts the open connections of each client address and of all, so that no one address, and no crowd, can
// take every socket the process may open.
#pragma once

#include <map>
#include <mutex>
#include <string>

namespace suite::server {

class AddressQuota {
public:
    AddressQuota(int perAddress, int total);

    enum class Verdict { Admitted, AddressFull, ServerFull };

    // A connection's place, given back when it is destroyed.
    class Ticket {
    public:
        Ticket() = default;
        Ticket(AddressQuota* quota, std::string address);
        ~Ticket();
        Ticket(Ticket&& other) noexcept;
        Ticket& operator=(Ticket&& other) noexcept;
        Ticket(const Ticket&) = delete;
        Ticket& operator=(const Ticket&) = delete;

    private:
        void release();
        AddressQuota* m_quota = nullptr;
        std::string m_address;
    };

    // Counts a connection from `address` into `ticket`. One refused for its address still holds a place in the
    // total while it is told why (its ticket counts it there alone); one refused for the total holds none.
    Verdict admit(const std::string& address, Ticket& ticket);
    // Counts a connection from a trusted proxy, which many clients share, in the total alone.
    Verdict admitProxy(Ticket& ticket);
    int open() const;

private:
    Verdict enter(const std::string* address, Ticket& ticket); // null: not held to the per-address cap
    void leave(const std::string& address); // empty: a place in the total alone

    const int m_perAddress;
    const int m_total;
    mutable std::mutex m_mutex;
    std::map<std::string, int> m_openFrom;
    int m_open = 0;
};

} // namespace suite::server
