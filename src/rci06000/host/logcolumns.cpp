// The integration log's columns, as both screens hold them.
#include "logcolumns.h"

#include <dataset.h>
#include <logpacket.h>

namespace rci06000 {

void addLogColumns(mrv::TDataSet* dataSet)
{
    for (const suite::wire::StringColumn& column : suite::wire::logColumns())
        dataSet->addField(QLatin1String(column.name), mrv::FieldType::String, column.size);
}

} // namespace rci06000
