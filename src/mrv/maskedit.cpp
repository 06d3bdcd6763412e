#include "maskedit.h"

#include "editmaskformat.h"

namespace mrv {

TMaskEdit::TMaskEdit(QWidget* parent)
    : QLineEdit(parent)
{}

void TMaskEdit::setEditMask(const QString& suiteMask)
{
    m_mask = suiteMask;
    if (suiteMask.isEmpty()) {
        setInputMask(QString());
        return;
    }
    const EditMaskFormat format(suiteMask);
    setInputMask(format.qtInputMask());
    setMaxLength(format.inputLength());
}

} // namespace mrv
