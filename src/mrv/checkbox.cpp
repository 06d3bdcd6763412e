#include "checkbox.h"

namespace mrv {

TCheckBox::TCheckBox(const QString& text, QWidget* parent)
    : QCheckBox(text, parent)
{}

} // namespace mrv
