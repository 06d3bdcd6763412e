#include "radiobutton.h"

namespace mrv {

TRadioButton::TRadioButton(const QString& text, QWidget* parent)
    : QRadioButton(text, parent)
{
}

} // namespace mrv
