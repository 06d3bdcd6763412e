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

std::chrono::seconds LoginThrottle::waitOf(const QString& key, const LoginLimits& limits, Clock::time_point now)
{
    const auto found = m_entries.find(key);
    if (found == m_entries.end())
        return seconds(0);
    if (now - found->last >= limits.forgetAfter && found->blockedUntil <= now) {
        m_entries.erase(found);
        return seconds(0);
    }
    return found->blockedUntil > now ? ceilSeconds(found->blockedUntil - now) : seconds(0);
}

void LoginThrottle::count(const QString& key, const LoginLimits& limits, Clock::time_point now)
{
    Entry& entry = m_entries[key];
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

std::chrono::seconds LoginThrottle::admit(const QString& user, const QString& address, Clock::time_point now)
{
    const QMutexLocker lock(&m_mutex);
    const seconds wait =
        std::max(waitOf(operatorKey(user), m_perOperator, now), waitOf(addressKey(address), m_perAddress, now));
    if (wait > seconds(0))
        return wait;
    // Counted before the password is checked, so that attempts made at once cannot all slip through.
    makeRoom(now);
    count(operatorKey(user), m_perOperator, now);
    count(addressKey(address), m_perAddress, now);
    return seconds(0);
}

void LoginThrottle::succeeded(const QString& user, const QString& address)
{
    const QMutexLocker lock(&m_mutex);
    m_entries.remove(operatorKey(user));
    const auto found = m_entries.find(addressKey(address));
    if (found == m_entries.end() || found->failures == 0)
        return;
    // Below the free failures no wait is due: this attempt alone may have started one.
    if (--found->failures < m_perAddress.freeFailures)
        found->blockedUntil = {};
}

int LoginThrottle::keptKeys() const
{
    const QMutexLocker lock(&m_mutex);
    return int(m_entries.size());
}

} // namespace suite::server
