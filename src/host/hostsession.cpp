// One logged-in session of the host: main window, modules, local cache; the services
// modules reach through mrv::hostServices().
#include "hostsession.h"
#include "hostlog.h"

#include <dialogs.h>
#include <errors.h>

#include <QApplication>

namespace suite::host {

namespace {

// Kept in memory from the login on; screens refresh it after they change its rows.
const QStringList kCachedTables{QStringLiteral("PRATO")};

} // namespace

HostSession::HostSession(const HostConfig& config, const mrv::LoginContext& context)
    : m_config(config)
    , m_modules(std::make_unique<ModuleManager>(config.modulesDir))
    , m_window(std::make_unique<MainWindow>(context))
{
    connect(m_window.get(), &MainWindow::openModuleRequested, this, &HostSession::openModule);
    connect(&m_cache, &LocalCache::refreshed, m_window.get(), [this] { m_window->setCacheSummary(m_cache.summary()); });
    mrv::setHostServices(this);
    try {
        m_cache.refresh(kCachedTables, mrv::sharedDatabase());
    } catch (const mrv::Exception& error) {
        qCWarning(lcHost) << "local cache not loaded:" << error.message();
        m_window->setCacheSummary(error.message());
    }
}

HostSession::~HostSession()
{
    m_window.reset();
    mrv::setHostServices(nullptr);
    m_modules.reset();
}

bool HostSession::openModule(const QString& name)
{
    return m_modules->open(name);
}

QList<QWidget*> HostSession::openWindows() const
{
    QList<QWidget*> windows{m_window.get()};
    windows += m_window->screens();
    const QWidgetList topLevels = QApplication::topLevelWidgets();
    for (QWidget* widget : topLevels) {
        if (widget->isVisible() && !windows.contains(widget) && widget->windowType() != Qt::ToolTip &&
            widget->windowType() != Qt::Popup)
            windows.append(widget);
    }
    return windows;
}

QWidget* HostSession::mainWindow()
{
    return m_window.get();
}

void HostSession::addScreen(QWidget* form)
{
    if (form == nullptr)
        return;
    m_window->adoptScreen(form);
    m_modules->adopt(form);
}

void HostSession::refreshLocalCache(const QStringList& names, QWidget*, bool, const QString&)
{
    m_cache.refresh(names, mrv::sharedDatabase());
}

void HostSession::handleException(const QString& message)
{
    qCWarning(lcHost) << "error reported to the operator:" << message;
    try {
        mrv::dialogs().message(message, mrv::mtError, mrv::mbOK);
    } catch (const std::exception& error) {
        // The handler is the last stop: a failing dialog must not take the suite down.
        qCCritical(lcHost) << "could not show the error:" << error.what();
    }
}

QString HostSession::reportsDir()
{
    return m_config.reportsDir;
}

} // namespace suite::host
