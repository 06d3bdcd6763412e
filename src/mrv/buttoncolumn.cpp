// The button column's width from its texts, in the screen's own font and style.
#include "buttoncolumn.h"

#include <QLabel>
#include <QStyle>
#include <QToolButton>

namespace mrv {

namespace {

// The flat buttons' own margins around a text.
constexpr int kTextMargin = 8;

int neededWidth(QWidget* widget)
{
    if (auto* button = qobject_cast<QToolButton*>(widget)) {
        const int text = button->fontMetrics().horizontalAdvance(button->text());
        if (button->menu() && button->popupMode() == QToolButton::InstantPopup)
            // The text is centred and the arrow sits in the bottom-right corner: the text clears it
            // with the arrow's width on both sides.
            return text + 2 * button->style()->pixelMetric(QStyle::PM_MenuButtonIndicator, nullptr, button);
        return text + kTextMargin;
    }
    if (auto* label = qobject_cast<QLabel*>(widget))
        return label->fontMetrics().horizontalAdvance(label->text()) + kTextMargin / 2;
    return 0;
}

} // namespace

void fitButtonColumn(QWidget* column, const QList<QWidget*>& texts)
{
    int widest = 0;
    int buttons = 0; // the buttons' present width, which the column was made to hold
    for (QWidget* widget : texts) {
        widest = qMax(widest, neededWidth(widget));
        if (qobject_cast<QToolButton*>(widget))
            buttons = qMax(buttons, widget->maximumWidth());
    }
    const int grow = widest - buttons;
    if (buttons == 0 || grow <= 0)
        return;
    for (QWidget* widget : texts)
        if (qobject_cast<QToolButton*>(widget))
            widget->setFixedWidth(widest);
    column->setFixedWidth(column->maximumWidth() + grow);
}

} // namespace mrv
