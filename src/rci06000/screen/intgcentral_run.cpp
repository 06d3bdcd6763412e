// TfrmIntgCentral: the checks that gate an integration, and the integration request.
#include "intgcentral.h"

#include <intgcentralcalls.h>
#include "package/pkg_rci06000.h"

#include <adoibquery.h>
#include <busy.h>
#include <busyanimation.h>
#include <buttonflat.h>
#include <callprogress.h>
#include <checkbox.h>
#include <clientdataset.h>
#include <datasource.h>
#include <dateeditplus.h>
#include <dbgrid.h>
#include <dialogs.h>
#include <displaysuspended.h>
#include <errors.h>
#include <focustracker.h>
#include <helpers.h>
#include <hostservices.h>
#include <maskedit.h>
#include <messages.h>
#include <radiobutton.h>
#include <shortdate.h>

namespace {

bool isS(mrv::TDataSet* dataSet, const QString& field)
{
    return dataSet->FieldByName(field)->AsString() == QLatin1String("S");
}

// Every row's search key, each followed by "_", in row order.
QString searchKeys(const mrv::TDataSet* dataSet)
{
    const int key = dataSet->FieldByName(QStringLiteral("CDPESQPRAT"))->index();
    QString list;
    for (int row = 0; row < dataSet->RecordCount(); ++row)
        list += dataSet->valueAt(row, key).toString() + QLatin1Char('_');
    return list;
}

} // namespace

void TfrmIntgCentral::bindRun()
{
    onClick(sbtConfirma, &TfrmIntgCentral::sbtConfirmaClick);
}

void TfrmIntgCentral::focaRecusa(QWidget* control)
{
    mrv::FocusTracker::instance().moveQuietly(control);
}

void TfrmIntgCentral::recusa(QWidget* control, const QString& key)
{
    focaRecusa(control);
    mrv::MensErro(msgPadrao->Msg(key), true);
    throw mrv::EAbort(); // MensErro with abort never returns; this keeps the compiler sure of it
}

void TfrmIntgCentral::Vd_Arvore()
{
    if (!chbArvLocal->isChecked() && !chbArvPadrao->isChecked())
        recusa(chbArvPadrao, QStringLiteral("arvore_inf"));
}

void TfrmIntgCentral::Vd_Prato()
{
    if (rbtListaPrat->isChecked() && mrv::EmptyString(stListaPrato))
        recusa(rbtListaPrat, QStringLiteral("Prato_N_INF"));
}

void TfrmIntgCentral::Vd_DadosCardapio()
{
    if (!chbDadoCard->isChecked())
        return;
    // Each date whole before the two are compared: a text that is no date reads as an invalid date, which sorts
    // before every date, and would send a run with no start.
    exigeData(depDataInic, QStringLiteral("DATAINIC_DEVE"));
    exigeData(depDataFina, QStringLiteral("DATAFINA_DEVE"));
    if (depDataFina->GetDate() < depDataInic->GetDate())
        recusa(depDataInic, QStringLiteral("DATACARD_COMPARA"));
    if (rbtListaServ->isChecked() && mrv::EmptyString(stListaServ))
        recusa(rbtListaServ, QStringLiteral("SERV_DEVE"));
    if (rbtListaPrato->isChecked() && mrv::EmptyString(stListaTpPrat))
        recusa(rbtListaPrato, QStringLiteral("TIPOPRAT_DEVE"));
}

void TfrmIntgCentral::Vd_CicloCard()
{
    if (!chbCicloCard->isChecked())
        return;
    if (rbtListaCiclo->isChecked() && mrv::EmptyString(stListaCiclo))
        recusa(rbtListaCiclo, QStringLiteral("CICLO_DEVE"));
    if (rbtListaServCiclo->isChecked() && mrv::EmptyString(stListaServPadr))
        recusa(rbtListaServCiclo, QStringLiteral("SERVPADR_DEVE"));
    if (rbtListaTpPratCiclo->isChecked() && mrv::EmptyString(stListaTpPratCiclo))
        recusa(rbtListaTpPratCiclo, QStringLiteral("TIPOPRAT_DEVE"));
}

void TfrmIntgCentral::Vd_AgrupFili()
{
    bool marked = false;
    if (temFiliais()) {
        mrv::DisplaySuspended suspended(cdsFiliGrup);
        cdsFiliGrup->First();
        while (!cdsFiliGrup->Eof() && !marked) {
            marked = isS(cdsFiliGrup, QStringLiteral("IDMARCADO"));
            cdsFiliGrup->Next();
        }
        cdsFiliGrup->First();
    }
    if (!marked)
        recusa(dbgFiliGrup, QStringLiteral("filial_inf"));
}

