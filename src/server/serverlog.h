// Logging category of the server library, and what makes caller-given text safe in a log line.
#pragma once

#include <QLoggingCategory>
#include <QString>

namespace suite::server {
Q_DECLARE_LOGGING_CATEGORY(lcServer)

// `text` with control, format and line-separator characters written as \n, \t, \x1b, \u2028, and "\" as "\\",
// so that a name sent by a caller can neither end a log line nor pass for another one.
QString printable(QStringView text);
} // namespace suite::server
