// Modal multiple choice: a check column, a filter box, mark all/none, OK/Cancelar.
#pragma once

#include "dialogs.h"

#include <QDialog>

class QTableView;

namespace mrv {

namespace Internal {
class SnapshotModel;
}

class PickListDialog : public QDialog {
    Q_OBJECT
public:
    PickListDialog(const QString& title, const RowSnapshot& rows, const QStringList& preMarked,
                   QWidget* parent = nullptr);

    QStringList markedKeys() const; // in row order
    void setAllMarked(bool marked); // the rows the filter shows

private:
    void toggleCurrent();
    bool eventFilter(QObject* watched, QEvent* event) override;

    Internal::SnapshotModel* m_model;
    QTableView* m_view;
};

} // namespace mrv
