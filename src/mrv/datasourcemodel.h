// Table model that shows a data source's rows through a grid's columns.
#pragma once

#include "dataset.h"
#include "datasource.h"

#include <QAbstractTableModel>
#include <QPointer>

namespace mrv {

class TDataSet;
class TDBGrid;

namespace Internal {

class DataSourceModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit DataSourceModel(TDBGrid* grid);

    void setDataSource(TDataSource* source);
    TDataSource* dataSource() const { return m_source; }
    TDataSet* dataSet() const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    void refresh(); // whole content changed: one reset

signals:
    void cursorMoved();

private:
    void relink();

    TDBGrid* m_grid;
    QPointer<TDataSource> m_source;
    QList<QMetaObject::Connection> m_links;
};

} // namespace Internal
} // namespace mrv
