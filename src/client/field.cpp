// Field values, conversions and display text.
#include "field.h"

#include "dataset.h"
#include "errors.h"

#include <QDate>
#include <QDateTime>

namespace mrv {

TField::TField(TDataSet* dataSet, const QString& name, FieldType type, int size)
    : QObject(dataSet)
    , DisplayLabel(name)
    , m_dataSet(dataSet)
    , m_type(type)
    , m_size(size)
{
    setObjectName(name);
}

int TField::index() const
{
    return int(m_dataSet->fields().indexOf(const_cast<TField*>(this)));
}

const EditMaskFormat& TField::editMaskFormat() const
{
    if (m_maskFormat.mask() != EditMask)
        m_maskFormat = EditMaskFormat(EditMask);
    return m_maskFormat;
}

QVariant TField::value() const
{
    return m_dataSet->currentValue(index());
}

void TField::setValue(const QVariant& value)
{
    m_dataSet->setCurrentValue(index(), convert(value));
}

QString TField::AsString() const
{
    const QVariant v = value();
    if (v.isNull())
        return {};
    switch (m_type) {
    case FieldType::Date:
        return v.toDate().toString(QStringLiteral("dd/MM/yyyy"));
    case FieldType::Float:
        return QString::number(v.toDouble(), 'g', 15);
    default:
        return v.toString();
    }
}

void TField::setAsString(const QString& text)
{
    setValue(text);
}

int TField::AsInteger() const
{
    return value().toInt();
}

bool TField::IsNull() const
{
    return value().isNull();
}

QString TField::DisplayText() const
{
    QString text = AsString();
    if (m_type == FieldType::String && !EditMask.isEmpty())
        text = editMaskFormat().format(text);
    if (OnGetText)
        OnGetText(const_cast<TField*>(this), text, true);
    return text;
}

QVariant TField::convert(const QVariant& value) const
{
    if (!value.isValid() || value.isNull())
        return {};
    const bool isText = value.metaType().id() == QMetaType::QString;
    const QString text = isText ? value.toString().trimmed() : QString();
    if (m_type != FieldType::String && isText && text.isEmpty())
        return {};

    auto invalid = [&]() {
        return Exception(QStringLiteral("Valor \"%1\" inválido para o campo %2.").arg(value.toString(), name()));
    };
    bool ok = true;
    switch (m_type) {
    case FieldType::String:
        return value.toString();
    case FieldType::Integer: {
        const qlonglong n = isText ? text.toLongLong(&ok) : value.toLongLong(&ok);
        if (!ok)
            throw invalid();
        return n;
    }
    case FieldType::Float: {
        const double d =
            isText ? QString(text).replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok) : value.toDouble(&ok);
        if (!ok)
            throw invalid();
        return d;
    }
    case FieldType::Date: {
        if (value.metaType().id() == QMetaType::QDate)
            return value.toDate().isValid() ? value : QVariant();
        if (value.metaType().id() == QMetaType::QDateTime)
            return value.toDateTime().date();
        QDate date = QDate::fromString(text.left(10), Qt::ISODate);
        if (!date.isValid())
            date = QDate::fromString(text, QStringLiteral("dd/MM/yyyy"));
        if (!date.isValid())
            throw invalid();
        return date;
    }
    }
    return value;
}

QString fieldTypeName(FieldType type)
{
    switch (type) {
    case FieldType::Integer:
        return QStringLiteral("integer");
    case FieldType::Float:
        return QStringLiteral("float");
    case FieldType::Date:
        return QStringLiteral("date");
    case FieldType::String:
        break;
    }
    return QStringLiteral("string");
}

FieldType fieldTypeFromName(const QString& name)
{
    const QString n = name.toLower();
    if (n == QLatin1String("integer"))
        return FieldType::Integer;
    if (n == QLatin1String("float"))
        return FieldType::Float;
    if (n == QLatin1String("date"))
        return FieldType::Date;
    return FieldType::String;
}

} // namespace mrv
