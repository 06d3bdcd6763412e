// Failure types of the kit.
#include "errors.h"

namespace mrv {

const char* EAbort::what() const noexcept
{
    return "Operação interrompida";
}

Exception::Exception(const QString& message)
    : std::runtime_error(message.toStdString())
{}

QString Exception::message() const
{
    return QString::fromUtf8(what());
}

ServerError::ServerError(int status, const QString& message)
    : Exception(message)
    , m_status(status)
{}

} // namespace mrv
