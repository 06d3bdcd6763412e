#include "period.h"
#include "servererrors.h"

namespace suite::server {

Period Period::ordered(std::optional<QDate> start, std::optional<QDate> end)
{
    if (start && end && *start > *end)
        throw ServiceError(QStringLiteral("Data inicial maior que a data final."));
    return {start, end};
}

} // namespace suite::server
