// A refused certificate of the application server, said in the user's words.
#pragma once

#include <QList>
#include <QSslError>
#include <QString>

namespace mrv::Internal {

// What is wrong with the certificate, as a clause: unknown issuer, another host's name, expired, not yet valid;
// any other error carries Qt's own text. host: the name the client asked for.
QString certificateProblem(const QSslError& error, const QString& host);

// The whole message: every distinct problem of `errors`, in the order they came. trusted: the authorities the
// client was told to trust, so one of them is not called unknown when only its dates failed.
QString certificateRefusal(const QList<QSslError>& errors, const QString& host,
                           const QList<QSslCertificate>& trusted = {});

} // namespace mrv::Internal
