// Data grid: columns, options, the cursor kept in step with the data set, and the events.
#include "dbgrid.h"

#include "column.h"
#include "dataset.h"
#include "datasource.h"
#include "datasourcemodel.h"
#include "field.h"
#include "helpers.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QStyledItemDelegate>

namespace mrv {

namespace {

// Default drawing first, then the grid's draw-cell event with the cell's background
// as the painter's brush, as the suite's grids hand their canvas to the screen.
class CellDelegate : public QStyledItemDelegate {
public:
    explicit CellDelegate(TDBGrid* grid)
        : QStyledItemDelegate(grid)
        , m_grid(grid)
    {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem opt = option;
        const bool selected = option.state & QStyle::State_Selected;
        const bool shown = selected && (m_grid->hasFocus() || (m_grid->options() & TDBGrid::dgAlwaysShowSelection));
        if (!shown)
            opt.state &= ~QStyle::State_Selected;
        opt.state &= ~QStyle::State_HasFocus;
        // Selection looks the same with and without focus once it is shown at all.
        opt.palette.setCurrentColorGroup(QPalette::Active);
        QStyledItemDelegate::paint(painter, opt, index);

        int state = 0;
        if (shown)
            state |= gdSelected;
        if (m_grid->hasFocus() && index == m_grid->currentIndex())
            state |= gdFocused;
        painter->save();
        painter->setBrush(shown ? opt.palette.brush(QPalette::Active, QPalette::Highlight)
                                : opt.palette.brush(QPalette::Active, QPalette::Base));
        painter->setPen(shown ? opt.palette.color(QPalette::Active, QPalette::HighlightedText)
                              : opt.palette.color(QPalette::Active, QPalette::Text));
        TDataSource* source = m_grid->DataSource();
        TDataSet* ds = source ? source->DataSet() : nullptr;
        if (ds)
            ds->setDisplayRow(index.row());
        emit m_grid->drawColumnCell(painter, opt.rect, index.column(), m_grid->Column(index.column()), state);
        if (ds)
            ds->setDisplayRow(-1);
        painter->restore();
    }

private:
    TDBGrid* m_grid;
};

} // namespace

TDBGrid::TDBGrid(QWidget* parent)
    : QTableView(parent)
    , m_model(new Internal::DataSourceModel(this))
{
    setModel(m_model);
    setItemDelegate(new CellDelegate(this));
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setWordWrap(false);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setHighlightSections(false);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int section) {
        if (TColumn* c = Column(section))
            emit titleClick(c);
    });
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
        ++m_repaints;
        applyColumnWidths();
    });
    connect(m_model, &Internal::DataSourceModel::cursorMoved, this, &TDBGrid::followDataSet);
    setOptions(Options(dgTitles) | dgIndicator | dgColumnResize | dgColLines | dgRowLines | dgTabs | dgConfirmDelete |
               dgCancelOnExit);
}

TDBGrid::~TDBGrid() = default;

void TDBGrid::setDataSource(TDataSource* source)
{
    m_model->setDataSource(source);
    columnsChanged();
}

TDataSource* TDBGrid::DataSource() const
{
    return m_model->dataSource();
}

TColumn* TDBGrid::addColumn(const QString& fieldName, const QString& title, int width)
{
    auto column = std::make_unique<TColumn>(this, fieldName);
    column->Title = title;
    column->Width = width;
    m_columns.push_back(std::move(column));
    columnsChanged();
    return m_columns.back().get();
}

int TDBGrid::columnCount() const
{
    return int(m_columns.empty() ? m_autoColumns.size() : m_columns.size());
}

TColumn* TDBGrid::Column(int index) const
{
    const auto& list = m_columns.empty() ? m_autoColumns : m_columns;
    return index >= 0 && index < int(list.size()) ? list[size_t(index)].get() : nullptr;
}

QList<TColumn*> TDBGrid::Columns() const
{
    QList<TColumn*> list;
    for (int i = 0; i < columnCount(); ++i)
        list << Column(i);
    return list;
}

void TDBGrid::columnsChanged()
{
    m_model->refresh();
}

