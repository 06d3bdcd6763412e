// TfrmIntgCentral: the source branch row, the tree choice and the dish scope.
#include "intgcentral.h"

#include "host/intgcentralcalls.h"

#include <adoibquery.h>
#include <btnpesquisa.h>
#include <buttonflat.h>
#include <checkbox.h>
#include <busyanimation.h>
#include <clientdataset.h>
#include <datasource.h>
#include <dateeditplus.h>
#include <dbpicture.h>
#include <dialogs.h>
#include <helpers.h>
#include <logincontext.h>
#include <maskedit.h>
#include <messages.h>
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

QString TfrmIntgCentral::valorArvorePadrao() const
{
    return chbArvPadrao->isChecked() ? QStringLiteral("P") : QStringLiteral("X");
}

QString TfrmIntgCentral::valorArvoreLocal() const
{
    return chbArvLocal->isChecked() ? medCdFilial->text() : QStringLiteral("X");
}

rci06000::PesqPratoArgs TfrmIntgCentral::argumentosPesqPrato() const
{
    // A filter that is off sends empty lists, whatever its lists last held: the service
    // then does not apply it, so a switched-off filter never narrows the dishes.
    const bool dados = chbDadoCard->isChecked();
    const bool ciclo = chbCicloCard->isChecked();
    auto lista = [](bool on, const mrv::TRadioButton* todos, const QString& chosen) {
        return !on ? QString() : todos->isChecked() ? QStringLiteral("T") : chosen;
    };
    rci06000::PesqPratoArgs args;
    args.source = medCdFilial->text();
    args.localTree = valorArvoreLocal();
    args.standardTree = valorArvorePadrao();
    args.levels = mrv::DBPictObj(1).GetTtNiveis();
    args.services = lista(dados, rbtTodosServ, stListaServ);
    args.dishTypes = lista(dados, rbtTodosPrato, stListaTpPrat);
    args.start = depDataInic->GetDate();
    args.end = depDataFina->GetDate();
    args.cycles = lista(ciclo, rbtTodosCiclo, stListaCiclo);
    args.servicePatterns = lista(ciclo, rbtTodosServCiclo, stListaServPadr);
    args.cycleDishTypes = lista(ciclo, rbtTodosTpPratCiclo, stListaTpPratCiclo);
    return args;
}

void TfrmIntgCentral::pesquisaPratosServidor()
{
    dtsPesqPrato->setDataSet(cdsPesqPratoDadoCard);
    const rci06000::PesqPratoArgs args = argumentosPesqPrato();
    mrv::BusyAnimation busy(6, msgPadrao->Msg(QStringLiteral("getprato")));
    cdsPesqPratoDadoCard->setData(mrv::CheckResultServ(rci06000::GetPesqPrato(netIntgCentral, args), true, 0));
}

void TfrmIntgCentral::sbtPesqPratClick(QObject* /*Sender*/)
{
    const QString caption =
        msgPadrao->Msg(QStringLiteral("CDPRATO")) + QLatin1Char('|') + msgPadrao->Msg(QStringLiteral("Prato_nCad"));
    if (!chbDadoCard->isChecked() && !chbCicloCard->isChecked()) {
        // No filter: the dishes of the chosen trees, straight from the database.
        dtsPesqPrato->setDataSet(qryPesqPratos);
        qryPesqPratos->Close();
        qryPesqPratos->setParam(QStringLiteral("P_CDFILAUXPRAT"), valorArvorePadrao());
        qryPesqPratos->setParam(QStringLiteral("P_CDFILIAL"), valorArvoreLocal());
    } else {
        Vd_CicloCard();
        Vd_DadosCardapio();
        pesquisaPratosServidor();
    }
    mrv::PesquisaListaMsg(dtsPesqPrato, QStringLiteral("CDPESQPRAT"), caption, false, stListaPrato);
    rbtListaPrat->setFocus(Qt::OtherFocusReason);
}

QString TfrmIntgCentral::textoArvore(const mrv::TField* field) const
{
    const QString tree = field->AsString();
    if (tree == QLatin1String("P"))
        return msgPadrao->Msg(QStringLiteral("PADRAO"));
    if (mrv::EmptyString(tree))
        return {};
    return msgPadrao->Msg(QStringLiteral("LOCAL"));
}

void TfrmIntgCentral::qryPesqPratosCDFILAUXPRATGetText(mrv::TField* Sender, QString& Text, bool /*DisplayText*/)
{
    Text = textoArvore(Sender);
}

void TfrmIntgCentral::cdsPesqPratoDadoCardCDFILAUXPRATGetText(mrv::TField* Sender, QString& Text, bool /*DisplayText*/)
{
    Text = textoArvore(Sender);
}
