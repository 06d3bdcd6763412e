// Base report screen: finds reports/<code>.json and renders a data source to a preview,
// a printer, PDF or CSV through one document builder.
#pragma once

#include "dataset.h"
#include "datasource.h"
#include "rotigeral.h"

#include <QJsonObject>
#include <QPointer>

class QFrame;
class QMenu;
class QTextDocument;

namespace mrv {

// A report definition, reports/<code>.json:
// {"title": "...", "orientation": "portrait"|"landscape", "groupBy": "FIELD" (optional),
//  "columns": [{"field": "CDFILIAL", "title": "Filial", "width": 6, "align": "left"|"right"|"center"}]}
// width is relative (characters). Columns whose field the data set lacks are skipped.
struct ReportDefinition {
    struct Column { QString field; QString title; int width = 10; Qt::Alignment align = Qt::AlignLeft; };
    QString code;
    QString title;
    bool landscape = false;
    QString groupBy;
    QList<Column> columns;

    static ReportDefinition fromJson(const QString& code, const QJsonObject& json);
};

class TfrmDadosGerRel : public TfrmRotiGeral {
    Q_OBJECT
public:
    explicit TfrmDadosGerRel(QWidget* parent = nullptr);

    // The report code (shown in lblCodRel) and the data the report reads.
    QString ReportCode() const;
    void setReportCode(const QString& code);
    TDataSource* ReportSource() const { return m_source; }
    void setReportSource(TDataSource* source) { m_source = source; }
    QString ReportTitle;                       // empty: the definition's title

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
    void mniSalvarPdfClick(QObject* Sender);
    void mniSalvarCsvClick(QObject* Sender);

    QFrame* bvlSeparator;
    TPanel* panRelat;
    QLabel* lblCodRel;
    TButtonFlat* sbtVisualizar;
    TButtonFlat* sbtImprimir;
    TButtonFlat* sbtSalvar;
    TButtonFlat* sbtTitulo;
    QMenu* ppmSalvarRelatorio;

private:
    QString text(const QString& key) const;    // catalogue text, the base's own when missing

    QPointer<TDataSource> m_source;
};

} // namespace mrv
