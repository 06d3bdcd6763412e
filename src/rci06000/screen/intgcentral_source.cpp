// TfrmIntgCentral: the source branch row, the tree choice and the dish scope.
#include "intgcentral.h"

#include <adoibquery.h>
#include <btnpesquisa.h>
#include <buttonflat.h>
#include <checkbox.h>
#include <clientdataset.h>
#include <helpers.h>
#include <logincontext.h>
#include <maskedit.h>
#include <radiobutton.h>

#include <QLineEdit>

void TfrmIntgCentral::sbtFilialBeforePesq(QObject* /*Sender*/, bool& /*Ok*/)
{
    // Every opening of the list reads the branch table afresh.
    qryFilial->Close();
}

void TfrmIntgCentral::sbtFilialAfterPesq(QObject* /*Sender*/)
{
    // The code first: its change empties the name.
    medCdFilial->setText(qryFilial->FieldByName(QStringLiteral("CDFILIAL"))->AsString());
    edtNmFilial->setText(qryFilial->FieldByName(QStringLiteral("NMFILIAL"))->AsString());
}

void TfrmIntgCentral::medCdFilialChange(QObject* /*Sender*/)
{
    // What was chosen for the previous branch no longer holds.
    edtNmFilial->clear();
    rbtListaPrat->setChecked(true);
    if (cdsFiliGrup->Active())
        cdsFiliGrup->Close();
}

void TfrmIntgCentral::validaFilialOrigem()
{
    try {
        const QString code = mrv::Ajusta(medCdFilial->text(), 4);
        medCdFilial->setText(code);   // a different text runs medCdFilialChange
        edtNmFilial->setText(mrv::ValidaFilial(medCdFilial->text(), mrv::Operador(), true));
    } catch (...) {
        if (medCdFilial->isEnabled())
            medCdFilial->setFocus(Qt::OtherFocusReason);
        throw;
    }
}

void TfrmIntgCentral::medCdFilialExit(QObject* /*Sender*/)
{
    validaFilialOrigem();
    rbtListaPrat->setChecked(true);
}

void TfrmIntgCentral::grbOrigemExit(QObject* /*Sender*/)
{
    // Repeats the edit's check, so no refused code reaches the destination area.
    validaFilialOrigem();
}

void TfrmIntgCentral::grbArvoreExit(QObject* /*Sender*/)
{
    Vd_Arvore();
}

void TfrmIntgCentral::rbtTodosPratClick(QObject* /*Sender*/)
{
    if (!rbtTodosPrat->isChecked())
        return;
    stListaPrato.clear();
    sbtPesqPrat->setEnabled(false);
}

void TfrmIntgCentral::rbtListaPratClick(QObject* /*Sender*/)
{
    if (rbtListaPrat->isChecked())
        sbtPesqPrat->setEnabled(true);
}
