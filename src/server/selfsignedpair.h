// A self-signed certificate and its key, for a trial of the server over HTTPS.
#pragma once

#include <QDateTime>
#include <QString>

namespace suite::server {

/// When a certificate may be used.
struct CertificateValidity {
    QDateTime notBefore;
    QDateTime notAfter;
    /// From now, for `days` days.
    static CertificateValidity fromNow(int days = 365);
};

/// Writes a new EC P-256 key (PEM, mode 0600) to `keyPath` and a certificate for `host` (a DNS name or an IP
/// address) signed by that key (PEM, SHA-256) to `certPath`. The certificate names the host in its subject and its
/// alternative name and may sign, so clients can take it as their CA file. Neither file may exist yet: nothing is
/// written over a file or through a link. Throws std::runtime_error saying why, leaving no file behind.
void makeSelfSignedPair(const QString& host, const QString& certPath, const QString& keyPath,
                        const CertificateValidity& validity = CertificateValidity::fromNow());

} // namespace suite::server
