// The rows of a chooser as a table model.
#include "snapshotmodel.h"

namespace mrv::Internal {

SnapshotModel::SnapshotModel(RowSnapshot rows, bool checkable, QObject* parent)
    : QAbstractTableModel(parent)
    , m_rows(std::move(rows))
    , m_checkable(checkable)
    , m_checked(size_t(m_rows.cells.size()), 0)
{
    m_folded.reserve(m_rows.cells.size());
    m_shown.reserve(m_rows.cells.size());
    for (qsizetype r = 0; r < m_rows.cells.size(); ++r) {
        // A separator no one types, so a filter never matches across two cells.
        m_folded << m_rows.cells.at(r).join(QChar(0x1F)).toCaseFolded();
        m_shown << int(r);
    }
}

void SnapshotModel::setFilter(const QString& text)
{
    const QString folded = text.toCaseFolded();
    if (folded == m_filter)
        return;
    // A longer filter can only narrow: only the rows shown now need looking at.
    const bool narrowing = !m_filter.isEmpty() && folded.startsWith(m_filter);
    QList<int> candidates;
    if (narrowing) {
        candidates = m_shown;
    } else {
        candidates.reserve(m_folded.size());
        for (int r = 0; r < m_folded.size(); ++r)
            candidates << r;
    }
    beginResetModel();
    m_filter = folded;
    m_shown.clear();
    for (int r : std::as_const(candidates))
        if (folded.isEmpty() || m_folded.at(r).contains(folded))
            m_shown << r;
    endResetModel();
}

void SnapshotModel::setChecked(const QStringList& keys)
{
    for (qsizetype r = 0; r < m_rows.keys.size(); ++r)
        m_checked[size_t(r)] = keys.contains(m_rows.keys.at(r)) ? 1 : 0;
    if (!m_shown.isEmpty())
        emit dataChanged(index(0, 0), index(int(m_shown.size()) - 1, 0), {Qt::CheckStateRole});
}

QStringList SnapshotModel::checkedKeys() const
{
    QStringList keys;
    for (qsizetype r = 0; r < m_rows.keys.size(); ++r)
        if (m_checked[size_t(r)])
            keys << m_rows.keys.at(r);
    return keys;
}

void SnapshotModel::setShownChecked(bool checked)
{
    for (int r : std::as_const(m_shown))
        m_checked[size_t(r)] = checked ? 1 : 0;
    if (!m_shown.isEmpty())
        emit dataChanged(index(0, 0), index(int(m_shown.size()) - 1, 0), {Qt::CheckStateRole});
}

void SnapshotModel::toggle(int shownRow)
{
    const int r = sourceRow(shownRow);
    if (r < 0)
        return;
    m_checked[size_t(r)] = !m_checked[size_t(r)];
    emit dataChanged(index(shownRow, 0), index(shownRow, 0), {Qt::CheckStateRole});
}

int SnapshotModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_shown.size());
}

int SnapshotModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(qMax<qsizetype>(1, m_rows.labels.size()));
}

QVariant SnapshotModel::data(const QModelIndex& index, int role) const
{
    const int r = sourceRow(index.row());
    if (r < 0)
        return {};
    if (role == Qt::DisplayRole) {
        const QStringList& cells = m_rows.cells.at(r);
        return cells.isEmpty() ? m_rows.keys.at(r) : cells.value(index.column());
    }
    if (role == Qt::CheckStateRole && m_checkable && index.column() == 0)
        return m_checked[size_t(r)] ? Qt::Checked : Qt::Unchecked;
    return {};
}

bool SnapshotModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    const int r = sourceRow(index.row());
    if (r < 0 || role != Qt::CheckStateRole || !m_checkable || index.column() != 0)
        return false;
    m_checked[size_t(r)] = value.toInt() == Qt::Checked ? 1 : 0;
    emit dataChanged(index, index, {Qt::CheckStateRole});
    return true;
}

QVariant SnapshotModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return m_rows.labels.value(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags SnapshotModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (m_checkable && index.column() == 0)
        f |= Qt::ItemIsUserCheckable;
    return f;
}

} // namespace mrv::Internal
