// TfrmIntgCentral: the source branch row, the tree choice and the dish scope.
#include "intgcentral.h"

#include <intgcentralcalls.h>
#include "screencontrols.h"

#include <adoibquery.h>
#include <btnpesquisa.h>
#include <busyanimation.h>
#include <buttonflat.h>
#include <checkbox.h>
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
#include <QPalette>

using namespace mrv;
using namespace rci06000::Internal;

void TfrmIntgCentral::createSource()
{
    grbOrigem = group("grbOrigem", QStringLiteral("Origem"), Panel2, QRect(0, 0, 439, 339));

    panFilial = panel("panFilial", grbOrigem, QRect(2, 16, 435, 25));
    lblFilial = label("lblFilial", QStringLiteral("Filial"), panFilial, QPoint(6, 6));
    medCdFilial = place(new TMaskEdit(panFilial), "medCdFilial", QRect(40, 2, 62, 21));
    medCdFilial->setEditMask(QStringLiteral(">aaaa;0; "));
    medCdFilial->setMaxLength(4);
    sbtFilial = search("sbtFilial", panFilial, QRect(104, 2, 21, 21));
    sbtFilial->setAssociate(medCdFilial);
    sbtFilial->Title = QStringLiteral("Filial");
    sbtFilial->setDataSource(dtsFilial);
    sbtFilial->EmptyError = QStringLiteral("Não há filial cadastrada");
    edtNmFilial = place(new QLineEdit(panFilial), "edtNmFilial", QRect(128, 2, 286, 21));
    edtNmFilial->setEnabled(false);
    QPalette face = edtNmFilial->palette();
    face.setColor(QPalette::Base, face.color(QPalette::Button));
    face.setColor(QPalette::Disabled, QPalette::Base, face.color(QPalette::Button));
    edtNmFilial->setPalette(face);

    createCycleFilter();
    createDataFilter();
    createDishes();
}

void TfrmIntgCentral::createDishes()
{
    grbPratos = group("grbPratos", QStringLiteral("Pratos"), grbOrigem, QRect(6, 240, 427, 93));

    grbArvore = group("grbArvore", QStringLiteral("Árvore"), grbPratos, QRect(6, 20, 135, 65));
    chbArvPadrao = check("chbArvPadrao", QStringLiteral("Padrão"), true, grbArvore, QRect(8, 18, 110, 17));
    chbArvLocal = check("chbArvLocal", QStringLiteral("Local"), true, grbArvore, QRect(8, 40, 110, 17));

    grbReceita = group("grbReceita", QStringLiteral("Receita"), grbPratos, QRect(146, 20, 135, 65));
    chbLocal = check("chbLocal", QStringLiteral("Local"), true, grbReceita, QRect(8, 18, 110, 17));
    chbServico = check("chbServico", QStringLiteral("Por Serviço"), true, grbReceita, QRect(8, 40, 110, 17));

    grbPrato = group("grbPrato", QStringLiteral("Prato"), grbPratos, QRect(286, 20, 135, 65));
    rbtTodosPrat = radio("rbtTodosPrat", QStringLiteral("Todos"), false, grbPrato, QRect(8, 18, 60, 17));
    rbtListaPrat = radio("rbtListaPrat", QStringLiteral("Lista"), true, grbPrato, QRect(8, 40, 60, 17));
    sbtPesqPrat = flat("sbtPesqPrat", Pesquisar, grbPrato, QRect(104, 37, 21, 21));
}

void TfrmIntgCentral::bindSource()
{
    onBeforePesq(sbtFilial, &TfrmIntgCentral::sbtFilialBeforePesq);
    onAfterPesq(sbtFilial, &TfrmIntgCentral::sbtFilialAfterPesq);
    onChange(medCdFilial, &TfrmIntgCentral::medCdFilialChange);
    onExit(medCdFilial, &TfrmIntgCentral::medCdFilialExit);
    onExit(grbOrigem, &TfrmIntgCentral::grbOrigemExit);
    onExit(grbArvore, &TfrmIntgCentral::grbArvoreExit);
    onClick(rbtTodosPrat, &TfrmIntgCentral::rbtTodosPratClick);
    onClick(rbtListaPrat, &TfrmIntgCentral::rbtListaPratClick);
    onClick(sbtPesqPrat, &TfrmIntgCentral::sbtPesqPratClick);
    onGetText(qryPesqPratos->FieldByName(QStringLiteral("CDFILAUXPRAT")),
              &TfrmIntgCentral::qryPesqPratosCDFILAUXPRATGetText);
    onGetText(cdsPesqPratoDadoCard->FieldByName(QStringLiteral("CDFILAUXPRAT")),
              &TfrmIntgCentral::cdsPesqPratoDadoCardCDFILAUXPRATGetText);
}

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
        medCdFilial->setText(code); // a different text runs medCdFilialChange
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
