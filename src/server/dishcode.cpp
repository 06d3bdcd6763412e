// The dish code's fixed length, read from the dish-code picture.
#include "dishcode.h"
#include "servererrors.h"

#include <sqlrunner.h>

namespace suite::server {

int dishCodeLength(const db::SqlRunner& sql)
{
    const QVariant picture = sql.value(QStringLiteral("ler a máscara do código de prato"),
                                       QStringLiteral("SELECT DSPICTURE FROM PICTURE WHERE TPPICTURE = 1"));
    int digits = 0;
    // The desktop reads the same picture: its digit positions are the code, the rest separates levels.
    for (const QChar c : picture.toString()) {
        if (c == QLatin1Char('9') || c == QLatin1Char('0'))
            ++digits;
    }
    if (digits == 0)
        throw ServiceError(QStringLiteral("Máscara do código de prato (tipo 1) não cadastrada."));
    return digits;
}

} // namespace suite::server
