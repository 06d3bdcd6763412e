// Qt's pt_BR translations, loaded from where the Qt installation keeps them.
#include "qttranslations.h"

#include "mrvlogging.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace mrv {

bool installQtTranslations()
{
    auto* translator = new QTranslator(QCoreApplication::instance());
    const QString dir = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!translator->load(QLocale(QLocale::Portuguese, QLocale::Brazil), QStringLiteral("qtbase"), QStringLiteral("_"),
                          dir) ||
        !QCoreApplication::installTranslator(translator)) {
        qCWarning(lcMrv, "Qt's pt_BR translations were not found in %s", qPrintable(dir));
        delete translator;
        return false;
    }
    return true;
}

} // namespace mrv
