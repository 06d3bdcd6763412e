// The self-signed pair for a trial of HTTPS: the key its owner's alone, nothing written over a file or through a
// link, no half pair left behind. What the certificate says is tried by clients in the kit's HTTPS test.
#include "selfsignedpair.h"

#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

#include <stdexcept>
#include <sys/stat.h>

using suite::server::makeSelfSignedPair;

class tst_SelfSignedPair : public QObject {
    Q_OBJECT
private slots:
    void keyIsItsOwnersAlone();
    void neverWritesOverAFile_data();
    void neverWritesOverAFile();
    void refusesAHostThatIsNoName();
};

void tst_SelfSignedPair::keyIsItsOwnersAlone()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const mode_t before = ::umask(0);
    const auto restore = qScopeGuard([&] { ::umask(before); });
    makeSelfSignedPair("localhost", dir.filePath("server.crt"), dir.filePath("server.key"));

    struct stat key {};
    QCOMPARE(::stat(QFile::encodeName(dir.filePath("server.key")).constData(), &key), 0);
    QCOMPARE(key.st_mode & 07777, mode_t(0600));
}

void tst_SelfSignedPair::neverWritesOverAFile_data()
{
    QTest::addColumn<QString>("occupied"); // "certificate", "key", or "link": a dangling link where the key goes

    QTest::newRow("a certificate there") << "certificate";
    QTest::newRow("a key there") << "key";
    QTest::newRow("a link where the key goes") << "link";
}

void tst_SelfSignedPair::neverWritesOverAFile()
{
    QFETCH(QString, occupied);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString certificate = dir.filePath("server.crt");
    const QString key = dir.filePath("server.key");
    const QString target = dir.filePath("elsewhere");
    const QString other = occupied == QLatin1String("certificate") ? key : certificate;
    const QByteArray kept = "kept as it was\n";
    if (occupied == QLatin1String("link")) {
        QVERIFY(QFile::link(target, key));
    } else {
        QFile file(occupied == QLatin1String("certificate") ? certificate : key);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(kept);
    }

    QString error;
    try {
        makeSelfSignedPair("localhost", certificate, key);
    } catch (const std::runtime_error& e) {
        error = QString::fromUtf8(e.what());
    }
    QVERIFY2(error.contains(QLatin1String("exists already")), qPrintable("refusal: " + error));
    QVERIFY2(!QFileInfo::exists(target), "written through the link");
    QVERIFY2(!QFileInfo::exists(other), "half a pair left behind");
    if (occupied != QLatin1String("link")) {
        QFile file(occupied == QLatin1String("certificate") ? certificate : key);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), kept);
    }
}

void tst_SelfSignedPair::refusesAHostThatIsNoName()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // A comma would add a name of the caller's choosing to the certificate.
    QString error;
    try {
        makeSelfSignedPair("app.example,DNS:bank.example", dir.filePath("c.pem"), dir.filePath("k.pem"));
    } catch (const std::runtime_error& e) {
        error = QString::fromUtf8(e.what());
    }
    QVERIFY2(error.contains(QLatin1String("neither a DNS name nor an IP address")), qPrintable("refusal: " + error));
    QVERIFY(QDir(dir.path()).isEmpty());
}

QTEST_GUILESS_MAIN(tst_SelfSignedPair)
#include "tst_selfsignedpair.moc"
