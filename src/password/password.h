// Operators' passwords as OPERADOR.DSSENHA stores them.
#pragma once

#include <QByteArray>
#include <QString>

namespace suite::provision {

/// The iteration count new hashes get; a login rehashes a stored hash with fewer.
inline constexpr int kPasswordIterations = 600000;

/// PBKDF2-HMAC-SHA256 with a random salt: "pbkdf2-sha256$ITER$SALT_B64$HASH_B64".
QString hashPassword(const QString& plain, int iterations = kPasswordIterations);

/// True when `stored` (which verified) is weaker than what hashPassword makes now.
bool needsRehash(const QString& stored);

/// Checks `plain` against a string made by hashPassword; false for anything malformed.
bool verifyPassword(const QString& plain, const QString& stored);

/// Compares two secrets in a time that does not depend on where they differ.
bool sameSecret(const QByteArray& a, const QByteArray& b);

} // namespace suite::provision
