#include "image.h"

#include <QBitmap>

namespace mrv {

TImage::TImage(QWidget* parent)
    : QLabel(parent)
{}

void TImage::setPicture(const QPixmap& picture)
{
    m_picture = picture;
    setPixmap(picture);
}

void TImage::setTransparentColor(const QColor& colour)
{
    if (m_picture.isNull())
        return;
    m_picture.setMask(m_picture.createMaskFromColor(colour, Qt::MaskInColor));
    setPixmap(m_picture);
}

} // namespace mrv
