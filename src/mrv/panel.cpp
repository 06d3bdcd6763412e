#include "panel.h"

namespace mrv {

TPanel::TPanel(QWidget* parent, Bevel bevel)
    : QFrame(parent)
{
    setBevel(bevel);
}

void TPanel::setBevel(Bevel bevel)
{
    switch (bevel) {
    case bvNone:
        setFrameStyle(QFrame::NoFrame);
        break;
    case bvLowered:
        setFrameStyle(QFrame::Panel | QFrame::Sunken);
        break;
    case bvRaised:
        setFrameStyle(QFrame::Panel | QFrame::Raised);
        break;
    }
}

} // namespace mrv
