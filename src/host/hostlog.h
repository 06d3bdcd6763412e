// Logging category of the desktop host.
#pragma once

#include <QLoggingCategory>

namespace suite::host {
Q_DECLARE_LOGGING_CATEGORY(lcHost)
}
