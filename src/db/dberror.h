// The one exception type of the database libraries: a database step that failed, with its purpose.
#pragma once

#include <QString>
#include <stdexcept>

namespace suite::db {

/// Raised by every database step; what() says which step failed and why. To the server it is its own failure,
/// never a fault of the caller's request.
class DbError : public std::runtime_error {
public:
    explicit DbError(const QString& message)
        : std::runtime_error(message.toStdString())
    {}
    QString message() const { return QString::fromStdString(what()); }
};

} // namespace suite::db
