// A real suite-server process on a free loopback port, for the tests of everything that talks to it: the command
// line, the kit's connection, the host, the module. Stopped (SIGTERM, then SIGKILL) by the destructor, and by the
// system when the test itself dies.
//
//   ServerProcess server;
//   QString why = server.startDemo();          // a demo database of its own, or server.start(url)
//   QVERIFY2(why.isEmpty(), qPrintable(why));  ... server.port(), server.database()
#pragma once

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <functional>
#include <memory>

#include <csignal>
#include <sys/prctl.h>

namespace suite::test {

class ServerProcess {
public:
    static QString binDir() { return qEnvironmentVariable("SUITE_BIN_DIR"); }
    static QString program() { return binDir() + QStringLiteral("/suite-server"); }

    /// Given to `serve` after the database and the address, e.g. the TLS certificate and key.
    QStringList serveArguments;

    ServerProcess() = default;
    ~ServerProcess() { stop(); }
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    /// Serves `databaseUrl` and waits for the port it listens on; empty on success, else why not. Without
    /// `keyFile`, the key beside a SQLite database made by init, or else a new key of this server's own.
    QString start(const QString& databaseUrl, const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(),
                  const QString& keyFile = {})
    {
        if (binDir().isEmpty())
            return QStringLiteral("SUITE_BIN_DIR is not set");
        m_database = databaseUrl;
        QStringList arguments{QStringLiteral("serve"), QStringLiteral("--database"), databaseUrl,
                              QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0")};
        if (!keyFile.isEmpty()) {
            arguments << QStringLiteral("--key-file") << keyFile;
        } else if (databaseUrl.startsWith(QLatin1String("postgres")) ||
                   !QFile::exists(databaseUrl + QStringLiteral(".key"))) {
            if (const QString why = createKey(); !why.isEmpty())
                return why;
            arguments << QStringLiteral("--key-file") << m_keyFile;
        }
        return launch(program(), arguments + serveArguments, env);
    }

    /// Runs a server `program` (this build's or another, e.g. a packaged one) with exactly `arguments`, and waits
    /// for the loopback port it says it listens on; empty on success, else why not.
    QString launch(const QString& program, const QStringList& arguments,
                   const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment())
    {
        m_said.clear();
        m_process.setProgram(program);
        m_process.setArguments(arguments);
        m_process.setProcessEnvironment(env);
        m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        m_process.setStandardOutputFile(QProcess::nullDevice());
        m_process.setReadChannel(QProcess::StandardError);
        m_process.start();
        if (!m_process.waitForStarted(10000))
            return QStringLiteral("suite-server did not start: ") + m_process.errorString();
        static const QRegularExpression listening(QStringLiteral("listening on https?://127\\.0\\.0\\.1:(\\d+)"));
        const QRegularExpressionMatch match = waitForLine(listening, 120000);
        if (!match.hasMatch())
            return QStringLiteral("suite-server did not report its port: ") + QString::fromUtf8(m_said);
        m_port = match.captured(1).toInt();
        return {};
    }

    /// Creates the demo database in a temporary directory of its own and serves it.
    QString startDemo()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        if (!m_dir->isValid())
            return QStringLiteral("no temporary directory");
        const QString database = m_dir->filePath(QStringLiteral("demo.db"));
        QProcess init;
        init.start(program(),
                   {QStringLiteral("init"), QStringLiteral("--database"), database, QStringLiteral("--demo")});
        if (!init.waitForFinished(120000) || init.exitStatus() != QProcess::NormalExit || init.exitCode() != 0)
            return QStringLiteral("suite-server init failed: %1 %2")
                .arg(init.errorString(), QString::fromLocal8Bit(init.readAllStandardError()));
        return start(database);
    }

    /// Reads stderr until `line` matches; no match when the process ends, `stop` says so or `timeoutMs` pass first.
    QRegularExpressionMatch waitForLine(const QRegularExpression& line, int timeoutMs,
                                        const std::function<bool()>& stop = {})
    {
        const QDeadlineTimer deadline(timeoutMs);
        while (!deadline.hasExpired()) {
            m_process.waitForReadyRead(int(std::min<qint64>(deadline.remainingTime(), 200)));
            m_said += m_process.readAllStandardError();
            const QRegularExpressionMatch match = line.match(QString::fromUtf8(m_said));
            if (match.hasMatch())
                return match;
            if (m_process.state() != QProcess::Running || (stop && stop()))
                break;
        }
        return {};
    }

    /// Ends the server as a service manager would (SIGTERM); kills it if it does not end.
    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(10000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
        m_said += m_process.readAllStandardError();
    }

    int port() const { return m_port; }
    QString database() const { return m_database; }
    /// The signing key start() made, if it made one.
    QString keyFile() const { return m_keyFile; }
    /// The temporary directory of startDemo's database.
    QString dir() const { return m_dir ? m_dir->path() : QString(); }
    /// What the server said on stderr so far.
    QByteArray said() const { return m_said; }
    QProcess& process() { return m_process; }

private:
    QString createKey()
    {
        m_keyDir = std::make_unique<QTemporaryDir>();
        if (!m_keyDir->isValid())
            return QStringLiteral("no temporary directory for the signing key");
        m_keyFile = m_keyDir->filePath(QStringLiteral("server.key"));
        QProcess key;
        key.start(program(), {QStringLiteral("key"), QStringLiteral("--key-file"), m_keyFile});
        if (!key.waitForFinished(30000) || key.exitStatus() != QProcess::NormalExit || key.exitCode() != 0)
            return QStringLiteral("suite-server key failed: %1 %2")
                .arg(key.errorString(), QString::fromLocal8Bit(key.readAllStandardError()));
        return {};
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QTemporaryDir> m_keyDir;
    QString m_keyFile;
    QProcess m_process;
    QString m_database;
    QByteArray m_said;
    int m_port = 0;
};

} // namespace suite::test
