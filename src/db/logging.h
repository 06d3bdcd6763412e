// Logging categories of suitedb.
#pragma once

#include <QLoggingCategory>

namespace suite::db {
Q_DECLARE_LOGGING_CATEGORY(lcDb)
Q_DECLARE_LOGGING_CATEGORY(lcDbSql) // statement timings, off unless enabled by QT_LOGGING_RULES
} // namespace suite::db
