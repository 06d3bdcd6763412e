// The integration log's columns, as both screens hold them.
#pragma once

namespace mrv {
class TDataSet;
}

namespace rci06000 {

// The thirteen string columns of the service's log packet, in its order and widths.
void addLogColumns(mrv::TDataSet* dataSet);

} // namespace rci06000
