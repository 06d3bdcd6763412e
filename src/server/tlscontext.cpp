#include "tlscontext.h"
#include "fail.h"

#include <QFileInfo>
#include <stdexcept>

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

namespace suite::server {

namespace ssl = boost::asio::ssl;

namespace {

QString openSslReason(const boost::system::error_code& ec)
{
    ERR_clear_error();
    return QString::fromStdString(ec.message());
}

} // namespace

std::unique_ptr<ssl::context> makeTlsContext(const QString& certificateFile, const QString& keyFile)
{
    for (const QString& file : {certificateFile, keyFile})
        if (!QFileInfo(file).isReadable())
            fail(QStringLiteral("cannot read %1").arg(file));
    // Group readers are the usual way to share a key with a service's group; everyone is not.
    if (QFileInfo(keyFile).permissions() & QFileDevice::ReadOther)
        fail(QStringLiteral("%1: a TLS key every user may read is refused (chmod o-r)").arg(keyFile));

    auto context = std::make_unique<ssl::context>(ssl::context::tls_server);
    context->set_options(ssl::context::default_workarounds | ssl::context::no_sslv2 | ssl::context::no_sslv3 |
                         ssl::context::no_tlsv1 | ssl::context::no_tlsv1_1 | ssl::context::single_dh_use);
    SSL_CTX_set_min_proto_version(context->native_handle(), TLS1_2_VERSION);
    boost::system::error_code ec;
    context->use_certificate_chain_file(certificateFile.toStdString(), ec);
    if (ec)
        fail(QStringLiteral("%1: not a PEM certificate (%2)").arg(certificateFile, openSslReason(ec)));
    context->use_private_key_file(keyFile.toStdString(), ssl::context::pem, ec);
    // OpenSSL checks the key against the certificate as it loads it.
    if (ec && ec.category() == boost::asio::error::get_ssl_category() &&
        ERR_GET_REASON(static_cast<unsigned long>(ec.value())) == X509_R_KEY_VALUES_MISMATCH)
        fail(QStringLiteral("%1 is not the key of the certificate %2").arg(keyFile, certificateFile));
    if (ec)
        fail(QStringLiteral("%1: not a PEM private key (%2)").arg(keyFile, openSslReason(ec)));
    return context;
}

} // namespace suite::server
