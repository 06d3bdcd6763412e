#include "tokensigner.h"

#include <password.h>

#include <QCryptographicHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageAuthenticationCode>

namespace suite::server {

static constexpr auto kBase64 = QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals;
// Servers behind one balancer may disagree on the time by this much.
static constexpr qint64 kClockSkewSecs = 60;

TokenSigner::TokenSigner(QByteArray secret, std::chrono::seconds lifetime)
    : m_secret(std::move(secret))
    , m_lifetime(lifetime)
{}

QByteArray TokenSigner::sign(const QByteArray& payload) const
{
    return QMessageAuthenticationCode::hash(payload, m_secret, QCryptographicHash::Sha256);
}

QString TokenSigner::issue(const QString& operatorCode, const QDateTime& expiresUtc) const
{
    const QByteArray payload = QJsonDocument(QJsonObject{{"op", operatorCode}, {"exp", expiresUtc.toSecsSinceEpoch()}})
                                   .toJson(QJsonDocument::Compact);
    return QString::fromLatin1(payload.toBase64(kBase64) + '.' + sign(payload).toBase64(kBase64));
}

std::optional<QString> TokenSigner::verify(const QString& token, const QDateTime& nowUtc) const
{
    const QList<QByteArray> parts = token.toLatin1().split('.');
    if (parts.size() != 2)
        return std::nullopt;
    const auto payload = QByteArray::fromBase64Encoding(parts.at(0), kBase64 | QByteArray::AbortOnBase64DecodingErrors);
    const auto mac = QByteArray::fromBase64Encoding(parts.at(1), kBase64 | QByteArray::AbortOnBase64DecodingErrors);
    if (!payload || !mac)
        return std::nullopt;
    // One token has one spelling: the decoder forgives padding and stray bits, so whatever it forgave is refused.
    if (payload.decoded.toBase64(kBase64) != parts.at(0) || mac.decoded.toBase64(kBase64) != parts.at(1))
        return std::nullopt;

    // The time taken must say nothing about where a forgery differs.
    if (!provision::sameSecret(sign(payload.decoded), mac.decoded))
        return std::nullopt;

    const QJsonObject claims = QJsonDocument::fromJson(payload.decoded).object();
    const QString op = claims.value("op").toString();
    const qint64 expires = claims.value("exp").toInteger();
    const qint64 now = nowUtc.toSecsSinceEpoch();
    // A later expiry than any server issues means the token was not made by one.
    if (op.isEmpty() || expires <= now || expires > now + m_lifetime.count() + kClockSkewSecs)
        return std::nullopt;
    return op;
}

} // namespace suite::server
