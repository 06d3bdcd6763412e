// The key that signs the service's tokens: a file only the server's user can read, never the database, so that
// whoever reads the database (or a copy of it) still cannot forge a token. The servers of one database share it.
#pragma once

#include <QByteArray>
#include <QString>

namespace suite::server {

/// Where the key lives when no --key-file is given: beside a SQLite file ("DB.key"); empty for PostgreSQL, whose
/// servers may run on other machines and must be told.
QString defaultKeyPath(const QString& databaseUrl);

/// Writes a new random key to `path`, readable and writable by its owner only. Throws std::runtime_error when the
/// file exists already or cannot be written.
void createSigningKey(const QString& path);

/// The key in `path`. Throws std::runtime_error saying what to do when it is missing, open to other users or not
/// a key.
QByteArray readSigningKey(const QString& path);

} // namespace suite::server
