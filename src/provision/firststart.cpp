// createDatabaseIfAbsent: the schema in a new SQLite file, linked into place only when the name is free.
#include "firststart.h"
#include "schema.h"

#include <database.h>
#include <dberror.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace suite::provision {

namespace {

bool somethingAt(const QString& path)
{
    // A dangling link counts too: whoever planted it decides where the database goes, not us.
    return QFileInfo(path).exists() || QFileInfo(path).isSymLink();
}

} // namespace

bool createDatabaseIfAbsent(const QString& path)
{
    if (somethingAt(path))
        return false;
    // Same folder, so the link below stays on one file system; QTemporaryFile makes it 0600, as the database must be.
    QTemporaryFile building(path + QStringLiteral(".new-XXXXXX"));
    if (!building.open())
        throw db::DbError(QStringLiteral("cannot create the database %1: %2").arg(path, building.errorString()));
    building.close();
    const QString connection = QStringLiteral("suite-first-start");
    {
        const QSqlDatabase db = db::openDatabase(building.fileName(), connection);
        createSchema(db);
    }
    // Closing the last connection checkpoints the journal into the file and removes it.
    db::closeDatabase(connection);
    for (const char* suffix : {"-wal", "-shm"})
        QFile::remove(building.fileName() + QLatin1String(suffix));

    // link() fails rather than replace: a database another process made meanwhile is kept.
    if (::link(QFile::encodeName(building.fileName()).constData(), QFile::encodeName(path).constData()) != 0) {
        if (errno == EEXIST)
            return false;
        throw db::DbError(QStringLiteral("cannot put the new database in place at %1: %2")
                              .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    }
    return true;
}

} // namespace suite::provision
