// The arguments of IntgCentral, checked before anything is written; bad input is a service error.
#pragma once

#include "dishcode.h"
#include "period.h"

#include <arguments.h>

#include <QList>
#include <QStringList>

namespace suite::server {

struct DishKey {
    QString tree; // "P" or a branch code
    QString code; // digits, as stored in PRATO
};

struct IntegrationRequest {
    QString source;
    QList<DishKey> dishes;    // of the standard tree and of the source's own, each once
    QList<DishKey> elsewhere; // of other branches' local trees, each once: observed, never copied
    QString kinds;
    bool local = false;
    bool perService = false;
    QStringList destinations; // codes of the rows marked "S", each once
    Period menu;

    // The dishes the run copies, each once in the order sent ("P0101001_00010101901_"): what its record keeps.
    QString usedDishList() const;

    // IntgCentral(source, dish list, kinds, destination packet, menu start, menu end): dates are dd/mm/yyyy or "".
    // Every dish key ends in a dish code of dishCodeLength digits.
    static IntegrationRequest parse(const wire::Arguments& args, int dishCodeLength = kStandardDishCodeLength);
};

} // namespace suite::server
