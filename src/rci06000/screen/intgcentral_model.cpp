// TfrmIntgCentral: the message catalogue, the look-up queries, the client data sets
// and the data sources that link them to the controls.
#include "intgcentral.h"

#include "host/logcolumns.h"

#include <adoibquery.h>
#include <clientdataset.h>
#include <datasource.h>
#include <messages.h>

#include <QStringList>

using mrv::FieldType;

namespace {

const char* const BranchMask = ">aaaa;0; ";

// The stored statements are broken over lines as the database tools wrote them;
// every dialect of the suite runs the same text.
void setStatement(mrv::TADOIBQuery* query, const QStringList& lines)
{
    const QString text = lines.join(QLatin1Char('\n'));
    query->SQL = text;
    query->SQL_ORACLE = text;
    query->SQL_MSSQL = text;
    query->SQL_IB = text;
}

} // namespace

void TfrmIntgCentral::createCatalogue()
{
    msgPadrao->setLines({
        QStringLiteral("fili_inf|Filial deve ser informada."),
        QStringLiteral("filincad|Filial não cadastrada."),
        QStringLiteral("fili_contr_resc|Filial com contrato rescindido."),
        QStringLiteral("padrao|Padrão"),
        QStringLiteral("local|Local"),
        QStringLiteral("arvore_inf|Árvore deve ser informada."),
        QStringLiteral("getgrup|Carregando agrupamento de filiais..."),
        QStringLiteral("naohagrup|Não há agrupamento de filiais cadastrado."),
        QStringLiteral("grupncad|Agrupamento de filiais não cadastrado."),
        QStringLiteral("getprato|Carregando pratos..."),
        QStringLiteral("prato_inf|Não há prato informado para a integração."),
        QStringLiteral("filial_inf|Não há filial destino informada para a integração."),
        QStringLiteral("conf_op|As receitas dos pratos da filial destino serão sobrepostas pelas "
                       "respectivas receitas do prato de origem. \r\nConfirma operação?"),
        QStringLiteral("op_conc|Operação concluída com sucesso."),
        QStringLiteral("pratofin<pratoini|Prato Final deve ser maior ou igual a Prato Inicial."),
        QStringLiteral("orig_dif_dest|Filial Origem deve ser diferente da Filial Destino."),
        QStringLiteral("Servico|Serviço"),
        QStringLiteral("Srv_NCad|Não há serviço cadastrado para a filial informada."),
        QStringLiteral("Tipo_Prato|Tipo de Prato"),
        QStringLiteral("TipoPrato_NCad|Não há tipo de prato cadastrado para a filial informada."),
        QStringLiteral("SERV_DEVE|Serviço deve ser informado."),
        QStringLiteral("TIPOPRAT_DEVE|Tipo de prato deve ser informado."),
        QStringLiteral("DATAINIC_DEVE|Data inicial deve ser informada."),
        QStringLiteral("DATAFINA_DEVE|Data final deve ser informada."),
        QStringLiteral("DATACARD_COMPARA|Data final do cardápio deve ser maior ou igual à data inicial."),
        QStringLiteral("Data_Invalida|não é uma data válida."),
        QStringLiteral("Prato_NExis|Prato não existe no cardápio."),
        QStringLiteral("Prato_NCad|Não existe prato para a filial informada."),
        QStringLiteral("v_log|Exportação realizada, com observações. Deseja Visualizar o log da integração?"),
        QStringLiteral("Intg_Mat|Integração de Receitas Centralizada só pode ser realizada em modo matriz."),
        QStringLiteral("CICLO|Ciclo de cardápio"),
        QStringLiteral("SERVPADR|Padrão de Serviço"),
        QStringLiteral("ServPadr_nCad|Padrão de Serviço não cadastrado."),
        QStringLiteral("CICLO_DEVE|Ciclo deve ser informado."),
        QStringLiteral("SERVPADR_DEVE|Padrão de serviço deve ser informado."),
        QStringLiteral("CDPRATO|Prato"),
        QStringLiteral("Prato_N_INF|Prato deve ser informado."),
        QStringLiteral("N_CAD_FILILOC|Não foram encontrados pratos para a parametrização informada."),
    });
}

