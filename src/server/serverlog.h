// Logging category of the server library.
#pragma once

#include <QLoggingCategory>

namespace suite::server {
Q_DECLARE_LOGGING_CATEGORY(lcServer)
Q_DECLARE_LOGGING_CATEGORY(lcServerSql)   // statement timings, off unless enabled by QT_LOGGING_RULES
}
