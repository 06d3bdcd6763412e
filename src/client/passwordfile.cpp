#include "passwordfile.h"

#include <QFile>

namespace mrv {

std::optional<QString> passwordFromFile(const QString& path, QString& error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("não foi possível ler a senha em %1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    QString line = QString::fromUtf8(file.readLine(4096));
    while (line.endsWith(QLatin1Char('\n')) || line.endsWith(QLatin1Char('\r')))
        line.chop(1);
    return line;
}

} // namespace mrv
