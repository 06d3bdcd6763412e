// Suspends the display of a data set's controls for the life of the guard.
#pragma once

#include <QPointer>

namespace mrv {

class TDataSet;

class DisplaySuspended {
public:
    explicit DisplaySuspended(TDataSet* dataSet);
    ~DisplaySuspended();
    DisplaySuspended(const DisplaySuspended&) = delete;
    DisplaySuspended& operator=(const DisplaySuspended&) = delete;

private:
    QPointer<TDataSet> m_dataSet;
};

} // namespace mrv
