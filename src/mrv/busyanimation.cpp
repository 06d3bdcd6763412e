#include "busyanimation.h"

#include "busy.h"
#include "hostservices.h"

namespace mrv {

BusyAnimation::BusyAnimation(int kind, const QString& text)
{
    ActiveShowAvi(hostServices()->mainWindow(), kind, text);
}

BusyAnimation::~BusyAnimation()
{
    DeactiveShowAvi();
}

} // namespace mrv
