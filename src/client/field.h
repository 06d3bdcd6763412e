// One column of a data set, with its display properties.
#pragma once

#include "editmaskformat.h"

#include <QObject>
#include <QVariant>
#include <functional>

namespace mrv {

class TDataSet;

enum class FieldType { String, Integer, Float, Date };

class TField : public QObject {
    Q_OBJECT
public:
    TField(TDataSet* dataSet, const QString& name, FieldType type, int size);

    QString name() const { return objectName(); }
    FieldType type() const { return m_type; }
    int size() const { return m_size; }
    int index() const; // position in the data set's field list
    TDataSet* dataSet() const { return m_dataSet; }

    // Display properties, as the screens set them.
    QString DisplayLabel;
    int DisplayWidth = 0; // characters; 0 = from the size
    bool Visible = true;
    QString EditMask; // the suite's edit mask (editmaskformat.h), e.g. ">aaaa;0; "
    const EditMaskFormat& editMaskFormat() const;

    // Value of the current row (the edit buffer while editing).
    QVariant value() const;
    void setValue(const QVariant& value); // only while the data set is being edited
    QString AsString() const;
    void setAsString(const QString& text);
    int AsInteger() const;
    bool IsNull() const;

    // Text for grids and lists: OnGetText when set, else the value through the edit mask.
    QString DisplayText() const;
    std::function<void(TField* sender, QString& text, bool displayText)> OnGetText;

    // Brings any value to this field's type (null and empty stay null).
    QVariant convert(const QVariant& value) const;

private:
    TDataSet* m_dataSet;
    FieldType m_type;
    int m_size;
    mutable EditMaskFormat m_maskFormat;
};

QString fieldTypeName(FieldType type);            // "string", "integer", "float", "date"
FieldType fieldTypeFromName(const QString& name); // unknown -> String

} // namespace mrv
