// Event wiring: where every bound operation is caught at the slot boundary.
#include "binding.h"

#include "btnpesquisa.h"
#include "checkbox.h"
#include "dataset.h"
#include "datasource.h"
#include "dbgrid.h"
#include "errors.h"
#include "field.h"
#include "focustracker.h"
#include "hostservices.h"
#include "mrvlogging.h"
#include "netconnection.h"
#include "radiobutton.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QLineEdit>

namespace mrv {

namespace {

void report(const QString& message) noexcept
{
    try {
        hostServices()->handleException(message);
    } catch (...) {
        // The handler itself failed; the log is all that is left.
        qCCritical(lcMrv).noquote() << "exception handler failed while reporting:" << message;
    }
}

// Key-down of any widget: an event filter that runs before the widget's own handling.
class KeyDownFilter : public QObject {
public:
    KeyDownFilter(QObject* ctx, Internal::KeyOp op)
        : QObject(ctx)
        , m_op(std::move(op))
    {}

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        auto* key = static_cast<QKeyEvent*>(event);
        int code = key->key();
        const bool done = invokeGuarded([&] { m_op(code, key->modifiers()); });
        return !done || code == 0;
    }

private:
    Internal::KeyOp m_op;
};

} // namespace

bool invokeGuarded(const std::function<void()>& op) noexcept
{
    try {
        op();
        return true;
    } catch (const EAbort&) {
        return false;
    } catch (const Exception& e) {
        report(e.message());
    } catch (const std::exception& e) {
        report(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        report(QStringLiteral("Erro inesperado."));
    }
    return false;
}

namespace Internal {

void bindClick(QObject* ctx, QAbstractButton* button, Op op)
{
    QObject::connect(button, &QAbstractButton::clicked, ctx, [op = std::move(op)] { invokeGuarded(op); });
}

void bindClick(QObject* ctx, TCheckBox* box, Op op)
{
    // toggled fires only when the check really changes, by the user or by code.
    QObject::connect(box, &QAbstractButton::toggled, ctx, [op = std::move(op)] { invokeGuarded(op); });
}

void bindClick(QObject* ctx, TRadioButton* radio, Op op)
{
    QObject::connect(radio, &QAbstractButton::toggled, ctx, [op = std::move(op)](bool on) {
        if (on)
            invokeGuarded(op);
    });
}

void bindChange(QObject* ctx, QLineEdit* edit, Op op)
{
    QObject::connect(edit, &QLineEdit::textChanged, ctx, [op = std::move(op)] { invokeGuarded(op); });
}

void bindEnter(QWidget* widget, Op op)
{
    FocusTracker::instance().addEnter(widget, std::move(op));
}

void bindExit(QWidget* widget, Op op)
{
    FocusTracker::instance().addExit(widget, std::move(op));
}

void bindKeyDown(QObject* ctx, QWidget* widget, KeyOp op)
{
    widget->installEventFilter(new KeyDownFilter(ctx, std::move(op)));
}

void bindKeyDown(QObject* ctx, TDBGrid* grid, KeyOp op)
{
    QObject::connect(grid, &TDBGrid::keyDown, ctx, [op = std::move(op)](int& key, Qt::KeyboardModifiers mods) {
        if (!invokeGuarded([&] { op(key, mods); }))
            key = 0;
    });
}

void bindDblClick(QObject* ctx, TDBGrid* grid, Op op)
{
    QObject::connect(grid, &TDBGrid::dblClick, ctx, [op = std::move(op)] { invokeGuarded(op); });
}

void bindTitleClick(QObject* ctx, TDBGrid* grid, std::function<void(TColumn*)> op)
{
    QObject::connect(grid, &TDBGrid::titleClick, ctx,
                     [op = std::move(op)](TColumn* column) { invokeGuarded([&] { op(column); }); });
}

void bindDrawColumnCell(QObject* ctx, TDBGrid* grid,
                        std::function<void(QPainter*, const QRect&, int, TColumn*, int)> op)
{
    QObject::connect(grid, &TDBGrid::drawColumnCell, ctx,
                     [op = std::move(op)](QPainter* p, const QRect& r, int i, TColumn* c, int s) {
                         invokeGuarded([&] { op(p, r, i, c, s); });
                     });
}

void bindStateChange(QObject* ctx, TDataSource* source, Op op)
{
    QObject::connect(source, &TDataSource::StateChange, ctx, [op = std::move(op)] { invokeGuarded(op); });
}

void bindDataChange(QObject* ctx, TDataSource* source, Op op)
{
    QObject::connect(source, &TDataSource::currentChanged, ctx, [op = std::move(op)] { invokeGuarded(op); });
}

void bindBeforePesq(TBtnPesquisa* button, std::function<void(bool&)> op)
{
    button->OnBeforePesq = [op = std::move(op)](QObject*, bool& ok) { op(ok); };
}

void bindAfterPesq(TBtnPesquisa* button, Op op)
{
    button->OnAfterPesq = [op = std::move(op)](QObject*) { op(); };
}

void bindGetText(TField* field, std::function<void(TField*, QString&, bool)> op)
{
    // Display texts are asked for while painting, where a failure must not escape.
    field->OnGetText = [op = std::move(op)](TField* sender, QString& text, bool display) {
        invokeGuarded([&] { op(sender, text, display); });
    };
}

void bindBeforeConnect(TNetConnection* connection, Op op)
{
    connection->OnBeforeConnect = [op = std::move(op)](QObject*) { op(); };
}

} // namespace Internal
} // namespace mrv
