// The integration log packet's columns, as the service sends them and the screens hold them.
#pragma once

#include "packet.h"

#include <QList>

namespace suite::wire {

struct StringColumn {
    const char* name;
    int size;
};

// The thirteen string columns of a log row, in order.
const QList<StringColumn>& logColumns();

// A log packet of those columns, without rows.
Packet logPacket();

} // namespace suite::wire
