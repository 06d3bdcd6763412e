// What suite-cli prints.
#include "output.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <cstdio>

namespace suite::cli {

QString table(const QJsonObject& packet, const QList<Shown>& columns)
{
    const QJsonArray names = packet.value(QStringLiteral("columns")).toArray();
    QList<int> index;
    QList<Shown> shown;
    for (const Shown& column : columns) {
        for (qsizetype i = 0; i < names.size(); ++i) {
            if (names.at(i).toObject().value(QStringLiteral("name")).toString() == column.field) {
                index << int(i);
                shown << column;
                break;
            }
        }
    }
    QList<QStringList> cells;
    QStringList titles;
    for (const Shown& column : shown)
        titles << column.title;
    cells << titles;
    for (const QJsonValue& rowValue : packet.value(QStringLiteral("rows")).toArray()) {
        const QJsonArray row = rowValue.toArray();
        QStringList texts;
        for (qsizetype c = 0; c < index.size(); ++c) {
            const QJsonValue cell = row.at(index.at(c));
            QString text = cell.isDouble() ? QString::number(cell.toDouble(), 'g', 15) : cell.toString();
            texts << shown.at(c).values.value(text, text);
        }
        cells << texts;
    }
    QList<qsizetype> widths(shown.size(), 0);
    for (const QStringList& row : cells)
        for (qsizetype c = 0; c < row.size(); ++c)
            widths[c] = qMax(widths[c], row.at(c).size());
    QString out;
    for (const QStringList& row : cells) {
        QStringList padded;
        for (qsizetype c = 0; c < row.size(); ++c)
            padded << (c + 1 < row.size() ? row.at(c).leftJustified(widths[c]) : row.at(c));
        // Only the end is trimmed: a row whose first cells are empty keeps its columns in line.
        QString line = padded.join(QStringLiteral("  "));
        while (line.endsWith(QLatin1Char(' ')))
            line.chop(1);
        out += line + QLatin1Char('\n');
    }
    return out;
}

void printOut(const QString& text)
{
    std::fputs(text.toUtf8().constData(), stdout);
    std::fflush(stdout);
}

void printErr(const QString& text)
{
    std::fputs(text.toUtf8().constData(), stderr);
    std::fflush(stderr);
}

void printJson(const QJsonObject& object)
{
    printOut(QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Indented)));
}

} // namespace suite::cli
