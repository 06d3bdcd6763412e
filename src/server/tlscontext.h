// The server's TLS: version 1.2 and later, from a PEM certificate chain and its private key.
#pragma once

#include <boost/asio/ssl/context.hpp>

#include <QString>
#include <memory>

namespace suite::server {

// Throws std::runtime_error naming the file and the cause when a file cannot be read, the key does not match the
// certificate, or the key may be read by every user of the machine.
std::unique_ptr<boost::asio::ssl::context> makeTlsContext(const QString& certificateFile, const QString& keyFile);

} // namespace suite::server
