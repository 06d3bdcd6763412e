// The small pictures the suite draws itself.
#include "glyphs.h"

#include <QPainter>
#include <QPen>

namespace mrv {

namespace {

// A transparent square with antialiased painting.
class Canvas {
public:
    explicit Canvas(int size)
        : m_pixmap(size, size)
    {
        m_pixmap.fill(Qt::transparent);
        m_painter.begin(&m_pixmap);
        m_painter.setRenderHint(QPainter::Antialiasing);
    }
    QPainter& painter() { return m_painter; }
    QIcon icon()
    {
        m_painter.end();
        return QIcon(m_pixmap);
    }

private:
    QPixmap m_pixmap;
    QPainter m_painter;
};

} // namespace

QIcon glyphIcon(Glyph glyph)
{
    switch (glyph) {
    case Glyph::Search: {
        Canvas canvas(16);
        QPainter& p = canvas.painter();
        p.setPen(QPen(QColor(0, 0, 128), 1.6));
        p.setBrush(QColor(200, 225, 255));
        p.drawEllipse(QRectF(2.5, 2.5, 8, 8));
        p.setPen(QPen(QColor(96, 64, 0), 2.6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(10, 10), QPointF(14, 14));
        return canvas.icon();
    }
    case Glyph::Confirm: {
        Canvas canvas(20);
        QPainter& p = canvas.painter();
        p.setPen(QPen(QColor(0, 128, 0), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF({QPointF(3, 11), QPointF(8, 16), QPointF(17, 4)}));
        return canvas.icon();
    }
    case Glyph::Suite: {
        Canvas canvas(32);
        QPainter& p = canvas.painter();
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x1f, 0x6f, 0x5c));
        p.drawRoundedRect(QRectF(1, 1, 30, 30), 6, 6);
        p.setPen(Qt::white);
        QFont font = p.font();
        font.setBold(true);
        font.setPixelSize(20);
        p.setFont(font);
        p.drawText(QRect(0, 0, 32, 32), Qt::AlignCenter, QStringLiteral("S"));
        return canvas.icon();
    }
    }
    return {};
}

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

} // namespace mrv
