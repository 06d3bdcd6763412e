// Key pictures from the PICTURE table, cached per connection.
#include "dbpicture.h"

#include "errors.h"
#include "hostservices.h"

#include <QHash>
#include <QSqlError>
#include <QSqlQuery>

namespace mrv {

DBPicture::DBPicture(const QString& picture)
    : m_picture(picture)
{
    // A level is a run of digit positions; anything else separates levels.
    int run = 0;
    for (const QChar c : picture) {
        if (c == QLatin1Char('9') || c == QLatin1Char('0')) {
            ++run;
        } else if (run > 0) {
            m_levelLengths.append(run);
            run = 0;
        }
    }
    if (run > 0)
        m_levelLengths.append(run);
}

namespace {
QHash<int, DBPicture>& cache()
{
    static QHash<int, DBPicture> pictures;
    return pictures;
}
} // namespace

namespace Internal {
void clearPictureCache()
{
    cache().clear();
}
} // namespace Internal

const DBPicture& DBPictObj(int kind)
{
    auto it = cache().constFind(kind);
    if (it != cache().constEnd())
        return *it;

    QSqlQuery query(sharedDatabase());
    query.setForwardOnly(true);
    if (!query.prepare(QStringLiteral("SELECT DSPICTURE FROM PICTURE WHERE TPPICTURE = ?")))
        throw Exception(QStringLiteral("Falha ao preparar a leitura da máscara: %1").arg(query.lastError().text()));
    query.addBindValue(kind);
    if (!query.exec())
        throw Exception(
            QStringLiteral("Falha ao ler a máscara do tipo %1: %2").arg(kind).arg(query.lastError().text()));
    if (!query.next())
        throw Exception(QStringLiteral("Máscara do tipo %1 não cadastrada.").arg(kind));
    return *cache().insert(kind, DBPicture(query.value(0).toString()));
}

QString DBPict(int kind)
{
    return DBPictObj(kind).picture();
}

} // namespace mrv
