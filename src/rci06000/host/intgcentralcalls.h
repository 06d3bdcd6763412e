// The integration service's methods as the screens call them: their argument lists in one place.
#pragma once

#include <QJsonObject>
#include <QString>

namespace mrv {
class TNetConnection;
}

namespace rci06000 {

// Each returns the service's whole answer, for CheckResultServ.
QJsonObject GetGrupFili(mrv::TNetConnection* connection);
// grouping: a grouping code, or "T" for every branch.
QJsonObject GetFiliGrup(mrv::TNetConnection* connection, const QString& grouping, const QString& source);

} // namespace rci06000