void TfrmIntgCentral::createDataSets()
{
    auto query = [this](const char* name) {
        auto* q = new mrv::TADOIBQuery(this);
        q->setObjectName(QLatin1String(name));
        return q;
    };
    auto clientDataSet = [this](const char* name) {
        auto* c = new mrv::TClientDataSet(this);
        c->setObjectName(QLatin1String(name));
        return c;
    };
    auto dataSource = [this](const char* name, mrv::TDataSet* dataSet) {
        auto* d = new mrv::TDataSource(this);
        d->setObjectName(QLatin1String(name));
        d->setDataSet(dataSet);
        return d;
    };
    const QString codigo = QStringLiteral("Código");
    const QString nome = QStringLiteral("Nome");

    qryFilial = query("qryFilial");
    setStatement(qryFilial, {"SELECT", "  CDFILIAL,", "  NMFILIAL", "FROM", "  FILIAL", "ORDER BY", "  CDFILIAL"});
    qryFilial->addField("CDFILIAL", FieldType::String, 4, codigo, 6)->EditMask = BranchMask;
    qryFilial->addField("NMFILIAL", FieldType::String, 30, nome);

    qryPesqPratos = query("qryPesqPratos");
    setStatement(qryPesqPratos, {"SELECT DISTINCT", "  CDFILAUXPRAT,", "  CDPRATO,", "  NMPRATO,",
                                 "  CDFILAUXPRAT||CDPRATO AS CDPESQPRAT", "FROM", "  PRATO", "WHERE",
                                 "  (CDFILAUXPRAT IN (:P_CDFILAUXPRAT, :P_CDFILIAL)) AND",
                                 "  (CDNVPRATO = (SELECT MAX(CDNVPRATO) FROM PRATO))", "ORDER BY", "  CDPRATO,",
                                 "  CDFILAUXPRAT,", "  NMPRATO"});
    qryPesqPratos->addField("CDPRATO", FieldType::String, 10, codigo, 15);
    qryPesqPratos->addField("NMPRATO", FieldType::String, 30, nome);
    qryPesqPratos->addField("CDFILAUXPRAT", FieldType::String, 10, QStringLiteral("Árvore"), 10);
    qryPesqPratos->addField("CDPESQPRAT", FieldType::String, 14, {}, 0, false);

    qryServico = query("qryServico");
    setStatement(qryServico, {"SELECT", "  CDSERVFILI,", "  NMSERVICO", "FROM", "  SERVICO", "WHERE",
                              "  CDFILIAL = :P_CDFILIAL", "ORDER BY", "  CDSERVFILI"});
    qryServico->addField("CDSERVFILI", FieldType::String, 5, codigo, 8);
    qryServico->addField("NMSERVICO", FieldType::String, 40, nome, 48);

    qryTipoPrato = query("qryTipoPrato");
    setStatement(qryTipoPrato, {"SELECT", "  CDTIPOPRAT,", "  NMTIPOPRAT", "FROM", "  TIPOPRAT", "ORDER BY",
                                "  CDTIPOPRAT,", "  NMTIPOPRAT"});
    qryTipoPrato->addField("CDTIPOPRAT", FieldType::String, 2, codigo);
    qryTipoPrato->addField("NMTIPOPRAT", FieldType::String, 15, nome, 40);

    qryCiclo = query("qryCiclo");
    setStatement(qryCiclo,
                 {"SELECT", "  CDCARDCICLO,", "  NMCARDCICLO", "FROM", "  CARDCICLO", "ORDER BY", "  CDCARDCICLO"});
    qryCiclo->addField("CDCARDCICLO", FieldType::String, 5, codigo);
    qryCiclo->addField("NMCARDCICLO", FieldType::String, 40, nome);

    qryServPadr = query("qryServPadr");
    setStatement(qryServPadr,
                 {"SELECT", "  CDSERVPADR,", "  NMSERVPADR", "FROM", "  SERVPADR", "ORDER BY", "  CDSERVPADR"});
    qryServPadr->addField("CDSERVPADR", FieldType::String, 5, codigo);
    qryServPadr->addField("NMSERVPADR", FieldType::String, 40, nome);

    cdsGrupFili = clientDataSet("cdsGrupFili");
    cdsGrupFili->addField("CDGRUPFILI", FieldType::String, 10, codigo, 13);
    cdsGrupFili->addField("NMGRUPFILI", FieldType::String, 40, nome);

    // The mark is not a visible field: the grid shows it through its own first column.
    cdsFiliGrup = clientDataSet("cdsFiliGrup");
    cdsFiliGrup->addField("IDMARCADO", FieldType::String, 1, QStringLiteral("4"), 3, false);
    cdsFiliGrup->addField("CDFILIAL", FieldType::String, 4, codigo, 7)->EditMask = BranchMask;
    cdsFiliGrup->addField("NMFILIAL", FieldType::String, 30, nome);
    cdsFiliGrup->addField("IDCNTRRESC", FieldType::String, 1, {}, 0, false);

    cdsPesqPratoDadoCard = clientDataSet("cdsPesqPratoDadoCard");
    cdsPesqPratoDadoCard->addField("CDPESQPRAT", FieldType::String, 14, {}, 0, false);
    cdsPesqPratoDadoCard->addField("IDMARCADO", FieldType::String, 1, {}, 0, false); // the picker ticks rows itself
    cdsPesqPratoDadoCard->addField("CDPRATO", FieldType::String, 10, codigo, 15);
    cdsPesqPratoDadoCard->addField("NMPRATO", FieldType::String, 30, nome);
    cdsPesqPratoDadoCard->addField("CDFILAUXPRAT", FieldType::String, 10, QStringLiteral("Àrvore"), 10);

    cdsLogIntCent = clientDataSet("cdsLogIntCent");
    rci06000::addLogColumns(cdsLogIntCent);

    dtsFilial = dataSource("dtsFilial", qryFilial);
    // Re-pointed by each dish search at the source it used.
    dtsPesqPrato = dataSource("dtsPesqPrato", qryPesqPratos);
    dtsServico = dataSource("dtsServico", qryServico);
    dtsTipoPrato = dataSource("dtsTipoPrato", qryTipoPrato);
    dtsCiclo = dataSource("dtsCiclo", qryCiclo);
    dtsServPadr = dataSource("dtsServPadr", qryServPadr);
    dtsGrupFili = dataSource("dtsGrupFili", cdsGrupFili);
    dtsFiliGrup = dataSource("dtsFiliGrup", cdsFiliGrup);
}
