// TfrmIntgCentral: construction, wiring, and the screen's life from creation to close.
#include "intgcentral.h"

#include "host/controltag.h"
#include "package/pkg_rci06000.h"

#include <adoibquery.h>
#include <btnpesquisa.h>
#include <busyanimation.h>
#include <buttonflat.h>
#include <checkbox.h>
#include <clientdataset.h>
#include <datasource.h>
#include <dateeditplus.h>
#include <dbgrid.h>
#include <dialogs.h>
#include <field.h>
#include <groupbox.h>
#include <helpers.h>
#include <logincontext.h>
#include <maskedit.h>
#include <messages.h>
#include <netconnection.h>
#include <notebook.h>
#include <panel.h>
#include <radiobutton.h>

#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QVBoxLayout>

namespace {

// Takes a widget out of whatever layout of the tree holds it; it keeps its own geometry.
bool takeOutOfLayout(QLayout* layout, QWidget* widget)
{
    for (int i = 0; i < layout->count(); ++i) {
        QLayoutItem* item = layout->itemAt(i);
        if (item->widget() == widget) {
            delete layout->takeAt(i);
            return true;
        }
        if (item->layout() && takeOutOfLayout(item->layout(), widget))
            return true;
    }
    return false;
}

} // namespace

TfrmIntgCentral::TfrmIntgCentral(QWidget* parent)
    : mrv::TfrmRotiGeral(parent)
{
    setObjectName(QStringLiteral("frmIntgCentral"));
    setWindowTitle(QStringLiteral("Integração de Receitas - Centralizada"));
    lblCodTela->setText(QStringLiteral("RCI06000"));
    // The base screen's report group has no use here: shrunk, left where it is, and
    // covered by the main area.
    takeOutOfLayout(layout(), grbDadosRel);
    grbDadosRel->setGeometry(0, 0, 437, 17);

    netIntgCentral = new mrv::TNetConnection(this);
    netIntgCentral->setObjectName(QStringLiteral("netIntgCentral"));
    netIntgCentral->ServerName = QStringLiteral("Rci06000.rdmIntgCentral");
    netIntgCentral->ThrowException = false;

    createCatalogue();
    createDataSets();

    createMenuColumn();
    Panel2 = new mrv::TPanel(clientArea());
    Panel2->setObjectName(QStringLiteral("Panel2"));
    auto* fill = new QVBoxLayout(clientArea());
    fill->setContentsMargins(0, 0, 0, 0);
    fill->addWidget(Panel2);
    createSource();
    createDestination();
    createTabOrder();

    // Fixed single border: the client area never changes size.
    setFixedSize(486, 487);
    move(363, 113);

    bindEvents();
}

TfrmIntgCentral::~TfrmIntgCentral() = default;

void TfrmIntgCentral::bindEvents()
{
    onBeforeConnect(netIntgCentral, &TfrmIntgCentral::netIntgCentralBeforeConnect);
    bindSource();
    bindFilters();
    bindDestination();
    bindRun();
}

void TfrmIntgCentral::FormCreate(QObject* Sender)
{
    mrv::TfrmRotiGeral::FormCreate(Sender);
    if (mrv::ModuFili()) {
        // Head office only; the close empties frmIntgCentral, so nothing is shown.
        mrv::MensErro(msgPadrao->Msg(QStringLiteral("Intg_Mat")), false);
        close();
        return;
    }
    boPrimAtivacao = true;
    nbkFiliDest->setPageIndex(0);
    chbCicloCardClick(chbCicloCard);
    chbDadoCardClick(chbDadoCard);
    stListaCiclo.clear();
    stListaServPadr.clear();
    stListaTpPratCiclo.clear();
}

void TfrmIntgCentral::FormActivate(QObject* Sender)
{
    mrv::TfrmRotiGeral::FormActivate(Sender);
    repaint();
    if (!boPrimAtivacao)
        return;
    // Cleared first: a connection that fails is not tried again on the next activation.
    boPrimAtivacao = false;
    {
        mrv::BusyAnimation busy(0);
        netIntgCentral->Open();
    }
    // The code first: its change empties the name.
    medCdFilial->setText(mrv::FiliProc());
    edtNmFilial->setText(mrv::NomeFiliProc());
    const QString picture = mrv::DBPict(1);
    qryPesqPratos->FieldByName(QStringLiteral("CDPRATO"))->EditMask = picture;
    cdsPesqPratoDadoCard->FieldByName(QStringLiteral("CDPRATO"))->EditMask = picture;
    rci06000::SetTag(lblFilial, 0);
    rci06000::SetTag(medCdFilial, 0);
    rci06000::SetTag(sbtFilial, 0);
}

void TfrmIntgCentral::FormClose(QObject* Sender, mrv::TCloseAction& Action)
{
    while (netIntgCentral->Connected())
        netIntgCentral->Close();
    if (frmIntgCentral == this)
        frmIntgCentral = nullptr;
    mrv::TfrmRotiGeral::FormClose(Sender, Action);
}

void TfrmIntgCentral::FormKeyDown(QObject* Sender, int& Key, Qt::KeyboardModifiers Shift)
{
    mrv::TfrmRotiGeral::FormKeyDown(Sender, Key, Shift);
    if (Key == Qt::Key_F7) {
        if (sbtProcurar->isEnabled())
            sbtProcurar->click();
    } else if (Key == Qt::Key_Return || Key == Qt::Key_Enter) {
        // Enter confirms from any control once the grid has enabled the button.
        if (sbtConfirma->isEnabled())
            sbtConfirma->click();
    }
}

void TfrmIntgCentral::netIntgCentralBeforeConnect(QObject* /*Sender*/)
{
    // Every connect reads the address afresh, so a reconnection follows the login.
    netIntgCentral->Host = mrv::WebURL();
    netIntgCentral->Port = mrv::WebPort();
}

void TfrmIntgCentral::createTabOrder()
{
    // Inside "Origem": the branch row, the menu data, the dishes, and the menu cycle last.
    const QList<QWidget*> order = {
        medCdFilial,         sbtFilial,          edtNmFilial,
        chbDadoCard,         depDataInic,        depDataFina,
        rbtTodosServ,        rbtListaServ,       sbtServico,
        rbtTodosPrato,       rbtListaPrato,      sbtPrato,
        chbArvPadrao,        chbArvLocal,        chbLocal,
        chbServico,          rbtTodosPrat,       rbtListaPrat,
        sbtPesqPrat,         chbCicloCard,       rbtTodosCiclo,
        rbtListaCiclo,       sbtCiclo,           rbtTodosServCiclo,
        rbtListaServCiclo,   sbtPadraoServCiclo, rbtTodosTpPratCiclo,
        rbtListaTpPratCiclo, sbtTpPratCiclo,     medAgrupFilial,
        sbtAgrupFilial,      edtAgrupFilial,     dbgFiliGrup,
    };
    // Buttons that take no focus stay out of the chain.
    QWidget* previous = nullptr;
    for (QWidget* widget : order) {
        if (widget->focusPolicy() == Qt::NoFocus)
            continue;
        if (previous)
            QWidget::setTabOrder(previous, widget);
        previous = widget;
    }
}
