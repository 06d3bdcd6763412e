// GetPesqPrato: the top-level dishes of the chosen trees found on the source's menus and/or menu cycles.
#pragma once

#include "keylist.h"
#include "packet.h"

#include <QDate>
#include <QSqlDatabase>
#include <optional>

namespace suite::server {

struct DishSearchRequest
{
    QString source;
    QString localTree;      // the source code, or "X"
    QString standardTree;   // "P", or "X"
    int levels = 0;
    KeyList services;
    KeyList dishTypes;
    std::optional<QDate> start;
    std::optional<QDate> end;
    KeyList cycles;
    KeyList servicePatterns;
    KeyList cycleDishTypes;
};

class DishSearch
{
public:
    explicit DishSearch(QSqlDatabase db) : m_db(std::move(db)) {}

    static Packet emptyResult();   // the columns of cdsPesqPratoDadoCard
    Packet run(const DishSearchRequest &request) const;

private:
    QSqlDatabase m_db;
};

} // namespace suite::server
