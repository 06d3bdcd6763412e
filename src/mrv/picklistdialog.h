// Modal multiple choice: a check column, a filter box, mark all/none, OK/Cancelar.
#pragma once

#include "dialogs.h"

#include <QDialog>

class QSortFilterProxyModel;
class QStandardItemModel;
class QTableView;

namespace mrv {

class PickListDialog : public QDialog {
    Q_OBJECT
public:
    PickListDialog(const QString& title, const RowSnapshot& rows, const QStringList& preMarked, QWidget* parent = nullptr);

    QStringList markedKeys() const;        // in row order
    void setAllMarked(bool marked);        // the rows the filter shows

private:
    void toggleCurrent();
    bool eventFilter(QObject* watched, QEvent* event) override;

    RowSnapshot m_rows;
    QStandardItemModel* m_model;
    QSortFilterProxyModel* m_proxy;
    QTableView* m_view;
};

} // namespace mrv
