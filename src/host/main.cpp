// suite-host: the desktop shell of the suite.
#include "hostapplication.h"

#include <qttranslations.h>

#include <QApplication>
#include <QLocale>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("suite-host"));
    QApplication::setOrganizationName(QStringLiteral("Suite"));
    // The suite's users work in Brazilian Portuguese: dates, numbers and the toolkit's own texts.
    QLocale::setDefault(QLocale(QLocale::Portuguese, QLocale::Brazil));
    mrv::installQtTranslations();
    suite::host::HostApplication host(QApplication::arguments(), QApplication::applicationDirPath());
    return host.run();
}
