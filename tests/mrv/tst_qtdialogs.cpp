// The Qt dialogs a user sees: Portuguese buttons, the picker's marks and filter, the look-up's search,
// where the save dialog starts and the name it returns.
#include "kittesthost.h"

#include "dataset.h"
#include "lookupdialog.h"
#include "picklistdialog.h"
#include "qtdialogs.h"
#include "qttranslations.h"

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace mrv;

namespace {

RowSnapshot branches()
{
    TClientDataSet ds;
    ds.setData(kittest::branchPacket({{"0001", "Matriz São Paulo"},
                                      {"0002", "Filial Campinas"},
                                      {"0003", "Filial Santos"},
                                      {"0004", "Filial Santos Dumont"}}));
    return snapshotRows(&ds, "CDFILIAL");
}

// Presses the button with this text on the next modal dialog.
void pressLater(const QString& text, QStringList* seen)
{
    QTimer::singleShot(0, [text, seen] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        for (QAbstractButton* b : modal->findChildren<QAbstractButton*>()) {
            *seen << b->text();
        }
        for (QAbstractButton* b : modal->findChildren<QAbstractButton*>())
            if (b->text() == text) {
                b->click();
                return;
            }
    });
}

} // namespace

class tst_QtDialogs : public QObject {
    Q_OBJECT

private slots:
    void messageButtons_data();
    void messageButtons();
    void pickerMarks();
    void lookupSearch_data();
    void lookupSearch();
    void saveStart_data();
    void saveStart();
    void typedNameGetsTheSuffix_data();
    void typedNameGetsTheSuffix();
    void saveDialogInPortugueseStartsWhereTheLastSaveWent();
};

void tst_QtDialogs::messageButtons_data()
{
    QTest::addColumn<int>("buttons");
    QTest::addColumn<QString>("press");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("question, Sim") << int(mbYesNo) << "Sim" << int(mrYes) << QStringList{"Sim", "Não"};
    QTest::newRow("question, Não") << int(mbYesNo) << "Não" << int(mrNo) << QStringList{"Sim", "Não"};
    QTest::newRow("information, OK") << int(mbOK) << "OK" << int(mrOk) << QStringList{"OK"};
}

void tst_QtDialogs::messageButtons()
{
    QFETCH(int, buttons);
    QFETCH(QString, press);
    QFETCH(int, answer);
    QFETCH(QStringList, shown);
    QStringList seen;
    pressLater(press, &seen);
    QtDialogs dialogs;
    QCOMPARE(dialogs.message("Confirma operação?", buttons == mbYesNo ? mtConfirmation : mtInformation, buttons),
             answer);
    seen.sort();
    shown.sort();
    QCOMPARE(seen, shown);
}

void tst_QtDialogs::pickerMarks()
{
    PickListDialog dialog("Filial", branches(), {"0002"});
    QCOMPARE(dialog.markedKeys(), QStringList{"0002"});
    auto* filter = dialog.findChild<QLineEdit*>("edtFiltro");
    filter->setText("santos");
    dialog.findChild<QPushButton*>("btnMarcarTodos")->click(); // marks what the filter shows
    QCOMPARE(dialog.markedKeys(), (QStringList{"0002", "0003", "0004"}));
    filter->clear();
    auto* view = dialog.findChild<QTableView*>("grdLista");
    view->setCurrentIndex(view->model()->index(0, 0));
    QTest::keyClick(view, Qt::Key_Space); // toggles the current row
    QCOMPARE(dialog.markedKeys(), (QStringList{"0001", "0002", "0003", "0004"}));
    dialog.findChild<QPushButton*>("btnDesmarcarTodos")->click();
    QVERIFY(dialog.markedKeys().isEmpty());
}

void tst_QtDialogs::lookupSearch_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("row");
    QTest::newRow("code prefix") << "0003" << 2;
    QTest::newRow("incremental: first match so far") << "000" << 0;
    QTest::newRow("no match keeps the row") << "9" << 1;
}

void tst_QtDialogs::lookupSearch()
{
    QFETCH(QString, typed);
    QFETCH(int, row);
    LookupDialog dialog("Filial", branches(), 1);
    dialog.show();
    auto* search = dialog.findChild<QLineEdit*>("edtProcura");
    search->setFocus();
    QTest::keyClicks(search, typed);
    QCOMPARE(dialog.chosenRow(), row);
}

