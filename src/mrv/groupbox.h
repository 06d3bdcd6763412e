// Group box with an optional bold caption.
#pragma once

#include <QGroupBox>

namespace mrv {

class TGroupBox : public QGroupBox {
    Q_OBJECT
public:
    explicit TGroupBox(const QString& title = {}, QWidget* parent = nullptr);
    void setBoldCaption(bool bold);
};

} // namespace mrv
