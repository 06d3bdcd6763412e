// Start-up and shut-down steps of one source module of the package.
#include "sourcemodule.h"

#include <utility>

namespace rci06000 {

SourceModule::SourceModule(const char* name, Step startUp, Step shutDown)
    : m_name(name)
    , m_startUp(std::move(startUp))
    , m_shutDown(std::move(shutDown))
{}

void SourceModule::startUp()
{
    if (m_counter++ == 0 && m_startUp)
        m_startUp();
}

void SourceModule::shutDown()
{
    // A shut-down without a matching start-up does nothing.
    if (m_counter == 0)
        return;
    if (--m_counter == 0 && m_shutDown)
        m_shutDown();
}

} // namespace rci06000
