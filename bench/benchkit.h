// What the desktop benchmarks share: an offscreen application and the median of a series.
#pragma once

#include <QApplication>
#include <QList>
#include <algorithm>

namespace suite::bench {

// Widgets without a display unless one is asked for.
inline void preferOffscreen()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

inline double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    const qsizetype half = values.size() / 2;
    return values.size() % 2 ? values[half] : (values[half - 1] + values[half]) / 2;
}

} // namespace suite::bench
