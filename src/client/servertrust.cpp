// The trust of HTTPS to the application server: the system's store or one CA file, set once at start.
#include "servertrust.h"

#include <QFile>
#include <QMutex>
#include <QSslCertificate>
#include <QSslSocket>

namespace mrv {

namespace {

// Another thread's connection may ask while the host sets the trust.
QMutex& trustMutex()
{
    static QMutex mutex;
    return mutex;
}

QSslConfiguration& trusted()
{
    static QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    return configuration;
}

} // namespace

void setServerCaFile(const QString& file)
{
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    if (!file.isEmpty()) {
        QFile in(file);
        if (!in.open(QIODevice::ReadOnly))
            throw CaFileError(QStringLiteral("Arquivo de certificados (CA) do servidor de aplicação ilegível: %1 (%2).")
                                  .arg(file, in.errorString()));
        const QList<QSslCertificate> certificates = QSslCertificate::fromData(in.readAll(), QSsl::Pem);
        if (certificates.isEmpty())
            throw CaFileError(
                QStringLiteral("Arquivo de certificados (CA) do servidor de aplicação sem certificado PEM: %1.")
                    .arg(file));
        // Only the named authorities: a CA file is chosen so that nothing else vouches for the server.
        configuration.setCaCertificates(certificates);
    }
    const QMutexLocker lock(&trustMutex());
    trusted() = configuration;
}

namespace Internal {

QSslConfiguration serverSslConfiguration()
{
    const QMutexLocker lock(&trustMutex());
    QSslConfiguration configuration = trusted();
    configuration.setProtocol(QSsl::TlsV1_2OrLater);
    configuration.setPeerVerifyMode(QSslSocket::VerifyPeer);
    return configuration;
}

} // namespace Internal

} // namespace mrv
