// The arguments of a remote call.
#include "arguments.h"
#include "jsoncursor.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <limits>

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

Arguments::Arguments(QString method, const QJsonArray& args)
    : m_method(std::move(method))
    , m_text(QJsonDocument(args).toJson(QJsonDocument::Compact))
{
    JsonCursor cursor(m_text);
    cursor.forEachElement([&] { m_args.append(cursor.skipValue()); });
}

QJsonValue Arguments::scalar(int index) const
{
    const QByteArrayView text = m_args.at(index);
    if (text.startsWith('[') || text.startsWith('{'))
        return QJsonValue(QJsonValue::Undefined);
    return scalarOf(text);
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
    const QJsonValue v = scalar(index);
    if (!v.isString())
        wrongKind(index, "a string");
    return v.toString();
}

void Arguments::forEachTextPiece(int index, char separator,
                                 const std::function<bool(const QString& piece, bool last)>& piece) const
{
    const QByteArrayView raw = m_args.at(index);
    if (!raw.startsWith('"'))
        wrongKind(index, "a string");
    // Checked as a whole once (escapes, UTF-8), then cut: a separator byte is never part of an escape or of a
    // character of several bytes.
    JsonCursor(raw).skipValue();
    const QByteArrayView body = raw.sliced(1, raw.size() - 2);
    qsizetype start = 0;
    for (;;) {
        const qsizetype end = body.indexOf(separator, start);
        const bool last = end < 0;
        if (!piece(decodeStringBody(body.sliced(start, (last ? body.size() : end) - start)), last) || last)
            return;
        start = end + 1;
    }
}

QString Arguments::text(int index, qsizetype maxLength) const
{
    if (!m_args.at(index).startsWith('"'))
        wrongKind(index, "a string");
    // An escape ("\u0041") spells a character in at most six bytes: a longer text is refused before it is decoded.
    const bool farTooLong = maxLength < (std::numeric_limits<qsizetype>::max() - 2) / 6 &&
                            m_args.at(index).size() > maxLength * 6 + 2;
    if (farTooLong || text(index).size() > maxLength)
        throw ArgumentError(QStringLiteral("%1: argument %2 holds more than %3 characters")
                                .arg(m_method)
                                .arg(index + 1)
                                .arg(maxLength));
    return text(index);
}

int Arguments::integer(int index) const
{
    const QJsonValue v = scalar(index);
    const double d = v.toDouble();
    if (!v.isDouble() || std::floor(d) != d || std::fabs(d) > 1e9)
        wrongKind(index, "an integer");
    return static_cast<int>(d);
}

std::optional<QDate> Arguments::date(int index) const
{
    const QJsonValue v = scalar(index);
    if (v.isNull())
        return std::nullopt;
    const QDate d = v.isString() ? QDate::fromString(v.toString(), QStringLiteral("yyyy-MM-dd")) : QDate();
    if (!d.isValid())
        wrongKind(index, "a date \"yyyy-MM-dd\" or null");
    return d;
}

std::optional<Packet> Arguments::packet(int index) const
{
    if (!m_args.at(index).startsWith('{'))
        wrongKind(index, "a data packet");
    return Packet::fromJsonText(m_args.at(index));
}

bool Arguments::packetRows(int index, QList<Column>& columns, const Packet::RowSink& onRow) const
{
    if (!m_args.at(index).startsWith('{'))
        wrongKind(index, "a data packet");
    return Packet::readRows(m_args.at(index), columns, onRow);
}

} // namespace suite::wire
