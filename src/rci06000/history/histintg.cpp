// TfrmHistIntg: the history of integrations, from the service that recorded them.
#include "histintg.h"

#include <intgcentralcalls.h>
#include "host/logcolumns.h"
#include "package/pkg_rci06000.h"

#include <busyanimation.h>
#include <buttoncolumn.h>
#include <buttonflat.h>
#include <clientdataset.h>
#include <datasource.h>
#include <dbgrid.h>
#include <dialogs.h>
#include <errors.h>
#include <field.h>
#include <helpers.h>
#include <hostservices.h>
#include <logincontext.h>
#include <messages.h>
#include <netconnection.h>
#include <report.h>

#include <QLabel>
#include <QVBoxLayout>

using mrv::FieldType;

namespace {

mrv::TButtonFlat* textButton(const char* name, const QString& text, const QString& hint, QWidget* parent)
{
    auto* button = new mrv::TButtonFlat(parent);
    button->setObjectName(QLatin1String(name));
    button->setText(text);
    button->setToolTip(hint);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    button->setFixedSize(44, 26);
    return button;
}

// " - " and the branch's name, for a title; nothing when the name cannot be read (a branch no longer
// registered, a database that does not answer): the title still names the run and its source's code.
QString sourceName(const QString& code)
{
    try {
        return QStringLiteral(" - ") + mrv::ValidaFilial(code, mrv::Operador(), false);
    } catch (const mrv::Exception&) {
        return {};
    }
}

} // namespace

TfrmHistIntg::TfrmHistIntg(QWidget* parent)
    : mrv::TfrmRotiGeral(parent)
{
    setObjectName(QStringLiteral("frmHistIntg"));
    setWindowTitle(QStringLiteral("Histórico de integrações"));
    lblCodTela->setText(QStringLiteral("RCI06002"));
    grbDadosRel->hide();
    sbtConfirma->hide();
    msgPadrao->setLines({
        QStringLiteral("Hist_Mat|O histórico de integrações só pode ser consultado em modo matriz."),
        QStringLiteral("gethist|Carregando o histórico de integrações..."),
        QStringLiteral("getlog|Carregando as observações da integração..."),
        QStringLiteral("sem_intg|Selecione uma integração."),
        QStringLiteral("sem_obs|A integração %1 não tem observações."),
        QStringLiteral("eh_desf|A integração %1 é um desfazimento: não há o que desfazer."),
        QStringLiteral("ja_desf|A integração %1 já foi desfeita."),
        QStringLiteral("conf_desf|Desfazer a integração %1? As receitas que ela substituiu nas filiais destino "
                       "voltam a ser como eram antes dela."),
        QStringLiteral("desf_conc|Integração %1 desfeita: %2 receitas de volta como eram (registrada como %3)."),
        QStringLiteral("tit_log|Log da integração %1 - filial de origem %2"),
    });

    netHistIntg = new mrv::TNetConnection(this);
    netHistIntg->setObjectName(QStringLiteral("netHistIntg"));
    netHistIntg->ServerName = QStringLiteral("Rci06000.rdmIntgCentral");
    createDataSets();
    createControls();
    setMinimumSize(720, 440);

    onBeforeConnect(netHistIntg, &TfrmHistIntg::netHistIntgBeforeConnect);
    onClick(sbtAtualizar, &TfrmHistIntg::sbtAtualizarClick);
    onClick(sbtRelatorio, &TfrmHistIntg::sbtRelatorioClick);
    onClick(sbtDesfazer, &TfrmHistIntg::sbtDesfazerClick);
    onDataChange(dtsHistorico, &TfrmHistIntg::dtsHistoricoDataChange);
    onGetText(cdsHistorico->FieldByName(QStringLiteral("IDTIPOINTG")), &TfrmHistIntg::cdsHistoricoIDTIPOINTGGetText);
    onGetText(cdsHistorico->FieldByName(QStringLiteral("IDTIPORECE")), &TfrmHistIntg::cdsHistoricoIDTIPORECEGetText);
    sbtDesfazer->setEnabled(false);
}

