// What the module's tests stand on: a host that records what reaches it, a real
// suite-server on a loopback port, and the login context of the demo operator.
#pragma once

#include "../common/recordinghost.h"
#include "../common/serverprocess.h"
#include "../common/testdb.h"

#include "package/pkg_rci06000.h"
#include "screen/intgcentral.h"

#include <buttonflat.h>
#include <dialogs.h>
#include <hostservices.h>
#include <logincontext.h>
#include <netconnection.h>
#include <radiobutton.h>
#include <scripteddialogs.h>

#include <QApplication>
#include <QSqlQuery>
#include <QTcpServer>
#include <QTest>
#include <QWidget>

namespace rci06000::test {

using suite::test::RecordingHost;
using suite::test::ServerProcess;

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
    ServerProcess& server() { return m_server; }

private:
    std::unique_ptr<suite::test::TestDatabase> m_db;
    ServerProcess m_server;
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
