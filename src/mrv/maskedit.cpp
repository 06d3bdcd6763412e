#include "maskedit.h"

#include "editmaskformat.h"

namespace mrv {

TMaskEdit::TMaskEdit(QWidget* parent)
    : QLineEdit(parent)
{
}

void TMaskEdit::setEditMask(const QString& delphiMask)
{
    m_mask = delphiMask;
    if (delphiMask.isEmpty()) {
        setInputMask(QString());
        return;
    }
    const EditMaskFormat format(delphiMask);
    setInputMask(format.qtInputMask());
    setMaxLength(format.inputLength());
}

} // namespace mrv
