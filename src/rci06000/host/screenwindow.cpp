// The module's view of the window a screen lives in.
#include "screenwindow.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QWidget>

namespace rci06000 {

namespace {

QMdiSubWindow* frameOf(QWidget* form)
{
    return form ? qobject_cast<QMdiSubWindow*>(form->parentWidget()) : nullptr;
}

} // namespace

void ShowNormal(QWidget* form)
{
    if (!form)
        return;
    if (QMdiSubWindow* frame = frameOf(form)) {
        form->show();
        frame->showNormal();
        if (QMdiArea* area = frame->mdiArea())
            area->setActiveSubWindow(frame);
        return;
    }
    form->showNormal();
    form->raise();
    form->activateWindow();
}

void DiscardScreen(QWidget* form)
{
    if (!form)
        return;
    if (QMdiSubWindow* frame = frameOf(form))
        frame->deleteLater();
    else
        form->deleteLater();
}

} // namespace rci06000
