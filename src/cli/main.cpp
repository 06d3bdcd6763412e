// suite-cli: the integration service from scripts and terminals (docs/cli.md).
#include "commands.h"
#include "exitcodes.h"
#include "output.h"

#include <qttranslations.h>

#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QLocale>
#include <QTemporaryDir>

#include <algorithm>
#include <memory>

namespace {

// Only a PDF report draws text, and drawing text needs Qt's GUI module (its fonts); every other command is a plain
// core application, which needs no platform plugin and no session's runtime directory.
bool drawsText(const QStringList& command)
{
    return command.value(0) == QLatin1String("report") &&
           std::any_of(command.begin(), command.end(),
                       [](const QString& a) { return a == QLatin1String("--pdf") || a.startsWith("--pdf="); });
}

} // namespace

int main(int argc, char* argv[])
{
    // Options before the command are everyone's; what follows it is the command's own.
    suite::cli::Common common;
    QStringList rest;
    for (int i = 1; i < argc; ++i)
        rest << QString::fromLocal8Bit(argv[i]);
    while (!rest.isEmpty() && rest.first().startsWith(QLatin1String("--"))) {
        const QString name = rest.takeFirst();
        if (name == QLatin1String("--json")) {
            common.json = true;
            continue;
        }
        if (name == QLatin1String("--help")) {
            suite::cli::printOut(suite::cli::usage());
            return suite::cli::kExitOk;
        }
        if (rest.isEmpty() || !QStringList{"--server", "--ca-file", "--session-file", "--reports"}.contains(name)) {
            suite::cli::printErr(
                QStringLiteral("suite-cli: opção inválida ou sem valor: %1\n%2").arg(name, suite::cli::usage()));
            return suite::cli::kExitUsage;
        }
        const QString value = rest.takeFirst();
        if (name == QLatin1String("--server"))
            common.server = value;
        else if (name == QLatin1String("--ca-file"))
            common.caFile = value;
        else if (name == QLatin1String("--session-file"))
            common.sessionFile = value;
        else
            common.reportsDir = value;
    }

    std::unique_ptr<QTemporaryDir> runtimeDir;
    std::unique_ptr<QCoreApplication> app;
    if (drawsText(rest)) {
        // A report is rendered as the screens render it, with no display. Outside a login session (cron, ssh, a
        // service) there is no runtime directory, which the GUI module asks for: this process gets a private one.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
            runtimeDir = std::make_unique<QTemporaryDir>();
            if (runtimeDir->isValid())
                qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeDir->path()));
        }
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::setApplicationName(QStringLiteral("suite-cli"));
    QLocale::setDefault(QLocale(QLocale::Portuguese, QLocale::Brazil));
    mrv::installQtTranslations(); // the command line's own errors come from Qt's parser
    return suite::cli::runCommand(common, rest);
}
