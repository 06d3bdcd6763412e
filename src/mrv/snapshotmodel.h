// The rows of a chooser as a table model: the snapshot's texts, an optional check column
// and a filter, cheap enough for tens of thousands of rows.
#pragma once

#include "dialogs.h"

#include <QAbstractTableModel>
#include <vector>

namespace mrv::Internal {

class SnapshotModel : public QAbstractTableModel {
    Q_OBJECT
public:
    SnapshotModel(RowSnapshot rows, bool checkable, QObject* parent = nullptr);

    const RowSnapshot& rows() const { return m_rows; }
    int sourceRow(int shownRow) const { return m_shown.value(shownRow, -1); }

    // Only the rows holding text in some column, without regard to case; "" shows all.
    void setFilter(const QString& text);

    void setChecked(const QStringList& keys);
    QStringList checkedKeys() const;    // in row order
    void setShownChecked(bool checked); // the rows the filter shows
    void toggle(int shownRow);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    RowSnapshot m_rows;
    bool m_checkable;
    std::vector<char> m_checked; // by source row
    QStringList m_folded;        // every row's cells, case-folded, for the filter
    QList<int> m_shown;          // source rows the filter shows, in order
    QString m_filter;            // case-folded
};

} // namespace mrv::Internal
