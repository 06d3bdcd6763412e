// A report of the suite: its definition and the one document rendered from a data set.
#include "report.h"

#include "displaysuspended.h"
#include "errors.h"
#include "field.h"
#include "logincontext.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>

namespace mrv {

namespace {

// The report's own texts, used when the caller's catalogue lacks them.
const char* const kBaseTexts[][2] = {
    {"Arq_Rel_Err", "O arquivo contendo a definição do relatório de código '%s' não foi encontrado no diretório '%s'."},
    {"NovoCaption", "Título do relatório"},
    {"NovoPrompt", "Informe o título do relatório:"},
    {"Rel_Def_Err", "A definição do relatório '%s' não pôde ser lida: %s"},
    {"Rel_Sem_Dados", "O relatório não tem dados para mostrar."},
};

QString fillPercentS(QString text, const QStringList& args)
{
    for (const QString& arg : args) {
        const qsizetype at = text.indexOf(QLatin1String("%s"));
        if (at < 0)
            break;
        text.replace(at, 2, arg);
    }
    return text;
}

Qt::Alignment alignmentOf(const QString& name)
{
    if (name == QLatin1String("right"))
        return Qt::AlignRight;
    if (name == QLatin1String("center"))
        return Qt::AlignHCenter;
    return Qt::AlignLeft;
}

QString csvField(QString text)
{
    if (text.contains(QLatin1Char(';')) || text.contains(QLatin1Char('"')) || text.contains(QLatin1Char('\n'))) {
        text.replace(QLatin1String("\""), QLatin1String("\"\""));
        return QLatin1Char('"') + text + QLatin1Char('"');
    }
    return text;
}

// The report's rows as texts, per the definition's columns the data set has.
struct ReportRows {
    QList<ReportDefinition::Column> columns;
    QList<QStringList> rows;
    QStringList groups;            // group value of every row ("" without grouping)
    QStringList headings;          // the heading text of every row's group
    QStringList groupLabels;       // the titles of the heading's fields the data set has
    QList<QStringList> groupCells; // every row's heading fields, one text each
};

ReportRows collect(const ReportDefinition& def, TDataSet* ds)
{
    ReportRows out;
    QList<TField*> fields;
    for (const ReportDefinition::Column& c : def.columns) {
        if (TField* f = ds ? ds->FindField(c.field) : nullptr) {
            out.columns << c;
            fields << f;
        }
    }
    TField* group = !ds || def.groupBy.isEmpty() ? nullptr : ds->FindField(def.groupBy);
    QList<TField*> heading;
    for (qsizetype i = 0; group && i < def.groupTitle.size(); ++i)
        if (TField* f = ds->FindField(def.groupTitle[i])) {
            heading << f;
            out.groupLabels << def.groupTitleLabels.value(i, f->name());
        }
    if (!ds || !ds->Active())
        return out;
    DisplaySuspended quiet(ds);
    const int keep = ds->RecNo();
    for (int row = 0; row < ds->RecordCount(); ++row) {
        ds->setRecNo(row);
        QStringList cells;
        for (qsizetype c = 0; c < fields.size(); ++c) {
            const QString shown = fields[c]->DisplayText();
            cells << out.columns[c].values.value(shown, shown);
        }
        out.rows << cells;
        QStringList title;
        for (TField* f : heading)
            title << f->DisplayText();
        // A new heading starts where the grouping value changes; the heading shows its title fields.
        out.groups << (group ? group->DisplayText() : QString());
        out.headings << title.join(QStringLiteral(" - "));
        out.groupCells << title;
    }
    if (keep >= 0)
        ds->setRecNo(keep);
    return out;
}

} // namespace

ReportDefinition ReportDefinition::fromJson(const QString& code, const QJsonObject& json)
{
    ReportDefinition def;
    def.code = code;
    def.title = json.value(QLatin1String("title")).toString();
    def.landscape = json.value(QLatin1String("orientation")).toString() == QLatin1String("landscape");
    def.groupBy = json.value(QLatin1String("groupBy")).toString();
    for (const QJsonValue& entry : json.value(QLatin1String("groupTitle")).toArray()) {
        const QString field =
            entry.isObject() ? entry.toObject().value(QLatin1String("field")).toString() : entry.toString();
        if (field.isEmpty())
            continue;
        def.groupTitle << field;
        def.groupTitleLabels << entry.toObject().value(QLatin1String("title")).toString(field);
    }
    if (def.groupTitle.isEmpty() && !def.groupBy.isEmpty()) {
        def.groupTitle << def.groupBy;
        def.groupTitleLabels << def.groupBy;
    }
    for (const QJsonValue& v : json.value(QLatin1String("columns")).toArray()) {
        const QJsonObject c = v.toObject();
        Column column;
        column.field = c.value(QLatin1String("field")).toString();
        column.title = c.value(QLatin1String("title")).toString(column.field);
        column.width = qMax(1, c.value(QLatin1String("width")).toInt(10));
        column.align = alignmentOf(c.value(QLatin1String("align")).toString());
        const QJsonObject values = c.value(QLatin1String("values")).toObject();
        for (auto it = values.begin(); it != values.end(); ++it)
            column.values.insert(it.key(), it.value().toString());
        if (!column.field.isEmpty())
            def.columns << column;
    }
    return def;
}

ReportDefinition Report::load(const QString& code, const QString& reportsDir, const Texts& texts)
{
    const Report texter({}, nullptr, {}, texts);
    const QString dir = QDir(reportsDir).absolutePath();
    const QString path = QDir(dir).filePath(code + QStringLiteral(".json"));
    QFile file(path);
    if (code.isEmpty() || !file.open(QIODevice::ReadOnly))
        throw Exception(fillPercentS(texter.text(QStringLiteral("Arq_Rel_Err")), {code, dir}));
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
    if (!doc.isObject())
        throw Exception(fillPercentS(texter.text(QStringLiteral("Rel_Def_Err")), {path, error.errorString()}));
    return ReportDefinition::fromJson(code, doc.object());
}

Report::Report(ReportDefinition definition, TDataSet* data, QString title, Texts texts)
    : m_definition(std::move(definition))
    , m_data(data)
    , m_title(std::move(title))
    , m_texts(std::move(texts))
{}

QString Report::text(const QString& key) const
{
    if (m_texts) {
        const QString own = m_texts(key);
        if (!own.isEmpty())
            return own;
    }
    for (const auto& line : kBaseTexts)
        if (key.compare(QLatin1String(line[0]), Qt::CaseInsensitive) == 0)
            return QString::fromUtf8(line[1]);
    return key;
}

std::unique_ptr<QTextDocument> Report::document() const
{
    const ReportDefinition& def = m_definition;
    const ReportRows data = collect(def, m_data);
    auto doc = std::make_unique<QTextDocument>();
    doc->setDocumentMargin(12);
    QFont font = doc->defaultFont();
    font.setPointSize(8);
    doc->setDefaultFont(font);
    // Page size in points, so the document's pages match a printed A4 sheet.
    doc->setPageSize(def.landscape ? QSizeF(842, 595) : QSizeF(595, 842));

    QTextCursor cursor(doc.get());
    QTextCharFormat titleFormat;
    titleFormat.setFontPointSize(12);
    titleFormat.setFontWeight(QFont::Bold);
    cursor.insertText(m_title.isEmpty() ? def.title : m_title, titleFormat);
    cursor.insertBlock();
    QTextCharFormat small;
    small.setFontPointSize(7);
    cursor.insertText(
        QStringLiteral("%1   Emitido em %2   Operador: %3")
            .arg(def.code, QDateTime::currentDateTime().toString(QStringLiteral("dd/MM/yyyy hh:mm")), Operador()),
        small);
    cursor.insertBlock();

    if (data.columns.isEmpty() || data.rows.isEmpty()) {
        cursor.insertText(text(QStringLiteral("Rel_Sem_Dados")));
        return doc;
    }
    int groupRows = 0;
    for (qsizetype i = 0; i < data.groups.size(); ++i)
        groupRows += !def.groupBy.isEmpty() && (i == 0 || data.groups[i] != data.groups[i - 1]);

    QTextTableFormat tableFormat;
    tableFormat.setHeaderRowCount(1);
    tableFormat.setCellPadding(2);
    tableFormat.setCellSpacing(0);
    tableFormat.setBorder(0.5);
    tableFormat.setWidth(QTextLength(QTextLength::PercentageLength, 100));
    int total = 0;
    for (const auto& c : data.columns)
        total += c.width;
    QList<QTextLength> widths;
    for (const auto& c : data.columns)
        widths << QTextLength(QTextLength::PercentageLength, 100.0 * c.width / total);
    tableFormat.setColumnWidthConstraints(widths);
    const int columns = int(data.columns.size());
    QTextTable* table = cursor.insertTable(int(data.rows.size()) + groupRows + 1, columns, tableFormat);

    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    auto put = [&](int row, int col, const QString& value, const QTextCharFormat& format, Qt::Alignment align) {
        QTextTableCell cell = table->cellAt(row, col);
        QTextCursor c = cell.firstCursorPosition();
        QTextBlockFormat block;
        block.setAlignment(align);
        c.setBlockFormat(block);
        c.insertText(value, format);
    };
    for (int c = 0; c < columns; ++c)
        put(0, c, data.columns[c].title, bold, data.columns[c].align);
    int row = 1;
    for (qsizetype i = 0; i < data.rows.size(); ++i) {
        if (!def.groupBy.isEmpty() && (i == 0 || data.groups[i] != data.groups[i - 1])) {
            table->mergeCells(row, 0, 1, columns);
            put(row, 0, data.headings[i], bold, Qt::AlignLeft);
            ++row;
        }
        for (int c = 0; c < columns; ++c)
            put(row, c, data.rows[i].value(c), QTextCharFormat(), data.columns[c].align);
        ++row;
    }
    cursor.movePosition(QTextCursor::End);
    cursor.insertBlock();
    cursor.insertText(QStringLiteral("Total de registros: %1").arg(data.rows.size()), small);
    return doc;
}

void Report::savePdf(const QString& path) const
{
    const ReportDefinition& def = m_definition;
    std::unique_ptr<QTextDocument> doc = document();
    {
        // A PDF writer, not a printer: a report needs no print system, nor the widgets that come with it.
        QPdfWriter writer(path);
        writer.setResolution(1200);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageOrientation(def.landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
        doc->print(&writer);
    }
    if (!QFileInfo::exists(path))
        throw Exception(QStringLiteral("Não foi possível gravar o arquivo \"%1\".").arg(path));
}

void Report::saveCsv(const QString& path) const
{
    const ReportRows data = collect(m_definition, m_data);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw Exception(QStringLiteral("Não foi possível gravar o arquivo \"%1\": %2").arg(path, file.errorString()));
    // A CSV has no headings: the group's fields lead every row, so rows of different groups stay apart.
    QStringList header;
    for (const QString& label : data.groupLabels)
        header << csvField(label);
    for (const auto& c : data.columns)
        header << csvField(c.title);
    QByteArray out = "\xEF\xBB\xBF" + header.join(QLatin1Char(';')).toUtf8() + "\r\n"; // BOM: spreadsheets read UTF-8
    for (qsizetype i = 0; i < data.rows.size(); ++i) {
        QStringList cells;
        for (const QString& cell : data.groupCells[i] + data.rows[i])
            cells << csvField(cell);
        out += cells.join(QLatin1Char(';')).toUtf8() + "\r\n";
    }
    file.write(out);
    if (!file.commit())
        throw Exception(QStringLiteral("Não foi possível gravar o arquivo \"%1\": %2").arg(path, file.errorString()));
}

} // namespace mrv
