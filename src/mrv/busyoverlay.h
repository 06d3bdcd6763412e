// The animated overlay that ActiveShowAvi puts over a window.
#pragma once

#include <QTimer>
#include <QWidget>

namespace mrv {

class BusyOverlay : public QWidget {
    Q_OBJECT
public:
    explicit BusyOverlay(QWidget* covered);

    void setKind(int kind);
    void setText(const QString& text);
    int kind() const { return m_kind; }
    QString text() const { return m_text; }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void paintSpinner(QPainter& p, const QRectF& area);
    void paintSearch(QPainter& p, const QRectF& area);
    void paintLoading(QPainter& p, const QRectF& area);
    void fitToCovered();

    QWidget* m_covered;
    QTimer m_timer;
    int m_kind = 0;
    int m_frame = 8; // the first frame already shows movement
    QString m_text;
};

} // namespace mrv
