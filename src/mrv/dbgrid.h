// Data grid: a table view over a data source, with draw-cell, title-click, double-click and key-down events and the suite's grid options.
#pragma once

#include "column.h"

#include <QFlags>
#include <QPainter>
#include <QPointer>
#include <QTableView>
#include <memory>
#include <vector>

namespace mrv {

class TDataSource;
class TField;
namespace Internal {
class DataSourceModel;
}

enum TGridDrawStateFlag { gdSelected = 1, gdFocused = 2, gdFixed = 4 };

class TDBGrid : public QTableView {
    Q_OBJECT
public:
    enum Option {
        dgEditing = 0x1,
        dgTitles = 0x2,
        dgIndicator = 0x4,
        dgColumnResize = 0x8,
        dgColLines = 0x10,
        dgRowLines = 0x20,
        dgTabs = 0x40,
        dgRowSelect = 0x80,
        dgAlwaysShowSelection = 0x100,
        dgConfirmDelete = 0x200,
        dgCancelOnExit = 0x400
    };
    Q_DECLARE_FLAGS(Options, Option)

    explicit TDBGrid(QWidget* parent = nullptr);
    ~TDBGrid() override;

    void setDataSource(TDataSource* source);
    TDataSource* DataSource() const;

    // Without columns the grid shows every visible field.
    TColumn* addColumn(const QString& fieldName, const QString& title = {}, int width = 0);
    int columnCount() const;
    TColumn* Column(int index) const;
    QList<TColumn*> Columns() const;

    Options options() const { return m_options; }
    void setOptions(Options options);

    int SelectedIndex() const; // column of the current cell
    void setSelectedIndex(int index);
    TField* SelectedField() const;

    int repaintCount() const { return m_repaints; } // full refreshes since creation

signals:
    // After the default drawing of a cell; state is a set of TGridDrawStateFlag. The
    // painter's brush is the cell's background (the selection colour on the selected row).
    void drawColumnCell(QPainter* painter, const QRect& rect, int dataCol, TColumn* column, int state);
    void titleClick(TColumn* column);
    void dblClick();                                         // the clicked row is current already
    void keyDown(int& key, Qt::KeyboardModifiers modifiers); // key 0 = swallowed

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    friend class Internal::DataSourceModel;
    void columnsChanged();
    void rebuildAutoColumns();
    void followDataSet();
    void applyColumnWidths();

    Internal::DataSourceModel* m_model;
    std::vector<std::unique_ptr<TColumn>> m_columns;
    std::vector<std::unique_ptr<TColumn>> m_autoColumns;
    Options m_options;
    bool m_following = false;
    int m_lastColumn = 0;
    int m_repaints = 0;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TDBGrid::Options)

} // namespace mrv
