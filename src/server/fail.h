// Set-up errors (keys, certificates, settings) end the start with a message for the operator who has to read it.
#pragma once

#include <QString>

#include <stdexcept>

namespace suite::server {

[[noreturn]] inline void fail(const QString& message)
{
    throw std::runtime_error(message.toStdString());
}

} // namespace suite::server
