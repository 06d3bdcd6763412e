// The small pictures the suite draws itself, all painted in one place.
#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>

namespace mrv {

enum class Glyph {
    Search,  // magnifying glass of the search and find buttons
    Confirm, // green tick of the confirm button
    Suite,   // the suite's window icon
};

QIcon glyphIcon(Glyph glyph);

// Background of the mark glyphs; painted as transparent.
inline const QColor MarkBackground(128, 128, 0);

// 16 x 16 mark of a grid row on the olive background: a white box, ticked when marked.
QPixmap markGlyph(bool marked);

} // namespace mrv
