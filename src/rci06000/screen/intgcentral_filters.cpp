// TfrmIntgCentral: the menu-cycle and menu-data filters.
#include "intgcentral.h"

#include "screencontrols.h"

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

#include <QLabel>

using namespace mrv;
using namespace rci06000::Internal;

void TfrmIntgCentral::createCycleFilter()
{
    // The check box stands in for the caption: it sits on the frame line, over the
    // blank caption that keeps the line open behind it.
    grbCicloCard = group("grbCicloCard", QString(23, QLatin1Char(' ')), grbOrigem, QRect(6, 47, 427, 93));
    chbCicloCard = captionCheck("chbCicloCard", QStringLiteral("Ciclo de Cardápio"), grbCicloCard);

    grbCiclo = group("grbCiclo", QStringLiteral("Ciclo"), grbCicloCard, QRect(6, 20, 135, 65));
    const Choice ciclo = choice(grbCiclo, "rbtTodosCiclo", "rbtListaCiclo", "sbtCiclo");
    rbtTodosCiclo = ciclo.todos;
    rbtListaCiclo = ciclo.lista;
    sbtCiclo = ciclo.button;

    grbPadroServCiclo =
        group("grbPadroServCiclo", QStringLiteral("Padrão de Serviço"), grbCicloCard, QRect(146, 20, 135, 65));
    const Choice padrao = choice(grbPadroServCiclo, "rbtTodosServCiclo", "rbtListaServCiclo", "sbtPadraoServCiclo");
    rbtTodosServCiclo = padrao.todos;
    rbtListaServCiclo = padrao.lista;
    sbtPadraoServCiclo = padrao.button;

    grbTipoPratCiclo =
        group("grbTipoPratCiclo", QStringLiteral("Tipo de Prato"), grbCicloCard, QRect(286, 20, 135, 65));
    const Choice tipo = choice(grbTipoPratCiclo, "rbtTodosTpPratCiclo", "rbtListaTpPratCiclo", "sbtTpPratCiclo");
    rbtTodosTpPratCiclo = tipo.todos;
    rbtListaTpPratCiclo = tipo.lista;
    sbtTpPratCiclo = tipo.button;

    chbCicloCard->raise();
}

void TfrmIntgCentral::createDataFilter()
{
    grbDadoCard = group("grbDadoCard", QString(23, QLatin1Char(' ')), grbOrigem, QRect(6, 143, 427, 93));
    chbDadoCard = captionCheck("chbDadoCard", QStringLiteral("Dados do Cardápio"), grbDadoCard);

    grbData = group("grbData", QStringLiteral("Data"), grbDadoCard, QRect(6, 20, 152, 65));
    lblDataInic = label("lblDataInic", QStringLiteral("de"), grbData, QPoint(8, 21));
    depDataInic = place(new TDateEditPlus(grbData), "depDataInic", QRect(30, 17, 114, 21));
    lblDataFina = label("lblDataFina", QStringLiteral("até"), grbData, QPoint(8, 43));
    depDataFina = place(new TDateEditPlus(grbData), "depDataFina", QRect(30, 39, 114, 21));
    lblDataInic->setBuddy(depDataInic);
    lblDataFina->setBuddy(depDataFina);

    grbServ = group("grbServ", QStringLiteral("Serviço"), grbDadoCard, QRect(164, 20, 126, 65));
    const Choice serv = choice(grbServ, "rbtTodosServ", "rbtListaServ", "sbtServico");
    rbtTodosServ = serv.todos;
    rbtListaServ = serv.lista;
    sbtServico = serv.button;
    sbtServico->setEnabled(false);

    grbTipoPrato = group("grbTipoPrato", QStringLiteral("Tipo de Prato"), grbDadoCard, QRect(295, 20, 126, 65));
    const Choice prato = choice(grbTipoPrato, "rbtTodosPrato", "rbtListaPrato", "sbtPrato");
    rbtTodosPrato = prato.todos;
    rbtListaPrato = prato.lista;
    sbtPrato = prato.button;

    chbDadoCard->raise();
}

void TfrmIntgCentral::bindFilters()
{
    onClick(chbCicloCard, &TfrmIntgCentral::chbCicloCardClick);
    onClick(rbtTodosCiclo, &TfrmIntgCentral::rbtTodosCicloClick);
    onClick(rbtListaCiclo, &TfrmIntgCentral::rbtListaCicloClick);
    onClick(rbtTodosServCiclo, &TfrmIntgCentral::rbtTodosServCicloClick);
    onClick(rbtListaServCiclo, &TfrmIntgCentral::rbtListaServCicloClick);
    onClick(rbtTodosTpPratCiclo, &TfrmIntgCentral::rbtTodosTpPratCicloClick);
    onClick(rbtListaTpPratCiclo, &TfrmIntgCentral::rbtListaTpPratCicloClick);
    onClick(sbtCiclo, &TfrmIntgCentral::sbtCicloClick);
    onClick(sbtPadraoServCiclo, &TfrmIntgCentral::sbtPadraoServCicloClick);
    onClick(sbtTpPratCiclo, &TfrmIntgCentral::sbtTpPratCicloClick);
    onExit(grbCicloCard, &TfrmIntgCentral::grbCicloCardExit);
    onClick(chbDadoCard, &TfrmIntgCentral::chbDadoCardClick);
    onClick(rbtTodosServ, &TfrmIntgCentral::rbtTodosServClick);
    onClick(rbtListaServ, &TfrmIntgCentral::rbtListaServClick);
    onKeyDown(rbtListaServ, &TfrmIntgCentral::rbtListaServKeyDown);
    onClick(sbtServico, &TfrmIntgCentral::sbtServicoClick);
    onClick(rbtTodosPrato, &TfrmIntgCentral::rbtTodosPratoClick);
    onClick(rbtListaPrato, &TfrmIntgCentral::rbtListaPratoClick);
    onClick(sbtPrato, &TfrmIntgCentral::sbtPratoClick);
    onExit(depDataInic, &TfrmIntgCentral::depDataInicExit);
    onExit(depDataFina, &TfrmIntgCentral::depDataFinaExit);
    onExit(grbDadoCard, &TfrmIntgCentral::grbDadoCardExit);
}

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
    const QList<QWidget*> inputs{depDataInic, depDataFina, rbtTodosServ, rbtListaServ, rbtTodosPrato, rbtListaPrato};
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
    // An empty date passes here; the group's check requires both.
    if (editor->isEmptyDate())
        return;
    const QDate date = editor->GetDate();
    if (!date.isValid()) {
        focaRecusa(editor);
        editor->CheckValidDate(); // the editor's own words for a text that is no date
    }
    if (date < suite::wire::ShortDate(QStringLiteral("01/01/1900"))) {
        focaRecusa(editor);
        mrv::MensErro(QLatin1Char('"') + suite::wire::ShortDateText(date) + QStringLiteral("\" ") +
                          msgPadrao->Msg(QStringLiteral("Data_Invalida")),
                      true);
    }
}

void TfrmIntgCentral::exigeData(mrv::TDateEditPlus* editor, const QString& key)
{
    if (editor->isEmptyDate())
        recusa(editor, key);
    verificaData(editor);
}

void TfrmIntgCentral::depDataInicExit(QObject* /*Sender*/)
{
    verificaData(depDataInic);
}

void TfrmIntgCentral::depDataFinaExit(QObject* /*Sender*/)
{
    verificaData(depDataFina);
}
