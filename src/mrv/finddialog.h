// Find a row of a data set by column and text; each find moves the data set's cursor.
#pragma once

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;

namespace mrv {

class TDataSet;

class FindDialog : public QDialog {
    Q_OBJECT
public:
    explicit FindDialog(TDataSet* ds, QWidget* parent = nullptr);

    bool findNext(); // from the row after the current one, wrapping
    bool foundAny() const { return m_found; }

private:
    TDataSet* m_ds;
    QComboBox* m_column;
    QLineEdit* m_text;
    QLabel* m_status;
    bool m_found = false;
};

} // namespace mrv
