// The kit's two kinds of failure.
#pragma once

#include <QString>
#include <exception>
#include <stdexcept>

namespace mrv {

// Ends the running operation silently; the user has already been told why.
class EAbort : public std::exception {
public:
    const char* what() const noexcept override;
};

// Any other failure: its Portuguese message reaches the host's exception handler.
class Exception : public std::runtime_error {
public:
    explicit Exception(const QString& message);
    QString message() const;
};

} // namespace mrv
