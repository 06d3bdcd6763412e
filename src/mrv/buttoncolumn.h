// Fits a screen's right-hand button column to the texts it holds.
#pragma once

#include <QList>

class QWidget;

namespace mrv {

// Widens the text buttons (and the column) so that every button's and label's text shows whole;
// a button that opens its menu at once keeps its text clear of the arrow drawn in its corner.
// Never narrows anything.
void fitButtonColumn(QWidget* column, const QList<QWidget*>& texts);

} // namespace mrv
