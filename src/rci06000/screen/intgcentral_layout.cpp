// TfrmIntgCentral: the controls, where they sit, their captions and defaults, and the
// order the Tab key takes through them.
#include "intgcentral.h"

#include "glyphs.h"

#include <btnpesquisa.h>
#include <buttonflat.h>
#include <checkbox.h>
#include <column.h>
#include <dateeditplus.h>
#include <dbgrid.h>
#include <groupbox.h>
#include <image.h>
#include <maskedit.h>
#include <notebook.h>
#include <panel.h>
#include <radiobutton.h>

#include <QLabel>
#include <QLineEdit>
#include <QPalette>

using namespace mrv;

namespace {

const QString Pesquisar = QStringLiteral("Pesquisar");

template<class W>
W* place(W* widget, const char* name, const QRect& geometry)
{
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(geometry);
    return widget;
}

TGroupBox* group(const char* name, const QString& title, QWidget* parent, const QRect& geometry)
{
    auto* box = place(new TGroupBox(title, parent), name, geometry);
    box->setBoldCaption(true);
    return box;
}

TPanel* panel(const char* name, QWidget* parent, const QRect& geometry)
{
    return place(new TPanel(parent, TPanel::bvNone), name, geometry);
}

QLabel* label(const char* name, const QString& text, QWidget* parent, const QPoint& at)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    l->move(at);
    l->adjustSize();
    return l;
}

TCheckBox* check(const char* name, const QString& text, bool checked, QWidget* parent, const QRect& geometry)
{
    auto* box = place(new TCheckBox(text, parent), name, geometry);
    box->setChecked(checked);
    return box;
}

TRadioButton* radio(const char* name, const QString& text, bool checked, QWidget* parent, const QRect& geometry)
{
    auto* button = place(new TRadioButton(text, parent), name, geometry);
    button->setChecked(checked);
    return button;
}

// A check box that stands in for its group's caption looks like one.
TCheckBox* captionCheck(const char* name, const QString& text, QGroupBox* box)
{
    auto* check = new TCheckBox(text, box);
    check->setObjectName(QLatin1String(name));
    QFont bold = check->font();
    bold.setBold(true);
    check->setFont(bold);
    // Covers the frame line only as far as its own text goes.
    check->setAutoFillBackground(true);
    check->setGeometry(QRect(QPoint(11, -1), check->sizeHint()));
    return check;
}

TButtonFlat* flat(const char* name, const QString& hint, QWidget* parent, const QRect& geometry)
{
    return place(new TButtonFlat(rci06000::searchGlyph(), hint, parent), name, geometry);
}

TBtnPesquisa* search(const char* name, QWidget* parent, const QRect& geometry)
{
    auto* button = place(new TBtnPesquisa(parent), name, geometry);
    button->setToolTip(Pesquisar);
    return button;
}

// One "Todos" / "Lista" pair with its picker button, "Lista" selected.
struct Choice {
    TRadioButton* todos;
    TRadioButton* lista;
    TButtonFlat* button;
};

Choice choice(TGroupBox* box, const char* todos, const char* lista, const char* button)
{
    const int buttonX = box->width() - 31;
    return {radio(todos, QStringLiteral("Todos"), false, box, QRect(8, 18, 60, 17)),
            radio(lista, QStringLiteral("Lista"), true, box, QRect(8, 40, 60, 17)),
            flat(button, Pesquisar, box, QRect(buttonX, 37, 21, 21))};
}

} // namespace

void TfrmIntgCentral::createMenuColumn()
{
    Panel1 = panel("Panel1", panMenu, QRect(0, 101, 48, 28));
    sbtProcurar = place(new TButtonFlat(rci06000::searchGlyph(), QStringLiteral("Procurar prato"), Panel1),
                        "sbtProcurar", QRect(4, 4, 40, 21));
    sbtProcurar->setEnabled(false);
    Panel1->raise();
    createMarkImages();
}

