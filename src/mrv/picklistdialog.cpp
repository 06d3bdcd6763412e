#include "picklistdialog.h"
#include "choiceview.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

namespace mrv {

PickListDialog::PickListDialog(const QString& title, const RowSnapshot& rows, const QStringList& preMarked,
                               QWidget* parent)
    : QDialog(parent)
    , m_rows(rows)
    , m_model(new QStandardItemModel(this))
    , m_proxy(new QSortFilterProxyModel(this))
    , m_view(new QTableView(this))
{
    setObjectName(QStringLiteral("dlgPesquisaLista"));
    setWindowTitle(title);
    resize(520, 420);

    m_model->setColumnCount(int(rows.labels.size()));
    m_model->setHorizontalHeaderLabels(rows.labels);
    for (qsizetype r = 0; r < rows.cells.size(); ++r) {
        QList<QStandardItem*> items;
        for (const QString& cell : rows.cells.at(r)) {
            auto* item = new QStandardItem(cell);
            item->setEditable(false);
            items << item;
        }
        if (items.isEmpty())
            items << new QStandardItem(rows.keys.at(r));
        items.first()->setCheckable(true);
        items.first()->setCheckState(preMarked.contains(rows.keys.at(r)) ? Qt::Checked : Qt::Unchecked);
        items.first()->setData(int(r), Qt::UserRole);
        m_model->appendRow(items);
    }
    m_proxy->setSourceModel(m_model);
    m_proxy->setFilterCaseSensitivity(Qt::CaseInsensitive);
    m_proxy->setFilterKeyColumn(-1);

    auto* filter = new QLineEdit(this);
    filter->setObjectName(QStringLiteral("edtFiltro"));
    filter->setPlaceholderText(QStringLiteral("Filtrar"));
    filter->setClearButtonEnabled(true);
    connect(filter, &QLineEdit::textChanged, m_proxy, &QSortFilterProxyModel::setFilterFixedString);
    filter->installEventFilter(this);

    Internal::setUpChoiceView(m_view, QStringLiteral("grdLista"), m_proxy);
    m_view->installEventFilter(this);
    connect(m_view, &QTableView::doubleClicked, this, &PickListDialog::toggleCurrent);

    auto* all = new QPushButton(QStringLiteral("Marcar todos"), this);
    all->setObjectName(QStringLiteral("btnMarcarTodos"));
    auto* none = new QPushButton(QStringLiteral("Desmarcar todos"), this);
    none->setObjectName(QStringLiteral("btnDesmarcarTodos"));
    connect(all, &QPushButton::clicked, this, [this] { setAllMarked(true); });
    connect(none, &QPushButton::clicked, this, [this] { setAllMarked(false); });

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancelar"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* marks = new QHBoxLayout;
    marks->addWidget(all);
    marks->addWidget(none);
    marks->addStretch();
    marks->addWidget(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(filter);
    layout->addWidget(m_view);
    layout->addLayout(marks);
    m_view->setFocus();
    if (m_proxy->rowCount() > 0)
        m_view->setCurrentIndex(m_proxy->index(0, 0));
}

QStringList PickListDialog::markedKeys() const
{
    QStringList keys;
    for (int r = 0; r < m_model->rowCount(); ++r)
        if (m_model->item(r, 0)->checkState() == Qt::Checked)
            keys << m_rows.keys.at(r);
    return keys;
}

void PickListDialog::setAllMarked(bool marked)
{
    for (int r = 0; r < m_proxy->rowCount(); ++r) {
        const QModelIndex source = m_proxy->mapToSource(m_proxy->index(r, 0));
        m_model->itemFromIndex(source)->setCheckState(marked ? Qt::Checked : Qt::Unchecked);
    }
}

void PickListDialog::toggleCurrent()
{
    const QModelIndex current = m_view->currentIndex();
    if (!current.isValid())
        return;
    QStandardItem* item = m_model->item(m_proxy->mapToSource(current).row(), 0);
    item->setCheckState(item->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
}

bool PickListDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (watched == m_view && key->key() == Qt::Key_Space) {
        toggleCurrent();
        return true;
    }
    // Arrows in the filter box walk the list, so the mouse is never needed.
    if (watched != m_view && (key->key() == Qt::Key_Down || key->key() == Qt::Key_Up)) {
        m_view->setFocus();
        QCoreApplication::sendEvent(m_view, event);
        return true;
    }
    return false;
}

} // namespace mrv
