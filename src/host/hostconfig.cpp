// Settings of one host session: suite.ini overlaid with the command line.
#include "hostconfig.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace suite::host {

namespace {

// Paths in suite.ini are relative to the file, so one installation can be moved whole.
QString resolvePath(const QString& path, const QString& baseDir)
{
    if (path.isEmpty() || QDir::isAbsolutePath(path))
        return path;
    return QDir::cleanPath(QDir(baseDir).filePath(path));
}

QString resolveDatabase(const QString& url, const QString& baseDir)
{
    return url.contains(QLatin1String("://")) ? url : resolvePath(url, baseDir);
}

QString defaultReportsDir(const QString& appDir)
{
    // Installed next to bin/, or the source tree's reports/ when run from a build directory.
    const QStringList candidates{QStringLiteral("../reports"), QStringLiteral("../../reports"),
                                 QStringLiteral("../share/suite/reports")};
    for (const QString& candidate : candidates) {
        const QString path = resolvePath(candidate, appDir);
        if (QFileInfo(path).isDir())
            return path;
    }
    return resolvePath(candidates.first(), appDir);
}

// An installed host keeps its modules in a folder of the suite's own (/usr/lib/suite beside /usr/bin), a build
// directory in lib/ beside bin/.
QString defaultModulesDir(const QString& appDir)
{
    const QString installed = resolvePath(QStringLiteral("../lib/suite"), appDir);
    return QFileInfo(installed).isDir() ? installed : resolvePath(QStringLiteral("../lib"), appDir);
}

QString findConfigFile(const HostOptions& options, const QString& appDir)
{
    if (options.config)
        return *options.config;
    for (const QString& dir : {QDir::currentPath(), appDir}) {
        const QString path = QDir(dir).filePath(QStringLiteral("suite.ini"));
        if (QFileInfo::exists(path))
            return path;
    }
    return {};
}

} // namespace

HostConfig HostConfig::load(const HostOptions& options, const QString& appDir)
{
    HostConfig config;
    config.modulesDir = defaultModulesDir(appDir);
    config.reportsDir = defaultReportsDir(appDir);
    config.configFile = findConfigFile(options, appDir);

    if (!config.configFile.isEmpty()) {
        if (!QFileInfo::exists(config.configFile)) {
            config.error = QStringLiteral("Arquivo de configuração não encontrado: %1").arg(config.configFile);
            return config;
        }
        QSettings ini(config.configFile, QSettings::IniFormat);
        if (ini.status() != QSettings::NoError) {
            config.error = QStringLiteral("Arquivo de configuração ilegível: %1").arg(config.configFile);
            return config;
        }
        const QString baseDir = QFileInfo(config.configFile).absolutePath();
        const QString host = ini.value(QStringLiteral("server/host")).toString().trimmed();
        if (!host.isEmpty()) {
            const std::optional<ServerAddress> server = ServerAddress::parse(host);
            if (!server) {
                config.error = QStringLiteral("Servidor inválido em %1: [server] host").arg(config.configFile);
                return config;
            }
            config.server = *server;
        }
        if (ini.contains(QStringLiteral("server/port"))) {
            bool ok = false;
            const int port = ini.value(QStringLiteral("server/port")).toInt(&ok);
            if (!ok || port < 1 || port > 65535) {
                config.error = QStringLiteral("Porta inválida em %1: [server] port").arg(config.configFile);
                return config;
            }
            config.server.port = port;
        }
        config.caFile = resolvePath(ini.value(QStringLiteral("server/cafile")).toString().trimmed(), baseDir);
        config.databaseUrl = resolveDatabase(ini.value(QStringLiteral("database/url")).toString().trimmed(), baseDir);
        config.branchMode = ini.value(QStringLiteral("host/branchMode"), false).toBool();
        const QString modules = ini.value(QStringLiteral("host/modulesDir")).toString().trimmed();
        if (!modules.isEmpty())
            config.modulesDir = resolvePath(modules, baseDir);
        const QString reports = ini.value(QStringLiteral("host/reportsDir")).toString().trimmed();
        if (!reports.isEmpty())
            config.reportsDir = resolvePath(reports, baseDir);
    }

    if (options.server)
        config.server = *options.server;
    if (options.caFile)
        config.caFile = resolvePath(*options.caFile, QDir::currentPath());
    if (options.database)
        config.databaseUrl = resolveDatabase(*options.database, QDir::currentPath());
    if (options.branchMode)
        config.branchMode = true;
    if (options.modulesDir)
        config.modulesDir = resolvePath(*options.modulesDir, QDir::currentPath());
    return config;
}

} // namespace suite::host
