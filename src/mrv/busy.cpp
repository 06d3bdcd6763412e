// One busy overlay per covered window.
#include "busy.h"

#include "busyoverlay.h"

#include <QHash>
#include <QPointer>

namespace mrv {

namespace {

QList<QPointer<BusyOverlay>>& overlays()
{
    static QList<QPointer<BusyOverlay>> list;
    return list;
}

BusyOverlay* overlayOf(QWidget* mainWindow)
{
    for (const QPointer<BusyOverlay>& o : overlays())
        if (o && o->parentWidget() == mainWindow)
            return o;
    return nullptr;
}

} // namespace

void ActiveShowAvi(QWidget* mainWindow, int kind, const QString& text)
{
    BusyOverlay* overlay = overlayOf(mainWindow);
    if (!overlay) {
        overlay = new BusyOverlay(mainWindow);
        overlays() << overlay;
    }
    overlay->setKind(kind);
    overlay->setText(text);
    overlay->show();
    overlay->raise();
    overlay->repaint(); // the caller is about to block; show the first frame now
}

void DeactiveShowAvi(QWidget* mainWindow)
{
    auto& list = overlays();
    for (qsizetype i = list.size() - 1; i >= 0; --i) {
        BusyOverlay* o = list[i];
        if (!o) {
            list.removeAt(i);
            continue;
        }
        if (mainWindow && o->parentWidget() != mainWindow)
            continue;
        list.removeAt(i);
        o->hide();
        o->deleteLater();
    }
}

bool ShowAviActive(QWidget* mainWindow)
{
    for (const QPointer<BusyOverlay>& o : overlays())
        if (o && (!mainWindow || o->parentWidget() == mainWindow))
            return true;
    return false;
}

} // namespace mrv
