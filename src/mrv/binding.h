// The one place where event operations meet Qt: every bound operation runs guarded.
#pragma once

#include <QString>
#include <Qt>
#include <functional>

class QAbstractButton;
class QLineEdit;
class QObject;
class QPainter;
class QRect;
class QWidget;

namespace mrv {

class TBtnPesquisa;
class TCheckBox;
class TColumn;
class TDataSource;
class TDBGrid;
class TField;
class TNetConnection;
class TRadioButton;

// Runs op; EAbort ends it silently, any other error goes to the host's exception
// handler once. Nothing escapes. True when op completed.
bool invokeGuarded(const std::function<void()>& op) noexcept;

namespace Internal {
using Op = std::function<void()>;
using KeyOp = std::function<void(int& key, Qt::KeyboardModifiers)>;
void bindClick(QObject* ctx, QAbstractButton* button, Op op);
void bindClick(QObject* ctx, TCheckBox* box, Op op);
void bindClick(QObject* ctx, TRadioButton* radio, Op op);
void bindChange(QObject* ctx, QLineEdit* edit, Op op);
void bindEnter(QWidget* widget, Op op);
void bindExit(QWidget* widget, Op op);
void bindKeyDown(QObject* ctx, QWidget* widget, KeyOp op);
void bindKeyDown(QObject* ctx, TDBGrid* grid, KeyOp op);
void bindDblClick(QObject* ctx, TDBGrid* grid, Op op);
void bindTitleClick(QObject* ctx, TDBGrid* grid, std::function<void(TColumn*)> op);
void bindDrawColumnCell(QObject* ctx, TDBGrid* grid,
                        std::function<void(QPainter*, const QRect&, int, TColumn*, int)> op);
void bindStateChange(QObject* ctx, TDataSource* source, Op op);
void bindDataChange(QObject* ctx, TDataSource* source, Op op);
void bindBeforePesq(TBtnPesquisa* button, std::function<void(bool&)> op);
void bindAfterPesq(TBtnPesquisa* button, Op op);
void bindGetText(TField* field, std::function<void(TField*, QString&, bool)> op);
void bindBeforeConnect(TNetConnection* connection, Op op);
} // namespace Internal

// Mixin of screens: binds controls' events to member operations by pointer-to-member.
// Operations run through invokeGuarded, except those called from inside another
// operation that must see their failure (before/after of a search button, a
// connection's before-connect): those propagate to it.
class EventBinding {
public:
    explicit EventBinding(QObject* owner)
        : m_owner(owner)
    {}
    virtual ~EventBinding() = default;

    template<class S> void onClick(QAbstractButton* b, void (S::*op)(QObject*))
    {
        Internal::bindClick(m_owner, b, [this, op, b] { (self<S>()->*op)(senderOf(b)); });
    }
    // Check boxes: on every change of the check; radio buttons: when they become selected.
    template<class S> void onClick(TCheckBox* b, void (S::*op)(QObject*))
    {
        Internal::bindClick(m_owner, b, [this, op, b] { (self<S>()->*op)(senderOf(b)); });
    }
    template<class S> void onClick(TRadioButton* b, void (S::*op)(QObject*))
    {
        Internal::bindClick(m_owner, b, [this, op, b] { (self<S>()->*op)(senderOf(b)); });
    }
    template<class S> void onChange(QLineEdit* e, void (S::*op)(QObject*))
    {
        Internal::bindChange(m_owner, e, [this, op, e] { (self<S>()->*op)(senderOf(e)); });
    }
    // Through FocusTracker: only moves inside one screen.
    template<class S> void onEnter(QWidget* w, void (S::*op)(QObject*))
    {
        Internal::bindEnter(w, [this, op, w] { (self<S>()->*op)(senderOf(w)); });
    }
    template<class S> void onExit(QWidget* w, void (S::*op)(QObject*))
    {
        Internal::bindExit(w, [this, op, w] { (self<S>()->*op)(senderOf(w)); });
    }
    // key is a Qt::Key; setting it to 0 swallows the key.
    template<class S> void onKeyDown(QWidget* w, void (S::*op)(QObject*, int&, Qt::KeyboardModifiers))
    {
        Internal::bindKeyDown(m_owner, w,
                              [this, op, w](int& k, Qt::KeyboardModifiers m) { (self<S>()->*op)(senderOf(w), k, m); });
    }
    template<class S> void onKeyDown(TDBGrid* g, void (S::*op)(QObject*, int&, Qt::KeyboardModifiers))
    {
        Internal::bindKeyDown(m_owner, g,
                              [this, op, g](int& k, Qt::KeyboardModifiers m) { (self<S>()->*op)(senderOf(g), k, m); });
    }
    template<class S> void onDblClick(TDBGrid* g, void (S::*op)(QObject*))
    {
        Internal::bindDblClick(m_owner, g, [this, op, g] { (self<S>()->*op)(senderOf(g)); });
    }
    template<class S> void onTitleClick(TDBGrid* g, void (S::*op)(TColumn*))
    {
        Internal::bindTitleClick(m_owner, g, [this, op](TColumn* c) { (self<S>()->*op)(c); });
    }
    template<class S>
    void onDrawColumnCell(TDBGrid* g, void (S::*op)(QObject*, QPainter*, const QRect&, int, TColumn*, int))
    {
        Internal::bindDrawColumnCell(m_owner, g, [this, op, g](QPainter* p, const QRect& r, int i, TColumn* c, int s) {
            (self<S>()->*op)(senderOf(g), p, r, i, c, s);
        });
    }
    template<class S> void onStateChange(TDataSource* d, void (S::*op)(QObject*))
    {
        Internal::bindStateChange(m_owner, d, [this, op, d] { (self<S>()->*op)(senderOf(d)); });
    }
    // The data set's current row moved (or its rows were replaced).
    template<class S> void onDataChange(TDataSource* d, void (S::*op)(QObject*))
    {
        Internal::bindDataChange(m_owner, d, [this, op, d] { (self<S>()->*op)(senderOf(d)); });
    }
    template<class S> void onBeforePesq(TBtnPesquisa* b, void (S::*op)(QObject*, bool&))
    {
        Internal::bindBeforePesq(b, [this, op, b](bool& ok) { (self<S>()->*op)(senderOf(b), ok); });
    }
    template<class S> void onAfterPesq(TBtnPesquisa* b, void (S::*op)(QObject*))
    {
        Internal::bindAfterPesq(b, [this, op, b] { (self<S>()->*op)(senderOf(b)); });
    }
    template<class S> void onGetText(TField* f, void (S::*op)(TField*, QString&, bool))
    {
        Internal::bindGetText(f, [this, op](TField* s, QString& t, bool d) { (self<S>()->*op)(s, t, d); });
    }
    template<class S> void onBeforeConnect(TNetConnection* n, void (S::*op)(QObject*))
    {
        Internal::bindBeforeConnect(n, [this, op, n] { (self<S>()->*op)(senderOf(n)); });
    }

protected:
    QObject* bindingOwner() const { return m_owner; }

private:
    template<class S> S* self() { return static_cast<S*>(this); }
    template<class T> static QObject* senderOf(T* object) { return object; }

    QObject* m_owner;
};

} // namespace mrv