void TfrmIntgCentral::createMarkImages()
{
    imgCheck = place(new TImage(panMenu), "imgCheck", QRect(4, 140, 16, 16));
    imgUncheck = place(new TImage(panMenu), "imgUncheck", QRect(24, 140, 16, 16));
    imgCheck->setPicture(rci06000::markGlyph(true));
    imgUncheck->setPicture(rci06000::markGlyph(false));
    for (TImage* image : {imgCheck, imgUncheck}) {
        image->setTransparentColor(rci06000::MarkBackground);
        image->hide();
    }
}

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

    grbPadroServCiclo = group("grbPadroServCiclo", QStringLiteral("Padrão de Serviço"), grbCicloCard,
                              QRect(146, 20, 135, 65));
    const Choice padrao = choice(grbPadroServCiclo, "rbtTodosServCiclo", "rbtListaServCiclo", "sbtPadraoServCiclo");
    rbtTodosServCiclo = padrao.todos;
    rbtListaServCiclo = padrao.lista;
    sbtPadraoServCiclo = padrao.button;

    grbTipoPratCiclo = group("grbTipoPratCiclo", QStringLiteral("Tipo de Prato"), grbCicloCard,
                             QRect(286, 20, 135, 65));
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

void TfrmIntgCentral::createDestination()
{
    grbDestino = group("grbDestino", QStringLiteral("Destino"), Panel2, QRect(0, 340, 439, 141));
    nbkFiliDest = place(new TNotebook(grbDestino), "nbkFiliDest", QRect(2, 16, 435, 123));
    QWidget* pgListaFili = nbkFiliDest->addPage(QStringLiteral("pgListaFili"));

    panAgrupFili = panel("panAgrupFili", pgListaFili, QRect(0, 0, 435, 37));
    lblGrupFili = label("lblGrupFili", QStringLiteral("Agrup. de Filiais"), panAgrupFili, QPoint(6, 11));
    medAgrupFilial = place(new TMaskEdit(panAgrupFili), "medAgrupFilial", QRect(108, 8, 78, 21));
    medAgrupFilial->setMaxLength(10);
    sbtAgrupFilial = search("sbtAgrupFilial", panAgrupFili, QRect(188, 8, 21, 21));
    sbtAgrupFilial->setAssociate(medAgrupFilial);
    sbtAgrupFilial->Title = QStringLiteral("Agrupamento de Filiais");
    sbtAgrupFilial->setDataSource(dtsGrupFili);
    sbtAgrupFilial->EmptyError = QStringLiteral("Não há agrupamento de filiais cadastrado.");
    edtAgrupFilial = place(new QLineEdit(panAgrupFili), "edtAgrupFilial", QRect(212, 8, 209, 21));
    edtAgrupFilial->setEnabled(false);

    panAgrupFilial = panel("panAgrupFilial", pgListaFili, QRect(0, 37, 435, 86));
    dbgFiliGrup = place(new TDBGrid(panAgrupFilial), "dbgFiliGrup", QRect(0, 0, 435, 86));
    dbgFiliGrup->setFrameShape(QFrame::NoFrame);
    dbgFiliGrup->setOptions(TDBGrid::dgTitles | TDBGrid::dgColumnResize | TDBGrid::dgColLines
                            | TDBGrid::dgRowLines | TDBGrid::dgTabs | TDBGrid::dgRowSelect
                            | TDBGrid::dgConfirmDelete | TDBGrid::dgCancelOnExit);
    dbgFiliGrup->setDataSource(dtsFiliGrup);
    // The field's label "4" is the tick of a symbol font; the title shows the tick itself.
    TColumn* mark = dbgFiliGrup->addColumn(QStringLiteral("IDMARCADO"), QString(QChar(0x2714)));
    QFont bold = dbgFiliGrup->font();
    bold.setBold(true);
    mark->TitleFont = bold;
    mark->TitleAlignment = Qt::AlignCenter;
    dbgFiliGrup->addColumn(QStringLiteral("CDFILIAL"));
    dbgFiliGrup->addColumn(QStringLiteral("NMFILIAL"));
}

void TfrmIntgCentral::createTabOrder()
{
    // Inside "Origem": the branch row, the menu data, the dishes, and the menu cycle last.
    const QList<QWidget*> order = {
        medCdFilial, sbtFilial, edtNmFilial,
        chbDadoCard, depDataInic, depDataFina, rbtTodosServ, rbtListaServ, sbtServico,
        rbtTodosPrato, rbtListaPrato, sbtPrato,
        chbArvPadrao, chbArvLocal, chbLocal, chbServico, rbtTodosPrat, rbtListaPrat, sbtPesqPrat,
        chbCicloCard, rbtTodosCiclo, rbtListaCiclo, sbtCiclo, rbtTodosServCiclo, rbtListaServCiclo,
        sbtPadraoServCiclo, rbtTodosTpPratCiclo, rbtListaTpPratCiclo, sbtTpPratCiclo,
        medAgrupFilial, sbtAgrupFilial, edtAgrupFilial, dbgFiliGrup,
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
