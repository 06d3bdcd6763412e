// Data grid: its events, the cursor kept in step with the data set, one refresh per bulk change.
#include "kittesthost.h"

#include "binding.h"
#include "datasource.h"
#include "dbgrid.h"
#include "displaysuspended.h"
#include "helpers.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QtTest>

using namespace mrv;

namespace {

struct Cell {
    int row;
    int dataCol;
    QString field;
    int state;
    QColor brush;
    QString code; // what the data set's field read while the cell was drawn
};

class Screen : public QWidget, public EventBinding {
public:
    Screen()
        : EventBinding(this)
    {
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(grid);
        layout->addWidget(other);
        ds->setData(kittest::branchPacket(
            {{"S", "0001", "Matriz"}, {"N", "0002", "Campinas"}, {"N", "0003", "Santos"}, {"", "0004", "Recife"}},
            true));
        dts->setDataSet(ds);
        grid->addColumn("IDMARCADO", "4");
        grid->addColumn("CDFILIAL", "Código");
        grid->addColumn("NMFILIAL", "Nome");
        grid->setDataSource(dts);
        grid->setOptions(grid->options() | TDBGrid::dgRowSelect);
        onDrawColumnCell(grid, &Screen::drawCell);
        onTitleClick(grid, &Screen::titleClick);
        onDblClick(grid, &Screen::dblClick);
        onKeyDown(grid, &Screen::keyDown);
        resize(400, 300);
    }

    void drawCell(QObject*, QPainter* p, const QRect& r, int dataCol, TColumn* column, int state)
    {
        const int row = grid->rowAt(r.center().y());
        cells << Cell{
            row, dataCol, column->FieldName, state, p->brush().color(), ds->FieldByName("CDFILIAL")->AsString()};
    }
    void titleClick(TColumn* column) { log << "title:" + column->FieldName; }
    void dblClick(QObject*) { log << "dbl:" + ds->FieldByName("CDFILIAL")->AsString(); }
    void keyDown(QObject*, int& key, Qt::KeyboardModifiers mods)
    {
        log << QString("key:%1:%2").arg(key).arg(mods == Qt::ControlModifier ? "ctrl" : "");
        if ((mods & Qt::ControlModifier) && key == Qt::Key_Down)
            key = 0;
    }

    QRect cellRect(int row, int col) const { return grid->visualRect(grid->model()->index(row, col)); }

    TClientDataSet* ds = new TClientDataSet(this);
    TDataSource* dts = new TDataSource(this);
    TDBGrid* grid = new TDBGrid(this);
    QLineEdit* other = new QLineEdit(this);
    QList<Cell> cells;
    QStringList log;
};

} // namespace

class tst_DBGrid : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        m_screen = std::make_unique<Screen>();
        m_screen->show();
        m_screen->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_screen.get()));
    }
    void cleanup() { m_screen.reset(); }

    void drawCellAfterDefaultDrawing_data();
    void drawCellAfterDefaultDrawing();
    void titleClick();
    void doubleClickMakesTheRowCurrentFirst();
    void keyDown_data();
    void keyDown();
    void followsTheCursorBothWays();
    void oneRefreshAfterABulkChange();
    void columnsAndIndiceCol();
    void getTextOnEveryRow();

private:
    kittest::RecordingHost m_host;
    std::unique_ptr<Screen> m_screen;
};

void tst_DBGrid::drawCellAfterDefaultDrawing_data()
{
    QTest::addColumn<bool>("focused");
    QTest::addColumn<bool>("alwaysShow");
    QTest::addColumn<bool>("selectedShown");
    QTest::newRow("grid has the focus") << true << false << true;
    QTest::newRow("focus elsewhere") << false << false << false;
    QTest::newRow("focus elsewhere, always show selection") << false << true << true;
}

void tst_DBGrid::drawCellAfterDefaultDrawing()
{
    QFETCH(bool, focused);
    QFETCH(bool, alwaysShow);
    QFETCH(bool, selectedShown);
    Screen& s = *m_screen;
    s.ds->setRecNo(1);
    if (alwaysShow)
        s.grid->setOptions(s.grid->options() | TDBGrid::dgAlwaysShowSelection);
    (focused ? static_cast<QWidget*>(s.grid) : s.other)->setFocus();
    QTRY_VERIFY(s.grid->hasFocus() == focused);
    s.cells.clear();
    s.grid->grab();

    QCOMPARE(s.cells.size(), 4 * 3); // every cell of every row
    const QColor highlight = s.grid->palette().color(QPalette::Active, QPalette::Highlight);
    for (const Cell& c : s.cells) {
        QCOMPARE(c.field, s.grid->Column(c.dataCol)->FieldName);
        const bool selected = c.row == 1 && selectedShown;
        QCOMPARE(bool(c.state & gdSelected), selected);
        QCOMPARE(c.brush == highlight, selected);
        // The event reads the drawn row's values, not the current row's.
        QCOMPARE(c.code, s.ds->valueAt(c.row, 1).toString());
    }
    QCOMPARE(s.ds->FieldByName("CDFILIAL")->AsString(), QString("0002"));
}

