// Values to and from the JSON of data packets and call arguments.
#include "datapacket.h"

#include <QDate>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>

namespace mrv::DataPacket {

QJsonValue toJson(const QVariant& value, FieldType type)
{
    if (!value.isValid() || value.isNull())
        return QJsonValue::Null;
    switch (type) {
    case FieldType::String:
        return value.toString();
    case FieldType::Integer:
        return value.toLongLong();
    case FieldType::Float:
        return value.toDouble();
    case FieldType::Date: {
        const QDate date = value.toDate();
        return date.isValid() ? QJsonValue(date.toString(Qt::ISODate)) : QJsonValue(QJsonValue::Null);
    }
    }
    return QJsonValue::Null;
}

QVariant fromJson(const QJsonValue& value, FieldType type)
{
    if (value.isNull() || value.isUndefined())
        return {};
    switch (type) {
    case FieldType::String:
        if (value.isDouble()) {
            const double d = value.toDouble();
            return d == double(qint64(d)) ? QString::number(qint64(d)) : QString::number(d, 'g', 15);
        }
        return value.toVariant().toString();
    case FieldType::Integer:
        return value.isDouble() ? QVariant(qint64(value.toDouble())) : value.toVariant();
    case FieldType::Float:
        return value.isDouble() ? QVariant(value.toDouble()) : value.toVariant();
    case FieldType::Date: {
        const QDate date = QDate::fromString(value.toString().left(10), Qt::ISODate);
        return date.isValid() ? QVariant(date) : QVariant();
    }
    }
    return {};
}

QJsonValue argumentToJson(const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return QJsonValue::Null;
    switch (value.metaType().id()) {
    case QMetaType::QString:
        return value.toString();
    case QMetaType::Bool:
        return value.toBool();
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return value.toLongLong();
    case QMetaType::Double:
    case QMetaType::Float:
        return value.toDouble();
    case QMetaType::QDate: {
        const QDate date = value.toDate();
        return date.isValid() ? QJsonValue(date.toString(Qt::ISODate)) : QJsonValue(QJsonValue::Null);
    }
    case QMetaType::QDateTime: {
        const QDate date = value.toDateTime().date();
        return date.isValid() ? QJsonValue(date.toString(Qt::ISODate)) : QJsonValue(QJsonValue::Null);
    }
    case QMetaType::QJsonObject:
        return value.toJsonObject();
    case QMetaType::QJsonArray:
        return value.toJsonArray();
    case QMetaType::QJsonValue:
        return value.toJsonValue();
    case QMetaType::QStringList:
        return QJsonArray::fromStringList(value.toStringList());
    case QMetaType::QVariantList: {
        QJsonArray array;
        for (const QVariant& item : value.toList())
            array.append(argumentToJson(item));
        return array;
    }
    case QMetaType::QVariantMap: {
        QJsonObject object;
        const QVariantMap map = value.toMap();
        for (auto it = map.begin(); it != map.end(); ++it)
            object.insert(it.key(), argumentToJson(it.value()));
        return object;
    }
    default:
        return value.toString();
    }
}

} // namespace mrv::DataPacket
