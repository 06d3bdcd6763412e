// TfrmIntgCentral: the menu-cycle and menu-data filters.
#include "intgcentral.h"

#include <buttonflat.h>
#include <checkbox.h>
#include <dateeditplus.h>
#include <radiobutton.h>

void TfrmIntgCentral::chbCicloCardClick(QObject* /*Sender*/)
{
    const bool on = chbCicloCard->isChecked();
    const QList<QWidget*> options{rbtTodosCiclo,     rbtListaCiclo,       rbtTodosServCiclo,
                                  rbtListaServCiclo, rbtTodosTpPratCiclo, rbtListaTpPratCiclo};
    for (QWidget* option : options)
        option->setEnabled(on);
    if (on) {
        // A picker whose "Todos" is selected stays disabled.
        if (rbtListaCiclo->isChecked())
            sbtCiclo->setEnabled(true);
        if (rbtListaServCiclo->isChecked())
            sbtPadraoServCiclo->setEnabled(true);
        if (rbtListaTpPratCiclo->isChecked())
            sbtTpPratCiclo->setEnabled(true);
    } else {
        sbtCiclo->setEnabled(false);
        sbtPadraoServCiclo->setEnabled(false);
        sbtTpPratCiclo->setEnabled(false);
    }
    // Dishes picked under the previous filter no longer apply.
    rbtListaPrat->setChecked(true);
    stListaPrato.clear();
}

void TfrmIntgCentral::chbDadoCardClick(QObject* /*Sender*/)
{
    const bool on = chbDadoCard->isChecked();
    const QList<QWidget*> inputs{depDataInic,  depDataFina,   rbtTodosServ,
                                 rbtListaServ, rbtTodosPrato, rbtListaPrato};
    for (QWidget* input : inputs)
        input->setEnabled(on);
    if (on) {
        if (rbtListaServ->isChecked())
            sbtServico->setEnabled(true);
        if (rbtListaPrato->isChecked())
            sbtPrato->setEnabled(true);
    } else {
        sbtPrato->setEnabled(false);
        sbtServico->setEnabled(false);
    }
    rbtListaPrat->setChecked(true);
    stListaPrato.clear();
}

void TfrmIntgCentral::grbCicloCardExit(QObject* /*Sender*/)
{
    Vd_CicloCard();
}

void TfrmIntgCentral::grbDadoCardExit(QObject* /*Sender*/)
{
    Vd_DadosCardapio();
}
