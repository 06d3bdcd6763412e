// The free integer tag every control of the suite carries.
#pragma once

#include <QObject>
#include <QVariant>

namespace rci06000 {

inline void SetTag(QObject* control, int tag)
{
    control->setProperty("Tag", tag);
}

inline int Tag(const QObject* control)
{
    return control->property("Tag").toInt();
}

} // namespace rci06000
