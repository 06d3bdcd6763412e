// Shows the hourglass for the life of the guard.
#pragma once

namespace mrv {

class CursorGuard {
public:
    CursorGuard();
    ~CursorGuard();
    CursorGuard(const CursorGuard&) = delete;
    CursorGuard& operator=(const CursorGuard&) = delete;
};

} // namespace mrv
