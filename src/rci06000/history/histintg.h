// TfrmHistIntg: the history of integrations: every run, the observations of the selected one, its
// report, and its undo.
#pragma once

#include <rotigeral.h>

namespace mrv {
class TButtonFlat;
class TClientDataSet;
class TDataSource;
class TDBGrid;
class TField;
class TNetConnection;
} // namespace mrv

class QLabel;

class TfrmHistIntg : public mrv::TfrmRotiGeral {
    Q_OBJECT
public:
    explicit TfrmHistIntg(QWidget* parent = nullptr);

    void FormCreate(QObject* Sender) override;
    void FormActivate(QObject* Sender) override;
    void FormClose(QObject* Sender, mrv::TCloseAction& Action) override;
    void netHistIntgBeforeConnect(QObject* Sender);
    void sbtAtualizarClick(QObject* Sender);
    void sbtRelatorioClick(QObject* Sender);
    void sbtDesfazerClick(QObject* Sender);
    void dtsHistoricoDataChange(QObject* Sender);
    void cdsHistoricoIDTIPOINTGGetText(mrv::TField* Sender, QString& Text, bool DisplayText);
    void cdsHistoricoIDTIPORECEGetText(mrv::TField* Sender, QString& Text, bool DisplayText);

    QLabel* lblHistorico;
    mrv::TDBGrid* dbgHistorico;
    QLabel* lblLogHist;
    mrv::TDBGrid* dbgLogHist;
    mrv::TButtonFlat* sbtAtualizar;
    mrv::TButtonFlat* sbtRelatorio;
    mrv::TButtonFlat* sbtDesfazer;

    mrv::TNetConnection* netHistIntg;
    mrv::TClientDataSet* cdsHistorico;
    mrv::TDataSource* dtsHistorico;
    mrv::TClientDataSet* cdsLogHist;
    mrv::TDataSource* dtsLogHist;

private:
    void createDataSets();
    void createControls();
    // The selected run's number (0 when none) and whether it may be undone.
    qint64 selectedRun() const;
    bool undoable() const;
    void loadLog(qint64 run);

    bool m_firstActivation = true;
    qint64 m_logRun = -1;
};
