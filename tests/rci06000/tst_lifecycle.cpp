// The module's entry and the screen's life: one instance, head office only, the first
// activation against a real server, close.
#include "modulefixture.h"

#include <adoibquery.h>
#include <busy.h>
#include <clientdataset.h>
#include <maskedit.h>

#include <QLineEdit>
#include <QPointer>
#include <QtTest>

using namespace rci06000::test;

class tst_Lifecycle : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void oneInstance();
    void secondIniProcRestores_data();
    void secondIniProcRestores();
    void branchInstallation();
    void firstActivationConnectsAndPresets();
    void laterActivationsOnlyRepaint();
    void failedConnectIsNotRetried();
    void closeDisconnectsAndForgets();
    void loadStepsRunOncePerLoad();

private:
    void login(int port, bool moduFili = false);
    void reactivate(TfrmIntgCentral* form);
    QList<TfrmIntgCentral*> visibleScreens() const;

    RecordingHost m_host;
    mrv::ScriptedDialogs* m_dialogs = nullptr;
    DemoBackend m_backend;
};

void tst_Lifecycle::initTestCase()
{
    mrv::setHostServices(&m_host);
    const QString why = m_backend.start();
    QVERIFY2(why.isEmpty(), qPrintable(why));
}

void tst_Lifecycle::init()
{
    auto dialogs = std::make_unique<mrv::ScriptedDialogs>();
    m_dialogs = dialogs.get();
    mrv::setDialogs(std::move(dialogs));
    m_host.errors.clear();
    m_host.screensAdded = 0;
    login(m_backend.server().port());
}

void tst_Lifecycle::cleanup()
{
    resetModule();
    mrv::DeactiveShowAvi();
}

void tst_Lifecycle::login(int port, bool moduFili)
{
    mrv::LoginContext context = m_backend.login(port, moduFili);
    mrv::setLoginContext(context);
}

void tst_Lifecycle::reactivate(TfrmIntgCentral* form)
{
    QWidget other;
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form));
}

QList<TfrmIntgCentral*> tst_Lifecycle::visibleScreens() const
{
    QList<TfrmIntgCentral*> shown;
    for (TfrmIntgCentral* s : liveScreens())
        if (s->isVisible())
            shown << s;
    return shown;
}

void tst_Lifecycle::oneInstance()
{
    rci06000::IniProc();
    TfrmIntgCentral* first = frmIntgCentral;
    QVERIFY(first);
    QVERIFY(boIdCriado);
    rci06000::IniProc();
    QCOMPARE(frmIntgCentral, first);
    QCOMPARE(liveScreens().size(), 1);
    QCOMPARE(m_host.screensAdded, 1);
    QVERIFY(first->isVisible());
}

void tst_Lifecycle::secondIniProcRestores_data()
{
    QTest::addColumn<int>("state");
    QTest::newRow("minimised") << int(Qt::WindowMinimized);
    QTest::newRow("maximised") << int(Qt::WindowMaximized);
}

void tst_Lifecycle::secondIniProcRestores()
{
    QFETCH(int, state);
    rci06000::IniProc();
    TfrmIntgCentral* form = frmIntgCentral;
    QVERIFY(form);
    form->setWindowState(Qt::WindowStates(state));
    rci06000::IniProc();
    QCOMPARE(frmIntgCentral, form);
    QVERIFY(form->isVisible());
    QCOMPARE(form->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized), Qt::WindowNoState);
    QCOMPARE(form->size(), QSize(486, 487));
}

void tst_Lifecycle::branchInstallation()
{
    login(m_backend.server().port(), true);
    const QString intgMat = "Integração de Receitas Centralizada só pode ser realizada em modo matriz.";
    rci06000::IniProc();
    QCOMPARE(m_dialogs->shownTexts(), QStringList{intgMat});
    QVERIFY(!frmIntgCentral);
    QVERIFY(boIdCriado);
    QCoreApplication::processEvents();
    QVERIFY(visibleScreens().isEmpty());
    // The same load never tries again, and no connection was attempted.
    rci06000::IniProc();
    QCOMPARE(m_dialogs->shownTexts(), QStringList{intgMat});
    QVERIFY(!frmIntgCentral);
    QVERIFY(m_host.errors.isEmpty());
}