void tst_QtDialogs::saveStart_data()
{
    QTest::addColumn<bool>("lastUsed");
    QTest::addColumn<bool>("documents");
    QTest::addColumn<QString>("expected"); // "last", "documents" or "home"
    QTest::newRow("first save: the documents folder") << false << true << "documents";
    QTest::newRow("later saves: where the last one went") << true << true << "last";
    QTest::newRow("no documents folder: home") << false << false << "home";
    QTest::newRow("the last folder alone is enough") << true << false << "last";
}

void tst_QtDialogs::saveStart()
{
    QFETCH(bool, lastUsed);
    QFETCH(bool, documents);
    QFETCH(QString, expected);
    QTemporaryDir last;
    QTemporaryDir docs;
    const QString gone = docs.path() + "/removed"; // a folder that no longer exists is passed over
    const QString lastFolder = lastUsed ? last.path() : QString();
    const QString docsFolder = documents ? docs.path() : gone;
    const QString folder = expected == "last" ? last.path() : expected == "documents" ? docs.path() : QDir::homePath();
    QCOMPARE(saveStartPath("RCI060.csv", lastFolder, docsFolder), QDir(folder).filePath("RCI060.csv"));
    QVERIFY(!saveStartPath("RCI060.csv", lastFolder, docsFolder).startsWith(QCoreApplication::applicationDirPath()));
}

void tst_QtDialogs::typedNameGetsTheSuffix_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QString>("saved");
    QTest::newRow("csv, no extension") << "/home/ana/log"
                                       << "csv"
                                       << "/home/ana/log.csv";
    QTest::newRow("pdf, no extension") << "/home/ana/log"
                                       << "pdf"
                                       << "/home/ana/log.pdf";
    QTest::newRow("extension typed") << "/home/ana/log.csv"
                                     << "csv"
                                     << "/home/ana/log.csv";
    QTest::newRow("another extension is the user's choice") << "/home/ana/log.txt"
                                                            << "csv"
                                                            << "/home/ana/log.txt";
    QTest::newRow("ending in a dot") << "/home/ana/log."
                                     << "csv"
                                     << "/home/ana/log.csv";
    QTest::newRow("dot in the folder only") << "/home/ana/rel.2026/log"
                                            << "csv"
                                            << "/home/ana/rel.2026/log.csv";
    QTest::newRow("cancelled stays empty") << ""
                                           << "csv"
                                           << "";
}

void tst_QtDialogs::typedNameGetsTheSuffix()
{
    QFETCH(QString, typed);
    QFETCH(QString, suffix);
    QFETCH(QString, saved);
    QCOMPARE(withDefaultSuffix(typed, suffix), saved);
}

void tst_QtDialogs::saveDialogInPortugueseStartsWhereTheLastSaveWent()
{
    QVERIFY2(installQtTranslations(), "Qt's pt_BR translations are not installed");
    QTemporaryDir dir;
    struct Seen {
        QString folder;
        QStringList buttons;
    };
    // Answers the next save dialog by typing a name without extension.
    const auto answer = [](Seen* seen, const QString& typed) {
        QTimer::singleShot(0, [seen, typed] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            seen->folder = dialog->directory().absolutePath();
            for (QAbstractButton* b : dialog->findChild<QDialogButtonBox*>()->buttons())
                seen->buttons << b->text().remove('&');
            dialog->selectFile(typed);
            static_cast<QDialog*>(dialog)->accept(); // QFileDialog::accept(), which adds the suffix
        });
    };
    QtDialogs dialogs;
    Seen first;
    answer(&first, dir.filePath("log"));
    QCOMPARE(dialogs.savePath("RCI060.csv", "CSV (*.csv)"), dir.filePath("log.csv"));
    QCOMPARE(first.folder, QFileInfo(saveStartPath("RCI060.csv", {},
                                                   QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)))
                               .absolutePath());
    first.buttons.sort();
    QCOMPARE(first.buttons, (QStringList{"Cancelar", "Salvar"}));

    Seen second;
    answer(&second, "outro");
    QCOMPARE(dialogs.savePath("RCI060.pdf", "PDF (*.pdf)"), dir.filePath("outro.pdf"));
    QCOMPARE(second.folder, QDir(dir.path()).absolutePath());
}

QTEST_MAIN(tst_QtDialogs)
#include "tst_qtdialogs.moc"
