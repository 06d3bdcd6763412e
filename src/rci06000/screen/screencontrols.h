// How the integration screen's areas build their controls: named, placed, captioned.
#pragma once

#include <btnpesquisa.h>
#include <buttonflat.h>
#include <checkbox.h>
#include <glyphs.h>
#include <groupbox.h>
#include <panel.h>
#include <radiobutton.h>

#include <QLabel>
#include <QRect>

namespace rci06000::Internal {

using mrv::TBtnPesquisa;
using mrv::TButtonFlat;
using mrv::TCheckBox;
using mrv::TGroupBox;
using mrv::TPanel;
using mrv::TRadioButton;

inline const QString Pesquisar = QStringLiteral("Pesquisar");

template<class W> inline W* place(W* widget, const char* name, const QRect& geometry)
{
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(geometry);
    return widget;
}

inline TGroupBox* group(const char* name, const QString& title, QWidget* parent, const QRect& geometry)
{
    auto* box = place(new TGroupBox(title, parent), name, geometry);
    box->setBoldCaption(true);
    return box;
}

inline TPanel* panel(const char* name, QWidget* parent, const QRect& geometry)
{
    return place(new TPanel(parent, TPanel::bvNone), name, geometry);
}

inline QLabel* label(const char* name, const QString& text, QWidget* parent, const QPoint& at)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    l->move(at);
    l->adjustSize();
    return l;
}

inline TCheckBox* check(const char* name, const QString& text, bool checked, QWidget* parent, const QRect& geometry)
{
    auto* box = place(new TCheckBox(text, parent), name, geometry);
    box->setChecked(checked);
    return box;
}

inline TRadioButton* radio(const char* name, const QString& text, bool checked, QWidget* parent, const QRect& geometry)
{
    auto* button = place(new TRadioButton(text, parent), name, geometry);
    button->setChecked(checked);
    return button;
}

// A check box that stands in for its group's caption looks like one.
inline TCheckBox* captionCheck(const char* name, const QString& text, QGroupBox* box)
{
    auto* check = new TCheckBox(text, box);
    check->setObjectName(QLatin1String(name));
    QFont bold = check->font();
    bold.setBold(true);
    check->setFont(bold);
    // Covers the frame line only as far as its own text goes.
    check->setAutoFillBackground(true);
    check->setGeometry(QRect(QPoint(11, -1), check->sizeHint()));
    return check;
}

inline TButtonFlat* flat(const char* name, const QString& hint, QWidget* parent, const QRect& geometry)
{
    return place(new TButtonFlat(mrv::glyphIcon(mrv::Glyph::Search), hint, parent), name, geometry);
}

inline TBtnPesquisa* search(const char* name, QWidget* parent, const QRect& geometry)
{
    auto* button = place(new TBtnPesquisa(parent), name, geometry);
    button->setToolTip(Pesquisar);
    return button;
}

// One "Todos" / "Lista" pair with its picker button, "Lista" selected.
struct Choice {
    TRadioButton* todos;
    TRadioButton* lista;
    TButtonFlat* button;
};

inline Choice choice(TGroupBox* box, const char* todos, const char* lista, const char* button)
{
    const int buttonX = box->width() - 31;
    return {radio(todos, QStringLiteral("Todos"), false, box, QRect(8, 18, 60, 17)),
            radio(lista, QStringLiteral("Lista"), true, box, QRect(8, 40, 60, 17)),
            flat(button, Pesquisar, box, QRect(buttonX, 37, 21, 21))};
}

} // namespace rci06000::Internal
