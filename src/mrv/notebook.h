// Pages of which one shows at a time; pages have names.
#pragma once

#include <QStackedWidget>

namespace mrv {

class TNotebook : public QStackedWidget {
    Q_OBJECT
public:
    explicit TNotebook(QWidget* parent = nullptr);
    QWidget* addPage(const QString& name); // the page widget carries the name as objectName
    int PageIndex() const { return currentIndex(); }
    void setPageIndex(int index) { setCurrentIndex(index); }
};

} // namespace mrv
