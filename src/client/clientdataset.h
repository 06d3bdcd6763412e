// An in-memory data set, filled from a data packet.
#pragma once

#include "dataset.h"

namespace mrv {

class TClientDataSet : public TDataSet {
    Q_OBJECT
public:
    explicit TClientDataSet(QObject* parent = nullptr);

    // Copies the whole content (fields' values, not their display properties) of another data set.
    void CloneData(const TDataSet& source);
};

} // namespace mrv
