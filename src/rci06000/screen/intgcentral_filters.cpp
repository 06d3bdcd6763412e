// TfrmIntgCentral: the menu-cycle and menu-data filters.
#include "intgcentral.h"

#include <adoibquery.h>
#include <buttonflat.h>
#include <checkbox.h>
#include <dateeditplus.h>
#include <dialogs.h>
#include <helpers.h>
#include <maskedit.h>
#include <messages.h>
#include <radiobutton.h>
#include <shortdate.h>

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

void TfrmIntgCentral::opcaoTodos(QString& lista, QWidget* picker)
{
    lista.clear();
    stListaPrato.clear();
    picker->setEnabled(false);
}

void TfrmIntgCentral::opcaoLista(QWidget* picker)
{
    // The group's list is kept: after "Todos" it is empty and must be picked again.
    picker->setEnabled(true);
    stListaPrato.clear();
}

void TfrmIntgCentral::escolheLista(mrv::TADOIBQuery* query, mrv::TDataSource* source, const QString& keyField,
                                   const QString& titleKey, const QString& emptyKey, QString& lista,
                                   QWidget* listaOption)
{
    // Read afresh every time; the dish list is not touched by a new pick.
    query->Close();
    query->Open();
    mrv::PesquisaLista(source, keyField, msgPadrao->Msg(titleKey) + QLatin1Char('|') + msgPadrao->Msg(emptyKey), false,
                       lista);
    listaOption->setFocus(Qt::OtherFocusReason);
}

void TfrmIntgCentral::rbtTodosCicloClick(QObject* /*Sender*/)
{
    opcaoTodos(stListaCiclo, sbtCiclo);
}

void TfrmIntgCentral::rbtListaCicloClick(QObject* /*Sender*/)
{
    opcaoLista(sbtCiclo);
}

void TfrmIntgCentral::rbtTodosServCicloClick(QObject* /*Sender*/)
{
    opcaoTodos(stListaServPadr, sbtPadraoServCiclo);
}

void TfrmIntgCentral::rbtListaServCicloClick(QObject* /*Sender*/)
{
    opcaoLista(sbtPadraoServCiclo);
}

void TfrmIntgCentral::rbtTodosTpPratCicloClick(QObject* /*Sender*/)
{
    opcaoTodos(stListaTpPratCiclo, sbtTpPratCiclo);
}

void TfrmIntgCentral::rbtListaTpPratCicloClick(QObject* /*Sender*/)
{
    opcaoLista(sbtTpPratCiclo);
}

void TfrmIntgCentral::sbtCicloClick(QObject* /*Sender*/)
{
    // The catalogue has no "Ciclo_nCad": the key itself is what an empty list shows.
    escolheLista(qryCiclo, dtsCiclo, QStringLiteral("CDCARDCICLO"), QStringLiteral("CICLO"),
                 QStringLiteral("Ciclo_nCad"), stListaCiclo, rbtListaCiclo);
}

void TfrmIntgCentral::sbtPadraoServCicloClick(QObject* /*Sender*/)
{
    escolheLista(qryServPadr, dtsServPadr, QStringLiteral("CDSERVPADR"), QStringLiteral("SERVPADR"),
                 QStringLiteral("ServPadr_nCad"), stListaServPadr, rbtListaServCiclo);
}

void TfrmIntgCentral::sbtTpPratCicloClick(QObject* /*Sender*/)
{
    // The same dish types as the menu-data filter's, into a list of its own.
    escolheLista(qryTipoPrato, dtsTipoPrato, QStringLiteral("CDTIPOPRAT"), QStringLiteral("Tipo_Prato"),
                 QStringLiteral("TipoPrato_NCad"), stListaTpPratCiclo, rbtListaTpPratCiclo);
}

void TfrmIntgCentral::rbtTodosServClick(QObject* /*Sender*/)
{
    opcaoTodos(stListaServ, sbtServico);
}

void TfrmIntgCentral::rbtListaServClick(QObject* /*Sender*/)
{
    opcaoLista(sbtServico);
}

void TfrmIntgCentral::rbtListaServKeyDown(QObject* /*Sender*/, int& Key, Qt::KeyboardModifiers /*Shift*/)
{
    // F9 opens the service list; the key goes on to the option as well.
    if (Key == Qt::Key_F9)
        sbtServicoClick(sbtServico);
}

void TfrmIntgCentral::sbtServicoClick(QObject* /*Sender*/)
{
    // The services of the branch in the edit at this moment, as typed.
    qryServico->Close();
    qryServico->setParam(QStringLiteral("P_CDFILIAL"), medCdFilial->text());
    escolheLista(qryServico, dtsServico, QStringLiteral("CDSERVFILI"), QStringLiteral("SERVICO"),
                 QStringLiteral("Srv_NCad"), stListaServ, rbtListaServ);
}

void TfrmIntgCentral::rbtTodosPratoClick(QObject* /*Sender*/)
{
    opcaoTodos(stListaTpPrat, sbtPrato);
}

void TfrmIntgCentral::rbtListaPratoClick(QObject* /*Sender*/)
{
    opcaoLista(sbtPrato);
}

void TfrmIntgCentral::sbtPratoClick(QObject* /*Sender*/)
{
    escolheLista(qryTipoPrato, dtsTipoPrato, QStringLiteral("CDTIPOPRAT"), QStringLiteral("Tipo_Prato"),
                 QStringLiteral("TipoPrato_NCad"), stListaTpPrat, rbtListaPrato);
}

void TfrmIntgCentral::verificaData(mrv::TDateEditPlus* editor)
{
    editor->CheckValidDate();
    // An empty date passes here; the group's check requires both.
    if (editor->isEmptyDate())
        return;
    const QDate date = editor->GetDate();
    if (date < suite::wire::ShortDate(QStringLiteral("01/01/1900"))) {
        editor->setFocus(Qt::OtherFocusReason);
        mrv::MensErro(QLatin1Char('"') + suite::wire::ShortDateText(date) + QStringLiteral("\" ")
                          + msgPadrao->Msg(QStringLiteral("Data_Invalida")),
                      true);
    }
}

void TfrmIntgCentral::depDataInicExit(QObject* /*Sender*/)
{
    verificaData(depDataInic);
}

void TfrmIntgCentral::depDataFinaExit(QObject* /*Sender*/)
{
    verificaData(depDataFina);
}
