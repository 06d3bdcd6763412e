// A period of menu dates as the methods take it; either end may be open.
#pragma once

#include <QDate>
#include <optional>

namespace suite::server {

struct Period {
    std::optional<QDate> start;
    std::optional<QDate> end;

    // Throws ServiceError when the start comes after the end.
    static Period ordered(std::optional<QDate> start, std::optional<QDate> end);
};

} // namespace suite::server
