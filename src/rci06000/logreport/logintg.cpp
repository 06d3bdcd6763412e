// TfrmLogIntg: a copy of the last integration's log rows, previewed when the window is shown.
#include "logintg.h"

#include "host/logcolumns.h"
#include "package/pkg_rci06000.h"
#include "screen/intgcentral.h"

#include <buttonflat.h>
#include <clientdataset.h>
#include <datasource.h>
#include <logincontext.h>
#include <messages.h>
#include <netconnection.h>

#include <QLabel>

TfrmLogIntg::TfrmLogIntg(QWidget* parent)
    : mrv::TfrmDadosGerRel(parent)
{
    setObjectName(QStringLiteral("frmLogIntg"));
    setWindowTitle(QStringLiteral("Log de Integração de Receitas - Centralizada"));
    // Modal before the host adopts it, so it stays a window of its own.
    setWindowModality(Qt::ApplicationModal);
    lblCodTela->setText(QStringLiteral("RCI06001"));
    setReportCode(QStringLiteral("RCI060"));
    HelpContext = 12301701;
    HelpFile = QStringLiteral("RciHelp.hlp");
    msgPadrao->setLines({
        QStringLiteral("Arq_Rel_Err|O arquivo contendo a definição do relatório de código '%s' não foi encontrado "
                       "no diretório '%s'."),
        QStringLiteral("NovoCaption|Título do relatório"),
        QStringLiteral("NovoPrompt|Informe o título do relatório:"),
    });

    netLogIntgCentral = new mrv::TNetConnection(this);
    netLogIntgCentral->setObjectName(QStringLiteral("netLogIntgCentral"));
    netLogIntgCentral->ServerName = QStringLiteral("RCI06000.rdmIntgCentral");
    netLogIntgCentral->ThrowException = false;

    cdsLogIntCent = new mrv::TClientDataSet(this);
    cdsLogIntCent->setObjectName(QStringLiteral("cdsLogIntCent"));
    rci06000::addLogColumns(cdsLogIntCent);
    dtsLogIntCent = new mrv::TDataSource(this);
    dtsLogIntCent->setObjectName(QStringLiteral("dtsLogIntCent"));
    dtsLogIntCent->setDataSet(cdsLogIntCent);
    setReportSource(dtsLogIntCent);

    setFixedSize(sizeHint().expandedTo(QSize(427, 72)));
    move(328, 282);
    onBeforeConnect(netLogIntgCentral, &TfrmLogIntg::netLogIntgCentralBeforeConnect);
}

void TfrmLogIntg::FormCreate(QObject* Sender)
{
    mrv::TfrmDadosGerRel::FormCreate(Sender);
    netLogIntgCentral->Open();
    boStCriado = true;
    // Taken once: a later integration does not change an open report.
    if (frmIntgCentral)
        cdsLogIntCent->setData(frmIntgCentral->cdsLogIntCent->Data());
}

void TfrmLogIntg::FormActivate(QObject* Sender)
{
    mrv::TfrmDadosGerRel::FormActivate(Sender);
    // Once per show: closing the preview (or the title or save dialog) activates the window again,
    // and previewing then would reopen the preview for ever.
    if (takeShownActivation())
        sbtVisualizarClick(sbtVisualizar);
}

void TfrmLogIntg::FormClose(QObject* Sender, mrv::TCloseAction& Action)
{
    mrv::TfrmDadosGerRel::FormClose(Sender, Action);
    boStCriado = false;
}

void TfrmLogIntg::netLogIntgCentralBeforeConnect(QObject* /*Sender*/)
{
    netLogIntgCentral->Host = mrv::WebURL();
    netLogIntgCentral->Port = mrv::WebPort();
}
