// The data packet of the wire protocol: typed columns and rows, read from and written to JSON the same way by the
// server and the desktop.
#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QVariant>

#include <functional>
#include <optional>

namespace suite::wire {

enum class ColumnType { String, Integer, Float, Date };

/// "string", "integer", "float" or "date".
QString columnTypeName(ColumnType type);
/// The type of such a name, without regard to case; String for any other name.
ColumnType columnTypeFromName(const QString& name);

struct Column {
    QString name;
    ColumnType type = ColumnType::String;
    int size = 0;
};

/// {"columns":[{"name","type","size"}],"rows":[[...],...]}; dates as "yyyy-MM-dd", an empty cell as null.
/// Cells are held as the column's type reads them: QString, qint64, double or QDate; null as an invalid QVariant.
class Packet {
public:
    /// Why a JSON value is not a packet.
    enum class Problem { NotAPacket, UnnamedColumn, RaggedRow, NestedCell, IntegerOutOfRange };

    Packet() = default;
    explicit Packet(QList<Column> columns)
        : m_columns(std::move(columns))
    {}

    /// A packet of string columns, each given as {name, size}.
    static Packet ofStrings(std::initializer_list<std::pair<const char*, int>> columns);

    const QList<Column>& columns() const { return m_columns; }
    const QList<QVariantList>& rows() const { return m_rows; }
    /// The rows, leaving the packet without any.
    QList<QVariantList> takeRows() { return std::exchange(m_rows, {}); }
    /// Case-insensitive; -1 when missing.
    int columnIndex(const QString& name) const;

    /// A row of one value per column.
    void addRow(QVariantList row);
    /// Rows as a data set holds them; a short row sends null for its missing cells.
    void setRows(QList<QVariantList> rows) { m_rows = std::move(rows); }

    QJsonObject toJson() const;
    /// Reads a packet; nullopt (and why, when `problem` is given) when the value does not have a packet's shape.
    static std::optional<Packet> fromJson(const QJsonValue& value, Problem* problem = nullptr);

    /// Takes one row's cells, as the columns read them; throws to stop reading.
    using RowSink = std::function<void(const QVariantList& cells)>;
    /// Reads a packet's JSON text a row at a time, never holding the whole of it, so that a caller keeps only what
    /// it needs and can stop at the first row too many. `columns` is set before the first row. False (and why) when
    /// the text is not a packet; text that is not JSON throws JsonTextError.
    static bool readRows(QByteArrayView text, QList<Column>& columns, const RowSink& onRow,
                         Problem* problem = nullptr);
    /// The packet of a JSON text, as fromJson reads its value.
    static std::optional<Packet> fromJsonText(QByteArrayView text, Problem* problem = nullptr);

private:
    QList<Column> m_columns;
    QList<QVariantList> m_rows;
};

/// One cell as a column of `type` sends it, and back.
QJsonValue cellToJson(const QVariant& value, ColumnType type);
QVariant cellFromJson(const QJsonValue& value, ColumnType type);

} // namespace suite::wire
