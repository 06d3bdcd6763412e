#include "tokensigner.h"

#include <password.h>

#include <QCryptographicHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageAuthenticationCode>

namespace suite::server {

static constexpr auto kBase64 = QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals;

TokenSigner::TokenSigner(QByteArray secret)
    : m_secret(std::move(secret))
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
    const auto payload = QByteArray::fromBase64Encoding(parts.at(0), kBase64);
    const auto mac = QByteArray::fromBase64Encoding(parts.at(1), kBase64);
    if (!payload || !mac)
        return std::nullopt;

    // The time taken must say nothing about where a forgery differs.
    if (!provision::sameSecret(sign(payload.decoded), mac.decoded))
        return std::nullopt;

    const QJsonObject claims = QJsonDocument::fromJson(payload.decoded).object();
    const QString op = claims.value("op").toString();
    if (op.isEmpty() || claims.value("exp").toInteger() <= nowUtc.toSecsSinceEpoch())
        return std::nullopt;
    return op;
}

} // namespace suite::server
