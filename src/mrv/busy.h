// The busy animation over the main window.
#pragma once

#include <QString>

class QWidget;

namespace mrv {

// Starts (or changes) the animation over mainWindow: kinds 0 (connecting), 1 (searching),
// 6 (loading); other kinds look like 0. A null mainWindow gets a small window of its own.
void ActiveShowAvi(QWidget* mainWindow, int kind, const QString& text = {});
// Stops the animation over mainWindow, or every animation when null; no-op when none runs.
void DeactiveShowAvi(QWidget* mainWindow = nullptr);
// True while an animation runs over mainWindow (any, when null).
bool ShowAviActive(QWidget* mainWindow = nullptr);

} // namespace mrv
