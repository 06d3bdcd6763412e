// The Qt dialogs a user sees: Portuguese buttons, the picker's marks and filter, the look-up's search.
#include "kittesthost.h"

#include "dataset.h"
#include "lookupdialog.h"
#include "picklistdialog.h"
#include "qtdialogs.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
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

QTEST_MAIN(tst_QtDialogs)
#include "tst_qtdialogs.moc"
