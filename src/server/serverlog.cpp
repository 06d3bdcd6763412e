#include "serverlog.h"

namespace suite::server {
Q_LOGGING_CATEGORY(lcServer, "suite.server")
}
