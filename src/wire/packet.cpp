// The data packet of the wire protocol.
#include "packet.h"
#include "jsoncursor.h"

#include <QDate>
#include <QJsonArray>
#include <QJsonDocument>

#include <cmath>

#include <utility>

namespace suite::wire {

QString columnTypeName(ColumnType type)
{
    switch (type) {
    case ColumnType::Integer:
        return QStringLiteral("integer");
    case ColumnType::Float:
        return QStringLiteral("float");
    case ColumnType::Date:
        return QStringLiteral("date");
    case ColumnType::String:
        break;
    }
    return QStringLiteral("string");
}

ColumnType columnTypeFromName(const QString& name)
{
    if (name.compare(QLatin1String("integer"), Qt::CaseInsensitive) == 0)
        return ColumnType::Integer;
    if (name.compare(QLatin1String("float"), Qt::CaseInsensitive) == 0)
        return ColumnType::Float;
    if (name.compare(QLatin1String("date"), Qt::CaseInsensitive) == 0)
        return ColumnType::Date;
    return ColumnType::String;
}

QJsonValue cellToJson(const QVariant& value, ColumnType type)
{
    if (!value.isValid() || value.isNull())
        return QJsonValue::Null;
    switch (type) {
    case ColumnType::String:
        return value.toString();
    case ColumnType::Integer:
        return value.toLongLong();
    case ColumnType::Float:
        return value.toDouble();
    case ColumnType::Date: {
        const QDate date = value.toDate();
        return date.isValid() ? QJsonValue(date.toString(Qt::ISODate)) : QJsonValue(QJsonValue::Null);
    }
    }
    return QJsonValue::Null;
}

namespace {

// Converting a double outside qint64's range to qint64 is undefined; JSON numbers can be anything up to 1e308.
bool fitsInteger(double d)
{
    return d >= -9223372036854775808.0 && d < 9223372036854775808.0;
}

} // namespace

QVariant cellFromJson(const QJsonValue& value, ColumnType type)
{
    if (value.isNull() || value.isUndefined())
        return {};
    switch (type) {
    case ColumnType::String:
        if (value.isDouble()) {
            // A code sent as a number still reads as the text it stands for: no exponent, no ".0".
            const double d = value.toDouble();
            return fitsInteger(d) && d == std::trunc(d) ? QString::number(qint64(d)) : QString::number(d, 'g', 15);
        }
        return value.toVariant().toString();
    case ColumnType::Integer:
        if (value.isDouble())
            return fitsInteger(value.toDouble()) ? QVariant(qint64(value.toDouble())) : QVariant();
        return value.toVariant();
    case ColumnType::Float:
        return value.isDouble() ? QVariant(value.toDouble()) : value.toVariant();
    case ColumnType::Date: {
        const QDate date = QDate::fromString(value.toString().left(10), Qt::ISODate);
        return date.isValid() ? QVariant(date) : QVariant();
    }
    }
    return {};
}

Packet Packet::ofStrings(std::initializer_list<std::pair<const char*, int>> columns)
{
    QList<Column> list;
    list.reserve(qsizetype(columns.size()));
    for (const auto& [name, size] : columns)
        list.append({QString::fromLatin1(name), ColumnType::String, size});
    return Packet(std::move(list));
}

int Packet::columnIndex(const QString& name) const
{
    for (int i = 0; i < m_columns.size(); ++i) {
        if (m_columns.at(i).name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

void Packet::addRow(QVariantList row)
{
    Q_ASSERT(row.size() == m_columns.size());
    m_rows.append(std::move(row));
}

QJsonObject Packet::toJson() const
{
    QJsonArray columns;
    for (const Column& c : m_columns)
        columns.append(QJsonObject{{QStringLiteral("name"), c.name},
                                   {QStringLiteral("type"), columnTypeName(c.type)},
                                   {QStringLiteral("size"), c.size}});
    QJsonArray rows;
    for (const QVariantList& row : m_rows) {
        QJsonArray cells;
        for (qsizetype i = 0; i < m_columns.size(); ++i)
            cells.append(cellToJson(row.value(i), m_columns.at(i).type));
        rows.append(cells);
    }
    return {{QStringLiteral("columns"), columns}, {QStringLiteral("rows"), rows}};
}

std::optional<Packet> Packet::fromJson(const QJsonValue& value, Problem* problem)
{
    const auto refuse = [problem](Problem why) {
        if (problem)
            *problem = why;
        return std::nullopt;
    };
    const QJsonObject object = value.toObject();
    const QJsonValue columnsValue = object.value(QLatin1String("columns"));
    const QJsonValue rowsValue = object.value(QLatin1String("rows"));
    if (!value.isObject() || !columnsValue.isArray() || !rowsValue.isArray())
        return refuse(Problem::NotAPacket);

    Packet packet;
    const QJsonArray columns = columnsValue.toArray();
    packet.m_columns.reserve(columns.size());
    for (const QJsonValue& c : columns) {
        const QJsonObject column = c.toObject();
        const QString name = column.value(QLatin1String("name")).toString();
        if (name.isEmpty())
            return refuse(Problem::UnnamedColumn);
        packet.m_columns.append({name, columnTypeFromName(column.value(QLatin1String("type")).toString()),
                                 column.value(QLatin1String("size")).toInt()});
    }
    const QJsonArray rows = rowsValue.toArray();
    packet.m_rows.reserve(rows.size());
    for (const QJsonValue& r : rows) {
        const QJsonArray cells = r.toArray();
        if (!r.isArray() || cells.size() != packet.m_columns.size())
            return refuse(Problem::RaggedRow);
        QVariantList row;
        row.reserve(cells.size());
        for (qsizetype c = 0; c < cells.size(); ++c) {
            const QJsonValue cell = cells.at(c);
            if (cell.isArray() || cell.isObject())
                return refuse(Problem::NestedCell);
            if (cell.isDouble() && packet.m_columns.at(c).type == ColumnType::Integer && !fitsInteger(cell.toDouble()))
                return refuse(Problem::IntegerOutOfRange);
            row.append(cellFromJson(cell, packet.m_columns.at(c).type));
        }
        packet.m_rows.append(std::move(row));
    }
    return packet;
}

namespace {

// Ends a row-by-row read at its first problem.
struct Refusal {
    Packet::Problem why;
};

std::optional<Column> columnOf(QByteArrayView text)
{
    // A column is small: read it as Qt reads any object, so that it means what fromJson makes of it.
    const QJsonObject column =
        QJsonDocument::fromJson(QByteArray("[") + text.toByteArray() + QByteArray("]")).array().at(0).toObject();
    const QString name = column.value(QLatin1String("name")).toString();
    if (name.isEmpty())
        return std::nullopt;
    return Column{name, columnTypeFromName(column.value(QLatin1String("type")).toString()),
                  column.value(QLatin1String("size")).toInt()};
}

} // namespace

bool Packet::readRows(QByteArrayView text, QList<Column>& columns, const RowSink& onRow, Problem* problem)
{
    const auto refuse = [problem](Problem why) {
        if (problem)
            *problem = why;
        return false;
    };
    JsonCursor packet(text);
    if (packet.peek() != '{')
        return refuse(Problem::NotAPacket);
    QByteArrayView columnsText;
    QByteArrayView rowsText;
    packet.forEachMember([&](const QString& key) {
        const QByteArrayView value = packet.skipValue();
        if (key == QLatin1String("columns"))
            columnsText = value;
        else if (key == QLatin1String("rows"))
            rowsText = value;
    });
    if (!columnsText.startsWith('[') || !rowsText.startsWith('['))
        return refuse(Problem::NotAPacket);

    try {
        columns.clear();
        JsonCursor columnList(columnsText);
        columnList.forEachElement([&] {
            const std::optional<Column> column = columnOf(columnList.skipValue());
            if (!column)
                throw Refusal{Problem::UnnamedColumn};
            columns.append(*column);
        });
        JsonCursor rows(rowsText);
        QVariantList cells;
        cells.reserve(columns.size());
        rows.forEachElement([&] {
            if (rows.peek() != '[')
                throw Refusal{Problem::RaggedRow};
            cells.clear();
            rows.forEachElement([&] {
                if (cells.size() == columns.size())
                    throw Refusal{Problem::RaggedRow};
                const char next = rows.peek();
                if (next == '[' || next == '{')
                    throw Refusal{Problem::NestedCell};
                const QJsonValue cell = rows.readScalar();
                const ColumnType type = columns.at(cells.size()).type;
                if (cell.isDouble() && type == ColumnType::Integer && !fitsInteger(cell.toDouble()))
                    throw Refusal{Problem::IntegerOutOfRange};
                cells.append(cellFromJson(cell, type));
            });
            if (cells.size() != columns.size())
                throw Refusal{Problem::RaggedRow};
            onRow(cells);
        });
    } catch (const Refusal& refusal) {
        return refuse(refusal.why);
    }
    return true;
}

std::optional<Packet> Packet::fromJsonText(QByteArrayView text, Problem* problem)
{
    Packet packet;
    if (!readRows(text, packet.m_columns, [&packet](const QVariantList& cells) { packet.m_rows.append(cells); },
                  problem))
        return std::nullopt;
    return packet;
}

} // namespace suite::wire
