// hashPassword / verifyPassword: PBKDF2-HMAC-SHA256 strings stored in OPERADOR.DSSENHA.
#include "password.h"

#include <dberror.h>

#include <QRandomGenerator>
#include <QStringList>

#include <openssl/crypto.h>
#include <openssl/evp.h>

namespace suite::provision {

using db::DbError;

namespace {

const QLatin1String kScheme("pbkdf2-sha256");
constexpr int kSaltBytes = 16;
constexpr int kHashBytes = 32;
// A stored hash is data, not code: refuse iteration counts that would stall a login.
constexpr int kMaxIterations = 5000000;

// OpenSSL rather than QPasswordDigestor: much faster, and every login pays for it.
QByteArray derive(const QString& plain, const QByteArray& salt, int iterations)
{
    const QByteArray password = plain.toUtf8();
    QByteArray key(kHashBytes, Qt::Uninitialized);
    if (PKCS5_PBKDF2_HMAC(password.constData(), int(password.size()),
                          reinterpret_cast<const unsigned char*>(salt.constData()), int(salt.size()), iterations,
                          EVP_sha256(), kHashBytes, reinterpret_cast<unsigned char*>(key.data())) != 1)
        throw DbError(QStringLiteral("hashing a password: key derivation failed"));
    return key;
}

bool decodeBase64(const QString& text, QByteArray* out)
{
    const auto result = QByteArray::fromBase64Encoding(text.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!result)
        return false;
    *out = result.decoded;
    return true;
}

} // namespace

QString hashPassword(const QString& plain, int iterations)
{
    QByteArray salt(kSaltBytes, Qt::Uninitialized);
    QRandomGenerator::system()->generate(salt.begin(), salt.end());
    const QByteArray hash = derive(plain, salt, iterations);
    return QStringLiteral("%1$%2$%3$%4")
        .arg(kScheme)
        .arg(iterations)
        .arg(QString::fromLatin1(salt.toBase64()), QString::fromLatin1(hash.toBase64()));
}

bool needsRehash(const QString& stored)
{
    const QStringList parts = stored.split(QLatin1Char('$'));
    return parts.size() != 4 || parts[0] != kScheme || parts[1].toInt() < kPasswordIterations;
}

bool verifyPassword(const QString& plain, const QString& stored)
{
    const QStringList parts = stored.split(QLatin1Char('$'));
    if (parts.size() != 4 || parts[0] != kScheme)
        return false;
    bool ok = false;
    const int iterations = parts[1].toInt(&ok);
    if (!ok || iterations < 1 || iterations > kMaxIterations)
        return false;
    QByteArray salt;
    QByteArray expected;
    if (!decodeBase64(parts[2], &salt) || !decodeBase64(parts[3], &expected))
        return false;
    if (salt.isEmpty() || expected.size() != kHashBytes)
        return false;
    return sameSecret(derive(plain, salt, iterations), expected);
}

bool sameSecret(const QByteArray& a, const QByteArray& b)
{
    return a.size() == b.size() && CRYPTO_memcmp(a.constData(), b.constData(), size_t(a.size())) == 0;
}

} // namespace suite::provision
