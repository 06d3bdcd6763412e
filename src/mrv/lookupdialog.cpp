#include "lookupdialog.h"
#include "choiceview.h"
#include "snapshotmodel.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace mrv {

LookupDialog::LookupDialog(const QString& title, const RowSnapshot& rows, int currentRow, QWidget* parent)
    : QDialog(parent)
    , m_model(new Internal::SnapshotModel(rows, false, this))
    , m_view(new QTableView(this))
    , m_search(new QLineEdit(this))
{
    setObjectName(QStringLiteral("dlgPesquisa"));
    setWindowTitle(title.isEmpty() ? QStringLiteral("Pesquisa") : title);
    resize(480, 400);

    m_search->setObjectName(QStringLiteral("edtProcura"));
    m_search->setPlaceholderText(QStringLiteral("Procurar por %1").arg(rows.labels.value(0)));
    m_search->installEventFilter(this);
    connect(m_search, &QLineEdit::textEdited, this, &LookupDialog::search);

    Internal::setUpChoiceView(m_view, QStringLiteral("grdPesquisa"), m_model);
    connect(m_view, &QTableView::doubleClicked, this, &QDialog::accept);
    // A click on a title searches that column instead.
    connect(m_view->horizontalHeader(), &QHeaderView::sectionClicked, this, [this, rows](int section) {
        m_searchColumn = section;
        m_search->setPlaceholderText(QStringLiteral("Procurar por %1").arg(rows.labels.value(section)));
        m_search->clear();
        m_search->setFocus();
    });

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancelar"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_search);
    layout->addWidget(m_view);
    layout->addWidget(buttons);

    if (m_model->rowCount() > 0)
        m_view->selectRow(qBound(0, currentRow, m_model->rowCount() - 1));
    m_search->setFocus();
}

int LookupDialog::chosenRow() const
{
    const QModelIndex current = m_view->currentIndex();
    return current.isValid() ? current.row() : -1;
}

bool LookupDialog::search(const QString& text)
{
    if (text.isEmpty())
        return false;
    const QList<QStringList>& cells = m_model->rows().cells;
    for (int r = 0; r < cells.size(); ++r) {
        if (cells.at(r).value(m_searchColumn).trimmed().startsWith(text, Qt::CaseInsensitive)) {
            m_view->selectRow(r);
            m_view->scrollTo(m_model->index(r, 0));
            return true;
        }
    }
    return false;
}

bool LookupDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_search && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Down || key == Qt::Key_Up || key == Qt::Key_PageDown || key == Qt::Key_PageUp) {
            QCoreApplication::sendEvent(m_view, event);
            return true;
        }
    }
    return false;
}

} // namespace mrv
