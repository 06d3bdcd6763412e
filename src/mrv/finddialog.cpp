#include "finddialog.h"

#include "dataset.h"
#include "dialogs.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace mrv {

FindDialog::FindDialog(TDataSet* ds, QWidget* parent)
    : QDialog(parent)
    , m_ds(ds)
    , m_column(new QComboBox(this))
    , m_text(new QLineEdit(this))
    , m_status(new QLabel(this))
{
    setObjectName(QStringLiteral("dlgProcura"));
    setWindowTitle(QStringLiteral("Procurar"));
    m_column->setObjectName(QStringLiteral("cbxColuna"));
    m_text->setObjectName(QStringLiteral("edtTexto"));
    for (TField* f : ds->fields())
        if (f->Visible)
            m_column->addItem(f->DisplayLabel.isEmpty() ? f->name() : f->DisplayLabel, f->name());

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* findButton = buttons->addButton(QStringLiteral("Localizar"), QDialogButtonBox::ActionRole);
    findButton->setDefault(true);
    QPushButton* close = buttons->addButton(QStringLiteral("Fechar"), QDialogButtonBox::RejectRole);
    connect(findButton, &QPushButton::clicked, this, &FindDialog::findNext);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QFormLayout(this);
    layout->addRow(QStringLiteral("Coluna:"), m_column);
    layout->addRow(QStringLiteral("Texto:"), m_text);
    layout->addRow(m_status);
    layout->addRow(buttons);
    m_text->setFocus();
}

bool FindDialog::findNext()
{
    const int row = findRow(m_ds, m_column->currentData().toString(), m_text->text(), m_ds->RecNo() + 1);
    if (row < 0) {
        m_status->setText(QStringLiteral("Nenhum registro encontrado."));
        return false;
    }
    m_ds->setRecNo(row);
    m_found = true;
    m_status->setText(QStringLiteral("Registro %1 de %2.").arg(row + 1).arg(m_ds->RecordCount()));
    return true;
}

} // namespace mrv
