// The integration service's methods as the screens call them.
#include "intgcentralcalls.h"

#include <netconnection.h>

namespace rci06000 {

QJsonObject GetGrupFili(mrv::TNetConnection* connection)
{
    // The service takes a filter text this screen always leaves empty.
    return connection->call(QStringLiteral("GetGrupFili"), {QString()});
}

QJsonObject GetFiliGrup(mrv::TNetConnection* connection, const QString& grouping, const QString& source)
{
    return connection->call(QStringLiteral("GetFiliGrup"), {grouping, source});
}

} // namespace rci06000
