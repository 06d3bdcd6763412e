// The arguments of IntgCentral, checked before anything is written; bad input is a service error.
#pragma once

#include "period.h"

#include <arguments.h>

#include <QList>
#include <QStringList>

namespace suite::server {

struct DishKey {
    QString tree; // "P" or the source branch code
    QString code; // digits, as stored in PRATO
};

struct IntegrationRequest {
    QString source;
    QString dishListText;
    QList<DishKey> dishes; // each once
    QString kinds;
    bool local = false;
    bool perService = false;
    QStringList destinations; // codes of the rows marked "S", each once
    Period menu;

    // IntgCentral(source, dish list, kinds, destination packet, menu start, menu end): dates are dd/mm/yyyy or "".
    static IntegrationRequest parse(const wire::Arguments& args);
};

} // namespace suite::server
