#include "displaysuspended.h"

#include "dataset.h"

namespace mrv {

DisplaySuspended::DisplaySuspended(TDataSet* dataSet)
    : m_dataSet(dataSet)
{
    if (m_dataSet)
        m_dataSet->DisableControls();
}

DisplaySuspended::~DisplaySuspended()
{
    if (m_dataSet)
        m_dataSet->EnableControls();
}

} // namespace mrv
