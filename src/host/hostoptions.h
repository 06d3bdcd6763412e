// Command line of suite-host.
#pragma once

#include <serveraddress.h>

#include <QString>
#include <QStringList>
#include <optional>

namespace suite::host {

using ServerAddress = mrv::ServerAddress;

// What was given on the command line; absent values fall back to suite.ini.
struct HostOptions {
    std::optional<QString> user, password, branch, database, config, modulesDir, caFile;
    std::optional<ServerAddress> server;
    bool branchMode = false;
    QStringList openModules;
    QString dumpUiFile;
    QString automateScript;
    QString inspectSocket; // local socket a test driver reads the live windows from; empty: none
    bool help = false;
    QString error; // non-empty when the command line is wrong

    bool autoLogin() const { return user && password && branch; }
    bool scripted() const { return !dumpUiFile.isEmpty() || !automateScript.isEmpty(); }

    static HostOptions parse(const QStringList& arguments); // arguments[0] is the program
    static QString usage();
};

} // namespace suite::host
