// PackagedServer: the server process, its port read from its first line on stderr, asked over plain HTTP.
#include "packagedserver.h"
#include "packagebuild.h"

#include <httplib.h>

#include <QDeadlineTimer>
#include <QRegularExpression>

#include <csignal>
#include <sys/prctl.h>

namespace suite::test {

QString PackagedServer::start(const QString& program, const QStringList& arguments)
{
    m_process.setProgram(program);
    m_process.setArguments(arguments);
    m_process.setProcessEnvironment(administratorsEnvironment());
    m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    m_process.setStandardOutputFile(QProcess::nullDevice());
    m_process.setReadChannel(QProcess::StandardError);
    m_process.start();
    if (!m_process.waitForStarted(10000))
        return QStringLiteral("the packaged server did not start: ") + m_process.errorString();
    static const QRegularExpression listening(QStringLiteral("listening on http://127\\.0\\.0\\.1:(\\d+)"));
    const QDeadlineTimer deadline(60000);
    while (!deadline.hasExpired() && m_process.state() == QProcess::Running) {
        m_process.waitForReadyRead(200);
        m_said += m_process.readAllStandardError();
        const QRegularExpressionMatch m = listening.match(QString::fromUtf8(m_said));
        if (m.hasMatch()) {
            m_port = m.captured(1).toInt();
            return {};
        }
    }
    m_process.waitForFinished(5000);
    m_said += m_process.readAllStandardError();
    return QStringLiteral("the packaged server did not listen (exit %1): %2").arg(m_process.exitCode()).arg(said());
}

int PackagedServer::stop()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(15000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
            return -1;
        }
        m_said += m_process.readAllStandardError();
    }
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
}

int PackagedServer::get(const char* path, std::string* body) const
{
    httplib::Client client("127.0.0.1", m_port);
    client.set_connection_timeout(5);
    client.set_read_timeout(10);
    const httplib::Result answer = client.Get(path);
    if (!answer)
        return 0;
    if (body)
        *body = answer->body;
    return answer->status;
}

} // namespace suite::test
