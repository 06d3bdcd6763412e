// Stateless session tokens: operator and expiry, signed with HMAC-SHA256.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <chrono>
#include <optional>

namespace suite::server {

inline constexpr std::chrono::seconds kTokenLifetime = std::chrono::hours(12);

class TokenSigner {
public:
    TokenSigner(QByteArray secret, std::chrono::seconds lifetime = kTokenLifetime);

    std::chrono::seconds lifetime() const { return m_lifetime; }
    QString issue(const QString& operatorCode, const QDateTime& expiresUtc) const;
    // The operator of a well-signed token that has not expired at `nowUtc` and expires no later than a token
    // issued then would.
    std::optional<QString> verify(const QString& token, const QDateTime& nowUtc) const;

private:
    QByteArray sign(const QByteArray& payload) const;

    QByteArray m_secret;
    std::chrono::seconds m_lifetime;
};

} // namespace suite::server
