// Backs off log-ins that keep failing, per operator name and per client address.
#pragma once

#include "loginfailures.h"

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
    // Wall-clock time: servers that share a database share nothing else to count by.
    using Clock = std::chrono::system_clock;

    // Counts in `failures`, which must outlive it.
    explicit LoginThrottle(LoginFailures& failures, LoginLimits perOperator = {}, LoginLimits perAddress = {20},
                           int maxKeys = 100000);

    // Zero when `user` may try to log in from `address` now; else how long to wait. Counts nothing.
    std::chrono::seconds admit(const QString& user, const QString& address, Clock::time_point now) const;
    // The admitted attempt had a wrong password: it counts for the operator and the address.
    void failed(const QString& user, const QString& address, Clock::time_point now) const;
    // The admitted attempt was right: the operator starts afresh; the address keeps its failures.
    void succeeded(const QString& user) const;
    // Operators and addresses it remembers now; never more than maxKeys.
    int keptKeys() const { return m_failures.size(); }

private:
    void count(const QString& key, const LoginLimits& limits, qint64 now) const;

    LoginFailures& m_failures;
    LoginLimits m_perOperator;
    LoginLimits m_perAddress;
    int m_maxKeys;
};

} // namespace suite::server
