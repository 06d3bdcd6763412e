#include "buttonflat.h"

#include "clickfocusfilter.h"

namespace mrv {

TButtonFlat::TButtonFlat(QWidget* parent)
    : QToolButton(parent)
{
    setAutoRaise(true);
    // Like the suite's speed buttons: clicking one leaves the focus where it was, so
    // no exit/enter events run for a button press.
    setFocusPolicy(Qt::NoFocus);
    ClickFocusFilter::install();
    setToolButtonStyle(Qt::ToolButtonIconOnly);
}

TButtonFlat::TButtonFlat(const QIcon& icon, const QString& hint, QWidget* parent)
    : TButtonFlat(parent)
{
    setIcon(icon);
    setToolTip(hint);
}

} // namespace mrv
