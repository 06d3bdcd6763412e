// What the module's tests stand on: a host that records what reaches it, a real
// suite-server on a loopback port, and the login context of the demo operator.
#pragma once

#include "../common/testdb.h"

#include "package/pkg_rci06000.h"
#include "screen/intgcentral.h"

#include <dialogs.h>
#include <hostservices.h>
#include <logincontext.h>
#include <netconnection.h>
#include <radiobutton.h>
#include <buttonflat.h>
#include <scripteddialogs.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QTcpServer>
#include <QTest>
#include <QWidget>
#include <memory>

#include <csignal>
#include <sys/prctl.h>

namespace rci06000::test {

// The host as the module sees it; screens stay top-level windows.
class RecordingHost : public mrv::HostServices {
public:
    RecordingHost() : m_main(std::make_unique<QWidget>()) { m_main->resize(800, 600); }

    QWidget* mainWindow() override { return m_main.get(); }
    void addScreen(QWidget* form) override { ++screensAdded; Q_UNUSED(form); }
    void refreshLocalCache(const QStringList& names, QWidget*, bool, const QString&) override
    { cacheRefreshes << names; }
    void handleException(const QString& message) override { errors << message; }
    // The report definitions of the source tree.
    QString reportsDir() override { return qEnvironmentVariable("SUITE_SOURCE_DIR") + QStringLiteral("/reports"); }

    QWidget* main() const { return m_main.get(); }
    QStringList errors;
    QStringList cacheRefreshes;
    int screensAdded = 0;

private:
    std::unique_ptr<QWidget> m_main;
};

// suite-server serving a database on a free loopback port, stopped by the destructor.
class SuiteServer {
public:
    ~SuiteServer()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(5000))
                m_process.kill();
            m_process.waitForFinished(2000);
        }
    }

    // Empty on success, else why the server did not come up.
    QString start(const QString& databaseUrl)
    {
        const QString bin = qEnvironmentVariable("SUITE_BIN_DIR");
        if (bin.isEmpty())
            return QStringLiteral("SUITE_BIN_DIR is not set");
        m_process.setProgram(bin + QStringLiteral("/suite-server"));
        // A test that crashes must not leave its server behind.
        m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        m_process.setStandardOutputFile(QProcess::nullDevice());
        m_process.setReadChannel(QProcess::StandardError);
        m_process.setArguments({QStringLiteral("serve"), QStringLiteral("--database"), databaseUrl,
                                QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0")});
        m_process.start();
        if (!m_process.waitForStarted(10000))
            return QStringLiteral("suite-server did not start: ") + m_process.errorString();
        const QRegularExpression listening(QStringLiteral("listening on ([0-9.]+):(\\d+)"));
        QByteArray seen;
        const QDeadlineTimer deadline(30000);
        while (!deadline.hasExpired()) {
            if (!m_process.waitForReadyRead(200)) {
                if (m_process.state() == QProcess::NotRunning)
                    return QStringLiteral("suite-server ended: ") + QString::fromUtf8(seen);
                continue;
            }
            seen += m_process.readAllStandardError();
            const auto match = listening.match(QString::fromUtf8(seen));
            if (match.hasMatch()) {
                m_port = match.captured(2).toInt();
                return {};
            }
        }
        return QStringLiteral("suite-server did not report its port: ") + QString::fromUtf8(seen);
    }

    int port() const { return m_port; }

private:
    QProcess m_process;
    int m_port = 0;
};

// A loopback port nothing listens on.
inline int closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const int port = probe.serverPort();
    probe.close();
    return port;
}

inline QString branchName(QSqlDatabase& db, const QString& code)
{
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT NMFILIAL FROM FILIAL WHERE CDFILIAL = ?"));
    q.addBindValue(code);
    return q.exec() && q.next() ? q.value(0).toString() : QString();
}

// Logged in as the demo operator on head office "0001" against host:port.
inline mrv::LoginContext demoLogin(QSqlDatabase& db, const QString& databaseUrl, int port, bool moduFili = false)
{
    mrv::LoginContext context;
    context.filiProc = QStringLiteral("0001");
    context.nomeFiliProc = branchName(db, context.filiProc);
    context.operador = QStringLiteral("demo");
    context.webUrl = QStringLiteral("127.0.0.1");
    context.webPort = port;
    context.database = databaseUrl;
    context.moduFili = moduFili;
    return context;
}

// A demo database served by a real suite-server, opened as the shared connection,
// with the demo operator logged in.
class DemoBackend {
public:
    // Empty on success, otherwise why it could not start (see TestDatabase::unavailable first).
    QString start(const QString& dialect = QStringLiteral("sqlite"))
    {
        m_db = std::make_unique<suite::test::TestDatabase>(dialect, suite::test::TestDatabase::Demo);
        if (!m_db->isOpen())
            return QStringLiteral("demo database: ") + m_db->error();
        if (const QString why = m_server.start(m_db->url()); !why.isEmpty())
            return why;
        mrv::openSharedDatabase(m_db->url());
        m_token = mrv::TNetConnection::login(QStringLiteral("127.0.0.1"), m_server.port(), "demo", "demo").token;
        return m_token.isEmpty() ? QStringLiteral("the demo operator could not log in") : QString();
    }

    // The demo operator's context against port (the backend's own, or another to test failures).
    mrv::LoginContext login(int port, bool moduFili = false) const
    {
        mrv::LoginContext context = demoLogin(m_db->db(), m_db->url(), port, moduFili);
        context.token = m_token;
        return context;
    }

    suite::test::TestDatabase& database() { return *m_db; }
    SuiteServer& server() { return m_server; }

private:
    std::unique_ptr<suite::test::TestDatabase> m_db;
    SuiteServer m_server;
    QString m_token;
};

// Forgets the screen, as a reload of the module would.
inline void resetModule()
{
    if (frmIntgCentral) {
        TfrmIntgCentral* form = frmIntgCentral;
        form->close();
        delete form;
    }
    frmIntgCentral = nullptr;
    boIdCriado = false;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Opens the screen as the host's menu does and waits until its first activation has connected.
inline TfrmIntgCentral* openScreen(const RecordingHost& host)
{
    rci06000::IniProc();
    TfrmIntgCentral* form = frmIntgCentral;
    if (form && QTest::qWaitForWindowActive(form))
        (void)QTest::qWaitFor([&] { return form->netIntgCentral->Connected() || !host.errors.isEmpty(); }, 10000);
    return form;
}

// The dish list through the picker, as the user makes it (filters off: the database's dishes).
inline void pickDishes(TfrmIntgCentral* form, mrv::ScriptedDialogs* dialogs, const QStringList& keys)
{
    form->rbtListaPrat->click();
    dialogs->queuePick(keys);
    form->sbtPesqPrat->click();
}

inline QString dishList(const TfrmIntgCentral* form)
{
    return form->property("stListaPrato").toString();
}

inline QList<TfrmIntgCentral*> liveScreens()
{
    QList<TfrmIntgCentral*> screens;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* s = qobject_cast<TfrmIntgCentral*>(w))
            screens << s;
    return screens;
}

} // namespace rci06000::test
