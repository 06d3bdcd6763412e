// Settings of one host session: suite.ini overlaid with the command line.
#pragma once

#include "hostoptions.h"

#include <QString>

namespace suite::host {

struct HostConfig {
    ServerAddress server{QStringLiteral("127.0.0.1"), 8211};
    QString caFile; // PEM authorities the server's certificate must chain to; empty: the system's store
    QString databaseUrl;
    bool branchMode = false;
    QString modulesDir;
    QString reportsDir;
    QString configFile; // the file read, empty when none
    QString error;      // non-empty when the configuration cannot be used

    // appDir: directory of the executable, base of the defaults.
    static HostConfig load(const HostOptions& options, const QString& appDir);
};

} // namespace suite::host
