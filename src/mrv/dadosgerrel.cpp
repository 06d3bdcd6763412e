// Base report screen: definition look-up, the document builder and its outputs.
#include "dadosgerrel.h"

#include "buttoncolumn.h"
#include "buttonflat.h"
#include "dataset.h"
#include "dialogs.h"
#include "displaysuspended.h"
#include "errors.h"
#include "field.h"
#include "groupbox.h"
#include "hostservices.h"
#include "logincontext.h"
#include "messages.h"
#include "panel.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QMenu>
#include <QPageLayout>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QSaveFile>
#include <QShowEvent>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>
#include <QVBoxLayout>

#include <utility>

namespace mrv {

namespace {

// The base screen's own catalogue texts, used when the screen's catalogue lacks them; the report has its own.
const char* const baseTexts[][2] = {
    {"NovoCaption", "Título do relatório"},
    {"NovoPrompt", "Informe o título do relatório:"},
};

TButtonFlat* reportButton(const QString& name, const QString& text, const QString& hint, QWidget* parent)
{
    auto* b = new TButtonFlat(parent);
    b->setObjectName(name);
    b->setText(text);
    b->setToolTip(hint);
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    b->setFixedSize(40, 26);
    return b;
}

} // namespace

TfrmDadosGerRel::TfrmDadosGerRel(QWidget* parent)
    : TfrmRotiGeral(parent)
    , bvlSeparator(new QFrame(grbDadosRel))
    , panRelat(new TPanel(grbDadosRel))
    , lblCodRel(new QLabel(panMenu))
    , sbtVisualizar(
          reportButton(QStringLiteral("sbtVisualizar"), QStringLiteral("Ver"), QStringLiteral("Visualizar"), panBotoes))
    , sbtImprimir(
          reportButton(QStringLiteral("sbtImprimir"), QStringLiteral("Impr."), QStringLiteral("Imprimir"), panBotoes))
    , sbtSalvar(reportButton(QStringLiteral("sbtSalvar"), QStringLiteral("Salvar"), QStringLiteral("Salvar relatório"),
                             panBotoes))
    , sbtTitulo(reportButton(QStringLiteral("sbtTitulo"), QStringLiteral("Título"),
                             QStringLiteral("Título do relatório"), panBotoes))
    , ppmSalvarRelatorio(new QMenu(this))
{
    bvlSeparator->setObjectName(QStringLiteral("bvlSeparator"));
    bvlSeparator->setFrameShape(QFrame::HLine);
    bvlSeparator->setFrameShadow(QFrame::Sunken);
    panRelat->setObjectName(QStringLiteral("panRelat"));
    lblCodRel->setObjectName(QStringLiteral("lblCodRel"));
    lblCodRel->setAlignment(Qt::AlignCenter);
    ppmSalvarRelatorio->setObjectName(QStringLiteral("ppmSalvarRelatorio"));
    sbtConfirma->hide(); // a report screen confirms nothing; its buttons are the outputs

    auto* reportLayout = new QVBoxLayout(grbDadosRel);
    reportLayout->setContentsMargins(4, 4, 4, 4);
    reportLayout->addWidget(bvlSeparator);
    reportLayout->addWidget(panRelat);

    buttonColumn()->addWidget(sbtVisualizar, 0, Qt::AlignHCenter);
    buttonColumn()->addWidget(sbtImprimir, 0, Qt::AlignHCenter);
    buttonColumn()->addWidget(sbtSalvar, 0, Qt::AlignHCenter);
    buttonColumn()->addWidget(sbtTitulo, 0, Qt::AlignHCenter);
    buttonColumn()->addWidget(lblCodRel);

    actSalvarPDF = ppmSalvarRelatorio->addAction(QStringLiteral("Salvar como PDF..."));
    actSalvarPDF->setObjectName(QStringLiteral("actSalvarPDF"));
    actSalvarCSV = ppmSalvarRelatorio->addAction(QStringLiteral("Salvar como CSV..."));
    actSalvarCSV->setObjectName(QStringLiteral("actSalvarCSV"));
    sbtSalvar->setMenu(ppmSalvarRelatorio);
    sbtSalvar->setPopupMode(QToolButton::InstantPopup);
    fitButtonColumn(panMenu, {sbtVisualizar, sbtImprimir, sbtSalvar, sbtTitulo, lblCodRel});

    onClick(sbtVisualizar, &TfrmDadosGerRel::sbtVisualizarClick);
    onClick(sbtImprimir, &TfrmDadosGerRel::sbtImprimirClick);
    onClick(sbtTitulo, &TfrmDadosGerRel::sbtTituloClick);
    connect(actSalvarPDF, &QAction::triggered, this,
            [this] { invokeGuarded([this] { actSalvarPDFExecute(sbtSalvar); }); });
    connect(actSalvarCSV, &QAction::triggered, this,
            [this] { invokeGuarded([this] { actSalvarCSVExecute(sbtSalvar); }); });
}

QString TfrmDadosGerRel::ReportCode() const
{
    return lblCodRel->text();
}

void TfrmDadosGerRel::setReportCode(const QString& code)
{
    lblCodRel->setText(code);
    fitButtonColumn(panMenu, {sbtVisualizar, sbtImprimir, sbtSalvar, sbtTitulo, lblCodRel});
}

QString TfrmDadosGerRel::text(const QString& key) const
{
    if (msgPadrao->contains(key))
        return msgPadrao->Msg(key);
    for (const auto& line : baseTexts)
        if (key.compare(QLatin1String(line[0]), Qt::CaseInsensitive) == 0)
            return QString::fromUtf8(line[1]);
    return key;
}

ReportDefinition TfrmDadosGerRel::definition() const
{
    return Report::load(ReportCode(), hostServices()->reportsDir(), catalogue());
}

Report TfrmDadosGerRel::report() const
{
    return Report(definition(), m_source ? m_source->DataSet() : nullptr, ReportTitle, catalogue());
}

Report::Texts TfrmDadosGerRel::catalogue() const
{
    // The screen's catalogue lines win over the report's own texts.
    return [this](const QString& key) { return msgPadrao->contains(key) ? msgPadrao->Msg(key) : QString(); };
}

std::unique_ptr<QTextDocument> TfrmDadosGerRel::buildDocument() const
{
    return report().document();
}

void TfrmDadosGerRel::savePdf(const QString& path) const
{
    report().savePdf(path);
}

void TfrmDadosGerRel::saveCsv(const QString& path) const
{
    report().saveCsv(path);
}

bool TfrmDadosGerRel::takeShownActivation()
{
    return std::exchange(m_shownActivation, false);
}

void TfrmDadosGerRel::showEvent(QShowEvent* event)
{
    // Set before the base's step, which may activate an MDI child at once. A window restored from
    // minimised is shown by the window system (spontaneous): the same report, already seen.
    if (!event->spontaneous())
        m_shownActivation = true;
    TfrmRotiGeral::showEvent(event);
}

void TfrmDadosGerRel::sbtVisualizarClick(QObject*)
{
    std::unique_ptr<QTextDocument> doc = buildDocument();
    dialogs().preview(ReportTitle.isEmpty() ? windowTitle() : ReportTitle, doc.get());
}

void TfrmDadosGerRel::sbtImprimirClick(QObject*)
{
    const ReportDefinition def = definition();
    std::unique_ptr<QTextDocument> doc = buildDocument();
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageOrientation(def.landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() == QDialog::Accepted)
        doc->print(&printer);
}

bool TfrmDadosGerRel::askTitle()
{
    QString title = ReportTitle.isEmpty() ? definition().title : ReportTitle;
    if (!dialogs().inputText(text(QStringLiteral("NovoCaption")), text(QStringLiteral("NovoPrompt")), title))
        return false;
    ReportTitle = title;
    return true;
}

void TfrmDadosGerRel::sbtTituloClick(QObject*)
{
    askTitle();
}

void TfrmDadosGerRel::actSalvarPDFExecute(QObject*)
{
    if (!askTitle())
        return;
    const QString path =
        withDefaultSuffix(dialogs().savePath(ReportCode() + QStringLiteral(".pdf"), QStringLiteral("PDF (*.pdf)")),
                          QStringLiteral("pdf"));
    if (!path.isEmpty())
        savePdf(path);
}

void TfrmDadosGerRel::actSalvarCSVExecute(QObject*)
{
    const QString path =
        withDefaultSuffix(dialogs().savePath(ReportCode() + QStringLiteral(".csv"), QStringLiteral("CSV (*.csv)")),
                          QStringLiteral("csv"));
    if (!path.isEmpty())
        saveCsv(path);
}

} // namespace mrv
