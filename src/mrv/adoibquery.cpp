// Query opened into memory through the shared connection, parameters bound by name.
#include "adoibquery.h"

#include "errors.h"
#include "hostservices.h"

#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>

namespace mrv {

namespace {

bool isNameStart(QChar c)
{
    return c.isLetter() || c == QLatin1Char('_');
}
bool isNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

// The statement with every ":NAME" outside quotes replaced by "?", and the names in order.
struct Positional {
    QString text;
    QStringList names;
};

Positional toPositional(const QString& sql)
{
    Positional out;
    out.text.reserve(sql.size());
    QChar quote;
    for (qsizetype i = 0; i < sql.size(); ++i) {
        const QChar c = sql.at(i);
        if (!quote.isNull()) {
            out.text.append(c);
            if (c == quote)
                quote = QChar();
            continue;
        }
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            quote = c;
            out.text.append(c);
            continue;
        }
        // "::" is a PostgreSQL cast, not a parameter.
        if (c == QLatin1Char(':') && i + 1 < sql.size() && isNameStart(sql.at(i + 1)) &&
            (i == 0 || sql.at(i - 1) != QLatin1Char(':'))) {
            qsizetype end = i + 1;
            while (end < sql.size() && isNameChar(sql.at(end)))
                ++end;
            out.names.append(sql.mid(i + 1, end - i - 1).toUpper());
            out.text.append(QLatin1Char('?'));
            i = end - 1;
            continue;
        }
        out.text.append(c);
    }
    return out;
}

FieldType typeOfColumn(QMetaType type)
{
    switch (type.id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
        return FieldType::Integer;
    case QMetaType::Double:
    case QMetaType::Float:
        return FieldType::Float;
    case QMetaType::QDate:
    case QMetaType::QDateTime:
        return FieldType::Date;
    default:
        return FieldType::String;
    }
}

} // namespace

TADOIBQuery::TADOIBQuery(QObject* parent)
    : TDataSet(parent)
{}

QString TADOIBQuery::statement() const
{
    // The suite's databases (SQLite, PostgreSQL) take the generic text; the other
    // dialect texts stand in only when it is missing.
    for (const QString* text : {&SQL, &SQL_IB, &SQL_ORACLE, &SQL_MSSQL}) {
        if (!text->trimmed().isEmpty())
            return *text;
    }
    return {};
}

QStringList TADOIBQuery::paramNames() const
{
    QStringList names;
    for (const QString& name : toPositional(statement()).names) {
        if (!names.contains(name))
            names.append(name);
    }
    return names;
}

void TADOIBQuery::setParam(const QString& name, const QString& value)
{
    const QString key = name.toUpper();
    if (Active())
        throw Exception(QStringLiteral("A consulta %1 está aberta: feche-a antes de mudar o parâmetro %2.")
                            .arg(objectName(), name));
    if (!paramNames().contains(key))
        throw Exception(QStringLiteral("A consulta %1 não tem o parâmetro %2.").arg(objectName(), name));
    m_params.insert(key, value);
}

QString TADOIBQuery::param(const QString& name) const
{
    return m_params.value(name.toUpper());
}

void TADOIBQuery::doOpen()
{
    const Positional positional = toPositional(statement());
    if (positional.text.trimmed().isEmpty())
        throw Exception(QStringLiteral("A consulta %1 não tem instrução.").arg(objectName()));

    QSqlQuery query(sharedDatabase());
    query.setForwardOnly(true);
    if (!query.prepare(positional.text))
        throw Exception(QStringLiteral("Falha ao abrir a consulta %1: %2").arg(objectName(), query.lastError().text()));
    for (const QString& name : positional.names) {
        auto it = m_params.constFind(name);
        if (it == m_params.constEnd())
            throw Exception(QStringLiteral("Parâmetro %1 da consulta %2 sem valor.").arg(name, objectName()));
        query.addBindValue(*it);
    }
    if (!query.exec())
        throw Exception(QStringLiteral("Falha ao abrir a consulta %1: %2").arg(objectName(), query.lastError().text()));

    const QSqlRecord record = query.record();
    QVector<Column> columns;
    for (int c = 0; c < record.count(); ++c) {
        const QSqlField column = record.field(c);
        const FieldType type = typeOfColumn(column.metaType());
        const int size = type == FieldType::String && column.length() > 0 ? column.length() : 0;
        // PostgreSQL folds unquoted names to lower case; the suite's names are upper case.
        columns.append({column.name().toUpper(), type, size});
    }
    QVector<QVector<QVariant>> rows;
    while (query.next()) {
        QVector<QVariant> row(columns.size());
        for (int c = 0; c < columns.size(); ++c)
            row[c] = query.value(c);
        rows.append(std::move(row));
    }
    if (query.lastError().isValid())
        throw Exception(QStringLiteral("Falha ao ler a consulta %1: %2").arg(objectName(), query.lastError().text()));
    loadRows(columns, std::move(rows));
}

} // namespace mrv