void tst_DBGrid::titleClick()
{
    Screen& s = *m_screen;
    QHeaderView* header = s.grid->horizontalHeader();
    for (int col : {0, 2}) {
        const int x = header->sectionViewportPosition(col) + header->sectionSize(col) / 2;
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
    }
    QCOMPARE(s.log, (QStringList{"title:IDMARCADO", "title:NMFILIAL"}));
}

void tst_DBGrid::doubleClickMakesTheRowCurrentFirst()
{
    Screen& s = *m_screen;
    s.ds->setRecNo(0);
    QTest::mouseDClick(s.grid->viewport(), Qt::LeftButton, {}, s.cellRect(2, 1).center());
    QCOMPARE(s.log, QStringList{"dbl:0003"});
    QCOMPARE(s.ds->RecNo(), 2);
}

void tst_DBGrid::keyDown_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("mods");
    QTest::addColumn<int>("row"); // current row after the key, from row 1
    QTest::newRow("space reaches the handler") << int(Qt::Key_Space) << Qt::KeyboardModifiers() << 1;
    QTest::newRow("down passes on to the grid") << int(Qt::Key_Down) << Qt::KeyboardModifiers() << 2;
    QTest::newRow("ctrl+down swallowed by the handler")
        << int(Qt::Key_Down) << Qt::KeyboardModifiers(Qt::ControlModifier) << 1;
}

void tst_DBGrid::keyDown()
{
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, mods);
    QFETCH(int, row);
    Screen& s = *m_screen;
    s.ds->setRecNo(1);
    s.grid->setFocus();
    QTest::keyClick(s.grid, Qt::Key(key), mods);
    // (Ctrl itself is a key the handler sees first.)
    QCOMPARE(s.log.last(), QString("key:%1:%2").arg(key).arg(mods == Qt::ControlModifier ? "ctrl" : ""));
    QCOMPARE(s.ds->RecNo(), row);
}

void tst_DBGrid::followsTheCursorBothWays()
{
    Screen& s = *m_screen;
    s.ds->setRecNo(3);
    QCOMPARE(s.grid->currentIndex().row(), 3);
    s.ds->Locate("CDFILIAL", "0002");
    QCOMPARE(s.grid->currentIndex().row(), 1);
    s.grid->setCurrentIndex(s.grid->model()->index(2, 2));
    QCOMPARE(s.ds->RecNo(), 2);
    QCOMPARE(s.grid->SelectedField()->name(), QString("NMFILIAL"));
}

void tst_DBGrid::oneRefreshAfterABulkChange()
{
    Screen& s = *m_screen;
    const int before = s.grid->repaintCount();
    {
        DisplaySuspended quiet(s.ds);
        for (s.ds->First(); !s.ds->Eof(); s.ds->Next()) {
            s.ds->Edit();
            s.ds->FieldByName("IDMARCADO")->setAsString("S");
            s.ds->Post();
        }
        s.ds->Locate("CDFILIAL", "0003");
        QCOMPARE(s.grid->repaintCount(), before);
    }
    QCOMPARE(s.grid->repaintCount(), before + 1);
    for (int row = 0; row < 4; ++row)
        QCOMPARE(s.grid->model()->index(row, 0).data().toString(), QString("S"));
    QCOMPARE(s.grid->currentIndex().row(), 2);
}

void tst_DBGrid::columnsAndIndiceCol()
{
    Screen& s = *m_screen;
    QCOMPARE(IndiceCol(s.grid, "NMFILIAL"), 2);
    QCOMPARE(IndiceCol(s.grid, "idmarcado"), 0);
    QCOMPARE(IndiceCol(s.grid, "IDCNTRRESC"), -1);
    QCOMPARE(s.grid->model()->headerData(1, Qt::Horizontal).toString(), QString("Código"));
    // A grid without columns shows every visible field of whatever data set it gets.
    TDBGrid plain;
    TClientDataSet other;
    other.setData(kittest::branchPacket({{"0009", "Nova"}}));
    TDataSource src;
    src.setDataSet(&other);
    plain.setDataSource(&src);
    QCOMPARE(plain.columnCount(), 2);
    QCOMPARE(plain.model()->index(0, 1).data().toString(), QString("Nova"));
}

void tst_DBGrid::getTextOnEveryRow()
{
    // A get-text hook words every row's own value, not the current row's.
    Screen& s = *m_screen;
    s.ds->FieldByName("IDMARCADO")->OnGetText = [](TField* f, QString& text, bool) {
        text = f->AsString() == "S" ? "marcada" : "livre";
    };
    s.ds->setRecNo(1);
    QStringList shown;
    for (int row = 0; row < s.ds->RecordCount(); ++row)
        shown << s.grid->model()->index(row, 0).data().toString();
    QCOMPARE(shown, (QStringList{"marcada", "livre", "livre", "livre"}));
    QCOMPARE(s.ds->FieldByName("IDMARCADO")->AsString(), QString("N")); // the current row is still row 1
}

QTEST_MAIN(tst_DBGrid)
#include "tst_dbgrid.moc"
