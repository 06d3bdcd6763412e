// Edit with one of the suite's edit masks (">aaaa;0; ": up to 4 letters or digits, upper case).
#pragma once

#include <QLineEdit>

namespace mrv {

class TMaskEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TMaskEdit(QWidget* parent = nullptr);

    // Empty mask: a plain edit limited by maxLength.
    void setEditMask(const QString& suiteMask);
    QString EditMask() const { return m_mask; }

private:
    QString m_mask;
};

} // namespace mrv
