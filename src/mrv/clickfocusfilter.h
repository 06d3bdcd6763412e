// Keeps a click on a button that takes no focus from moving the focus.
#pragma once

#include <QObject>
#include <QPointer>

class QAbstractButton;

namespace mrv {

// Qt gives a click's focus to the first ancestor of the clicked widget that accepts it,
// so a press on a flat or search button would hand the focus to the screen's sub-window
// and run the exit checks of the area the user is in. Installed on the application, this
// delivers such presses inside the screen that holds the focus without that walk: the
// focus stays where it was and the button still gets its press, moves, release and click.
class ClickFocusFilter : public QObject {
    Q_OBJECT
public:
    // One per application; the kit's no-focus buttons install it as they are made.
    static void install();

    // The widget a press at a window position goes to, when it is a button that takes
    // no focus in the screen holding the focus; else null (Qt's own rule applies).
    static QWidget* noFocusButtonAt(QWidget* window, const QPoint& position);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit ClickFocusFilter(QObject* parent);
    QPointer<QAbstractButton> m_pressed; // the button a press went to, until its release
};

} // namespace mrv
