// A service's first start: the database made when absent, and nothing that is already there replaced.
#include "database.h"
#include "firststart.h"
#include "schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using namespace suite;

namespace {

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class tst_FirstStart : public QObject {
    Q_OBJECT
private slots:
    void makesTheSchemaPrivately();
    void keepsWhatIsThere_data();
    void keepsWhatIsThere();
    void failsWhereItCannotCreate();
};

void tst_FirstStart::makesTheSchemaPrivately()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("suite.db"));
    const mode_t umaskBefore = ::umask(022); // the modes must not depend on the caller's umask
    const bool created = provision::createDatabaseIfAbsent(path);
    ::umask(umaskBefore);
    QVERIFY(created);
    struct stat info {};
    QCOMPARE(::stat(QFile::encodeName(path).constData(), &info), 0);
    QCOMPARE(int(info.st_mode & 0777), 0600);
    {
        const QSqlDatabase db =
            db::openDatabase(path, QStringLiteral("firststart"), db::Access::ReadOnly, db::Missing::Refuse);
        QCOMPARE(provision::schemaVersion(db), provision::kSchemaVersion);
    }
    db::closeDatabase(QStringLiteral("firststart"));
    // Only the database: what was built under another name is gone.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::NoDotAndDotDot), QStringList{QStringLiteral("suite.db")});
}

void tst_FirstStart::keepsWhatIsThere_data()
{
    QTest::addColumn<QString>("found");
    QTest::newRow("a database with its data") << "database";
    QTest::newRow("a file that is no database") << "text";
    QTest::newRow("a link to nowhere") << "dangling link";
    QTest::newRow("a folder") << "folder";
}

void tst_FirstStart::keepsWhatIsThere()
{
    QFETCH(QString, found);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("suite.db"));
    const QString nowhere = dir.filePath(QStringLiteral("elsewhere.db"));
    if (found == QLatin1String("database")) {
        QVERIFY(provision::createDatabaseIfAbsent(path));
        {
            const QSqlDatabase db = db::openDatabase(path, QStringLiteral("firststart"));
            QVERIFY(QSqlQuery(db).exec(QStringLiteral("INSERT INTO FILIAL (CDFILIAL, NMFILIAL) VALUES ('0001', 'M')")));
        }
        db::closeDatabase(QStringLiteral("firststart"));
    } else if (found == QLatin1String("text")) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("notes\n");
    } else if (found == QLatin1String("dangling link")) {
        QVERIFY(QFile::link(nowhere, path));
    } else {
        QVERIFY(QDir().mkdir(path));
    }
    const QByteArray before = contentOf(path);

    QVERIFY(!provision::createDatabaseIfAbsent(path));

    QCOMPARE(contentOf(path), before);
    QVERIFY2(!QFileInfo::exists(nowhere), "a database was made through the link");
    for (const QString& name : QDir(dir.path()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot))
        QVERIFY2(!name.contains(QLatin1String(".new-")), qPrintable(name));
}

void tst_FirstStart::failsWhereItCannotCreate()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("missing/suite.db"));
    QVERIFY_THROWS_EXCEPTION(db::DbError, provision::createDatabaseIfAbsent(path));
    QVERIFY(!QFileInfo::exists(path));
}

QTEST_GUILESS_MAIN(tst_FirstStart)
#include "tst_firststart.moc"
