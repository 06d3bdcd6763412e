// Plain container, optionally with a sunken or raised bevel.
#pragma once

#include <QFrame>

namespace mrv {

class TPanel : public QFrame {
    Q_OBJECT
public:
    enum Bevel { bvNone, bvLowered, bvRaised };
    explicit TPanel(QWidget* parent = nullptr, Bevel bevel = bvNone);
    void setBevel(Bevel bevel);
};

} // namespace mrv
