// Host services registry, its stand-in default, and the shared database connection.
#include "hostservices.h"

#include "dbpicture.h"
#include "errors.h"
#include "mrvlogging.h"

#include "database.h"

#include <QApplication>
#include <QWidget>

namespace mrv {

HostServices::~HostServices() = default;

namespace Internal {

// Used when no host is running: screens become top-level windows, errors are logged.
class StandaloneHost : public HostServices {
public:
    QWidget* mainWindow() override { return QApplication::activeWindow(); }
    void addScreen(QWidget* form) override { form->show(); }
    void refreshLocalCache(const QStringList& names, QWidget*, bool, const QString&) override
    {
        qCInfo(lcMrv) << "no host: local cache refresh of" << names << "skipped";
    }
    void handleException(const QString& message) override { qCWarning(lcMrv).noquote() << message; }
    QString reportsDir() override
    {
        const QString dir = qEnvironmentVariable("SUITE_REPORTS_DIR");
        return dir.isEmpty() ? QStringLiteral("reports") : dir;
    }
};

} // namespace Internal

namespace {
HostServices* g_services = nullptr;
}

void setHostServices(HostServices* services)
{
    g_services = services;
}

HostServices* hostServices()
{
    if (g_services)
        return g_services;
    static Internal::StandaloneHost standalone;
    return &standalone;
}

void AtualizaLocalCache(const QStringList& names, QWidget* form, bool flag, const QString& text)
{
    hostServices()->refreshLocalCache(names, form, flag, text);
}

QSqlDatabase sharedDatabase()
{
    QSqlDatabase db = QSqlDatabase::database(QLatin1String(sharedConnectionName), false);
    if (!db.isValid() || !db.isOpen())
        throw Exception(QStringLiteral("A conexão com o banco de dados não está aberta."));
    return db;
}

void closeSharedDatabase()
{
    const QString name = QLatin1String(sharedConnectionName);
    if (QSqlDatabase::contains(name)) {
        QSqlDatabase::database(name, false).close();
        QSqlDatabase::removeDatabase(name);
    }
    Internal::clearPictureCache();
}

void openSharedDatabase(const QString& url)
{
    closeSharedDatabase();
    try {
        // Screens only look things up here; every change goes through the application server.
        suite::db::openDatabase(url, QLatin1String(sharedConnectionName), suite::db::Access::ReadOnly);
    } catch (const std::exception& e) {
        throw Exception(QStringLiteral("Não foi possível abrir o banco de dados: %1").arg(QString::fromUtf8(e.what())));
    }
}

} // namespace mrv
