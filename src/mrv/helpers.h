// Small shared routines every screen of the suite uses.
#pragma once

#include "dbpicture.h"

#include <QJsonObject>
#include <QString>

namespace mrv {

class TDBGrid;

// Trims blanks, then pads with "0" on the left to the width; a longer text is left as it is.
QString Ajusta(const QString& text, int width);

// True for an empty text or one of blanks only.
bool EmptyString(const QString& text);

template<class T> T iif(bool condition, const T& a, const T& b)
{
    return condition ? a : b;
}
QString iif(bool condition, const QString& a, const QString& b);

// The branch's name; throws mrv::Exception when the branch is unknown or, with
// checkOperator, when the operator may not use it.
QString ValidaFilial(const QString& code, const QString& operador, bool checkOperator);

// Index of the grid column showing the field, or -1.
int IndiceCol(TDBGrid* grid, const QString& fieldName);

// The data packet of a service answer ({"result": PACKET} or {"error": {"message"}}).
// A service error throws mrv::Exception with the service's message when raise is set,
// otherwise yields an empty object.
QJsonObject CheckResultServ(const QJsonObject& answer, bool raise = true, int = 0);

} // namespace mrv
