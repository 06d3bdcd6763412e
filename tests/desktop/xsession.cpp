// A virtual display of a test's own: Xvfb and openbox.
#include "xsession.h"

#include <QDeadlineTimer>
#include <QStandardPaths>
#include <QThread>

#include <csignal>
#include <sys/prctl.h>

namespace suite::desktop {

namespace {

constexpr int kStartMs = 15000;

void dieWithParent(QProcess& process)
{
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
}

} // namespace

QStringList XSession::missingTools()
{
    QStringList missing;
    for (const char* tool : {"Xvfb", "openbox", "xdotool", "import"})
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            missing << QString::fromLatin1(tool);
    return missing;
}

XSession::~XSession()
{
    stop(m_windowManager);
    stop(m_xvfb);
}

QString XSession::start()
{
    // -displayfd: Xvfb picks a free display itself and prints its number once it accepts clients, so parallel
    // tests never race for a number.
    dieWithParent(m_xvfb);
    m_xvfb.setProcessChannelMode(QProcess::SeparateChannels);
    m_xvfb.start(QStringLiteral("Xvfb"),
                 {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"), QStringLiteral("0"),
                  QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    if (!m_xvfb.waitForStarted(kStartMs))
        return QStringLiteral("Xvfb did not start: ") + m_xvfb.errorString();
    const QDeadlineTimer deadline(kStartMs);
    QByteArray said;
    while (!said.contains('\n') && !deadline.hasExpired() && m_xvfb.state() == QProcess::Running) {
        m_xvfb.waitForReadyRead(200);
        said += m_xvfb.readAllStandardOutput();
    }
    bool ok = false;
    const int number = said.trimmed().toInt(&ok);
    if (!ok)
        return QStringLiteral("Xvfb gave no display number: ") + QString::fromLocal8Bit(m_xvfb.readAllStandardError());
    m_display = QStringLiteral(":%1").arg(number);

    dieWithParent(m_windowManager);
    m_windowManager.setProcessEnvironment(environment());
    m_windowManager.setStandardOutputFile(QProcess::nullDevice());
    m_windowManager.setStandardErrorFile(QProcess::nullDevice());
    m_windowManager.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
    if (!m_windowManager.waitForStarted(kStartMs))
        return QStringLiteral("openbox did not start: ") + m_windowManager.errorString();
    // openbox has taken the screen once the root window names it (xprop, where installed; else a moment's wait).
    if (QStandardPaths::findExecutable(QStringLiteral("xprop")).isEmpty()) {
        QThread::msleep(700);
        return {};
    }
    while (!deadline.hasExpired()) {
        QProcess wm;
        wm.setProcessEnvironment(environment());
        wm.start(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")});
        wm.waitForFinished(5000);
        if (wm.readAllStandardOutput().contains("window id"))
            return {};
        QThread::msleep(100);
    }
    return QStringLiteral("openbox did not take the display");
}

QProcessEnvironment XSession::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.insert(QStringLiteral("DISPLAY"), m_display);
    return env;
}

bool XSession::screenshot(const QString& path) const
{
    QProcess import;
    import.setProcessEnvironment(environment());
    import.start(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"), path});
    return import.waitForFinished(20000) && import.exitStatus() == QProcess::NormalExit && import.exitCode() == 0;
}

void XSession::stop(QProcess& process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}

} // namespace suite::desktop
