// The real suite-host on a test's display, with its inspection socket.
#include "hostdriver.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QJsonDocument>
#include <QThread>

#include <csignal>
#include <sys/prctl.h>

namespace suite::desktop {

HostDriver::~HostDriver()
{
    kill();
}

QString HostDriver::start(const HostSettings& settings)
{
    const QString bin = qEnvironmentVariable("SUITE_BIN_DIR");
    if (bin.isEmpty())
        return QStringLiteral("SUITE_BIN_DIR is not set");
    if (!m_home.isValid())
        return QStringLiteral("no temporary directory");
    m_socketPath = m_home.filePath(QStringLiteral("inspect.sock"));
    QProcessEnvironment env = settings.environment;
    // A home of its own: the file dialogs' start folder and Qt's settings stay inside the test.
    env.insert(QStringLiteral("HOME"), m_home.path());
    const QString runtime = m_home.filePath(QStringLiteral("run"));
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    QStringList arguments{QStringLiteral("--server"),      QStringLiteral("127.0.0.1:%1").arg(settings.serverPort),
                          QStringLiteral("--database"),    settings.database,
                          QStringLiteral("--user"),        QStringLiteral("demo"),
                          QStringLiteral("--password"),    QStringLiteral("demo"),
                          QStringLiteral("--branch"),      settings.branch,
                          QStringLiteral("--modules-dir"), bin + QStringLiteral("/../lib"),
                          QStringLiteral("--inspect"),     m_socketPath};
    for (const QString& module : settings.open)
        arguments << QStringLiteral("--open") << module;
    m_process.setProcessEnvironment(env);
    m_process.setWorkingDirectory(m_home.path());
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    m_process.start(bin + QStringLiteral("/suite-host"), arguments);
    if (!m_process.waitForStarted(10000))
        return QStringLiteral("suite-host did not start: ") + m_process.errorString();
    const QDeadlineTimer deadline(30000);
    while (!deadline.hasExpired() && running()) {
        m_socket.connectToServer(m_socketPath);
        if (m_socket.waitForConnected(500))
            return {};
        m_process.waitForReadyRead(100);
    }
    return QStringLiteral("suite-host did not open its inspection socket: %1\n%2").arg(ending(), output());
}

bool HostDriver::running()
{
    if (m_process.state() == QProcess::Running)
        m_process.waitForFinished(0);
    return m_process.state() == QProcess::Running;
}

QString HostDriver::ending() const
{
    if (m_process.state() != QProcess::NotRunning)
        return QStringLiteral("running");
    if (m_process.exitStatus() == QProcess::CrashExit)
        return QStringLiteral("crashed");
    return QStringLiteral("exited with code %1").arg(m_process.exitCode());
}

QString HostDriver::output()
{
    m_output += m_process.readAll();
    return QString::fromLocal8Bit(m_output);
}

bool HostDriver::ping(int timeoutMs)
{
    return request("ping\n", timeoutMs).value(QStringLiteral("pong")).toBool();
}

UiState HostDriver::dump(int shownSince, int timeoutMs)
{
    return UiState(request("dump " + QByteArray::number(shownSince) + '\n', timeoutMs));
}

UiState HostDriver::waitFor(const std::function<bool(const UiState&)>& done, int timeoutMs, int shownSince)
{
    const QDeadlineTimer deadline(timeoutMs);
    UiState state;
    do {
        state = dump(shownSince);
        if (state.isValid() && done(state))
            return state;
        QThread::msleep(50);
    } while (!deadline.hasExpired() && running());
    return state;
}

QJsonObject HostDriver::request(const QByteArray& line, int timeoutMs)
{
    if (m_socket.state() != QLocalSocket::ConnectedState)
        return {};
    m_socket.write(line);
    if (!m_socket.waitForBytesWritten(timeoutMs))
        return {};
    const QDeadlineTimer deadline(timeoutMs);
    QByteArray answer;
    while (!answer.endsWith('\n')) {
        if (deadline.hasExpired() ||
            (!m_socket.bytesAvailable() && !m_socket.waitForReadyRead(int(deadline.remainingTime()))))
            break;
        answer += m_socket.readAll();
    }
    if (!answer.endsWith('\n')) {
        // A late answer must not be read as the next request's: start over on a new connection.
        m_socket.abort();
        m_socket.connectToServer(m_socketPath);
        m_socket.waitForConnected(1000);
        return {};
    }
    return QJsonDocument::fromJson(answer).object();
}

void HostDriver::kill()
{
    m_socket.abort();
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished(5000);
}

} // namespace suite::desktop
