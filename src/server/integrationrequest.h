// The arguments of IntgCentral, checked before anything is written; bad input is a service error.
#pragma once

#include "dishcode.h"
#include "period.h"

#include <arguments.h>

#include <sqlrunner.h>

#include <QList>
#include <QStringList>

#include <limits>

namespace suite::server {

struct DishKey {
    QString tree; // "P" or a branch code
    QString code; // digits, as stored in PRATO
};

// What the database holds, and so the most a run's request may name.
struct IntegrationLimits {
    static constexpr qint64 kNone = std::numeric_limits<qint64>::max();
    qint64 dishes = kNone;    // of the standard tree and the source's own
    qint64 elsewhere = kNone; // of other branches' local trees
    qint64 branches = kNone;  // destinations, and rows of the destination packet

    static IntegrationLimits of(const db::SqlRunner& sql, const QString& source);

    // Each throws a service error when a count passes its limit.
    void requireDishes(qsizetype dishes, qsizetype elsewhere) const;
    void requireDestinations(qsizetype marked) const;
    void requireRows(qsizetype rows) const;
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
    // Every dish key ends in a dish code of dishCodeLength digits. Reading stops at the first key or row past
    // `limits`, a service error.
    static IntegrationRequest parse(const wire::Arguments& args, int dishCodeLength = kStandardDishCodeLength,
                                    const IntegrationLimits& limits = {});
};

inline void requireWithin(const IntegrationLimits& limits, const IntegrationRequest& request)
{
    limits.requireDishes(request.dishes.size(), request.elsewhere.size());
    limits.requireDestinations(request.destinations.size());
}

} // namespace suite::server
