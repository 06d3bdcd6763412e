// The small pictures the integration screen draws itself.
#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>

namespace rci06000 {

// Background of the mark glyphs; painted as transparent.
inline const QColor MarkBackground(128, 128, 0);

// 16 x 16 mark of a destination branch: a white box, ticked when marked.
QPixmap markGlyph(bool marked);

// Magnifying glass of the search buttons.
QIcon searchGlyph();

} // namespace rci06000
