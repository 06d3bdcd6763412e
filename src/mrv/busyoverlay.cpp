// Animated busy overlay: a dimmed cover with a card showing the animation and its text.
#include "busyoverlay.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QtMath>

namespace mrv {

namespace {
constexpr int frameMs = 80;
constexpr int frames = 24;
constexpr QSize cardSize(260, 110);
} // namespace

BusyOverlay::BusyOverlay(QWidget* covered)
    : QWidget(covered, covered ? Qt::Widget : Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
    , m_covered(covered)
{
    setObjectName(QStringLiteral("busyOverlay"));
    setAttribute(Qt::WA_NoSystemBackground);
    if (covered) {
        covered->installEventFilter(this);
    } else {
        resize(cardSize);
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            move(screen->availableGeometry().center() - rect().center());
    }
    fitToCovered();
    // Timers still fire while a synchronous call runs its local event loop, so the
    // animation keeps moving during remote calls.
    m_timer.setInterval(frameMs);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_frame = (m_frame + 1) % frames;
        update();
    });
    m_timer.start();
}

void BusyOverlay::setKind(int kind)
{
    m_kind = (kind == 1 || kind == 6) ? kind : 0;
    update();
}

void BusyOverlay::setText(const QString& text)
{
    m_text = text;
    update();
}

bool BusyOverlay::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_covered && event->type() == QEvent::Resize)
        fitToCovered();
    return false;
}

void BusyOverlay::fitToCovered()
{
    if (m_covered)
        setGeometry(m_covered->rect());
}

void BusyOverlay::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (m_covered)
        p.fillRect(rect(), QColor(0, 0, 0, 60));
    QRectF card(QPointF(0, 0), cardSize);
    card.moveCenter(QRectF(rect()).center());
    p.setPen(QPen(palette().color(QPalette::Mid), 1));
    p.setBrush(palette().color(QPalette::Window));
    p.drawRoundedRect(card.adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);

    const QRectF anim(card.left(), card.top() + 10, card.width(), 56);
    switch (m_kind) {
    case 1:
        paintSearch(p, anim);
        break;
    case 6:
        paintLoading(p, anim);
        break;
    default:
        paintSpinner(p, anim);
        break;
    }
    if (!m_text.isEmpty()) {
        p.setPen(palette().color(QPalette::WindowText));
        const QRectF textArea(card.left() + 10, anim.bottom() + 4, card.width() - 20,
                              card.bottom() - anim.bottom() - 8);
        p.drawText(textArea, Qt::AlignCenter | Qt::TextWordWrap, m_text);
    }
}

// Kind 0: a ring of dots chasing round (connecting).
void BusyOverlay::paintSpinner(QPainter& p, const QRectF& area)
{
    const QPointF c = area.center();
    const qreal r = 18;
    const QColor base = palette().color(QPalette::Highlight);
    for (int i = 0; i < 12; ++i) {
        const qreal angle = 2 * M_PI * i / 12;
        const int age = (m_frame / 2 - i + 12) % 12;
        QColor dot = base;
        dot.setAlphaF(1.0 - age / 13.0);
        p.setPen(Qt::NoPen);
        p.setBrush(dot);
        p.drawEllipse(QPointF(c.x() + r * qCos(angle), c.y() + r * qSin(angle)), 3.5, 3.5);
    }
}

// Kind 1: a magnifier sweeping over lines of text (searching).
void BusyOverlay::paintSearch(QPainter& p, const QRectF& area)
{
    const QColor ink = palette().color(QPalette::Mid);
    p.setPen(QPen(ink, 3, Qt::SolidLine, Qt::RoundCap));
    const qreal left = area.center().x() - 60;
    for (int i = 0; i < 3; ++i) {
        const qreal y = area.top() + 16 + i * 12;
        p.drawLine(QPointF(left, y), QPointF(left + 120 - i * 25, y));
    }
    const qreal t = qSin(2 * M_PI * m_frame / frames);
    const QPointF lens(area.center().x() + 45 * t, area.center().y() - 2);
    p.setPen(QPen(palette().color(QPalette::Highlight), 3));
    p.setBrush(QColor(255, 255, 255, 120));
    p.drawEllipse(lens, 13, 13);
    p.drawLine(lens + QPointF(9, 9), lens + QPointF(20, 20));
}

// Kind 6: a band running along a bar (loading data).
void BusyOverlay::paintLoading(QPainter& p, const QRectF& area)
{
    QRectF bar(0, 0, 180, 14);
    bar.moveCenter(area.center());
    p.setPen(QPen(palette().color(QPalette::Mid), 1));
    p.setBrush(palette().color(QPalette::Base));
    p.drawRoundedRect(bar, 4, 4);
    const qreal band = 50;
    const qreal x = bar.left() - band + (bar.width() + band) * m_frame / frames;
    QPainterPath clip;
    clip.addRoundedRect(bar.adjusted(1, 1, -1, -1), 3, 3);
    p.setClipPath(clip);
    p.setPen(Qt::NoPen);
    p.setBrush(palette().color(QPalette::Highlight));
    p.drawRect(QRectF(x, bar.top(), band, bar.height()));
    p.setClipping(false);
}

} // namespace mrv
