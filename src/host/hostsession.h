// One logged-in session of the host: main window, modules, local cache; the services
// modules reach through mrv::hostServices().
#pragma once

#include "hostconfig.h"
#include "localcache.h"
#include "mainwindow.h"
#include "modulemanager.h"

#include <hostservices.h>
#include <logincontext.h>

#include <memory>

namespace suite::host {

class HostSession : public QObject, public mrv::HostServices {
    Q_OBJECT
public:
    HostSession(const HostConfig& config, const mrv::LoginContext& context);
    ~HostSession() override;

    MainWindow* window() const { return m_window.get(); }
    ModuleManager& modules() { return *m_modules; }
    const LocalCache& cache() const { return m_cache; }

    // As the menu does: load the module and run its IniProc.
    bool openModule(const QString& name);
    // The main window, then every screen, then other visible windows (dialogs).
    QList<QWidget*> openWindows() const;

    QWidget* mainWindow() override;
    void addScreen(QWidget* form) override;
    void refreshLocalCache(const QStringList& names, QWidget* form, bool flag, const QString& text) override;
    void handleException(const QString& message) override;
    QString reportsDir() override;

private:
    HostConfig m_config;
    LocalCache m_cache;
    std::unique_ptr<ModuleManager> m_modules; // outlives the window: screens go before their code
    std::unique_ptr<MainWindow> m_window;
};

} // namespace suite::host
