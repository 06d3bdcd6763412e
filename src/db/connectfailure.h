// Why a connection could not be opened, in words that name the database server and the cause.
#pragma once

#include <QSqlError>
#include <QString>

namespace suite::db {

class DbUrl;

/// The reason `error` (from opening `url`) gives, led by what it means for TLS when libpq refused the server's
/// certificate or the server refused plain text; libpq's own text follows, as the driver's does otherwise.
QString connectFailure(const DbUrl& url, const QSqlError& error);

} // namespace suite::db
