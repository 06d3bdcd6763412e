// Check box whose bound click operation runs on every real change of its check.
#pragma once

#include <QCheckBox>

namespace mrv {

class TCheckBox : public QCheckBox {
    Q_OBJECT
public:
    explicit TCheckBox(const QString& text = {}, QWidget* parent = nullptr);
};

} // namespace mrv
