#include "logging.h"

namespace suite::db {
Q_LOGGING_CATEGORY(lcDb, "suite.db", QtInfoMsg)
}