void TfrmHistIntg::createDataSets()
{
    cdsHistorico = new mrv::TClientDataSet(this);
    cdsHistorico->setObjectName(QStringLiteral("cdsHistorico"));
    const struct {
        const char* name;
        FieldType type;
        int size;
        const char* label;
        int width;
    } runs[] = {
        {"NRINTG", FieldType::Integer, 0, "Nº", 6},
        {"IDTIPOINTG", FieldType::String, 1, "Tipo", 12},
        {"NRINTGDESF", FieldType::Integer, 0, "Desfaz", 6},
        {"CDOPERADOR", FieldType::String, 20, "Operador", 10},
        {"DTINICIO", FieldType::String, 19, "Início", 19},
        {"DTFIM", FieldType::String, 19, "Fim", 19},
        {"CDFILIORIG", FieldType::String, 4, "Origem", 6},
        {"IDTIPORECE", FieldType::String, 2, "Receitas", 8},
        {"QTDESTINOS", FieldType::Integer, 0, "Destinos", 8},
        {"QTAPAGADAS", FieldType::Integer, 0, "Linhas removidas", 10},
        {"QTINSERIDAS", FieldType::Integer, 0, "Linhas inseridas", 10},
        {"QTOBSERV", FieldType::Integer, 0, "Observações", 10},
        {"DTDESFEITA", FieldType::String, 19, "Desfeita em", 19},
    };
    for (const auto& c : runs)
        cdsHistorico->addField(QLatin1String(c.name), c.type, c.size, QString::fromUtf8(c.label), c.width);
    cdsHistorico->addField(QStringLiteral("DSDESTINOS"), FieldType::String, 0, {}, 0, false);
    dtsHistorico = new mrv::TDataSource(this);
    dtsHistorico->setObjectName(QStringLiteral("dtsHistorico"));
    dtsHistorico->setDataSet(cdsHistorico);

    cdsLogHist = new mrv::TClientDataSet(this);
    cdsLogHist->setObjectName(QStringLiteral("cdsLogHist"));
    rci06000::addLogColumns(cdsLogHist);
    dtsLogHist = new mrv::TDataSource(this);
    dtsLogHist->setObjectName(QStringLiteral("dtsLogHist"));
    dtsLogHist->setDataSet(cdsLogHist);
}

void TfrmHistIntg::createControls()
{
    auto* layout = new QVBoxLayout(clientArea());
    lblHistorico = new QLabel(QStringLiteral("Integrações, da mais recente"), clientArea());
    lblHistorico->setObjectName(QStringLiteral("lblHistorico"));
    dbgHistorico = new mrv::TDBGrid(clientArea());
    dbgHistorico->setObjectName(QStringLiteral("dbgHistorico"));
    dbgHistorico->setOptions(mrv::TDBGrid::dgTitles | mrv::TDBGrid::dgColumnResize | mrv::TDBGrid::dgColLines |
                             mrv::TDBGrid::dgRowLines | mrv::TDBGrid::dgRowSelect |
                             mrv::TDBGrid::dgAlwaysShowSelection);
    dbgHistorico->setDataSource(dtsHistorico);
    lblLogHist = new QLabel(QStringLiteral("Observações da integração selecionada"), clientArea());
    lblLogHist->setObjectName(QStringLiteral("lblLogHist"));
    dbgLogHist = new mrv::TDBGrid(clientArea());
    dbgLogHist->setObjectName(QStringLiteral("dbgLogHist"));
    dbgLogHist->setOptions(dbgHistorico->options());
    dbgLogHist->setDataSource(dtsLogHist);
    // The observations as the report words them, from the same definition.
    try {
        const mrv::ReportDefinition definition =
            mrv::Report::load(QStringLiteral("RCI060"), mrv::hostServices()->reportsDir());
        for (qsizetype i = 0; i < definition.groupTitle.size(); ++i)
            dbgLogHist->addColumn(definition.groupTitle[i], definition.groupTitleLabels.value(i));
        for (const mrv::ReportDefinition::Column& column : definition.columns) {
            dbgLogHist->addColumn(column.field, column.title);
            if (mrv::TField* field = cdsLogHist->FindField(column.field); field && !column.values.isEmpty())
                field->OnGetText = [values = column.values](mrv::TField* f, QString& text, bool) {
                    text = values.value(f->AsString(), f->AsString());
                };
        }
    } catch (const mrv::Exception&) {
        // Without the definition the grid shows every column as the service sends it.
    }
    layout->addWidget(lblHistorico);
    layout->addWidget(dbgHistorico, 3);
    layout->addWidget(lblLogHist);
    layout->addWidget(dbgLogHist, 2);

    sbtAtualizar = textButton("sbtAtualizar", QStringLiteral("Atual."), QStringLiteral("Atualizar a lista"), panBotoes);
    sbtRelatorio =
        textButton("sbtRelatorio", QStringLiteral("Relat."), QStringLiteral("Relatório das observações"), panBotoes);
    sbtDesfazer =
        textButton("sbtDesfazer", QStringLiteral("Desfaz."), QStringLiteral("Desfazer a integração"), panBotoes);
    for (mrv::TButtonFlat* button : {sbtAtualizar, sbtRelatorio, sbtDesfazer})
        buttonColumn()->addWidget(button, 0, Qt::AlignHCenter);
    mrv::fitButtonColumn(panMenu, {sbtAtualizar, sbtRelatorio, sbtDesfazer});
}

