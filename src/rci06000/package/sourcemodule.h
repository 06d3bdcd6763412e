// Start-up and shut-down steps of one source module of the package, counted per load.
#pragma once

#include <functional>

namespace rci06000 {

// A step does its work only on the first start-up and on the last shut-down: the
// host may run the package's start-up once per module that requires it.
class SourceModule {
public:
    using Step = std::function<void()>;

    SourceModule(const char* name, Step startUp = {}, Step shutDown = {});

    const char* name() const { return m_name; }
    void startUp();
    void shutDown();
    int counter() const { return m_counter; }

private:
    const char* m_name;
    Step m_startUp;
    Step m_shutDown;
    int m_counter = 0;
};

} // namespace rci06000
