#include "addressquota.h"

#include <utility>

namespace suite::server {

AddressQuota::Ticket::Ticket(AddressQuota* quota, std::string address)
    : m_quota(quota)
    , m_address(std::move(address))
{}

AddressQuota::Ticket::~Ticket()
{
    release();
}

AddressQuota::Ticket::Ticket(Ticket&& other) noexcept
    : m_quota(std::exchange(other.m_quota, nullptr))
    , m_address(std::move(other.m_address))
{}

AddressQuota::Ticket& AddressQuota::Ticket::operator=(Ticket&& other) noexcept
{
    if (this != &other) {
        release();
        m_quota = std::exchange(other.m_quota, nullptr);
        m_address = std::move(other.m_address);
    }
    return *this;
}

void AddressQuota::Ticket::release()
{
    if (m_quota)
        std::exchange(m_quota, nullptr)->leave(m_address);
}

AddressQuota::AddressQuota(int perAddress, int total)
    : m_perAddress(perAddress)
    , m_total(total)
{}

AddressQuota::Verdict AddressQuota::admit(const std::string& address, Ticket& ticket)
{
    return enter(&address, ticket);
}

AddressQuota::Verdict AddressQuota::admitProxy(Ticket& ticket)
{
    return enter(nullptr, ticket);
}

AddressQuota::Verdict AddressQuota::enter(const std::string* address, Ticket& ticket)
{
    Verdict verdict = Verdict::Admitted;
    {
        const std::lock_guard lock(m_mutex);
        if (m_open >= m_total)
            return Verdict::ServerFull;
        ++m_open;
        if (address) {
            int& fromAddress = m_openFrom[*address];
            if (fromAddress >= m_perAddress)
                verdict = Verdict::AddressFull;
            else
                ++fromAddress;
        }
    }
    // Outside the lock: the ticket given over may have held a place of its own, which it gives back now.
    ticket = Ticket(this, address && verdict == Verdict::Admitted ? *address : std::string());
    return verdict;
}

int AddressQuota::open() const
{
    const std::lock_guard lock(m_mutex);
    return m_open;
}

void AddressQuota::leave(const std::string& address)
{
    const std::lock_guard lock(m_mutex);
    --m_open;
    if (address.empty())
        return;
    const auto it = m_openFrom.find(address);
    if (it != m_openFrom.end() && --it->second <= 0)
        m_openFrom.erase(it);
}

} // namespace suite::server
