// TfrmIntgCentral: the centralised recipe integration screen (source module Cli_rci06000).
#pragma once

#include <rotigeral.h>

#include <QString>

class QLabel;
class QLineEdit;
class QPainter;
class QRect;
class QWidget;

namespace rci06000 {
struct PesqPratoArgs;
}

namespace mrv {
class TADOIBQuery;
class TBtnPesquisa;
class TButtonFlat;
class TCheckBox;
class TClientDataSet;
class TColumn;
class TDataSource;
class TDateEditPlus;
class TDBGrid;
class TField;
class TGroupBox;
class TImage;
class TMaskEdit;
class TNetConnection;
class TNotebook;
class TPanel;
class TRadioButton;
} // namespace mrv

class TfrmIntgCentral : public mrv::TfrmRotiGeral {
    Q_OBJECT
    // The screen's own state, readable by name (support scripts, tests); only the screen writes it.
    Q_PROPERTY(QString stListaServ READ listaServ)
    Q_PROPERTY(QString stListaTpPrat READ listaTpPrat)
    Q_PROPERTY(QString stListaCiclo READ listaCiclo)
    Q_PROPERTY(QString stListaServPadr READ listaServPadr)
    Q_PROPERTY(QString stListaTpPratCiclo READ listaTpPratCiclo)
    Q_PROPERTY(QString stListaPrato READ listaPrato)
    Q_PROPERTY(bool boTodosMarcados READ todosMarcados)
    Q_PROPERTY(bool boPrimAtivacao READ primAtivacao)
public:
    explicit TfrmIntgCentral(QWidget* parent = nullptr);
    ~TfrmIntgCentral() override;

    // Frame (intgcentral.cpp)
    void FormCreate(QObject* Sender) override;
    void FormActivate(QObject* Sender) override;
    void FormClose(QObject* Sender, mrv::TCloseAction& Action) override;
    void FormKeyDown(QObject* Sender, int& Key, Qt::KeyboardModifiers Shift) override;
    void netIntgCentralBeforeConnect(QObject* Sender);

    // Source branch, trees, dish scope (intgcentral_source.cpp)
    void sbtFilialBeforePesq(QObject* Sender, bool& Ok);
    void sbtFilialAfterPesq(QObject* Sender);
    void medCdFilialChange(QObject* Sender);
    void medCdFilialExit(QObject* Sender);
    void grbOrigemExit(QObject* Sender);
    void grbArvoreExit(QObject* Sender);
    void rbtTodosPratClick(QObject* Sender);
    void rbtListaPratClick(QObject* Sender);
    void sbtPesqPratClick(QObject* Sender);
    void qryPesqPratosCDFILAUXPRATGetText(mrv::TField* Sender, QString& Text, bool DisplayText);
    void cdsPesqPratoDadoCardCDFILAUXPRATGetText(mrv::TField* Sender, QString& Text, bool DisplayText);

    // Menu filters (intgcentral_filters.cpp)
    void chbCicloCardClick(QObject* Sender);
    void rbtTodosCicloClick(QObject* Sender);
    void rbtListaCicloClick(QObject* Sender);
    void rbtTodosServCicloClick(QObject* Sender);
    void rbtListaServCicloClick(QObject* Sender);
    void rbtTodosTpPratCicloClick(QObject* Sender);
    void rbtListaTpPratCicloClick(QObject* Sender);
    void sbtCicloClick(QObject* Sender);
    void sbtPadraoServCicloClick(QObject* Sender);
    void sbtTpPratCicloClick(QObject* Sender);
    void grbCicloCardExit(QObject* Sender);

    void chbDadoCardClick(QObject* Sender);
    void rbtTodosServClick(QObject* Sender);
    void rbtListaServClick(QObject* Sender);
    void rbtListaServKeyDown(QObject* Sender, int& Key, Qt::KeyboardModifiers Shift);
    void sbtServicoClick(QObject* Sender);
    void rbtTodosPratoClick(QObject* Sender);
    void rbtListaPratoClick(QObject* Sender);
    void sbtPratoClick(QObject* Sender);
    void depDataInicExit(QObject* Sender);
    void depDataFinaExit(QObject* Sender);
    void grbDadoCardExit(QObject* Sender);