void TfrmIntgCentral::Vd_FiliDest()
{
    if (!temFiliais())
        return;
    // The cursor is left where the scan stopped: on the refused branch, for the user to see.
    bool rescinded = false;
    {
        mrv::DisplaySuspended suspended(cdsFiliGrup);
        for (cdsFiliGrup->First(); !cdsFiliGrup->Eof() && !rescinded;) {
            rescinded = isS(cdsFiliGrup, QStringLiteral("IDMARCADO")) && isS(cdsFiliGrup, QStringLiteral("IDCNTRRESC"));
            if (!rescinded)
                cdsFiliGrup->Next();
        }
    }
    // Shown once the grid has moved to the branch, so the message sits beside it.
    if (rescinded)
        recusa(nullptr, QStringLiteral("fili_contr_resc"));
}

QString TfrmIntgCentral::listaTodosPratos()
{
    if (chbDadoCard->isChecked() || chbCicloCard->isChecked()) {
        pesquisaPratosServidor();
        return searchKeys(cdsPesqPratoDadoCard);
    }
    dtsPesqPrato->setDataSet(qryPesqPratos);
    qryPesqPratos->Close();
    qryPesqPratos->setParam(QStringLiteral("P_CDFILAUXPRAT"), valorArvorePadrao());
    qryPesqPratos->setParam(QStringLiteral("P_CDFILIAL"), valorArvoreLocal());
    qryPesqPratos->Open();
    return searchKeys(qryPesqPratos);
}

QString TfrmIntgCentral::tiposReceita() const
{
    return QString(chbLocal->isChecked() ? QLatin1Char('F') : QLatin1Char('X')) +
           (chbServico->isChecked() ? QLatin1Char('S') : QLatin1Char('X'));
}

void TfrmIntgCentral::sbtConfirmaClick(QObject* /*Sender*/)
{
    validaFilialOrigem();
    // The cycle filter is checked first: an incomplete one would otherwise let "Todos"
    // reach every dish of every marked branch.
    Vd_CicloCard();
    Vd_DadosCardapio();
    Vd_Arvore();
    Vd_AgrupFili();
    Vd_FiliDest();
    Vd_Prato();
    if (msgPadrao->ShowMsg(QStringLiteral("conf_op"), mrv::mtConfirmation, mrv::mbYesNo, 0) != mrv::mrYes)
        return;
    repaint();

    const QString pratos = rbtTodosPrat->isChecked() ? listaTodosPratos() : stListaPrato;
    if (mrv::EmptyString(pratos))
        mrv::MensErro(msgPadrao->Msg(QStringLiteral("N_CAD_FILILOC")), true);
    const bool periodo = chbDadoCard->isChecked();
    const QString inicio = periodo ? suite::wire::ShortDateText(depDataInic->GetDate()) : QString();
    const QString fim = periodo ? suite::wire::ShortDateText(depDataFina->GetDate()) : QString();
    qint64 observacoes = -1;
    {
        // The previous log rows stay until a run has answered; meanwhile the animation says how far it is.
        mrv::BusyAnimation busy(1);
        const mrv::CallProgress progress(*netIntgCentral, [](const QString& text) {
            mrv::ActiveShowAvi(mrv::hostServices()->mainWindow(), 1, text);
        });
        const QJsonObject answer = rci06000::IntgCentral(netIntgCentral, medCdFilial->text(), pratos, tiposReceita(),
                                                         cdsFiliGrup->Data(), inicio, fim);
        cdsLogIntCent->setData(mrv::CheckResultServ(answer, true, 0));
        observacoes = answer.value(QLatin1String("total")).toInteger(-1);
    }
    // The server sends the first rows of a very long log only; the user is told the report is not all of it.
    if (observacoes > cdsLogIntCent->RecordCount())
        mrv::dialogs().message(
            QStringLiteral("O log desta integração tem %1 observações; o relatório mostra as primeiras %2, na ordem do"
                           " log.")
                .arg(QLocale().toString(observacoes), QLocale().toString(cdsLogIntCent->RecordCount())),
            mrv::mtInformation, mrv::mbOK);

    if (cdsLogIntCent->IsEmpty()) {
        mrv::AtualizaLocalCache({QStringLiteral("PRATO")}, this, false, QString());
        msgPadrao->ShowMsg(QStringLiteral("op_conc"), mrv::mtInformation, mrv::mbOK, 0);
    } else if (msgPadrao->ShowMsg(QStringLiteral("v_log"), mrv::mtConfirmation, mrv::mbYesNo, 0) == mrv::mrYes) {
        rci06000::CriaListServ();
    }
}
