#include "loginthrottle.h"

#include <algorithm>

namespace suite::server {

namespace {

using std::chrono::seconds;

// A longer name gives no new key: the name field is free text and each key costs memory.
QString operatorKey(const QString& user)
{
    return QStringLiteral("o:") + user.left(64);
}

QString addressKey(const QString& address)
{
    return QStringLiteral("a:") + address.left(64);
}

seconds ceilSeconds(LoginThrottle::Clock::duration d)
{
    return std::chrono::ceil<seconds>(d);
}

} // namespace

LoginThrottle::LoginThrottle(LoginLimits perOperator, LoginLimits perAddress, int maxKeys)
    : m_perOperator(perOperator)
    , m_perAddress(perAddress)
    , m_maxKeys(maxKeys)
{}

std::chrono::seconds LoginThrottle::waitOf(const QString& key, Clock::time_point now) const
{
    const auto found = m_entries.constFind(key);
    return found != m_entries.cend() && found->blockedUntil > now ? ceilSeconds(found->blockedUntil - now) : seconds(0);
}

void LoginThrottle::count(const QString& key, const LoginLimits& limits, Clock::time_point now)
{
    Entry& entry = m_entries[key];
    // After a quiet hour a key starts afresh.
    if (entry.failures > 0 && now - entry.last >= limits.forgetAfter && entry.blockedUntil <= now)
        entry = Entry{};
    ++entry.failures;
    entry.last = now;
    const int over = entry.failures - limits.freeFailures;
    if (over < 0)
        return;
    // Doubling from the first wait; the shift is bounded so that it cannot overflow.
    const seconds doubled(limits.firstWait.count() * (seconds::rep(1) << std::min(over, 30)));
    const seconds wait = std::min(limits.longestWait, doubled);
    entry.blockedUntil = now + wait;
}

void LoginThrottle::makeRoom(Clock::time_point now)
{
    // An attempt adds at most two keys.
    if (m_entries.size() + 2 <= m_maxKeys)
        return;
    const seconds forget = std::max(m_perOperator.forgetAfter, m_perAddress.forgetAfter);
    m_entries.removeIf(
        [&](QHash<QString, Entry>::iterator it) { return now - it->last >= forget && it->blockedUntil <= now; });
    // Still full of recent failures: the oldest go, so that memory stays bounded whatever a caller sends.
    while (!m_entries.isEmpty() && m_entries.size() + 2 > m_maxKeys) {
        auto oldest = std::min_element(m_entries.begin(), m_entries.end(),
                                       [](const Entry& a, const Entry& b) { return a.last < b.last; });
        m_entries.erase(oldest);
    }
}

std::chrono::seconds LoginThrottle::admit(const QString& user, const QString& address, Clock::time_point now) const
{
    const QMutexLocker lock(&m_mutex);
    return std::max(waitOf(operatorKey(user), now), waitOf(addressKey(address), now));
}

void LoginThrottle::failed(const QString& user, const QString& address, Clock::time_point now)
{
    // Only a checked wrong password counts: attempts made at once with the right one must all get in. Wrong ones
    // made at once are bounded by the workers that check them, a handful beyond the free failures.
    const QMutexLocker lock(&m_mutex);
    makeRoom(now);
    count(operatorKey(user), m_perOperator, now);
    count(addressKey(address), m_perAddress, now);
}

void LoginThrottle::succeeded(const QString& user)
{
    const QMutexLocker lock(&m_mutex);
    m_entries.remove(operatorKey(user));
}

int LoginThrottle::keptKeys() const
{
    const QMutexLocker lock(&m_mutex);
    return int(m_entries.size());
}

} // namespace suite::server