    // Destination grouping and grid (intgcentral_destination.cpp)
    void sbtAgrupFilialBeforePesq(QObject* Sender, bool& Ok);
    void sbtAgrupFilialAfterPesq(QObject* Sender);
    void medAgrupFilialChange(QObject* Sender);
    void medAgrupFilialExit(QObject* Sender);
    void Vd_GrupFili();
    void grbDestinoEnter(QObject* Sender);
    void panAgrupFilialEnter(QObject* Sender);
    void panAgrupFilialExit(QObject* Sender);
    void dbgFiliGrupDblClick(QObject* Sender);
    void dbgFiliGrupKeyDown(QObject* Sender, int& Key, Qt::KeyboardModifiers Shift);
    void dbgFiliGrupTitleClick(mrv::TColumn* Column);
    void dbgFiliGrupDrawColumnCell(QObject* Sender, QPainter* Canvas, const QRect& Rect, int DataCol,
                                   mrv::TColumn* Column, int State);
    void dtsFiliGrupStateChange(QObject* Sender);
    void sbtProcurarClick(QObject* Sender);

    // Checks and the integration request (intgcentral_run.cpp)
    void Vd_Arvore();
    void Vd_Prato();
    void Vd_DadosCardapio();
    void Vd_CicloCard();
    void Vd_AgrupFili();
    void Vd_FiliDest();
    void sbtConfirmaClick(QObject* Sender);

    // Right-hand column (the base screen adds sbtConfirma to panBotoes)
    mrv::TPanel* Panel1;
    mrv::TButtonFlat* sbtProcurar;
    mrv::TImage* imgCheck;
    mrv::TImage* imgUncheck;

    mrv::TPanel* Panel2;

    // Source
    mrv::TGroupBox* grbOrigem;
    mrv::TPanel* panFilial;
    QLabel* lblFilial;
    mrv::TMaskEdit* medCdFilial;
    mrv::TBtnPesquisa* sbtFilial;
    QLineEdit* edtNmFilial;

    // Menu-cycle filter
    mrv::TGroupBox* grbCicloCard;
    mrv::TCheckBox* chbCicloCard;
    mrv::TGroupBox* grbCiclo;
    mrv::TRadioButton* rbtTodosCiclo;
    mrv::TRadioButton* rbtListaCiclo;
    mrv::TButtonFlat* sbtCiclo;
    mrv::TGroupBox* grbPadroServCiclo;
    mrv::TRadioButton* rbtTodosServCiclo;
    mrv::TRadioButton* rbtListaServCiclo;
    mrv::TButtonFlat* sbtPadraoServCiclo;
    mrv::TGroupBox* grbTipoPratCiclo;
    mrv::TRadioButton* rbtTodosTpPratCiclo;
    mrv::TRadioButton* rbtListaTpPratCiclo;
    mrv::TButtonFlat* sbtTpPratCiclo;

    // Menu-data filter
    mrv::TGroupBox* grbDadoCard;
    mrv::TCheckBox* chbDadoCard;
    mrv::TGroupBox* grbData;
    QLabel* lblDataInic;
    mrv::TDateEditPlus* depDataInic;
    QLabel* lblDataFina;
    mrv::TDateEditPlus* depDataFina;
    mrv::TGroupBox* grbServ;
    mrv::TRadioButton* rbtTodosServ;
    mrv::TRadioButton* rbtListaServ;
    mrv::TButtonFlat* sbtServico;
    mrv::TGroupBox* grbTipoPrato;
    mrv::TRadioButton* rbtTodosPrato;
    mrv::TRadioButton* rbtListaPrato;
    mrv::TButtonFlat* sbtPrato;

    // Dishes: trees, recipe kinds, scope
    mrv::TGroupBox* grbPratos;
    mrv::TGroupBox* grbArvore;
    mrv::TCheckBox* chbArvPadrao;
    mrv::TCheckBox* chbArvLocal;
    mrv::TGroupBox* grbReceita;
    mrv::TCheckBox* chbLocal;
    mrv::TCheckBox* chbServico;
    mrv::TGroupBox* grbPrato;
    mrv::TRadioButton* rbtTodosPrat;
    mrv::TRadioButton* rbtListaPrat;
    mrv::TButtonFlat* sbtPesqPrat;

    // Destination
    mrv::TGroupBox* grbDestino;
    mrv::TNotebook* nbkFiliDest;
    mrv::TPanel* panAgrupFili;
    QLabel* lblGrupFili;
    mrv::TMaskEdit* medAgrupFilial;
    mrv::TBtnPesquisa* sbtAgrupFilial;
    QLineEdit* edtAgrupFilial;
    mrv::TPanel* panAgrupFilial;
    mrv::TDBGrid* dbgFiliGrup;

