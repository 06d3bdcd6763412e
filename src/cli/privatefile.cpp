// Writing a file that stands for a login.
#include "privatefile.h"

#include <errors.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace suite::cli {

namespace {

[[noreturn]] void fail(const QString& path, const QString& why)
{
    throw mrv::Exception(QStringLiteral("Não foi possível gravar a sessão em %1: %2.").arg(path, why));
}

QString lastError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// QDir::mkpath makes folders 0777 less the umask, which may be nothing.
void makeFolders(const QString& folder)
{
    const QString absolute = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    qsizetype next = 1;
    while (next > 0) {
        next = absolute.indexOf(QLatin1Char('/'), next + 1);
        const QString part = next < 0 ? absolute : absolute.left(next);
        if (::mkdir(QFile::encodeName(part).constData(), 0700) != 0 && errno != EEXIST)
            fail(folder, lastError());
    }
}

// Removes the temporary file on every way out but the rename.
struct TemporaryFile {
    QByteArray name;
    int fd = -1;
    ~TemporaryFile()
    {
        if (fd >= 0)
            ::close(fd);
        if (!name.isEmpty())
            ::unlink(name.constData());
    }
};

} // namespace

void writePrivateFile(const QString& path, const QByteArray& content)
{
    const QFileInfo info(path);
    makeFolders(info.absolutePath());
    struct stat existing {};
    if (::lstat(QFile::encodeName(path).constData(), &existing) == 0 && !S_ISREG(existing.st_mode))
        fail(path, S_ISLNK(existing.st_mode) ? QStringLiteral("é um link simbólico; apague-o ou escolha outro arquivo")
                                             : QStringLiteral("não é um arquivo comum"));

    TemporaryFile temporary;
    temporary.name = QFile::encodeName(info.absolutePath() + QStringLiteral("/.") + info.fileName()) + ".XXXXXX";
    // mkstemp creates the file 0600 with O_EXCL: no link is followed and no one else can read it meanwhile.
    temporary.fd = ::mkstemp(temporary.name.data());
    if (temporary.fd < 0) {
        temporary.name.clear();
        fail(path, lastError());
    }
    qsizetype written = 0;
    while (written < content.size()) {
        const ssize_t n = ::write(temporary.fd, content.constData() + written, size_t(content.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            fail(path, lastError());
        written += n;
    }
    if (::fsync(temporary.fd) != 0)
        fail(path, lastError());
    // rename replaces a link that appeared meanwhile by the file itself; it never writes through it.
    if (::rename(temporary.name.constData(), QFile::encodeName(path).constData()) != 0)
        fail(path, lastError());
    temporary.name.clear();
}

} // namespace suite::cli
