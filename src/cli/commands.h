// suite-cli's commands: each reads its own options and returns the exit code (exitcodes.h).
#pragma once

#include <QStringList>

namespace suite::cli {

// What every command shares: where the session is kept, a server to use instead of the saved
// one, JSON output, and where the report definitions are.
struct Common {
    QString sessionFile;
    QString server;
    QString caFile; // PEM authorities for an HTTPS server; empty: the session's, else the system's store
    QString reportsDir;
    bool json = false;
};

// arguments: the command's name first, then its own arguments.
int runCommand(const Common& common, const QStringList& arguments);

// The usage text of every command.
QString usage();

} // namespace suite::cli
