// The one exception type of suitedb: a database step that failed, with its purpose.
#pragma once

#include <QString>
#include <stdexcept>

namespace suite::db {

/// Raised by every suitedb function; what() says which step failed and why.
class DbError : public std::runtime_error
{
public:
    explicit DbError(const QString& message) : std::runtime_error(message.toStdString()) {}
    QString message() const { return QString::fromStdString(what()); }
};

} // namespace suite::db
