// Press delivery without Qt's click-focus walk, for buttons that take no focus.
#include "clickfocusfilter.h"

#include "focustracker.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

namespace mrv {

namespace {

QWidget* widgetOf(QObject* window)
{
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->windowHandle() == window)
            return top;
    }
    return nullptr;
}

} // namespace

ClickFocusFilter::ClickFocusFilter(QObject* parent)
    : QObject(parent)
{
    qApp->installEventFilter(this);
}

void ClickFocusFilter::install()
{
    static QPointer<ClickFocusFilter> filter;
    if (!filter && qApp)
        filter = new ClickFocusFilter(qApp);
}

QWidget* ClickFocusFilter::noFocusButtonAt(QWidget* window, const QPoint& position)
{
    // A popup or a grab takes the press whatever lies under it.
    if (QApplication::activePopupWidget() || QWidget::mouseGrabber())
        return nullptr;
    auto* button = qobject_cast<QAbstractButton*>(window->childAt(position));
    if (!button || button->focusPolicy() != Qt::NoFocus || !button->isEnabled())
        return nullptr;
    // A press in another screen activates it, focus and all, as Qt does.
    QWidget* focus = QApplication::focusWidget();
    if (!focus || FocusTracker::screenOf(focus) != FocusTracker::screenOf(button))
        return nullptr;
    return button;
}

bool ClickFocusFilter::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (!event->spontaneous() || !watched->isWindowType()
        || (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick && type != QEvent::MouseMove
            && type != QEvent::MouseButtonRelease))
        return false;
    auto* mouse = static_cast<QMouseEvent*>(event);
    QWidget* window = widgetOf(watched);
    if (!window)
        return false;
    const bool press = type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick;
    if (!m_pressed && press)
        m_pressed = qobject_cast<QAbstractButton*>(noFocusButtonAt(window, mouse->position().toPoint()));
    const QPointer<QAbstractButton> button = m_pressed;
    if (!button)
        return false;
    // Sent straight to the button, the press skips the walk Qt does for the window
    // system's presses; until the last button is up the button gets the moves and the
    // release, as the grab of an ordinary press would give it. Let go before the
    // release, whose click may open a dialog with an event loop of its own.
    if (type == QEvent::MouseButtonRelease && mouse->buttons() == Qt::NoButton)
        m_pressed = nullptr;
    QMouseEvent routed(type, button->mapFrom(window, mouse->position()), mouse->scenePosition(),
                       mouse->globalPosition(), mouse->button(), mouse->buttons(), mouse->modifiers(),
                       mouse->pointingDevice());
    routed.setTimestamp(mouse->timestamp());
    QCoreApplication::sendEvent(button, &routed);
    event->setAccepted(routed.isAccepted());
    return true;
}

} // namespace mrv
