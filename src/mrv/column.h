// A column of a data grid: which field it shows and how its title looks.
#pragma once

#include <QFont>
#include <QString>
#include <optional>

namespace mrv {

class TDBGrid;
class TField;

class TColumn {
public:
    TColumn(TDBGrid* grid, const QString& fieldName)
        : FieldName(fieldName)
        , m_grid(grid)
    {}

    QString FieldName;
    QString Title;                  // empty: the field's DisplayLabel
    std::optional<QFont> TitleFont; // unset: the grid's header font
    Qt::Alignment TitleAlignment = Qt::AlignLeft | Qt::AlignVCenter;
    int Width = 0; // pixels; 0: from the field's display width

    TDBGrid* grid() const { return m_grid; }
    TField* Field() const; // nullptr while the data set lacks it
    int Index() const;
    QString titleText() const;

private:
    TDBGrid* m_grid;
};

} // namespace mrv