    // Integration service
    mrv::TNetConnection* netIntgCentral;

    // Look-up queries on the shared database
    mrv::TADOIBQuery* qryFilial;
    mrv::TADOIBQuery* qryPesqPratos;
    mrv::TADOIBQuery* qryServico;
    mrv::TADOIBQuery* qryTipoPrato;
    mrv::TADOIBQuery* qryCiclo;
    mrv::TADOIBQuery* qryServPadr;

    // Packets returned by the service
    mrv::TClientDataSet* cdsGrupFili;
    mrv::TClientDataSet* cdsFiliGrup;
    mrv::TClientDataSet* cdsPesqPratoDadoCard;
    mrv::TClientDataSet* cdsLogIntCent;

    mrv::TDataSource* dtsFilial;
    mrv::TDataSource* dtsPesqPrato;
    mrv::TDataSource* dtsServico;
    mrv::TDataSource* dtsTipoPrato;
    mrv::TDataSource* dtsCiclo;
    mrv::TDataSource* dtsServPadr;
    mrv::TDataSource* dtsGrupFili;
    mrv::TDataSource* dtsFiliGrup;

private:
    QString listaServ() const { return stListaServ; }
    QString listaTpPrat() const { return stListaTpPrat; }
    QString listaCiclo() const { return stListaCiclo; }
    QString listaServPadr() const { return stListaServPadr; }
    QString listaTpPratCiclo() const { return stListaTpPratCiclo; }
    QString listaPrato() const { return stListaPrato; }
    bool todosMarcados() const { return boTodosMarcados; }
    bool primAtivacao() const { return boPrimAtivacao; }

    // Each area builds and binds its controls in its own file: the frame (intgcentral.cpp,
    // intgcentral_model.cpp), the source, the filters, the destination and the run.
    void createCatalogue();
    void createDataSets();
    void createTabOrder();
    void bindEvents();
    void createSource();
    void createDishes();
    void bindSource();
    void createCycleFilter();
    void createDataFilter();
    void bindFilters();
    void createMenuColumn();
    void createMarkImages();
    void createDestination();
    void bindDestination();
    void bindRun();

    // Normalises the source code, validates it and shows its name; a refused code gets the focus back.
    void validaFilialOrigem();
    // The tree values the dish searches take: "P" or "X", the source code or "X".
    QString valorArvorePadrao() const;
    QString valorArvoreLocal() const;
    // The eleven arguments of the remote dish search, for the picker and for "Todos".
    rci06000::PesqPratoArgs argumentosPesqPrato() const;
    // Under "Todos": every dish the choices admit, as a choice list; searches the database,
    // or the service when a menu filter is on.
    QString listaTodosPratos();
    QString tiposReceita() const;
    // The remote dish search into cdsPesqPratoDadoCard, under its animation.
    void pesquisaPratosServidor();
    QString textoArvore(const mrv::TField* field) const;
    // A filter option: "Todos" empties its list and disables its picker, "Lista" enables it;
    // both empty the dish list, which the filter narrowed.
    void opcaoTodos(QString& lista, QWidget* picker);
    void opcaoLista(QWidget* picker);
    // A filter's picker over a query just (re)opened; the focus then goes to its "Lista".
    void escolheLista(mrv::TADOIBQuery* query, mrv::TDataSource* source, const QString& keyField,
                      const QString& titleKey, const QString& emptyKey, QString& lista, QWidget* listaOption);
    // Refuses a date text that is not a date, or is before 1900, with the focus on its editor; empty passes.
    void verificaData(mrv::TDateEditPlus* editor);
    // The menu-data filter's date: refused when empty (with the text of key) or not a date.
    void exigeData(mrv::TDateEditPlus* editor, const QString& key);
    // Gives the focus to control, when it can take it, without the exit or enter checks of the move: a refusal is
    // the one message of its operation.
    void focaRecusa(QWidget* control);
    void carregaGrupFili();
    // The destination grid counts as holding rows only while it is loaded.
    bool temFiliais() const;
    // Gives the focus to control (when it can take it) and stops the operation with the text of key.
    [[noreturn]] void recusa(QWidget* control, const QString& key);

    QString stListaServ;
    QString stListaTpPrat;
    QString stListaCiclo;
    QString stListaServPadr;
    QString stListaTpPratCiclo;
    QString stListaPrato;
    bool boPrimAtivacao = false;
    bool boTodosMarcados = false;
};
