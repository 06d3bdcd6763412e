// Logging category of the desktop host.
#include "hostlog.h"

namespace suite::host {
Q_LOGGING_CATEGORY(lcHost, "suite.host")
}
