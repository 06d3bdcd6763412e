// Logging category of suitedb.
#pragma once

#include <QLoggingCategory>

namespace suite::db {
Q_DECLARE_LOGGING_CATEGORY(lcDb)
}
