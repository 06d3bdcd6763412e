#include "mrvlogging.h"

Q_LOGGING_CATEGORY(lcMrv, "suite.mrv")
