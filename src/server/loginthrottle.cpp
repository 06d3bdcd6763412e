#include "loginthrottle.h"

#include <algorithm>

namespace suite::server {

namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

// A longer name gives no new key: the name field is free text and each key costs memory or a row.
QString operatorKey(const QString& user)
{
    return QStringLiteral("o:") + user.left(64);
}

QString addressKey(const QString& address)
{
    return QStringLiteral("a:") + address.left(64);
}

qint64 millisOf(LoginThrottle::Clock::time_point t)
{
    return std::chrono::duration_cast<milliseconds>(t.time_since_epoch()).count();
}

qint64 millisOf(seconds s)
{
    return milliseconds(s).count();
}

} // namespace

LoginThrottle::LoginThrottle(LoginFailures& failures, LoginLimits perOperator, LoginLimits perAddress, int maxKeys)
    : m_failures(failures)
    , m_perOperator(perOperator)
    , m_perAddress(perAddress)
    , m_maxKeys(std::max(maxKeys, 2))
{}

void LoginThrottle::count(const QString& key, const LoginLimits& limits, qint64 now) const
{
    const qint64 over = m_failures.count(key, now, now - millisOf(limits.forgetAfter)) - limits.freeFailures;
    if (over < 0)
        return;
    // Doubling from the first wait; the shift is bounded so that it cannot overflow.
    const seconds doubled(limits.firstWait.count() * (seconds::rep(1) << std::min<qint64>(over, 30)));
    m_failures.holdUntil(key, now + millisOf(std::min(limits.longestWait, doubled)));
}

std::chrono::seconds LoginThrottle::admit(const QString& user, const QString& address, Clock::time_point now) const
{
    const qint64 left = m_failures.heldUntil({operatorKey(user), addressKey(address)}) - millisOf(now);
    return left > 0 ? std::chrono::ceil<seconds>(milliseconds(left)) : seconds(0);
}

void LoginThrottle::failed(const QString& user, const QString& address, Clock::time_point now) const
{
    // Only a checked wrong password counts: attempts made at once with the right one must all get in. Wrong ones
    // made at once are bounded by the workers that check them, a handful beyond the free failures.
    const qint64 at = millisOf(now);
    const qint64 forgotten = at - millisOf(std::max(m_perOperator.forgetAfter, m_perAddress.forgetAfter));
    // An attempt adds at most two keys.
    m_failures.makeRoom(at, forgotten, m_maxKeys - 2);
    count(operatorKey(user), m_perOperator, at);
    count(addressKey(address), m_perAddress, at);
}

void LoginThrottle::succeeded(const QString& user) const
{
    m_failures.forget(operatorKey(user));
}

} // namespace suite::server
