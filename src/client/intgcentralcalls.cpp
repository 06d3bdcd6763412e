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

QJsonObject GetPesqPrato(mrv::TNetConnection* connection, const PesqPratoArgs& a)
{
    return connection->call(QStringLiteral("GetPesqPrato"),
                            {a.source, a.localTree, a.standardTree, a.levels, a.services, a.dishTypes, a.start, a.end,
                             a.cycles, a.servicePatterns, a.cycleDishTypes});
}

QJsonObject IntgCentral(mrv::TNetConnection* connection, const QString& source, const QString& dishes,
                        const QString& kinds, const QJsonObject& destinations, const QString& start, const QString& end)
{
    return connection->call(QStringLiteral("IntgCentral"), {source, dishes, kinds, destinations, start, end});
}

QJsonObject IntgCentralPreview(mrv::TNetConnection* connection, const QString& source, const QString& dishes,
                               const QString& kinds, const QJsonObject& destinations, const QString& start,
                               const QString& end)
{
    return connection->call(QStringLiteral("IntgCentralPreview"), {source, dishes, kinds, destinations, start, end});
}

QJsonObject ListIntg(mrv::TNetConnection* connection)
{
    return connection->call(QStringLiteral("ListIntg"), {});
}

QJsonObject GetIntgLog(mrv::TNetConnection* connection, qint64 run)
{
    return connection->call(QStringLiteral("GetIntgLog"), {run});
}

QJsonObject UndoIntg(mrv::TNetConnection* connection, qint64 run)
{
    return connection->call(QStringLiteral("UndoIntg"), {run});
}

} // namespace rci06000
