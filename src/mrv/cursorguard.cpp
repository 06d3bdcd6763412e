#include "cursorguard.h"

#include <QApplication>

namespace mrv {

CursorGuard::CursorGuard()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

CursorGuard::~CursorGuard()
{
    QApplication::restoreOverrideCursor();
}

} // namespace mrv
