// Conversions between field values and the wire format of data packets.
#pragma once

#include "field.h"

#include <QJsonValue>

namespace mrv {

// PACKET = {"columns":[{"name","type","size"}],"rows":[[...],...]}; dates "yyyy-MM-dd", empty = null.
namespace DataPacket {
QJsonValue toJson(const QVariant& value, FieldType type);
QVariant fromJson(const QJsonValue& value, FieldType type);
// Any call argument: QString -> string, integers -> number, QDate -> "yyyy-MM-dd" or null,
// QJsonObject -> object, QStringList -> array of strings.
QJsonValue argumentToJson(const QVariant& value);
} // namespace DataPacket

} // namespace mrv
