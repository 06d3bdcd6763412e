// In-memory data set.
#include "clientdataset.h"

namespace mrv {

TClientDataSet::TClientDataSet(QObject* parent)
    : TDataSet(parent)
{}

void TClientDataSet::CloneData(const TDataSet& source)
{
    if (!source.Active()) {
        Close();
        return;
    }
    setData(source.Data());
}

} // namespace mrv
