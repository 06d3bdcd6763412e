// Edit with a Delphi-style mask (">aaaa;0; ": up to 4 letters or digits, upper case).
#pragma once

#include <QLineEdit>

namespace mrv {

class TMaskEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TMaskEdit(QWidget* parent = nullptr);

    // Empty mask: a plain edit limited by maxLength.
    void setEditMask(const QString& delphiMask);
    QString EditMask() const { return m_mask; }

private:
    QString m_mask;
};

} // namespace mrv
