// The arguments of a remote call.
#include "arguments.h"

#include <QJsonObject>

#include <cmath>

namespace suite::wire {

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
    case QMetaType::QDate:
        return cellToJson(value, ColumnType::Date);
    case QMetaType::QDateTime:
        return cellToJson(value.toDateTime().date(), ColumnType::Date);
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

void Arguments::expectCount(int count) const
{
    if (m_args.size() != count)
        throw ArgumentError(
            QStringLiteral("%1 expects %2 arguments, got %3").arg(m_method).arg(count).arg(m_args.size()));
}

void Arguments::wrongKind(int index, const char* expected) const
{
    throw ArgumentError(
        QStringLiteral("%1: argument %2 must be %3").arg(m_method).arg(index + 1).arg(QLatin1String(expected)));
}

QString Arguments::text(int index) const
{
    const QJsonValue v = m_args.at(index);
    if (!v.isString())
        wrongKind(index, "a string");
    return v.toString();
}

int Arguments::integer(int index) const
{
    const QJsonValue v = m_args.at(index);
    const double d = v.toDouble();
    if (!v.isDouble() || std::floor(d) != d || std::fabs(d) > 1e9)
        wrongKind(index, "an integer");
    return static_cast<int>(d);
}

std::optional<QDate> Arguments::date(int index) const
{
    const QJsonValue v = m_args.at(index);
    if (v.isNull())
        return std::nullopt;
    const QDate d = v.isString() ? QDate::fromString(v.toString(), QStringLiteral("yyyy-MM-dd")) : QDate();
    if (!d.isValid())
        wrongKind(index, "a date \"yyyy-MM-dd\" or null");
    return d;
}

std::optional<Packet> Arguments::packet(int index) const
{
    const QJsonValue v = m_args.at(index);
    if (!v.isObject())
        wrongKind(index, "a data packet");
    return Packet::fromJson(v);
}

} // namespace suite::wire
