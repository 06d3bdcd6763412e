// Qt dialogs in Portuguese.
#include "qtdialogs.h"

#include "dataset.h"
#include "datasource.h"
#include "finddialog.h"
#include "lookupdialog.h"
#include "picklistdialog.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QStandardPaths>
#include <QTextDocument>

namespace mrv {

namespace {

QWidget* owner()
{
    return QApplication::activeWindow();
}

} // namespace

int QtDialogs::message(const QString& text, int type, int buttons)
{
    QMessageBox box(owner());
    box.setText(text);
    switch (type) {
    case mtError:
        box.setIcon(QMessageBox::Critical);
        box.setWindowTitle(QStringLiteral("Erro"));
        break;
    case mtInformation:
        box.setIcon(QMessageBox::Information);
        box.setWindowTitle(QStringLiteral("Informação"));
        break;
    case mtConfirmation:
        box.setIcon(QMessageBox::Question);
        box.setWindowTitle(QStringLiteral("Confirmação"));
        break;
    default:
        box.setIcon(QMessageBox::Warning);
        box.setWindowTitle(QStringLiteral("Atenção"));
        break;
    }
    if (buttons == mbYesNo) {
        QPushButton* yes = box.addButton(QStringLiteral("Sim"), QMessageBox::YesRole);
        QPushButton* no = box.addButton(QStringLiteral("Não"), QMessageBox::NoRole);
        box.setDefaultButton(yes);
        box.setEscapeButton(no);
        box.exec();
        return box.clickedButton() == yes ? mrYes : mrNo;
    }
    QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
    box.exec();
    return mrOk;
}

bool QtDialogs::pickList(TDataSource* src, const QString& keyField, const QString& title, QString& list)
{
    PickListDialog dialog(title, snapshotRows(src->DataSet(), keyField), choiceKeys(list), owner());
    if (dialog.exec() != QDialog::Accepted)
        return false;
    list = choiceList(dialog.markedKeys());
    return true;
}

bool QtDialogs::lookup(TDataSource* src, const QString& title)
{
    TDataSet* ds = src->DataSet();
    LookupDialog dialog(title, snapshotRows(ds, QString()), ds->RecNo(), owner());
    if (dialog.exec() != QDialog::Accepted || dialog.chosenRow() < 0)
        return false;
    ds->setRecNo(dialog.chosenRow());
    return true;
}

bool QtDialogs::find(TDataSet* ds)
{
    FindDialog dialog(ds, owner());
    dialog.exec();
    return dialog.foundAny();
}

void QtDialogs::preview(const QString& title, QTextDocument* doc)
{
    QPrinter printer(QPrinter::HighResolution);
    const QSizeF page = doc->pageSize();
    printer.setPageOrientation(page.width() > page.height() ? QPageLayout::Landscape : QPageLayout::Portrait);
    QPrintPreviewDialog dialog(&printer, owner());
    dialog.setWindowTitle(title);
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog, [doc](QPrinter* p) { doc->print(p); });
    dialog.resize(900, 700);
    dialog.exec();
}

QString QtDialogs::savePath(const QString& suggested, const QString& filter)
{
    static QString lastFolder; // this session's: the next save starts where the user saved last
    QFileDialog dialog(
        owner(), QStringLiteral("Salvar relatório"),
        saveStartPath(suggested, lastFolder, QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)),
        filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // Added before the dialog's own check of an existing file, so the file asked about is the one written.
    dialog.setDefaultSuffix(QFileInfo(suggested).suffix());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    const QString path = dialog.selectedFiles().constFirst();
    lastFolder = QFileInfo(path).absolutePath();
    return path;
}

bool QtDialogs::inputText(const QString& caption, const QString& prompt, QString& value)
{
    bool ok = false;
    const QString text = QInputDialog::getText(owner(), caption, prompt, QLineEdit::Normal, value, &ok);
    if (ok)
        value = text;
    return ok;
}

} // namespace mrv
