// suite-host: the desktop shell of the suite.
#include "hostapplication.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("suite-host"));
    QApplication::setOrganizationName(QStringLiteral("Suite"));
    suite::host::HostApplication host(QApplication::arguments(), QApplication::applicationDirPath());
    return host.run();
}
