// TfrmIntgCentral: the destination grouping, the grid of destination branches, its marks,
// the find button and the mark images of the right-hand column.
#include "intgcentral.h"

#include <intgcentralcalls.h>
#include "screencontrols.h"

#include <btnpesquisa.h>
#include <busyanimation.h>
#include <buttonflat.h>
#include <clientdataset.h>
#include <column.h>
#include <cursorguard.h>
#include <dbgrid.h>
#include <dialogs.h>
#include <displaysuspended.h>
#include <glyphs.h>
#include <helpers.h>
#include <image.h>
#include <maskedit.h>
#include <messages.h>
#include <notebook.h>

#include <QHeaderView>
#include <QLineEdit>
#include <QPainter>

using namespace mrv;
using namespace rci06000::Internal;

namespace {

const QString Marcado = QStringLiteral("IDMARCADO");

bool isMarkColumn(const mrv::TColumn* column)
{
    return column && column->FieldName.compare(Marcado, Qt::CaseInsensitive) == 0;
}

} // namespace

void TfrmIntgCentral::createMenuColumn()
{
    Panel1 = panel("Panel1", panMenu, QRect(0, 101, 48, 28));
    sbtProcurar = place(new TButtonFlat(glyphIcon(Glyph::Search), QStringLiteral("Procurar prato"), Panel1),
                        "sbtProcurar", QRect(4, 4, 40, 21));
    sbtProcurar->setEnabled(false);
    Panel1->raise();
    createMarkImages();
}

void TfrmIntgCentral::createMarkImages()
{
    imgCheck = place(new TImage(panMenu), "imgCheck", QRect(4, 140, 16, 16));
    imgUncheck = place(new TImage(panMenu), "imgUncheck", QRect(24, 140, 16, 16));
    imgCheck->setPicture(markGlyph(true));
    imgUncheck->setPicture(markGlyph(false));
    for (TImage* image : {imgCheck, imgUncheck}) {
        image->setTransparentColor(MarkBackground);
        image->hide();
    }
}

void TfrmIntgCentral::createDestination()
{
    grbDestino = group("grbDestino", QStringLiteral("Destino"), Panel2, QRect(0, 340, 439, 141));
    nbkFiliDest = place(new TNotebook(grbDestino), "nbkFiliDest", QRect(2, 16, 435, 123));
    QWidget* pgListaFili = nbkFiliDest->addPage(QStringLiteral("pgListaFili"));

    panAgrupFili = panel("panAgrupFili", pgListaFili, QRect(0, 0, 435, 37));
    lblGrupFili = label("lblGrupFili", QStringLiteral("Agrup. de Filiais"), panAgrupFili, QPoint(6, 11));
    // Wide enough for a whole ten-digit code in the font in use; the name box gives way.
    medAgrupFilial = place(new TMaskEdit(panAgrupFili), "medAgrupFilial", QRect(108, 8, 78, 21));
    medAgrupFilial->setMaxLength(10);
    const int grow = qMax(0, medAgrupFilial->fontMetrics().horizontalAdvance(QString(10, QLatin1Char('0'))) + 14 - 78);
    medAgrupFilial->resize(78 + grow, 21);
    sbtAgrupFilial = search("sbtAgrupFilial", panAgrupFili, QRect(188 + grow, 8, 21, 21));
    sbtAgrupFilial->setAssociate(medAgrupFilial);
    sbtAgrupFilial->Title = QStringLiteral("Agrupamento de Filiais");
    sbtAgrupFilial->setDataSource(dtsGrupFili);
    sbtAgrupFilial->EmptyError = QStringLiteral("Não há agrupamento de filiais cadastrado.");
    edtAgrupFilial = place(new QLineEdit(panAgrupFili), "edtAgrupFilial", QRect(212 + grow, 8, 209 - grow, 21));
    edtAgrupFilial->setEnabled(false);

    panAgrupFilial = panel("panAgrupFilial", pgListaFili, QRect(0, 37, 435, 86));
    dbgFiliGrup = place(new TDBGrid(panAgrupFilial), "dbgFiliGrup", QRect(0, 0, 435, 86));
    dbgFiliGrup->setFrameShape(QFrame::NoFrame);
    dbgFiliGrup->setOptions(TDBGrid::dgTitles | TDBGrid::dgColumnResize | TDBGrid::dgColLines | TDBGrid::dgRowLines |
                            TDBGrid::dgTabs | TDBGrid::dgRowSelect | TDBGrid::dgConfirmDelete |
                            TDBGrid::dgCancelOnExit);
    dbgFiliGrup->setDataSource(dtsFiliGrup);
    // The field's label "4" is the tick of a symbol font; the title shows the tick itself.
    TColumn* mark = dbgFiliGrup->addColumn(QStringLiteral("IDMARCADO"), QString(QChar(0x2714)));
    QFont bold = dbgFiliGrup->font();
    bold.setBold(true);
    mark->TitleFont = bold;
    mark->TitleAlignment = Qt::AlignCenter;
    dbgFiliGrup->addColumn(QStringLiteral("CDFILIAL"));
    dbgFiliGrup->addColumn(QStringLiteral("NMFILIAL"));
    // The name takes the room left, rather than being cut beside empty space.
    dbgFiliGrup->horizontalHeader()->setStretchLastSection(true);
}