void tst_Lifecycle::firstActivationConnectsAndPresets()
{
    rci06000::IniProc();
    TfrmIntgCentral* form = frmIntgCentral;
    QVERIFY(form);
    QVERIFY(QTest::qWaitForWindowActive(form));
    QTRY_VERIFY_WITH_TIMEOUT(form->netIntgCentral->Connected() || !m_host.errors.isEmpty(), 10000);
    QVERIFY2(m_host.errors.isEmpty(), qPrintable(m_host.errors.join('\n')));
    QCOMPARE(form->netIntgCentral->Host, QString("127.0.0.1"));
    QCOMPARE(form->netIntgCentral->Port, m_backend.server().port());
    QCOMPARE(form->medCdFilial->text(), QString("0001"));
    QCOMPARE(form->edtNmFilial->text(), branchName(m_backend.database().db(), "0001"));
    QVERIFY(!form->edtNmFilial->text().isEmpty());
    QCOMPARE(form->qryPesqPratos->FieldByName("CDPRATO")->EditMask, QString("99.99.999"));
    QCOMPARE(form->cdsPesqPratoDadoCard->FieldByName("CDPRATO")->EditMask, QString("99.99.999"));
    QVERIFY(!mrv::ShowAviActive());
}

void tst_Lifecycle::laterActivationsOnlyRepaint()
{
    rci06000::IniProc();
    TfrmIntgCentral* form = frmIntgCentral;
    QVERIFY(QTest::qWaitForWindowActive(form));
    QTRY_VERIFY_WITH_TIMEOUT(form->netIntgCentral->Connected(), 10000);
    form->medCdFilial->setFocus();
    form->medCdFilial->selectAll();
    QTest::keyClicks(form->medCdFilial, "2");
    reactivate(form);
    QTest::qWait(50);
    QCOMPARE(form->medCdFilial->text(), QString("2"));
    QVERIFY(form->edtNmFilial->text().isEmpty());
    QVERIFY(form->netIntgCentral->Connected());
    QVERIFY(m_host.errors.isEmpty());
}

void tst_Lifecycle::failedConnectIsNotRetried()
{
    login(closedPort());
    rci06000::IniProc();
    TfrmIntgCentral* form = frmIntgCentral;
    QVERIFY(form);
    QVERIFY(QTest::qWaitForWindowActive(form));
    QTRY_COMPARE_WITH_TIMEOUT(m_host.errors.size(), 1, 15000);
    QVERIFY(!mrv::ShowAviActive());
    QVERIFY(!form->netIntgCentral->Connected());
    // Nothing after the connect ran.
    QVERIFY(form->medCdFilial->text().isEmpty());
    QVERIFY(form->qryPesqPratos->FieldByName("CDPRATO")->EditMask.isEmpty());
    reactivate(form);
    QTest::qWait(100);
    QCOMPARE(m_host.errors.size(), 1);
    QVERIFY(!form->netIntgCentral->Connected());
}

void tst_Lifecycle::closeDisconnectsAndForgets()
{
    rci06000::IniProc();
    QPointer<TfrmIntgCentral> form = frmIntgCentral;
    QVERIFY(QTest::qWaitForWindowActive(form));
    QTRY_VERIFY_WITH_TIMEOUT(form->netIntgCentral->Connected(), 10000);
    QVERIFY(form->close());
    QVERIFY(!frmIntgCentral);
    QVERIFY(boIdCriado);
    if (form)
        QVERIFY(!form->netIntgCentral->Connected());
    QTRY_VERIFY(visibleScreens().isEmpty());
    // Within the same load a closed screen is not opened again.
    rci06000::IniProc();
    QVERIFY(!frmIntgCentral);
    QCOMPARE(m_host.screensAdded, 1);
}

void tst_Lifecycle::loadStepsRunOncePerLoad()
{
    // The log report's module clears its flag at the first start-up of a load only.
    boStCriado = true;
    rci06000::PackageLoad();
    QVERIFY(!boStCriado);
    boStCriado = true;
    rci06000::PackageLoad();
    QVERIFY(boStCriado);
    QCOMPARE(rci06000::Cli_rci06001().counter(), 2);
    rci06000::PackageUnload();
    rci06000::PackageUnload();
    QCOMPARE(rci06000::Cli_rci06000().counter(), 0);
    rci06000::PackageUnload(); // an unbalanced unload changes nothing
    QCOMPARE(rci06000::Cli_rci06001().counter(), 0);
    rci06000::PackageLoad();
    QVERIFY(!boStCriado);
    rci06000::PackageUnload();
}

QTEST_MAIN(tst_Lifecycle)
#include "tst_lifecycle.moc"
