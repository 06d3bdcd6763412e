// Which certificates the application server's certificate is verified against.
#pragma once

#include "errors.h"

#include <QSslConfiguration>
#include <QString>

namespace mrv {

// A CA file that cannot serve: missing, unreadable, or without a certificate.
class CaFileError : public Exception {
public:
    using Exception::Exception;
};

// From now on, HTTPS to the application server trusts only the PEM certificates in `file`; empty: the system's
// store. Throws CaFileError naming the file, and then keeps the trust it had.
void setServerCaFile(const QString& file);

namespace Internal {

// TLS 1.2 or later, the peer verified against the trust set above.
QSslConfiguration serverSslConfiguration();

} // namespace Internal

} // namespace mrv
