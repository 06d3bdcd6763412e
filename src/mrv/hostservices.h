// What a module needs from the host application, and the shared database connection.
#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

class QWidget;

namespace mrv {

// Implemented by the host; a plain default stands in when none is set (tests, tools).
class HostServices {
public:
    virtual ~HostServices();
    virtual QWidget* mainWindow() = 0;         // the busy animation overlays it
    virtual void addScreen(QWidget* form) = 0; // adopt a new screen (MDI child, or top-level)
    virtual void refreshLocalCache(const QStringList& names, QWidget* form, bool flag, const QString& text) = 0;
    virtual void handleException(const QString& message) = 0;
    virtual QString reportsDir() = 0;
};

// Does not take ownership; nullptr restores the default.
void setHostServices(HostServices* services);
HostServices* hostServices();

// The form factory: ref is set before FormCreate runs, so the screen can find itself
// through its global while it is being created. Exceptions propagate.
template<class T> void CreateForm(T*& ref)
{
    ref = new T();
    hostServices()->addScreen(ref);
    ref->runCreate();
}

void AtualizaLocalCache(const QStringList& names, QWidget* form, bool flag, const QString& text);

// Connection name of the shared, read-only database connection.
inline constexpr const char* sharedConnectionName = "dtmDBGeral";

// The open shared connection; throws mrv::Exception when none was opened.
QSqlDatabase sharedDatabase();
// Opens (or reopens) the shared connection: a SQLite file path or a postgresql:// URL.
void openSharedDatabase(const QString& url);
void closeSharedDatabase();

} // namespace mrv
