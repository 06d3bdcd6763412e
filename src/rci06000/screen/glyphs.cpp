// The small pictures the integration screen draws itself.
#include "glyphs.h"

#include <QPainter>
#include <QPen>

namespace rci06000 {

QPixmap markGlyph(bool marked)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(MarkBackground);
    QPainter painter(&pixmap);
    // Box 2..13: white inside, dark top and left edges, a silver edge just outside
    // the right and bottom sides, like a sunken check box.
    painter.fillRect(QRect(2, 2, 12, 12), Qt::white);
    painter.setPen(Qt::black);
    painter.drawLine(2, 2, 13, 2);
    painter.drawLine(2, 2, 2, 13);
    painter.setPen(QColor(192, 192, 192));
    painter.drawLine(14, 2, 14, 14);
    painter.drawLine(2, 14, 14, 14);
    if (marked) {
        painter.setPen(Qt::black);
        for (int dy = 0; dy < 2; ++dy) {
            painter.drawLine(4, 7 + dy, 6, 9 + dy);
            painter.drawLine(6, 9 + dy, 11, 4 + dy);
        }
    }
    return pixmap;
}

QIcon searchGlyph()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0, 0, 128), 1.6));
    painter.setBrush(QColor(200, 225, 255));
    painter.drawEllipse(QRectF(2.5, 2.5, 8, 8));
    painter.setPen(QPen(QColor(96, 64, 0), 2.6, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(10, 10), QPointF(14, 14));
    return QIcon(pixmap);
}

} // namespace rci06000
