// Grid model over a data source. Whole-content changes arrive as one signal after a
// bulk change (the data set holds them back while its controls are disabled), so the
// view refreshes once.
#include "datasourcemodel.h"

#include "column.h"
#include "dbgrid.h"
#include "field.h"

namespace mrv::Internal {

namespace {

QString displayText(TField* field, const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return {};
    switch (field->type()) {
    case FieldType::Date:
        return value.toDate().toString(QStringLiteral("dd/MM/yyyy"));
    case FieldType::Float:
        return QString::number(value.toDouble(), 'g', 15);
    case FieldType::String:
        return field->EditMask.isEmpty() ? value.toString() : field->editMaskFormat().format(value.toString());
    default:
        return value.toString();
    }
}

} // namespace

DataSourceModel::DataSourceModel(TDBGrid* grid)
    : QAbstractTableModel(grid)
    , m_grid(grid)
{}

TDataSet* DataSourceModel::dataSet() const
{
    return m_source ? m_source->DataSet() : nullptr;
}

void DataSourceModel::setDataSource(TDataSource* source)
{
    for (const QMetaObject::Connection& link : std::as_const(m_links))
        disconnect(link);
    m_links.clear();
    m_source = source;
    if (source) {
        m_links << connect(source, &TDataSource::dataSetChanged, this, &DataSourceModel::refresh)
                << connect(source, &TDataSource::StateChange, this, &DataSourceModel::refresh)
                << connect(source, &TDataSource::dataChanged, this, &DataSourceModel::refresh)
                << connect(source, &TDataSource::currentChanged, this, &DataSourceModel::cursorMoved)
                << connect(source, &QObject::destroyed, this, &DataSourceModel::refresh);
    }
    refresh();
}

void DataSourceModel::refresh()
{
    beginResetModel();
    m_grid->rebuildAutoColumns();
    endResetModel();
    emit cursorMoved();
}

int DataSourceModel::rowCount(const QModelIndex& parent) const
{
    TDataSet* ds = dataSet();
    return parent.isValid() || !ds || !ds->Active() ? 0 : ds->RecordCount();
}

int DataSourceModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_grid->columnCount();
}

QVariant DataSourceModel::data(const QModelIndex& index, int role) const
{
    TDataSet* ds = dataSet();
    TColumn* column = m_grid->Column(index.column());
    TField* field = column ? column->Field() : nullptr;
    if (!ds || !field)
        return {};
    switch (role) {
    case Qt::DisplayRole: {
        if (index.row() == ds->RecNo())
            return field->DisplayText();
        if (!field->OnGetText)
            return displayText(field, ds->valueAt(index.row(), field->index()));
        // A get-text hook reads its field: while it runs, the field reads this row.
        ds->setDisplayRow(index.row());
        const QString text = field->DisplayText();
        ds->setDisplayRow(-1);
        return text;
    }
    case Qt::TextAlignmentRole:
        if (field->type() == FieldType::Integer || field->type() == FieldType::Float)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant DataSourceModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Vertical)
        return role == Qt::DisplayRole ? QVariant() : QAbstractTableModel::headerData(section, orientation, role);
    TColumn* column = m_grid->Column(section);
    if (!column)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return column->titleText();
    case Qt::FontRole:
        return column->TitleFont ? QVariant(*column->TitleFont) : QVariant();
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(column->TitleAlignment);
    default:
        return {};
    }
}

Qt::ItemFlags DataSourceModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

} // namespace mrv::Internal
