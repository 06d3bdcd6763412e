// Modal single choice with incremental search on the first column.
#pragma once

#include "dialogs.h"

#include <QDialog>

class QLineEdit;
class QTableView;

namespace mrv {

namespace Internal {
class SnapshotModel;
}

class LookupDialog : public QDialog {
    Q_OBJECT
public:
    LookupDialog(const QString& title, const RowSnapshot& rows, int currentRow, QWidget* parent = nullptr);

    int chosenRow() const; // -1 when none
    // Makes current the first row whose search column starts with text (case ignored).
    bool search(const QString& text);

private:
    bool eventFilter(QObject* watched, QEvent* event) override;

    Internal::SnapshotModel* m_model;
    QTableView* m_view;
    QLineEdit* m_search;
    int m_searchColumn = 0;
};

} // namespace mrv
