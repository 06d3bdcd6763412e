// TfrmLogIntg: the integration log report (source module Cli_rci06001).
#pragma once

#include <dadosgerrel.h>

namespace mrv {
class TClientDataSet;
class TDataSource;
class TNetConnection;
} // namespace mrv

class TfrmLogIntg : public mrv::TfrmDadosGerRel {
    Q_OBJECT
public:
    explicit TfrmLogIntg(QWidget* parent = nullptr);

    void FormCreate(QObject* Sender) override;
    void FormActivate(QObject* Sender) override;
    void FormClose(QObject* Sender, mrv::TCloseAction& Action) override;
    void netLogIntgCentralBeforeConnect(QObject* Sender);

    mrv::TNetConnection* netLogIntgCentral;
    mrv::TClientDataSet* cdsLogIntCent;
    mrv::TDataSource* dtsLogIntCent;
};