void TfrmIntgCentral::bindDestination()
{
    onBeforePesq(sbtAgrupFilial, &TfrmIntgCentral::sbtAgrupFilialBeforePesq);
    onAfterPesq(sbtAgrupFilial, &TfrmIntgCentral::sbtAgrupFilialAfterPesq);
    onChange(medAgrupFilial, &TfrmIntgCentral::medAgrupFilialChange);
    onExit(medAgrupFilial, &TfrmIntgCentral::medAgrupFilialExit);
    onEnter(grbDestino, &TfrmIntgCentral::grbDestinoEnter);
    onEnter(panAgrupFilial, &TfrmIntgCentral::panAgrupFilialEnter);
    onExit(panAgrupFilial, &TfrmIntgCentral::panAgrupFilialExit);
    onDblClick(dbgFiliGrup, &TfrmIntgCentral::dbgFiliGrupDblClick);
    onKeyDown(dbgFiliGrup, &TfrmIntgCentral::dbgFiliGrupKeyDown);
    onTitleClick(dbgFiliGrup, &TfrmIntgCentral::dbgFiliGrupTitleClick);
    onDrawColumnCell(dbgFiliGrup, &TfrmIntgCentral::dbgFiliGrupDrawColumnCell);
    onStateChange(dtsFiliGrup, &TfrmIntgCentral::dtsFiliGrupStateChange);
    onClick(sbtProcurar, &TfrmIntgCentral::sbtProcurarClick);
}

void TfrmIntgCentral::carregaGrupFili()
{
    // A load that fails leaves the list inactive, so the next need of it asks again.
    cdsGrupFili->setData(mrv::CheckResultServ(rci06000::GetGrupFili(netIntgCentral), true, 0));
}

void TfrmIntgCentral::sbtAgrupFilialBeforePesq(QObject* /*Sender*/, bool& /*Ok*/)
{
    mrv::CursorGuard hourglass;
    if (!cdsGrupFili->Active())
        carregaGrupFili();
}

void TfrmIntgCentral::sbtAgrupFilialAfterPesq(QObject* /*Sender*/)
{
    // The code first: its change empties the name.
    medAgrupFilial->setText(cdsGrupFili->FieldByName(QStringLiteral("CDGRUPFILI"))->AsString());
    edtAgrupFilial->setText(cdsGrupFili->FieldByName(QStringLiteral("NMGRUPFILI"))->AsString());
}

void TfrmIntgCentral::medAgrupFilialChange(QObject* /*Sender*/)
{
    // The grid belongs to the grouping it was loaded for; its marks go with it.
    edtAgrupFilial->clear();
    if (cdsFiliGrup->Active())
        cdsFiliGrup->Close();
}

void TfrmIntgCentral::medAgrupFilialExit(QObject* /*Sender*/)
{
    mrv::CursorGuard hourglass;
    Vd_GrupFili();
}

void TfrmIntgCentral::Vd_GrupFili()
{
    if (mrv::EmptyString(medAgrupFilial->text()))
        return;
    // Written back only when it differs, so a validated code keeps a loaded grid.
    medAgrupFilial->setText(mrv::Ajusta(medAgrupFilial->text(), 10));
    try {
        if (!cdsGrupFili->Active())
            carregaGrupFili();
        if (cdsGrupFili->IsEmpty()) {
            edtAgrupFilial->clear();
            mrv::MensErro(msgPadrao->Msg(QStringLiteral("naohagrup")), true);
        }
        // Exact, letter case included: a code in another case is not that grouping.
        if (!cdsGrupFili->Locate(QStringLiteral("CDGRUPFILI"), medAgrupFilial->text())) {
            edtAgrupFilial->clear();
            mrv::MensErro(msgPadrao->Msg(QStringLiteral("grupncad")), true);
        }
        medAgrupFilial->setText(cdsGrupFili->FieldByName(QStringLiteral("CDGRUPFILI"))->AsString());
        edtAgrupFilial->setText(cdsGrupFili->FieldByName(QStringLiteral("NMGRUPFILI"))->AsString());
    } catch (...) {
        if (medAgrupFilial->isVisible() && medAgrupFilial->isEnabled())
            medAgrupFilial->setFocus(Qt::OtherFocusReason);
        throw;
    }
}

void TfrmIntgCentral::grbDestinoEnter(QObject* /*Sender*/)
{
    Vd_Prato();
}

