// Links a data set to grids and pickers; can be re-pointed at another data set.
#pragma once

#include <QObject>
#include <QPointer>

namespace mrv {

class TDataSet;

class TDataSource : public QObject {
    Q_OBJECT
public:
    explicit TDataSource(QObject* parent = nullptr);

    void setDataSet(TDataSet* dataSet);
    TDataSet* DataSet() const { return m_dataSet; }

signals:
    void dataSetChanged();
    void StateChange(); // the data set's state changed, or another data set was linked
    void dataChanged(); // forwarded from the linked data set
    void currentChanged();

private:
    QPointer<TDataSet> m_dataSet;
    QList<QMetaObject::Connection> m_links;
};

} // namespace mrv
