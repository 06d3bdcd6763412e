// Flat tool button of the button column; takes no focus.
#pragma once

#include <QToolButton>

namespace mrv {

class TButtonFlat : public QToolButton {
    Q_OBJECT
public:
    explicit TButtonFlat(QWidget* parent = nullptr);
    TButtonFlat(const QIcon& icon, const QString& hint, QWidget* parent = nullptr);
};

} // namespace mrv
