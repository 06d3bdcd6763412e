#include "signingkey.h"
#include "fail.h"

#include <dburl.h>

#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace suite::server {

namespace {

constexpr int kKeyBytes = 32;

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// Closes the descriptor on every way out.
struct FileDescriptor {
    int fd;
    ~FileDescriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace

QString defaultKeyPath(const QString& databaseUrl)
{
    const db::DbUrl url = db::DbUrl::parse(databaseUrl);
    return url.dialect() == db::Dialect::SQLite ? url.filePath() + QStringLiteral(".key") : QString();
}

void createSigningKey(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    // O_EXCL: never replaces a key other servers use, and never follows a link planted where the key goes.
    FileDescriptor file{::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600)};
    if (file.fd < 0) {
        if (errno == EEXIST)
            fail(QStringLiteral("%1 exists already: keep it, or remove it first to end every session").arg(path));
        fail(QStringLiteral("cannot create the signing key %1: %2").arg(path, systemError()));
    }
    QByteArray key(kKeyBytes, Qt::Uninitialized);
    QRandomGenerator::system()->generate(key.begin(), key.end());
    const QByteArray text = key.toHex() + '\n';
    const bool written =
        ::write(file.fd, text.constData(), size_t(text.size())) == text.size() && ::fsync(file.fd) == 0;
    if (!written) {
        const QString why = systemError();
        ::unlink(name.constData());
        fail(QStringLiteral("cannot write the signing key %1: %2").arg(path, why));
    }
}

QByteArray readSigningKey(const QString& path)
{
    if (path.isEmpty())
        fail(QStringLiteral("no signing key file given: a PostgreSQL database needs --key-file PATH"));
    FileDescriptor file{::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC)};
    if (file.fd < 0) {
        if (errno == ENOENT)
            fail(QStringLiteral("there is no signing key at %1: \"suite-server init\" creates it, or \"suite-server "
                                "key --key-file %1\" for a database made elsewhere")
                     .arg(path));
        fail(QStringLiteral("cannot read the signing key %1: %2").arg(path, systemError()));
    }
    struct stat info {};
    if (::fstat(file.fd, &info) != 0)
        fail(QStringLiteral("cannot read the signing key %1: %2").arg(path, systemError()));
    if (!S_ISREG(info.st_mode))
        fail(QStringLiteral("the signing key %1 is not a file").arg(path));
    // Whoever can read the key can sign in as any operator.
    if ((info.st_mode & 077) != 0)
        fail(QStringLiteral("the signing key %1 is open to other users (mode %2): make it private with chmod 600 %1")
                 .arg(path)
                 .arg(info.st_mode & 0777, 4, 8, QLatin1Char('0')));

    char buffer[4 * kKeyBytes];
    const ssize_t size = ::read(file.fd, buffer, sizeof buffer);
    if (size < 0)
        fail(QStringLiteral("cannot read the signing key %1: %2").arg(path, systemError()));
    const QByteArray text = QByteArray(buffer, size).trimmed();
    const QByteArray key = QByteArray::fromHex(text);
    if (text.size() != 2 * kKeyBytes || key.size() != kKeyBytes || key.toHex() != text.toLower())
        fail(QStringLiteral("%1 does not hold a signing key (%2 hexadecimal digits)").arg(path).arg(2 * kKeyBytes));
    return key;
}

} // namespace suite::server
