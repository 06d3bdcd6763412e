// Enter/exit events for controls and containers, which Qt does not have.
#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <functional>

class QWidget;

namespace mrv {

// Watches QApplication::focusChanged. A move of the focus inside one screen (a window or
// an MDI sub-window) runs the exit handlers of every widget the focus left, innermost
// first, then the enter handlers of every widget it entered, outermost first. Focus that
// goes to another window, a dialog, a popup or nowhere, and comes back, runs nothing.
// A handler that fails (EAbort or an error) cancels the move: the remaining handlers do
// not run and, unless the handler moved the focus itself, the focus goes back to the
// control being left; neither that return nor the handler's own move runs handlers, and
// until the user's next key or click no other move back to either end of the refused
// move is taken (the focus is put back where the refusal left it).
class FocusTracker : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void()>;

    static FocusTracker& instance();

    void addEnter(QWidget* widget, Handler handler);
    void addExit(QWidget* widget, Handler handler);

    // Gives the focus to a control as a refusal does: the move runs no exit or enter
    // handler, since the refusal's message is its operation's one word to the user.
    void moveQuietly(QWidget* control);

    // The window or MDI sub-window a widget belongs to.
    static QWidget* screenOf(QWidget* widget);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit FocusTracker(QObject* parent = nullptr);
    struct Handlers {
        QList<Handler> enter;
        QList<Handler> exit;
    };

    void watch(QWidget* widget);
    void focusChanged(QWidget* old, QWidget* now);
    void settle(QWidget* screen, QWidget* target);
    bool runMove(QWidget* from, QWidget* to);
    bool runHandlers(QWidget* widget, bool enter);
    struct Refusal {
        QPointer<QWidget> kept;   // where the refusal left the focus
        QPointer<QWidget> from;   // the refused move's two ends
        QPointer<QWidget> target;
    };
    bool keepRefusedFocus(QWidget* now);

    QHash<QWidget*, Handlers> m_handlers;
    QHash<QWidget*, QPointer<QWidget>> m_current; // screen -> where its focus logically is
    bool m_dispatching = false;
    bool m_quiet = false;
    Refusal m_refusal; // the last refused move, until the user's next key or click
    bool m_userMove = false; // the focus change under way comes from a key or a click
};

} // namespace mrv