void TfrmIntgCentral::panAgrupFilialEnter(QObject* /*Sender*/)
{
    const QString grupo = mrv::EmptyString(medAgrupFilial->text()) ? QStringLiteral("T") : medAgrupFilial->text();
    if (!cdsFiliGrup->Active()) {
        mrv::BusyAnimation busy(6, msgPadrao->Msg(QStringLiteral("getgrup")));
        Vd_GrupFili();
        cdsFiliGrup->setData(
            mrv::CheckResultServ(rci06000::GetFiliGrup(netIntgCentral, grupo, medCdFilial->text()), true, 0));
        boTodosMarcados = false;
    }
    sbtProcurar->setEnabled(temFiliais());
}

void TfrmIntgCentral::panAgrupFilialExit(QObject* /*Sender*/)
{
    sbtProcurar->setEnabled(false);
}

bool TfrmIntgCentral::temFiliais() const
{
    return cdsFiliGrup->Active() && !cdsFiliGrup->IsEmpty();
}

void TfrmIntgCentral::dbgFiliGrupDblClick(QObject* /*Sender*/)
{
    if (!temFiliais())
        return;
    cdsFiliGrup->Edit();
    mrv::TField* mark = cdsFiliGrup->FieldByName(Marcado);
    if (mark->AsString() == QLatin1String("S")) {
        mark->setAsString(QStringLiteral("N"));
        boTodosMarcados = false;
    } else {
        if (cdsFiliGrup->FieldByName(QStringLiteral("IDCNTRRESC"))->AsString() == QLatin1String("S")) {
            cdsFiliGrup->Cancel();
            mrv::MensErro(msgPadrao->Msg(QStringLiteral("fili_contr_resc")), true);
        }
        mark->setAsString(QStringLiteral("S"));
        boTodosMarcados = true;
    }
    cdsFiliGrup->Post();
}

void TfrmIntgCentral::dbgFiliGrupKeyDown(QObject* /*Sender*/, int& Key, Qt::KeyboardModifiers Shift)
{
    const Qt::KeyboardModifiers held = Shift & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    mrv::TField* selected = dbgFiliGrup->SelectedField();
    if (Key == Qt::Key_Space && selected && selected->name().compare(Marcado, Qt::CaseInsensitive) == 0) {
        if (held == Qt::NoModifier)
            dbgFiliGrupDblClick(dbgFiliGrup);
        else if (held == Qt::ControlModifier)
            dbgFiliGrupTitleClick(dbgFiliGrup->Column(mrv::IndiceCol(dbgFiliGrup, Marcado)));
    }
    // The grid never deletes a branch.
    if ((Shift & Qt::ControlModifier) && Key == Qt::Key_Delete)
        Key = 0;
}

void TfrmIntgCentral::dbgFiliGrupTitleClick(mrv::TColumn* Column)
{
    if (!temFiliais() || !isMarkColumn(Column))
        return;
    // The user's row is found again by its code, not by a position.
    const QString current = cdsFiliGrup->FieldByName(QStringLiteral("CDFILIAL"))->AsString();
    mrv::DisplaySuspended suspended(cdsFiliGrup); // one repaint at the end
    cdsFiliGrup->First();
    boTodosMarcados = !boTodosMarcados;
    const QString mark = boTodosMarcados ? QStringLiteral("S") : QStringLiteral("N");
    mrv::TField* field = cdsFiliGrup->FieldByName(Marcado);
    // Rescinded contracts are marked too; the confirmation refuses them.
    while (!cdsFiliGrup->Eof()) {
        cdsFiliGrup->Edit();
        field->setAsString(mark);
        cdsFiliGrup->Post();
        cdsFiliGrup->Next();
    }
    cdsFiliGrup->Locate(QStringLiteral("CDFILIAL"), current);
}

void TfrmIntgCentral::dbgFiliGrupDrawColumnCell(QObject* /*Sender*/, QPainter* Canvas, const QRect& Rect,
                                                int /*DataCol*/, mrv::TColumn* Column, int /*State*/)
{
    if (!temFiliais() || !isMarkColumn(Column))
        return;
    mrv::TField* mark = cdsFiliGrup->FieldByName(Marcado);
    const bool unmarked = mark->IsNull() || mark->AsString() == QLatin1String("N");
    const QPixmap& glyph = (unmarked ? imgUncheck : imgCheck)->picture();
    // The box shows on the cell's own background, the selection colour included.
    Canvas->fillRect(Rect, Canvas->brush());
    Canvas->drawPixmap(Rect.left() + 2, Rect.top(), glyph, 0, 0, glyph.width(), Rect.height());
}

void TfrmIntgCentral::dtsFiliGrupStateChange(QObject* /*Sender*/)
{
    sbtConfirma->setEnabled(temFiliais());
}

void TfrmIntgCentral::sbtProcurarClick(QObject* /*Sender*/)
{
    if (focusWidget() != dbgFiliGrup)
        return;
    dbgFiliGrup->setOptions(dbgFiliGrup->options() | mrv::TDBGrid::dgAlwaysShowSelection);
    struct Restore {
        mrv::TDBGrid* grid;
        ~Restore() { grid->setOptions(grid->options() & ~mrv::TDBGrid::dgAlwaysShowSelection); }
    } restore{dbgFiliGrup};
    mrv::Procura(cdsFiliGrup);
}
