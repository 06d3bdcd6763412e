// The service protocol's small conventions, as every caller of it says them: padded codes, choice lists and a
// service answer's packet.
#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

namespace mrv {

// Trims blanks, then pads with "0" on the left to the width; a longer text is left as it is.
QString Ajusta(const QString& text, int width);

// Choice lists: "key_key_" <-> keys.
QStringList choiceKeys(const QString& list);
QString choiceList(const QStringList& keys);

// The data packet of a service answer ({"result": PACKET} or {"error": {"message"}}).
// A service error throws mrv::Exception with the service's message when raise is set,
// otherwise yields an empty object.
QJsonObject CheckResultServ(const QJsonObject& answer, bool raise = true, int = 0);

} // namespace mrv
