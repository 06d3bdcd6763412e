// Enter/exit dispatch on focus moves inside one screen.
#include "focustracker.h"

#include "binding.h"

#include <QApplication>
#include <QFocusEvent>
#include <QMdiSubWindow>
#include <QScopedValueRollback>
#include <QWidget>

namespace mrv {

namespace {

// The widgets from w up to (not including) the screen, innermost first.
QList<QPointer<QWidget>> chain(QWidget* w, QWidget* screen)
{
    QList<QPointer<QWidget>> list;
    for (; w && w != screen; w = w->parentWidget())
        list << w;
    return list;
}

bool contains(QWidget* outer, QWidget* inner)
{
    return outer == inner || outer->isAncestorOf(inner);
}

// Where the focus of the screen is, also while its window is not active.
QWidget* focusOf(QWidget* screen)
{
    QWidget* f = screen->window()->focusWidget();
    return f && FocusTracker::screenOf(f) == screen ? f : nullptr;
}

} // namespace

FocusTracker::FocusTracker(QObject* parent)
    : QObject(parent)
{
    connect(qApp, &QApplication::focusChanged, this, &FocusTracker::focusChanged);
    qApp->installEventFilter(this);
}

FocusTracker& FocusTracker::instance()
{
    static FocusTracker* tracker = new FocusTracker(qApp);
    return *tracker;
}

QWidget* FocusTracker::screenOf(QWidget* widget)
{
    for (QWidget* w = widget; w; w = w->parentWidget()) {
        if (w->isWindow() || qobject_cast<QMdiSubWindow*>(w))
            return w;
    }
    return nullptr;
}

void FocusTracker::watch(QWidget* widget)
{
    if (m_handlers.contains(widget))
        return;
    m_handlers.insert(widget, {});
    connect(widget, &QObject::destroyed, this, [this, widget] { m_handlers.remove(widget); });
    // A screen whose focus is already inside when it gets its first handler starts there.
    if (QWidget* screen = screenOf(widget)) {
        if (!m_current.value(screen))
            m_current.insert(screen, focusOf(screen));
    }
}

void FocusTracker::addEnter(QWidget* widget, Handler handler)
{
    watch(widget);
    m_handlers[widget].enter << std::move(handler);
}

void FocusTracker::addExit(QWidget* widget, Handler handler)
{
    watch(widget);
    m_handlers[widget].exit << std::move(handler);
}

void FocusTracker::focusChanged(QWidget*, QWidget* now)
{
    // Moves made while handlers run are settled when they return.
    if (m_dispatching || !now)
        return;
    QWidget* screen = screenOf(now);
    // A sub-window holds the focus only on its way to one of its controls (Qt's click
    // walk hands it there, and it passes it on): nothing is entered or left yet.
    if (!screen || now == screen)
        return;
    if (m_quiet) {
        m_current[screen] = now;
        return;
    }
    if (keepRefusedFocus(now))
        return;
    QPointer<QWidget>& current = m_current[screen];
    if (!current || screenOf(current) != screen) {
        current = now; // first focus in this screen: nothing was left
        return;
    }
    if (current == now)
        return; // back from a dialog or another window to where it was
    settle(screen, now);
}

void FocusTracker::settle(QWidget* screen, QWidget* target)
{
    m_dispatching = true;
    // A handler may move the focus on; that is a move of its own. The bound keeps a
    // pair of handlers that send the focus back and forth from looping for ever.
    for (int hop = 0; hop < 16 && target; ++hop) {
        QPointer<QWidget> from = m_current.value(screen);
        if (!from || from == target)
            break;
        const bool completed = runMove(from, target);
        QWidget* actual = focusOf(screen);
        if (!completed) {
            if ((!actual || actual == target) && from && from->isEnabled() && from->isVisible()) {
                from->setFocus(Qt::OtherFocusReason);
                actual = focusOf(screen);
            }
            m_current[screen] = actual ? actual : from.data();
            // Until the user's next key or click, what the refused move set off cannot take
            // it up again: a sub-window restoring the control it last had once the window
            // system gives it back its activation, the rest of the key or click that asked
            // for the move. No check runs twice for one move.
            m_refusal = {m_current[screen], from, target};
            break;
        }
        m_current[screen] = target;
        target = (actual && actual != target) ? actual : nullptr;
    }
    m_dispatching = false;
}

void FocusTracker::moveQuietly(QWidget* control)
{
    if (!control || !control->isEnabled() || !control->isVisible())
        return;
    const QScopedValueRollback<bool> quiet(m_quiet, true);
    control->setFocus(Qt::OtherFocusReason);
}

bool FocusTracker::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        m_refusal = {}; // the user acts again
        break;
    case QEvent::FocusIn: {
        // Sent just before the focus change is announced: whether a user's key or click moved it.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        m_userMove = reason == Qt::MouseFocusReason || reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason
                     || reason == Qt::ShortcutFocusReason;
        break;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

bool FocusTracker::keepRefusedFocus(QWidget* now)
{
    const QPointer<QWidget> kept = m_refusal.kept;
    if (!kept || now == kept || (now != m_refusal.from && now != m_refusal.target))
        return false;
    if (m_userMove) {
        m_refusal = {};
        return false;
    }
    if (kept->isEnabled() && kept->isVisible()) {
        const QScopedValueRollback<bool> quiet(m_dispatching, true);
        kept->setFocus(Qt::OtherFocusReason);
    }
    return true;
}

bool FocusTracker::runMove(QWidget* fromWidget, QWidget* to)
{
    const QPointer<QWidget> from = fromWidget;
    QWidget* screen = screenOf(to);
    const QList<QPointer<QWidget>> left = chain(fromWidget, screen);
    const QList<QPointer<QWidget>> entered = chain(to, screen);
    for (const QPointer<QWidget>& w : left) {
        if (!w)
            continue;
        if (contains(w, to))
            break;
        if (!runHandlers(w, false))
            return false;
    }
    QList<QPointer<QWidget>> enters;
    for (const QPointer<QWidget>& w : entered) {
        if (!w || (from && contains(w, from)))
            break;
        enters.prepend(w);
    }
    for (const QPointer<QWidget>& w : enters) {
        if (w && !runHandlers(w, true))
            return false;
    }
    return true;
}

bool FocusTracker::runHandlers(QWidget* widget, bool enter)
{
    const auto it = m_handlers.constFind(widget);
    if (it == m_handlers.constEnd())
        return true;
    const QList<Handler> handlers = enter ? it->enter : it->exit; // a handler may bind more
    for (const Handler& h : handlers) {
        if (!invokeGuarded(h))
            return false;
    }
    return true;
}

} // namespace mrv
