// GetPesqPrato: the top-level dishes of the chosen trees found on the source's menus and/or menu cycles.
#pragma once

#include "keylist.h"
#include "period.h"

#include <arguments.h>
#include <packet.h>
#include <sqlrunner.h>

#include <QSqlDatabase>

#include <limits>

namespace suite::server {

struct DishSearchRequest {
    QString source;
    QString localTree;    // the source code, or "X"
    QString standardTree; // "P", or "X"
    int levels = 0;       // 0: the highest level present
    KeyList services;
    KeyList dishTypes;
    Period menu;
    KeyList cycles;
    KeyList servicePatterns;
    KeyList cycleDishTypes;

    // GetPesqPrato(source, local tree, standard tree, level, services, dish types, start, end, cycles,
    // service patterns, cycle dish types).
    // Each list holds at most `maxKeys` keys: reading stops at the first key past them, a service error.
    static DishSearchRequest parse(const wire::Arguments& args,
                                   qsizetype maxKeys = std::numeric_limits<qsizetype>::max());
    // The most keys a list can name: the rows of the largest table the lists are keys of.
    static qsizetype maxKeys(const db::SqlRunner& sql);
};

class DishSearch {
public:
    explicit DishSearch(QSqlDatabase db)
        : m_db(std::move(db))
    {}

    static wire::Packet emptyResult(); // the columns of cdsPesqPratoDadoCard
    wire::Packet run(const DishSearchRequest& request) const;

private:
    QSqlDatabase m_db;
};

} // namespace suite::server
