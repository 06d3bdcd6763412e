#include "logging.h"

namespace suite::db {
Q_LOGGING_CATEGORY(lcDb, "suite.db", QtInfoMsg)
Q_LOGGING_CATEGORY(lcDbSql, "suite.db.sql", QtInfoMsg)
} // namespace suite::db
