// Reads windows the way a script sees them: widgets by object name and their visible state.
#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QVariant>

class QWidget;
class QObject;

namespace suite::host {

class UiInspector {
public:
    // objectName, class, enabled, visible, checked, text, windowTitle, geometry (and, for
    // grids, rows and currentRow; focus when the widget has it).
    static QJsonObject describe(const QWidget* widget);
    // describe() plus "screen": the widget's rectangle in screen coordinates, where a real pointer clicks; grids
    // add the visible rows' rectangles, headers their sections', menus and menu bars their entries'.
    static QJsonObject describeOnScreen(const QWidget* widget);
    // Every widget of each window, depth first; MDI sub-windows of one window are left
    // to their own entries.
    static QJsonObject dump(const QList<QWidget*>& windows);

    // "name" anywhere in the windows, or "window/name" inside the window of that object name.
    static QObject* find(const QList<QWidget*>& windows, const QString& target);
    // A property as a script names it: the described ones, else the QObject property.
    static QVariant property(const QObject* object, const QString& name);
};

} // namespace suite::host
