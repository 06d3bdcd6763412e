// A real suite-server on a free loopback port over a fresh demo database, for host tests.
#pragma once

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace suite::test {

class ServerFixture {
public:
    static QString binDir() { return qEnvironmentVariable("SUITE_BIN_DIR"); }
    static QString serverBinary() { return QDir(binDir()).filePath(QStringLiteral("suite-server")); }

    // Creates the demo database and starts serving it; error says why when it could not.
    bool start(QString* error)
    {
        if (!m_dir.isValid()) {
            *error = QStringLiteral("no temporary directory");
            return false;
        }
        m_database = m_dir.filePath(QStringLiteral("demo.db"));
        QProcess init;
        init.start(serverBinary(), {QStringLiteral("init"), QStringLiteral("--database"), m_database, QStringLiteral("--demo")});
        if (!init.waitForFinished(120000) || init.exitCode() != 0) {
            *error = QStringLiteral("suite-server init failed: %1 %2").arg(init.errorString(), QString::fromLocal8Bit(init.readAllStandardError()));
            return false;
        }
        m_server.setProcessChannelMode(QProcess::MergedChannels);
        m_server.start(serverBinary(), {QStringLiteral("serve"), QStringLiteral("--database"), m_database,
                                        QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0")});
        static const QRegularExpression listening(QStringLiteral("listening on ([^:\\s]+):(\\d+)"));
        QByteArray seen;
        while (m_server.state() != QProcess::NotRunning && m_server.waitForReadyRead(30000)) {
            seen += m_server.readAll();
            const auto match = listening.match(QString::fromLocal8Bit(seen));
            if (match.hasMatch()) {
                m_port = match.captured(2).toInt();
                return true;
            }
        }
        *error = QStringLiteral("suite-server did not start: %1").arg(QString::fromLocal8Bit(seen));
        return false;
    }

    void stop()
    {
        if (m_server.state() == QProcess::NotRunning)
            return;
        m_server.terminate();
        if (!m_server.waitForFinished(10000)) {
            m_server.kill();
            m_server.waitForFinished();
        }
    }

    ~ServerFixture() { stop(); }

    int port() const { return m_port; }
    QString database() const { return m_database; }
    QString dir() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    QProcess m_server;
    QString m_database;
    int m_port = 0;
};

} // namespace suite::test

// Starts the fixture or fails the test with the reason.
#define SUITE_START_SERVER(fixture)                                                   \
    do {                                                                              \
        QString serverError_;                                                         \
        QVERIFY2((fixture).start(&serverError_), qPrintable(serverError_));           \
    } while (false)
