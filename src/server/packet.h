// A data packet: typed columns and rows, as the wire protocol carries them.
#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QVariant>
#include <optional>

namespace suite::server {

struct PacketColumn
{
    QString name;
    QString type;   // "string", "integer", "float" or "date"
    int size = 0;
};

class Packet
{
public:
    Packet() = default;
    explicit Packet(QList<PacketColumn> columns) : m_columns(std::move(columns)) {}

    // A packet of string columns, each given as {name, size}.
    static Packet ofStrings(std::initializer_list<std::pair<const char *, int>> columns);

    const QList<PacketColumn> &columns() const { return m_columns; }
    const QList<QVariantList> &rows() const { return m_rows; }
    int columnIndex(const QString &name) const;   // case-insensitive, -1 when missing

    void addRow(QVariantList row);
    QJsonObject toJson() const;

    // Reads a packet sent by a client; nullopt when its shape is not a packet.
    static std::optional<Packet> fromJson(const QJsonValue &value);

private:
    QList<PacketColumn> m_columns;
    QList<QVariantList> m_rows;
};

} // namespace suite::server
