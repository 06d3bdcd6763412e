// Radio button whose bound click operation runs when it becomes selected (also from code).
#pragma once

#include <QRadioButton>

namespace mrv {

class TRadioButton : public QRadioButton {
    Q_OBJECT
public:
    explicit TRadioButton(const QString& text = {}, QWidget* parent = nullptr);
};

} // namespace mrv
