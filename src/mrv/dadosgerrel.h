// Base report screen: finds reports/<code>.json and renders a data source to a preview,
// a printer, PDF or CSV through one document builder.
#pragma once

#include "dataset.h"
#include "datasource.h"
#include "report.h"
#include "rotigeral.h"

#include <QHash>
#include <QJsonObject>
#include <QPointer>

class QAction;
class QFrame;
class QMenu;
class QTextDocument;

namespace mrv {

class TfrmDadosGerRel : public TfrmRotiGeral {
    Q_OBJECT
public:
    explicit TfrmDadosGerRel(QWidget* parent = nullptr);

    // The report code (shown in lblCodRel) and the data the report reads.
    QString ReportCode() const;
    void setReportCode(const QString& code);
    TDataSource* ReportSource() const { return m_source; }
    void setReportSource(TDataSource* source) { m_source = source; }
    QString ReportTitle; // empty: the definition's title

    // Throws mrv::Exception with Arq_Rel_Err when the definition is missing.
    ReportDefinition definition() const;
    // The one rendering of the report; printer, PDF and preview all print this document.
    std::unique_ptr<QTextDocument> buildDocument() const;
    void savePdf(const QString& path) const;
    void saveCsv(const QString& path) const;

    // The buttons' operations (also callable as the buttons' clicks).
    void sbtVisualizarClick(QObject* Sender);
    void sbtImprimirClick(QObject* Sender);
    void sbtTituloClick(QObject* Sender);
    // Save menu: the PDF asks the title first, then the path; the CSV only the path.
    void actSalvarPDFExecute(QObject* Sender);
    void actSalvarCSVExecute(QObject* Sender);

    QFrame* bvlSeparator;
    TPanel* panRelat;
    QLabel* lblCodRel;
    TButtonFlat* sbtVisualizar;
    TButtonFlat* sbtImprimir;
    TButtonFlat* sbtSalvar;
    TButtonFlat* sbtTitulo;
    QMenu* ppmSalvarRelatorio;
    QAction* actSalvarPDF;
    QAction* actSalvarCSV;

protected:
    // True once per show: for the activation that follows the screen being shown, not for those
    // its own preview and dialogs hand back when they close.
    bool takeShownActivation();
    void showEvent(QShowEvent* event) override;

private:
    QString text(const QString& key) const; // catalogue text, the base's own when missing
    Report report() const;
    Report::Texts catalogue() const;
    // The title prompt; false when the user cancels.
    bool askTitle();

    QPointer<TDataSource> m_source;
    bool m_shownActivation = false;
};

} // namespace mrv
