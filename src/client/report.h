// A report of the suite: its definition (reports/<code>.json) and the one document rendered from a
// data set, shown, printed and saved as PDF or CSV. Needs no window: screens and the command line share it.
#pragma once

#include "dataset.h"

#include <QHash>
#include <QJsonObject>
#include <QString>
#include <functional>
#include <memory>

class QTextDocument;

namespace mrv {

// A report definition, reports/<code>.json:
// {"title": "...", "orientation": "portrait"|"landscape",
//  "groupBy": "FIELD", "groupTitle": ["FIELD" or {"field": "FIELD", "title": "Filial destino"}, ...]
//  (optional: rows of one value of groupBy under a heading of the groupTitle fields, " - " between
//  them; groupBy alone by default; the CSV, which has no headings, repeats those fields in leading
//  columns of every row, headed by their titles),
//  "columns": [{"field": "CDFILIAL", "title": "Filial", "width": 6, "align": "left"|"right"|"center",
//               "values": {"1": "text shown for 1"} (optional)}]}
// width is relative (characters). Columns whose field the data set lacks are skipped.
struct ReportDefinition {
    struct Column {
        QString field;
        QString title;
        int width = 10;
        Qt::Alignment align = Qt::AlignLeft;
        QHash<QString, QString> values; // stored value -> text shown; others as they are
    };
    QString code;
    QString title;
    bool landscape = false;
    QString groupBy;
    QStringList groupTitle;       // the heading's fields
    QStringList groupTitleLabels; // their CSV column titles, the field's name when not given
    QList<Column> columns;

    static ReportDefinition fromJson(const QString& code, const QJsonObject& json);
};

class Report {
public:
    // The catalogue text of a key (Arq_Rel_Err, Rel_Def_Err, Rel_Sem_Dados); the report's own when empty.
    using Texts = std::function<QString(const QString& key)>;

    // Throws mrv::Exception with Arq_Rel_Err (code, directory) when the definition is missing.
    static ReportDefinition load(const QString& code, const QString& dir, const Texts& texts = {});

    Report(ReportDefinition definition, TDataSet* data, QString title = {}, Texts texts = {});

    std::unique_ptr<QTextDocument> document() const;
    void savePdf(const QString& path) const;
    void saveCsv(const QString& path) const;

private:
    QString text(const QString& key) const;

    ReportDefinition m_definition;
    TDataSet* m_data;
    QString m_title;
    Texts m_texts;
};

} // namespace mrv
