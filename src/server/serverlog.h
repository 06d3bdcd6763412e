// Logging category of the server library.
#pragma once

#include <QLoggingCategory>

namespace suite::server {
Q_DECLARE_LOGGING_CATEGORY(lcServer)
}
