// Real X input through xdotool.
#include "xinput.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QThread>

namespace suite::desktop {

bool XInput::run(const QStringList& arguments)
{
    QProcess xdotool;
    xdotool.setProcessEnvironment(m_env);
    xdotool.start(QStringLiteral("xdotool"), arguments);
    const bool ok =
        xdotool.waitForFinished(10000) && xdotool.exitStatus() == QProcess::NormalExit && xdotool.exitCode() == 0;
    if (xdotool.state() != QProcess::NotRunning) {
        xdotool.kill();
        xdotool.waitForFinished(2000);
    }
    m_out = QString::fromUtf8(xdotool.readAllStandardOutput()).trimmed();
    return ok;
}

QString XInput::findWindow(const QString& title, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (run({"search", "--onlyvisible", "--name", title}) && !m_out.isEmpty())
            return m_out.split(u'\n').first();
        QThread::msleep(100);
    }
    return {};
}

} // namespace suite::desktop
