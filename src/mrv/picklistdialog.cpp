#include "picklistdialog.h"
#include "choiceview.h"
#include "snapshotmodel.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace mrv {

PickListDialog::PickListDialog(const QString& title, const RowSnapshot& rows, const QStringList& preMarked,
                               QWidget* parent)
    : QDialog(parent)
    , m_model(new Internal::SnapshotModel(rows, true, this))
    , m_view(new QTableView(this))
{
    setObjectName(QStringLiteral("dlgPesquisaLista"));
    setWindowTitle(title);
    resize(520, 420);
    m_model->setChecked(preMarked);

    auto* filter = new QLineEdit(this);
    filter->setObjectName(QStringLiteral("edtFiltro"));
    filter->setPlaceholderText(QStringLiteral("Filtrar"));
    filter->setClearButtonEnabled(true);
    connect(filter, &QLineEdit::textChanged, m_model, &Internal::SnapshotModel::setFilter);
    filter->installEventFilter(this);

    Internal::setUpChoiceView(m_view, QStringLiteral("grdLista"), m_model);
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
    if (m_model->rowCount() > 0)
        m_view->setCurrentIndex(m_model->index(0, 0));
}

QStringList PickListDialog::markedKeys() const
{
    return m_model->checkedKeys();
}

void PickListDialog::setAllMarked(bool marked)
{
    m_model->setShownChecked(marked);
}

void PickListDialog::toggleCurrent()
{
    const QModelIndex current = m_view->currentIndex();
    if (current.isValid())
        m_model->toggle(current.row());
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
