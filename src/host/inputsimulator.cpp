// Keyboard and mouse input as the user would give it, delivered through the application
// so that event filters, focus rules and key preview see it.
#include "inputsimulator.h"

#include <clickfocusfilter.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTableView>

namespace suite::host {

namespace {

QMdiSubWindow* subWindowOf(QWidget* widget)
{
    for (QWidget* w = widget; w != nullptr; w = w->parentWidget()) {
        if (auto* sub = qobject_cast<QMdiSubWindow*>(w))
            return sub;
    }
    return nullptr;
}

void sendMouse(QWidget* widget, QEvent::Type type, const QPoint& position, Qt::MouseButtons buttons)
{
    QMouseEvent event(type, QPointF(position), QPointF(widget->mapToGlobal(position)), Qt::LeftButton, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

void sendKey(QWidget* widget, QEvent::Type type, int key, Qt::KeyboardModifiers modifiers, const QString& text)
{
    QKeyEvent event(type, key, modifiers, text);
    QApplication::sendEvent(widget, &event);
}

QString textOfKey(Qt::Key key, Qt::KeyboardModifiers modifiers)
{
    if (modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return {};
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return QStringLiteral("\r");
    case Qt::Key_Tab:
        return QStringLiteral("\t");
    case Qt::Key_Space:
        return QStringLiteral(" ");
    default:
        break;
    }
    if (key >= Qt::Key_Space && key <= Qt::Key_ydiaeresis) {
        const QChar c(static_cast<char16_t>(key));
        return (modifiers & Qt::ShiftModifier) ? QString(c) : QString(c.toLower());
    }
    return {};
}

// Check boxes and radio buttons only react on their indicator and caption, not on the
// empty part of a stretched widget.
QPoint clickPoint(QWidget* widget)
{
    QStyle::SubElement element;
    if (qobject_cast<QCheckBox*>(widget))
        element = QStyle::SE_CheckBoxClickRect;
    else if (qobject_cast<QRadioButton*>(widget))
        element = QStyle::SE_RadioButtonClickRect;
    else
        return widget->rect().center();
    const auto* button = static_cast<QAbstractButton*>(widget);
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    option.icon = button->icon();
    option.iconSize = button->iconSize();
    return widget->style()->subElementRect(element, &option, widget).center();
}

// Qt gives the focus on a press only to window-system events; a synthetic press gets the
// same rule here: the first widget up the chain that takes focus on a click, unless the kit
// keeps the focus where it is for a button that takes none.
void focusOnPress(QWidget* widget, const QPoint& position)
{
    QWidget* window = widget->window();
    if (mrv::ClickFocusFilter::noFocusButtonAt(window, widget->mapTo(window, position)))
        return;
    for (QWidget* w = widget; w != nullptr; w = w->parentWidget()) {
        if (w->isEnabled() && (w->focusPolicy() & Qt::ClickFocus)) {
            w->setFocus(Qt::MouseFocusReason);
            return;
        }
        if (w->isWindow())
            return;
    }
}

} // namespace

void InputSimulator::activate(QWidget* widget)
{
    if (QMdiSubWindow* sub = subWindowOf(widget)) {
        if (QMdiArea* area = sub->mdiArea(); area && area->activeSubWindow() != sub)
            area->setActiveSubWindow(sub);
    }
    QWidget* window = widget->window();
    if (!window->isActiveWindow()) {
        window->activateWindow();
        QApplication::processEvents();
    }
}

void InputSimulator::focus(QWidget* widget)
{
    activate(widget);
    if (!widget->hasFocus())
        widget->setFocus(Qt::OtherFocusReason);
    QApplication::processEvents();
}

void InputSimulator::typeText(QWidget* widget, const QString& text)
{
    for (const QChar c : text) {
        const int key = c.isLetter() ? c.toUpper().unicode() : c.unicode();
        const Qt::KeyboardModifiers modifiers = c.isUpper() ? Qt::ShiftModifier : Qt::NoModifier;
        sendKey(widget, QEvent::KeyPress, key, modifiers, QString(c));
        sendKey(widget, QEvent::KeyRelease, key, modifiers, QString(c));
    }
    QApplication::processEvents();
}

void InputSimulator::pressKey(QWidget* widget, Qt::Key key, Qt::KeyboardModifiers modifiers)
{
    const QString text = textOfKey(key, modifiers);
    sendKey(widget, QEvent::KeyPress, key, modifiers, text);
    sendKey(widget, QEvent::KeyRelease, key, modifiers, text);
    QApplication::processEvents();
}

void InputSimulator::click(QWidget* widget)
{
    activate(widget);
    const QPoint point = clickPoint(widget);
    focusOnPress(widget, point);
    sendMouse(widget, QEvent::MouseButtonPress, point, Qt::LeftButton);
    sendMouse(widget, QEvent::MouseButtonRelease, point, Qt::NoButton);
    QApplication::processEvents();
}

bool InputSimulator::doubleClickRow(QAbstractItemView* view, int row, int column)
{
    const QModelIndex index = view->model() ? view->model()->index(row, column) : QModelIndex();
    if (!index.isValid())
        return false;
    activate(view);
    view->scrollTo(index);
    const QPoint centre = view->visualRect(index).center();
    QWidget* viewport = view->viewport();
    focusOnPress(viewport, centre);
    sendMouse(viewport, QEvent::MouseButtonPress, centre, Qt::LeftButton);
    sendMouse(viewport, QEvent::MouseButtonRelease, centre, Qt::NoButton);
    sendMouse(viewport, QEvent::MouseButtonDblClick, centre, Qt::LeftButton);
    sendMouse(viewport, QEvent::MouseButtonRelease, centre, Qt::NoButton);
    QApplication::processEvents();
    return true;
}

bool InputSimulator::clickTitle(QTableView* view, int column)
{
    QHeaderView* header = view->horizontalHeader();
    if (column < 0 || column >= header->count() || header->isHidden())
        return false;
    activate(view);
    view->scrollTo(view->model()->index(qMax(0, view->currentIndex().row()), column));
    const QPoint centre(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                        header->height() / 2);
    sendMouse(header->viewport(), QEvent::MouseButtonPress, centre, Qt::LeftButton);
    sendMouse(header->viewport(), QEvent::MouseButtonRelease, centre, Qt::NoButton);
    QApplication::processEvents();
    return true;
}

} // namespace suite::host
