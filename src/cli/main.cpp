// suite-cli: the integration service from scripts and terminals (docs/cli.md).
#include "commands.h"
#include "exitcodes.h"
#include "output.h"

#include <QApplication>
#include <QLocale>

int main(int argc, char* argv[])
{
    // Reports are rendered as the screens render them, which needs a GUI application but no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("suite-cli"));
    QLocale::setDefault(QLocale(QLocale::Portuguese, QLocale::Brazil));

    // Options before the command are everyone's; what follows it is the command's own.
    suite::cli::Common common;
    QStringList rest = QApplication::arguments().mid(1);
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
        if (rest.isEmpty() || !QStringList{"--server", "--session-file", "--reports"}.contains(name)) {
            suite::cli::printErr(
                QStringLiteral("suite-cli: opção inválida ou sem valor: %1\n%2").arg(name, suite::cli::usage()));
            return suite::cli::kExitUsage;
        }
        const QString value = rest.takeFirst();
        if (name == QLatin1String("--server"))
            common.server = value;
        else if (name == QLatin1String("--session-file"))
            common.sessionFile = value;
        else
            common.reportsDir = value;
    }
    return suite::cli::runCommand(common, rest);
}
