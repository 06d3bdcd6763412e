// Backs off log-ins that keep failing, per operator name and per client address, in this server process.
#pragma once

#include <QHash>
#include <QMutex>
#include <QString>
#include <chrono>

namespace suite::server {

struct LoginLimits {
    int freeFailures = 5;               // failures in a row before the first wait
    std::chrono::seconds firstWait{30}; // doubled by every further failure
    std::chrono::seconds longestWait{std::chrono::minutes(15)};
    std::chrono::seconds forgetAfter{std::chrono::hours(1)}; // after a quiet hour a key starts afresh
};

class LoginThrottle {
public:
    using Clock = std::chrono::steady_clock;

    explicit LoginThrottle(LoginLimits perOperator = {}, LoginLimits perAddress = {20}, int maxKeys = 100000);

    // Zero when `user` may try to log in from `address` now; else how long to wait. Counts nothing.
    std::chrono::seconds admit(const QString& user, const QString& address, Clock::time_point now) const;
    // The admitted attempt had a wrong password: it counts for the operator and the address.
    void failed(const QString& user, const QString& address, Clock::time_point now);
    // The admitted attempt was right: the operator starts afresh; the address keeps its failures.
    void succeeded(const QString& user);
    // Operators and addresses it remembers now; never more than maxKeys.
    int keptKeys() const;

private:
    struct Entry {
        int failures = 0;
        Clock::time_point last;
        Clock::time_point blockedUntil;
    };

    std::chrono::seconds waitOf(const QString& key, Clock::time_point now) const;
    void count(const QString& key, const LoginLimits& limits, Clock::time_point now);
    void makeRoom(Clock::time_point now);

    LoginLimits m_perOperator;
    LoginLimits m_perAddress;
    int m_maxKeys;
    mutable QMutex m_mutex;
    QHash<QString, Entry> m_entries;
};

} // namespace suite::server
