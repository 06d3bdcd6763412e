// A picture control; transparent colour applied when set.
#pragma once

#include <QLabel>
#include <QPixmap>

namespace mrv {

class TImage : public QLabel {
    Q_OBJECT
public:
    explicit TImage(QWidget* parent = nullptr);
    void setPicture(const QPixmap& picture);
    QPixmap picture() const { return m_picture; }
    // Pixels of colour become transparent (as the image is drawn on another background).
    void setTransparentColor(const QColor& colour);

private:
    QPixmap m_picture;
};

} // namespace mrv
