#include "groupbox.h"

namespace mrv {

TGroupBox::TGroupBox(const QString& title, QWidget* parent)
    : QGroupBox(title, parent)
{}

void TGroupBox::setBoldCaption(bool bold)
{
    // Only the caption: the box's children keep their own font.
    setStyleSheet(bold ? QStringLiteral("QGroupBox { font-weight: bold; }") : QString());
}

} // namespace mrv
