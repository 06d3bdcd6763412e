// Stateless session tokens: operator and expiry, signed with HMAC-SHA256.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <optional>

namespace suite::server {

class TokenSigner {
public:
    explicit TokenSigner(QByteArray secret);

    QString issue(const QString& operatorCode, const QDateTime& expiresUtc) const;
    // The operator of a well-signed token that has not expired at `nowUtc`.
    std::optional<QString> verify(const QString& token, const QDateTime& nowUtc) const;

private:
    QByteArray sign(const QByteArray& payload) const;

    QByteArray m_secret;
};

} // namespace suite::server
