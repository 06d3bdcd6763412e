// Small helpers shared by the kit's tests: reading a failure's message, walking a column.
#pragma once

#include "dataset.h"
#include "errors.h"

#include <QStringList>
#include <functional>

namespace kittest {

// The message of the mrv::Exception that op raises, or empty when it completes.
inline QString failureOf(const std::function<void()>& op)
{
    try {
        op();
    } catch (const mrv::Exception& e) {
        return e.message();
    }
    return {};
}

// Every value of one field, first row to last.
inline QStringList column(mrv::TDataSet& ds, const char* field)
{
    QStringList values;
    for (ds.First(); !ds.Eof(); ds.Next())
        values << ds.FieldByName(field)->AsString();
    return values;
}

} // namespace kittest
