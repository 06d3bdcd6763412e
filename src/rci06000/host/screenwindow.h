// The module's view of the window a screen lives in: an MDI child of the host's main
// window, or a top-level window when no host adopts it.
#pragma once

class QWidget;

namespace rci06000 {

// Shows the screen, brings it forward and gives it its normal size and place.
void ShowNormal(QWidget* form);

// Disposes of a screen whose creation failed, together with the frame the host gave it.
void DiscardScreen(QWidget* form);

} // namespace rci06000
