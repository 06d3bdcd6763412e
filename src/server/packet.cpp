#include "packet.h"

#include <QDate>
#include <QJsonArray>

namespace suite::server {

Packet Packet::ofStrings(std::initializer_list<std::pair<const char *, int>> columns)
{
    QList<PacketColumn> list;
    for (const auto &[name, size] : columns)
        list.append({QString::fromLatin1(name), QStringLiteral("string"), size});
    return Packet(list);
}

int Packet::columnIndex(const QString &name) const
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

static QJsonValue cellToJson(const QVariant &value, const QString &type)
{
    if (value.isNull() || !value.isValid())
        return QJsonValue::Null;
    if (type == QLatin1String("integer"))
        return value.toLongLong();
    if (type == QLatin1String("float"))
        return value.toDouble();
    if (type == QLatin1String("date"))
        return value.toDate().toString(Qt::ISODate);
    return value.toString();
}

QJsonObject Packet::toJson() const
{
    QJsonArray columns;
    for (const PacketColumn &c : m_columns)
        columns.append(QJsonObject{{"name", c.name}, {"type", c.type}, {"size", c.size}});
    QJsonArray rows;
    for (const QVariantList &row : m_rows) {
        QJsonArray cells;
        for (int i = 0; i < row.size(); ++i)
            cells.append(cellToJson(row.at(i), m_columns.at(i).type));
        rows.append(cells);
    }
    return QJsonObject{{"columns", columns}, {"rows", rows}};
}

std::optional<Packet> Packet::fromJson(const QJsonValue &value)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    if (!object.value("columns").isArray() || !object.value("rows").isArray())
        return std::nullopt;

    Packet packet;
    for (const QJsonValue &c : object.value("columns").toArray()) {
        const QJsonObject column = c.toObject();
        if (!c.isObject() || !column.value("name").isString() || column.value("name").toString().isEmpty())
            return std::nullopt;
        packet.m_columns.append({column.value("name").toString(),
                                 column.value("type").toString(QStringLiteral("string")),
                                 column.value("size").toInt()});
    }
    for (const QJsonValue &r : object.value("rows").toArray()) {
        const QJsonArray cells = r.toArray();
        if (!r.isArray() || cells.size() != packet.m_columns.size())
            return std::nullopt;
        QVariantList row;
        for (const QJsonValue &cell : cells) {
            if (cell.isArray() || cell.isObject())
                return std::nullopt;
            row.append(cell.isNull() ? QVariant() : cell.toVariant());
        }
        packet.m_rows.append(row);
    }
    return packet;
}

} // namespace suite::server
