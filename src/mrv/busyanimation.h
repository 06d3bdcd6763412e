// Runs the host's busy animation for the life of the guard.
#pragma once

#include <QString>

namespace mrv {

class BusyAnimation {
public:
    explicit BusyAnimation(int kind, const QString& text = {});
    ~BusyAnimation();
    BusyAnimation(const BusyAnimation&) = delete;
    BusyAnimation& operator=(const BusyAnimation&) = delete;
};

} // namespace mrv