void TfrmHistIntg::FormCreate(QObject* Sender)
{
    mrv::TfrmRotiGeral::FormCreate(Sender);
    if (mrv::ModuFili()) {
        mrv::MensErro(msgPadrao->Msg(QStringLiteral("Hist_Mat")), false);
        close();
    }
}

void TfrmHistIntg::FormActivate(QObject* Sender)
{
    mrv::TfrmRotiGeral::FormActivate(Sender);
    if (!m_firstActivation)
        return;
    // Cleared first: a failed load is tried again by "Atualizar", not by every activation.
    m_firstActivation = false;
    sbtAtualizarClick(sbtAtualizar);
}

void TfrmHistIntg::FormClose(QObject* Sender, mrv::TCloseAction& Action)
{
    netHistIntg->Close();
    if (frmHistIntg == this)
        frmHistIntg = nullptr;
    mrv::TfrmRotiGeral::FormClose(Sender, Action);
}

void TfrmHistIntg::netHistIntgBeforeConnect(QObject* /*Sender*/)
{
    netHistIntg->Host = mrv::WebURL();
    netHistIntg->Port = mrv::WebPort();
}

void TfrmHistIntg::sbtAtualizarClick(QObject* /*Sender*/)
{
    const qint64 keep = selectedRun();
    {
        mrv::BusyAnimation busy(6, msgPadrao->Msg(QStringLiteral("gethist")));
        cdsHistorico->setData(mrv::CheckResultServ(rci06000::ListIntg(netHistIntg), true, 0));
    }
    // Dates, kinds and counts are as wide as their texts, not as a character count guesses.
    dbgHistorico->resizeColumnsToContents();
    if (keep > 0)
        cdsHistorico->Locate(QStringLiteral("NRINTG"), keep);
    m_logRun = -1;
    sbtDesfazer->setEnabled(undoable());
    loadLog(selectedRun());
}

qint64 TfrmHistIntg::selectedRun() const
{
    if (!cdsHistorico->Active() || cdsHistorico->IsEmpty())
        return 0;
    return cdsHistorico->FieldByName(QStringLiteral("NRINTG"))->value().toLongLong();
}

void TfrmHistIntg::loadLog(qint64 run)
{
    if (run == m_logRun)
        return;
    m_logRun = run;
    cdsLogHist->Close();
    const bool undo =
        run > 0 && cdsHistorico->FieldByName(QStringLiteral("IDTIPOINTG"))->AsString() == QLatin1String("D");
    if (run <= 0 || undo)
        return;
    mrv::BusyAnimation busy(6, msgPadrao->Msg(QStringLiteral("getlog")));
    cdsLogHist->setData(mrv::CheckResultServ(rci06000::GetIntgLog(netHistIntg, run), true, 0));
    dbgLogHist->resizeColumnsToContents();
}