void TDBGrid::rebuildAutoColumns()
{
    m_autoColumns.clear();
    if (!m_columns.empty())
        return;
    TDataSet* ds = m_model->dataSet();
    for (TField* f : ds ? ds->fields() : QList<TField*>())
        if (f->Visible)
            m_autoColumns.push_back(std::make_unique<TColumn>(this, f->name()));
}

void TDBGrid::applyColumnWidths()
{
    const int charWidth = fontMetrics().averageCharWidth();
    for (int i = 0; i < columnCount(); ++i) {
        TColumn* c = Column(i);
        int width = c->Width;
        if (width <= 0) {
            TField* f = c->Field();
            const int chars = f ? (f->DisplayWidth > 0 ? f->DisplayWidth : qBound(4, f->size(), 40)) : 10;
            width =
                qMax(chars * charWidth + 8, horizontalHeader()->fontMetrics().horizontalAdvance(c->titleText()) + 12);
        }
        setColumnWidth(i, width);
    }
}

void TDBGrid::setOptions(Options options)
{
    m_options = options;
    horizontalHeader()->setVisible(options & dgTitles);
    verticalHeader()->setVisible(options & dgIndicator);
    setShowGrid(options & (dgColLines | dgRowLines));
    horizontalHeader()->setSectionResizeMode(options & dgColumnResize ? QHeaderView::Interactive : QHeaderView::Fixed);
    setSelectionBehavior(options & dgRowSelect ? QAbstractItemView::SelectRows : QAbstractItemView::SelectItems);
    // dgTabs: Tab moves between cells; without it Tab leaves the grid.
    setTabKeyNavigation(options & dgTabs);
    viewport()->update();
}

int TDBGrid::SelectedIndex() const
{
    return currentIndex().isValid() ? currentIndex().column() : 0;
}

void TDBGrid::setSelectedIndex(int index)
{
    TDataSet* ds = m_model->dataSet();
    const int row = ds ? ds->RecNo() : -1;
    if (row >= 0 && index >= 0 && index < columnCount())
        setCurrentIndex(m_model->index(row, index));
}

TField* TDBGrid::SelectedField() const
{
    TColumn* c = Column(SelectedIndex());
    return c ? c->Field() : nullptr;
}

void TDBGrid::followDataSet()
{
    TDataSet* ds = m_model->dataSet();
    const int row = ds && ds->Active() ? ds->RecNo() : -1;
    if (row < 0 || row >= m_model->rowCount())
        return;
    const int col = qBound(0, m_lastColumn, qMax(0, columnCount() - 1));
    const QModelIndex target = m_model->index(row, col);
    if (currentIndex() == target)
        return;
    m_following = true;
    setCurrentIndex(target);
    m_following = false;
}

void TDBGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTableView::currentChanged(current, previous);
    if (current.isValid())
        m_lastColumn = current.column();
    if (m_following || !current.isValid())
        return;
    TDataSet* ds = m_model->dataSet();
    if (ds && ds->Active() && current.row() != ds->RecNo())
        ds->setRecNo(current.row());
}

void TDBGrid::keyPressEvent(QKeyEvent* event)
{
    int key = event->key();
    emit keyDown(key, event->modifiers());
    // A space outside in-place editing is the handler's alone: the view would take it
    // for a keyboard search and move the current row.
    if (key == 0 || (key == Qt::Key_Space && !(options() & dgEditing))) {
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void TDBGrid::mouseDoubleClickEvent(QMouseEvent* event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    if (!index.isValid())
        return;
    setCurrentIndex(index);
    emit dblClick();
}

void TDBGrid::focusInEvent(QFocusEvent* event)
{
    QTableView::focusInEvent(event);
    viewport()->update(); // the selection shows or hides with the focus
}

void TDBGrid::focusOutEvent(QFocusEvent* event)
{
    QTableView::focusOutEvent(event);
    viewport()->update();
}

int IndiceCol(TDBGrid* grid, const QString& fieldName)
{
    if (!grid)
        return -1;
    for (int i = 0; i < grid->columnCount(); ++i)
        if (grid->Column(i)->FieldName.compare(fieldName, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

} // namespace mrv
