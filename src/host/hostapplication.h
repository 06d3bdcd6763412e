// A whole run of suite-host: command line, login, main window, scripted options.
#pragma once

#include "automationscript.h"
#include "hostconfig.h"
#include "hostoptions.h"

#include <logincontext.h>

#include <QObject>
#include <memory>
#include <optional>

namespace mrv {
class ScriptedDialogs;
}

namespace suite::host {

class AutomationRunner;
class HostSession;

class HostApplication : public QObject {
    Q_OBJECT
public:
    HostApplication(const QStringList& arguments, const QString& appDir);
    ~HostApplication() override;

    // Runs the event loop; the process exit code.
    int run();

private:
    bool logIn(mrv::LoginContext& context);
    void afterShown();
    void settleScreens();
    void dumpUi();
    void startAutomation();
    void fail(const QString& message, int exitCode);

    HostOptions m_options;
    HostConfig m_config;
    std::optional<QList<AutomationStep>> m_steps;
    mrv::ScriptedDialogs* m_scripted = nullptr; // owned by the kit once installed
    int m_exitCode = 0;
    AutomationRunner* m_runner = nullptr;
    std::unique_ptr<HostSession> m_session;
};

} // namespace suite::host
