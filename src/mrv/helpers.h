// Small shared routines every screen of the suite uses.
#pragma once

#include "dbpicture.h"
#include "protocol.h"

#include <QJsonObject>
#include <QString>

namespace mrv {

class TDBGrid;

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

} // namespace mrv
