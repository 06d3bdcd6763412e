// Keyboard and mouse input as the user would give it, delivered through the application
// so that event filters, focus rules and key preview see it.
#pragma once

#include <QString>
#include <Qt>

class QAbstractItemView;
class QTableView;
class QWidget;

namespace suite::host {

class InputSimulator {
public:
    // Brings the widget's window (and MDI sub-window) forward and gives it the focus.
    static void focus(QWidget* widget);
    static void typeText(QWidget* widget, const QString& text);
    static void pressKey(QWidget* widget, Qt::Key key, Qt::KeyboardModifiers modifiers);
    // Left button press and release where the widget reacts (the middle, or a check indicator).
    static void click(QWidget* widget);
    // False when the row or column does not exist.
    static bool doubleClickRow(QAbstractItemView* view, int row, int column);
    // Click on a column's title; false when the view shows no such title.
    static bool clickTitle(QTableView* view, int column);
    static void activate(QWidget* widget);
};

} // namespace suite::host
