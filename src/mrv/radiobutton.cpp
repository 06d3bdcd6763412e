#include "radiobutton.h"

namespace mrv {

TRadioButton::TRadioButton(const QString& text, QWidget* parent)
    : QRadioButton(text, parent)
{
    // Unselected, it takes the focus by click and by the arrows, not by Tab.
    setFocusPolicy(Qt::ClickFocus);
    connect(this, &QAbstractButton::toggled, this,
            [this](bool checked) { setFocusPolicy(checked ? Qt::StrongFocus : Qt::ClickFocus); });
}

} // namespace mrv
