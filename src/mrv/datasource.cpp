// Data source: follows whichever data set it is pointed at.
#include "datasource.h"

#include "dataset.h"

namespace mrv {

TDataSource::TDataSource(QObject* parent)
    : QObject(parent)
{}

void TDataSource::setDataSet(TDataSet* dataSet)
{
    if (dataSet == m_dataSet)
        return;
    const TDataSet::State before = m_dataSet ? m_dataSet->state() : TDataSet::dsInactive;
    for (const QMetaObject::Connection& link : std::as_const(m_links))
        disconnect(link);
    m_links.clear();

    m_dataSet = dataSet;
    if (dataSet) {
        m_links << connect(dataSet, &TDataSet::stateChanged, this, &TDataSource::StateChange)
                << connect(dataSet, &TDataSet::dataChanged, this, &TDataSource::dataChanged)
                << connect(dataSet, &TDataSet::currentChanged, this, &TDataSource::currentChanged);
    }
    emit dataSetChanged();
    const TDataSet::State after = dataSet ? dataSet->state() : TDataSet::dsInactive;
    if (after != before)
        emit StateChange();
}

} // namespace mrv
