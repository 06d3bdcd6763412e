// A whole run of suite-host: command line, login, main window, scripted options.
#include "hostapplication.h"
#include "automationrunner.h"
#include "hostlog.h"
#include "hostsession.h"
#include "inputsimulator.h"
#include "inspectionserver.h"
#include "logindialog.h"
#include "uiinspector.h"

#include <dialogs.h>
#include <glyphs.h>
#include <scripteddialogs.h>
#include <servertrust.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QJsonDocument>
#include <QMessageBox>
#include <QSaveFile>
#include <QTimer>

#include <cstdio>

namespace suite::host {

namespace {

// How long the window system may take to activate the main window before scripts go on anyway.
constexpr int kActivationWaitMs = 3000;

void printLine(FILE* stream, const QString& line)
{
    std::fputs(qPrintable(line + u'\n'), stream);
    std::fflush(stream);
}

void waitBriefly(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

HostApplication::HostApplication(const QStringList& arguments, const QString& appDir)
    : m_options(HostOptions::parse(arguments))
    , m_config(HostConfig::load(m_options, appDir))
{}

HostApplication::~HostApplication()
{
    m_session.reset();
}

int HostApplication::run()
{
    if (m_options.help) {
        printLine(stdout, HostOptions::usage());
        return 0;
    }
    if (!m_options.error.isEmpty()) {
        printLine(stderr, m_options.error);
        printLine(stderr, QStringLiteral("Use --help para ver as opções."));
        return 2;
    }
    // Before any request: a CA file that cannot serve stops the start as any wrong setting does.
    if (m_config.error.isEmpty()) {
        try {
            mrv::setServerCaFile(m_config.caFile);
        } catch (const mrv::CaFileError& e) {
            m_config.error = e.message();
        }
    }
    if (!m_config.error.isEmpty()) {
        printLine(stderr, m_config.error);
        if (!m_options.scripted())
            QMessageBox::critical(nullptr, QStringLiteral("Suíte"), m_config.error);
        return 2;
    }
    if (!m_options.automateScript.isEmpty()) {
        QString problem;
        m_steps = AutomationScript::load(m_options.automateScript, &problem);
        if (!m_steps) {
            printLine(stderr, QStringLiteral("Roteiro %1: %2").arg(m_options.automateScript, problem));
            return 2;
        }
    }
    if (m_options.scripted()) {
        // Nobody is there to answer a dialog: answers come from the script, texts are recorded.
        auto scripted = std::make_unique<mrv::ScriptedDialogs>();
        m_scripted = scripted.get();
        mrv::setDialogs(std::move(scripted));
    }

    if (!m_options.inspectSocket.isEmpty()) {
        QString why;
        if (!(new InspectionServer(this))->listen(m_options.inspectSocket, &why)) {
            printLine(stderr, QStringLiteral("Socket de inspeção %1: %2").arg(m_options.inspectSocket, why));
            return 2;
        }
    }

    QApplication::setWindowIcon(mrv::glyphIcon(mrv::Glyph::Suite));
    mrv::LoginContext context;
    if (!logIn(context))
        return m_exitCode;
    mrv::setLoginContext(context);

    m_session = std::make_unique<HostSession>(m_config, context);
    MainWindow* window = m_session->window();
    window->showMaximized();
    window->activateWindow();
    QTimer::singleShot(0, this, &HostApplication::afterShown);
    int code = QApplication::exec();
    if (m_runner && m_runner->remaining() > 0 && code == 0) {
        printLine(stdout, QStringLiteral("Roteiro interrompido: a aplicação terminou com %1 passo(s) por executar.")
                              .arg(m_runner->remaining()));
        code = 1;
    }
    m_session.reset();
    return code;
}

bool HostApplication::logIn(mrv::LoginContext& context)
{
    const LoginService service(m_config);
    std::optional<LoginFailure> firstFailure;
    if (m_options.autoLogin()) {
        try {
            context = service.login(*m_options.user, *m_options.password, *m_options.branch);
            return true;
        } catch (const LoginFailure& failure) {
            firstFailure = failure;
        }
    }
    if (m_options.scripted()) {
        printLine(stderr, firstFailure
                              ? firstFailure->message()
                              : QStringLiteral("--dump-ui e --automate precisam de --user, --password e --branch."));
        m_exitCode = 1;
        return false;
    }
    LoginDialog dialog(service);
    dialog.setUser(m_options.user.value_or(QString()));
    dialog.setPassword(m_options.password.value_or(QString()));
    dialog.setBranch(m_options.branch.value_or(QString()));
    if (firstFailure)
        dialog.showFailure(*firstFailure);
    if (dialog.exec() != QDialog::Accepted) {
        m_exitCode = 0;
        return false;
    }
    context = dialog.context();
    return true;
}

void HostApplication::afterShown()
{
    for (const QString& module : std::as_const(m_options.openModules)) {
        if (!m_session->openModule(module) && m_options.scripted()) {
            const QString reason = m_scripted ? m_scripted->lastText() : QString();
            fail(QStringLiteral("O módulo %1 não abriu. %2").arg(module, reason).trimmed(), 1);
            return;
        }
    }
    if (!m_options.scripted())
        return;
    settleScreens();
    if (!m_options.dumpUiFile.isEmpty())
        dumpUi();
    else
        startAutomation();
}

void HostApplication::settleScreens()
{
    MainWindow* window = m_session->window();
    const QDeadlineTimer deadline(kActivationWaitMs);
    while (!window->isActiveWindow() && !deadline.hasExpired()) {
        window->activateWindow();
        waitBriefly(20);
    }
    if (!window->isActiveWindow())
        qCWarning(lcHost) << "main window not active; screens may miss their activation";
    // Each screen gets its activation (first-activation work), the last opened stays in front.
    const QList<QWidget*> screens = window->screens();
    for (QWidget* screen : screens) {
        InputSimulator::activate(screen);
        QApplication::processEvents();
    }
}

void HostApplication::dumpUi()
{
    if (m_scripted) {
        for (const QString& text : m_scripted->shownTexts())
            printLine(stderr, QStringLiteral("mensagem: %1").arg(text));
    }
    const QJsonObject dump = UiInspector::dump(m_session->openWindows());
    QSaveFile file(m_options.dumpUiFile);
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(dump).toJson()) < 0 || !file.commit()) {
        fail(QStringLiteral("Não foi possível gravar %1: %2").arg(m_options.dumpUiFile, file.errorString()), 1);
        return;
    }
    QCoreApplication::exit(0);
}

void HostApplication::startAutomation()
{
    AutomationRunner::Environment environment;
    environment.windows = [this] { return m_session->openWindows(); };
    environment.openModule = [this](const QString& module) { return m_session->openModule(module); };
    environment.dialogs = m_scripted;
    environment.print = [](const QString& line) { printLine(stdout, line); };
    m_runner = new AutomationRunner(*m_steps, environment, this);
    connect(m_runner, &AutomationRunner::finished, this, [](int code) { QCoreApplication::exit(code); });
    m_runner->start();
}

void HostApplication::fail(const QString& message, int exitCode)
{
    printLine(stderr, message);
    QCoreApplication::exit(exitCode);
}

} // namespace suite::host