void TfrmHistIntg::dtsHistoricoDataChange(QObject* /*Sender*/)
{
    // Set first: a log that fails to load leaves the button saying what the row allows.
    sbtDesfazer->setEnabled(undoable());
    loadLog(selectedRun());
}

bool TfrmHistIntg::undoable() const
{
    // What the service refuses, as the row shows it: an undo, a run already undone, a run never finished.
    // The service still decides (a later run may have replaced the same recipes).
    return selectedRun() > 0 &&
           cdsHistorico->FieldByName(QStringLiteral("IDTIPOINTG"))->AsString() != QLatin1String("D") &&
           cdsHistorico->FieldByName(QStringLiteral("DTDESFEITA"))->AsString().isEmpty() &&
           !cdsHistorico->FieldByName(QStringLiteral("DTFIM"))->AsString().isEmpty();
}

void TfrmHistIntg::cdsHistoricoIDTIPOINTGGetText(mrv::TField* Sender, QString& Text, bool /*DisplayText*/)
{
    Text = Sender->AsString() == QLatin1String("D") ? QStringLiteral("Desfazimento") : QStringLiteral("Integração");
}

void TfrmHistIntg::cdsHistoricoIDTIPORECEGetText(mrv::TField* Sender, QString& Text, bool /*DisplayText*/)
{
    // In the words of the integration screen's "Receita" boxes: "F" local, "S" per service, "X" neither.
    const QString kinds = Sender->AsString();
    QStringList words;
    if (kinds.startsWith(QLatin1Char('F')))
        words << QStringLiteral("Local");
    if (kinds.mid(1, 1) == QLatin1String("S"))
        words << QStringLiteral("Por Serviço");
    Text = words.isEmpty() ? kinds : words.join(QStringLiteral(" e "));
}

void TfrmHistIntg::sbtRelatorioClick(QObject* /*Sender*/)
{
    const qint64 run = selectedRun();
    if (run <= 0)
        mrv::MensErro(msgPadrao->Msg(QStringLiteral("sem_intg")), true);
    if (!cdsLogHist->Active() || cdsLogHist->IsEmpty())
        mrv::MensErro(msgPadrao->Msg(QStringLiteral("sem_obs")).arg(run), true);
    const QString source = cdsHistorico->FieldByName(QStringLiteral("CDFILIORIG"))->AsString();
    rci06000::MostraLogIntegracao(cdsLogHist->Data(),
                                  msgPadrao->Msg(QStringLiteral("tit_log")).arg(run).arg(source) + sourceName(source));
}

void TfrmHistIntg::sbtDesfazerClick(QObject* /*Sender*/)
{
    const qint64 run = selectedRun();
    if (run <= 0)
        mrv::MensErro(msgPadrao->Msg(QStringLiteral("sem_intg")), true);
    if (cdsHistorico->FieldByName(QStringLiteral("IDTIPOINTG"))->AsString() == QLatin1String("D"))
        mrv::MensErro(msgPadrao->Msg(QStringLiteral("eh_desf")).arg(run), true);
    if (!cdsHistorico->FieldByName(QStringLiteral("DTDESFEITA"))->AsString().isEmpty())
        mrv::MensErro(msgPadrao->Msg(QStringLiteral("ja_desf")).arg(run), true);
    if (mrv::dialogs().message(msgPadrao->Msg(QStringLiteral("conf_desf")).arg(run), mrv::mtConfirmation,
                               mrv::mbYesNo) != mrv::mrYes)
        return;
    QJsonObject outcome;
    {
        mrv::BusyAnimation busy(1);
        outcome = mrv::CheckResultServ(rci06000::UndoIntg(netHistIntg, run), true, 0);
    }
    const QJsonArray row = outcome.value(QStringLiteral("rows")).toArray().first().toArray();
    mrv::dialogs().message(
        msgPadrao->Msg(QStringLiteral("desf_conc")).arg(run).arg(row.at(1).toInteger()).arg(row.at(0).toInteger()),
        mrv::mtInformation, mrv::mbOK);
    sbtAtualizarClick(sbtAtualizar);
}
