// Search button: the look-up flow around dialogs().lookup.
#include "btnpesquisa.h"

#include "binding.h"
#include "clickfocusfilter.h"
#include "dialogs.h"
#include "errors.h"
#include "glyphs.h"

namespace mrv {

TBtnPesquisa::TBtnPesquisa(QWidget* parent)
    : QToolButton(parent)
{
    setIcon(glyphIcon(Glyph::Search));
    setAutoRaise(true);
    setFocusPolicy(Qt::NoFocus);
    ClickFocusFilter::install();
    setToolTip(QStringLiteral("Pesquisar"));
    connect(this, &QToolButton::clicked, this, [this] { invokeGuarded([this] { Pesquisa(); }); });
}

void TBtnPesquisa::Pesquisa()
{
    bool ok = true;
    if (OnBeforePesq)
        OnBeforePesq(this, ok);
    emit beforePesq(ok);
    if (!ok)
        return;
    if (!m_dataSource || !m_dataSource->DataSet())
        throw Exception(QStringLiteral("O botão de pesquisa \"%1\" não tem lista associada.").arg(objectName()));
    TDataSet* ds = m_dataSource->DataSet();
    if (!ds->Active())
        ds->Open();
    if (ds->IsEmpty())
        MensErro(EmptyError.isEmpty() ? QStringLiteral("Não há registros.") : EmptyError, true);
    if (!dialogs().lookup(m_dataSource, Title))
        return;
    // The focus stays where it was: moving it would run the exit and enter events of
    // other areas in the middle of a pick.
    if (m_associate && !ds->fields().isEmpty())
        m_associate->setText(ds->fields().first()->AsString().trimmed());
    if (OnAfterPesq)
        OnAfterPesq(this);
    emit afterPesq();
}

} // namespace mrv
