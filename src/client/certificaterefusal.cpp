// A refused certificate of the application server, said in the user's words.
#include "certificaterefusal.h"

#include <QDateTime>
#include <QSslCertificate>

namespace mrv::Internal {

namespace {

QString day(const QDateTime& moment)
{
    return moment.toLocalTime().toString(QStringLiteral("dd/MM/yyyy"));
}

bool unknownIssuer(QSslError::SslError error)
{
    switch (error) {
    case QSslError::SelfSignedCertificate:
    case QSslError::SelfSignedCertificateInChain:
    case QSslError::UnableToGetIssuerCertificate:
    case QSslError::UnableToGetLocalIssuerCertificate:
    case QSslError::UnableToVerifyFirstCertificate:
        return true;
    default:
        return false;
    }
}

} // namespace

QString certificateProblem(const QSslError& error, const QString& host)
{
    const QSslCertificate certificate = error.certificate();
    if (unknownIssuer(error.error()))
        return QStringLiteral("emitido por uma autoridade desconhecida");
    switch (error.error()) {
    case QSslError::HostNameMismatch:
        return QStringLiteral("o certificado não é do endereço %1").arg(host);
    case QSslError::CertificateExpired:
        return certificate.isNull() ? QStringLiteral("certificado expirado")
                                    : QStringLiteral("certificado expirado em %1").arg(day(certificate.expiryDate()));
    case QSslError::CertificateNotYetValid:
        return certificate.isNull()
                   ? QStringLiteral("certificado ainda não válido")
                   : QStringLiteral("certificado válido somente a partir de %1").arg(day(certificate.effectiveDate()));
    default:
        return QStringLiteral("falha na verificação (%1)").arg(error.errorString());
    }
}

QString certificateRefusal(const QList<QSslError>& errors, const QString& host, const QList<QSslCertificate>& trusted)
{
    QStringList problems;
    for (const QSslError& error : errors) {
        // Qt leaves an expired authority out of the trust; its own certificate then fails twice, and only the
        // dates are the cause the user can act on.
        if (unknownIssuer(error.error()) && trusted.contains(error.certificate()))
            continue;
        const QString problem = certificateProblem(error, host);
        if (!problems.contains(problem))
            problems << problem;
    }
    if (problems.isEmpty())
        problems << QStringLiteral("falha na verificação");
    return QStringLiteral("Certificado do servidor de aplicação não reconhecido: %1.").arg(problems.join(u"; "));
}

} // namespace mrv::Internal
