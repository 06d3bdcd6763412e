#include "column.h"

#include "dataset.h"
#include "datasource.h"
#include "dbgrid.h"
#include "field.h"

namespace mrv {

TField* TColumn::Field() const
{
    TDataSource* src = m_grid ? m_grid->DataSource() : nullptr;
    TDataSet* ds = src ? src->DataSet() : nullptr;
    return ds ? ds->FindField(FieldName) : nullptr;
}

int TColumn::Index() const
{
    return m_grid ? int(m_grid->Columns().indexOf(const_cast<TColumn*>(this))) : -1;
}

QString TColumn::titleText() const
{
    if (!Title.isEmpty())
        return Title;
    TField* f = Field();
    if (f && !f->DisplayLabel.isEmpty())
        return f->DisplayLabel;
    return FieldName;
}

} // namespace mrv
