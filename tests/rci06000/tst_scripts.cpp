// The screen as a support script drives it: every scripts/*.json run through the real
// suite-host binary (--automate) against a real server and the demo database.
#include "modulefixture.h"

#include <QDir>
#include <QProcess>
#include <QtTest>

using namespace rci06000::test;

class tst_Scripts : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void script_data();
    void script();

private:
    DemoBackend m_backend;
    RecordingHost m_host;
};

void tst_Scripts::initTestCase()
{
    const QString bin = qEnvironmentVariable("SUITE_BIN_DIR");
    if (!QFile::exists(bin + "/suite-host") || !QFile::exists(bin + "/../lib/librci06000.so"))
        QSKIP("suite-host or librci06000.so is not built");
    mrv::setHostServices(&m_host);
    const QString why = m_backend.start();
    QVERIFY2(why.isEmpty(), qPrintable(why));
}

void tst_Scripts::script_data()
{
    QTest::addColumn<QString>("path");
    const QDir scripts(qEnvironmentVariable("SUITE_SOURCE_DIR") + "/tests/rci06000/scripts");
    const QStringList names = scripts.entryList({"*.json"}, QDir::Files, QDir::Name);
    QVERIFY2(!names.isEmpty(), qPrintable("no scripts in " + scripts.path()));
    for (const QString& name : names)
        QTest::newRow(qPrintable(name)) << scripts.filePath(name);
}

void tst_Scripts::script()
{
    QFETCH(QString, path);
    const QString bin = qEnvironmentVariable("SUITE_BIN_DIR");
    QProcess host;
    host.setProcessChannelMode(QProcess::MergedChannels);
    host.start(bin + "/suite-host",
               {"--server", QStringLiteral("127.0.0.1:%1").arg(m_backend.server().port()), "--database",
                m_backend.database().url(), "--user", "demo", "--password", "demo", "--branch", "0001", "--modules-dir",
                bin + "/../lib", "--open", "rci06000", "--automate", path});
    QVERIFY2(host.waitForFinished(120000), "suite-host did not finish");
    const QString output = QString::fromUtf8(host.readAll());
    QVERIFY2(host.exitStatus() == QProcess::NormalExit && host.exitCode() == 0, qPrintable(output));
}

QTEST_MAIN(tst_Scripts)
#include "tst_scripts.moc"
