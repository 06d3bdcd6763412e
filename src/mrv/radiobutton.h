// Radio button whose bound click operation runs when it becomes selected (also from code).
// Tab reaches a group of them on its selected button only; the arrow keys move inside the group.
#pragma once

#include <QRadioButton>

namespace mrv {

class TRadioButton : public QRadioButton {
    Q_OBJECT
public:
    explicit TRadioButton(const QString& text = {}, QWidget* parent = nullptr);
};

} // namespace mrv
