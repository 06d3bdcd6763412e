// The integration log packet's columns.
#include "logpacket.h"

namespace suite::wire {

const QList<StringColumn>& logColumns()
{
    static const QList<StringColumn> columns{
        {"DTINICIAL", 32},  {"DTFINAL", 32},    {"CDFAPRAORIGLOG", 4}, {"CDFILORIGLOGREC", 4}, {"CDFILDESTLOG", 4},
        {"CDPRATOLOG", 10}, {"CDARVPROD", 20},  {"IDNUMEROERRO", 1},   {"NMPRODUTO", 50},      {"NMPRATO", 40},
        {"NMFILIORIG", 30}, {"NMFILIDEST", 30}, {"IDTIPORECELOG", 1},
    };
    return columns;
}

Packet logPacket()
{
    QList<Column> columns;
    columns.reserve(logColumns().size());
    for (const StringColumn& column : logColumns())
        columns.append({QLatin1String(column.name), ColumnType::String, column.size});
    return Packet(std::move(columns));
}

} // namespace suite::wire
