// Data sets: cursor, editing, locate, suspended display, packets, display text, data sources.
#include "clientdataset.h"
#include "datasource.h"
#include "errors.h"
#include "kittestutil.h"

#include <QJsonArray>
#include <QSignalSpy>
#include <QtTest>

using namespace mrv;

namespace {

QJsonObject column(const char* name, const char* type, int size)
{
    return {{"name", name}, {"type", type}, {"size", size}};
}

// The branches of a grouping as the service sends them.
QJsonObject branchPacket(int rows)
{
    QJsonArray data;
    for (int i = 1; i <= rows; ++i) {
        const QString code = QStringLiteral("%1").arg(i, 4, 10, QLatin1Char('0'));
        data.append(QJsonArray{"N", code, QStringLiteral("Filial %1").arg(i), i == 2 ? "S" : "N"});
    }
    return {{"columns", QJsonArray{column("IDMARCADO", "string", 1), column("CDFILIAL", "string", 4),
                                   column("NMFILIAL", "string", 30), column("IDCNTRRESC", "string", 1)}},
            {"rows", data}};
}

// cdsFiliGrup as the screen defines it.
void defineBranchFields(TDataSet& ds)
{
    ds.setObjectName("cdsFiliGrup");
    ds.addField("IDMARCADO", FieldType::String, 1, "4", 3, false);
    ds.addField("CDFILIAL", FieldType::String, 4, "Código", 7)->EditMask = ">aaaa;0; ";
    ds.addField("NMFILIAL", FieldType::String, 30, "Nome");
    ds.addField("IDCNTRRESC", FieldType::String, 1, {}, 0, false);
}

} // namespace

class tst_DataSet : public QObject {
    Q_OBJECT
private slots:
    void cursorWalks_data();
    void cursorWalks();
    void editing_data();
    void editing();
    void closedDataSetRefusesWork();
    void locate_data();
    void locate();
    void suspendedDisplayNotifiesOnce();
    void reloadRunsStateChange();
    void packetRoundTrip();
    void packetKeepsDesignFields();
    void badPackets_data();
    void badPackets();
    void displayText_data();
    void displayText();
    void appendAndDelete();
    void dataSourceFollowsItsDataSet();
};

void tst_DataSet::cursorWalks_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<QStringList>("forward");
    QTest::newRow("empty") << 0 << QStringList{};
    QTest::newRow("one row") << 1 << QStringList{"0001"};
    QTest::newRow("three rows") << 3 << QStringList{"0001", "0002", "0003"};
}

void tst_DataSet::cursorWalks()
{
    QFETCH(int, rows);
    QFETCH(QStringList, forward);
    TClientDataSet ds;
    ds.setData(branchPacket(rows));
    QVERIFY(ds.Active());
    QCOMPARE(ds.RecordCount(), rows);
    QCOMPARE(ds.IsEmpty(), rows == 0);
    QCOMPARE(ds.RecNo(), rows ? 0 : -1);
    QCOMPARE(kittest::column(ds, "CDFILIAL"), forward);

    QStringList backward;
    for (ds.Last(); !ds.Bof(); ds.Prior())
        backward.prepend(ds.FieldByName("CDFILIAL")->AsString());
    QCOMPARE(backward, forward);

    ds.Last();
    ds.Next();
    QVERIFY(ds.Eof());
    QCOMPARE(ds.RecNo(), rows - 1);
}

void tst_DataSet::editing_data()
{
    QTest::addColumn<QString>("finish");
    QTest::addColumn<QString>("mark");
    QTest::newRow("post keeps the value") << "post"
                                          << "S";
    QTest::newRow("cancel restores it") << "cancel"
                                        << "N";
    QTest::newRow("moving posts the edit") << "next"
                                           << "S";
    QTest::newRow("locate posts the edit") << "locate"
                                           << "S";
}

void tst_DataSet::editing()
{
    QFETCH(QString, finish);
    QFETCH(QString, mark);
    TClientDataSet ds;
    defineBranchFields(ds);
    ds.setData(branchPacket(3));
    QSignalSpy states(&ds, &TDataSet::stateChanged);

    ds.Edit();
    QCOMPARE(ds.state(), TDataSet::dsEdit);
    ds.FieldByName("IDMARCADO")->setAsString("S");
    QCOMPARE(ds.FieldByName("IDMARCADO")->AsString(), QStringLiteral("S"));
    if (finish == "post")
        ds.Post();
    else if (finish == "cancel")
        ds.Cancel();
    else if (finish == "next")
        ds.Next();
    else
        QVERIFY(ds.Locate("CDFILIAL", "0003"));
    QCOMPARE(ds.state(), TDataSet::dsBrowse);
    QCOMPARE(states.count(), 2);
    QCOMPARE(ds.valueAt(0, ds.FieldByName("IDMARCADO")->index()).toString(), mark);
    QCOMPARE(ds.Data().value("rows").toArray().at(0).toArray().at(0).toString(), mark);
}

void tst_DataSet::closedDataSetRefusesWork()
{
    TClientDataSet ds;
    defineBranchFields(ds);
    QVERIFY(!ds.Active());
    QVERIFY(!kittest::failureOf([&] { ds.First(); }).isEmpty());
    QVERIFY(!kittest::failureOf([&] { ds.Edit(); }).isEmpty());
    ds.setData(branchPacket(1));
    QCOMPARE(kittest::failureOf([&] { ds.FieldByName("IDMARCADO")->setAsString("S"); }),
             QStringLiteral("cdsFiliGrup não está em edição."));
    QCOMPARE(kittest::failureOf([&] { ds.FieldByName("NMPRATO"); }),
             QStringLiteral("Campo NMPRATO não encontrado em cdsFiliGrup."));
    QCOMPARE(ds.FieldByName("cdfilial")->name(), QStringLiteral("CDFILIAL"));
}

void tst_DataSet::locate_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("found");
    QTest::addColumn<int>("row");
    QTest::newRow("code") << "CDFILIAL" << QVariant("0003") << true << 2;
    QTest::newRow("field name in any case") << "nmfilial" << QVariant("Filial 2") << true << 1;
    QTest::newRow("letter case matters") << "NMFILIAL" << QVariant("filial 2") << false << 3;
    QTest::newRow("whole value only") << "CDFILIAL" << QVariant("000") << false << 3;
    QTest::newRow("missing code") << "CDFILIAL" << QVariant("0099") << false << 3;
}

void tst_DataSet::locate()
{
    QFETCH(QString, field);
    QFETCH(QVariant, value);
    QFETCH(bool, found);
    QFETCH(int, row);
    TClientDataSet ds;
    ds.setData(branchPacket(5));
    ds.setRecNo(3);
    QCOMPARE(ds.Locate(field, value), found);
    QCOMPARE(ds.RecNo(), row);
}

// The mark-all of the destination grid: every row through edit and back, one repaint.
void tst_DataSet::suspendedDisplayNotifiesOnce()
{
    TClientDataSet ds;
    defineBranchFields(ds);
    ds.setData(branchPacket(4));
    ds.setRecNo(2);
    QSignalSpy data(&ds, &TDataSet::dataChanged);
    QSignalSpy current(&ds, &TDataSet::currentChanged);
    QSignalSpy states(&ds, &TDataSet::stateChanged);

    ds.DisableControls();
    ds.DisableControls(); // nested, as a helper inside the loop would
    for (ds.First(); !ds.Eof(); ds.Next()) {
        ds.Edit();
        ds.FieldByName("IDMARCADO")->setAsString("S");
        ds.Post();
    }
    QVERIFY(ds.Locate("CDFILIAL", "0003"));
    ds.EnableControls();
    QVERIFY(ds.ControlsDisabled());
    QCOMPARE(data.count(), 0);
    ds.EnableControls();
    QVERIFY(!ds.ControlsDisabled());

    QCOMPARE(data.count(), 1);
    QCOMPARE(current.count(), 1);
    QCOMPARE(states.count(), 0); // browse before and after
    QCOMPARE(kittest::column(ds, "IDMARCADO"), QStringList(4, "S"));

    // Without suspension every post is seen.
    data.clear();
    for (ds.First(); !ds.Eof(); ds.Next()) {
        ds.Edit();
        ds.FieldByName("IDMARCADO")->setAsString("N");
        ds.Post();
    }
    QCOMPARE(data.count(), 4);
}

void tst_DataSet::reloadRunsStateChange()
{
    TClientDataSet ds;
    defineBranchFields(ds);
    ds.setData(branchPacket(3));
    QSignalSpy states(&ds, &TDataSet::stateChanged);
    QSignalSpy data(&ds, &TDataSet::dataChanged);
    ds.setData(branchPacket(0));
    QCOMPARE(states.count(), 1);
    QCOMPARE(data.count(), 1);
    QVERIFY(ds.Active());
    QVERIFY(ds.IsEmpty());

    states.clear();
    ds.Close();
    QCOMPARE(states.count(), 1);
    QVERIFY(!ds.Active());
    QCOMPARE(ds.fields().size(), 4); // the definition stays
}

void tst_DataSet::packetRoundTrip()
{
    const QJsonObject packet{
        {"columns", QJsonArray{column("DTINICIAL", "date", 0), column("CDFILDESTLOG", "string", 4),
                               column("NRLINHAS", "integer", 0), column("QTPRODUTO", "float", 0),
                               column("NMPRODUTO", "string", 50)}},
        {"rows", QJsonArray{QJsonArray{"2024-03-01", "0002", 12, 0.125, "Arroz \"agulhinha\" 5kg"},
                            QJsonArray{QJsonValue::Null, "0003", QJsonValue::Null, 3.0, QJsonValue::Null},
                            QJsonArray{"2024-12-31", "", 0, -1.5, "Feijão; carioca|tipo 1"}}}};
    TClientDataSet ds;
    ds.setData(packet);
    QCOMPARE(ds.Data(), packet);

    TClientDataSet copy;
    copy.CloneData(ds);
    QCOMPARE(copy.Data(), packet);

    QCOMPARE(ds.FieldByName("DTINICIAL")->type(), FieldType::Date);
    QCOMPARE(ds.FieldByName("DTINICIAL")->AsString(), QStringLiteral("01/03/2024"));
    QCOMPARE(ds.FieldByName("NRLINHAS")->AsInteger(), 12);
    ds.Next();
    QVERIFY(ds.FieldByName("DTINICIAL")->IsNull());
    QVERIFY(ds.FieldByName("NRLINHAS")->IsNull());
}

void tst_DataSet::packetKeepsDesignFields()
{
    TClientDataSet ds;
    defineBranchFields(ds);
    TField* code = ds.FieldByName("CDFILIAL");
    ds.setData(branchPacket(2));
    QCOMPARE(ds.FieldByName("CDFILIAL"), code);
    QCOMPARE(code->DisplayLabel, QStringLiteral("Código"));
    QCOMPARE(code->DisplayWidth, 7);
    QVERIFY(!ds.FieldByName("IDMARCADO")->Visible);

    // A packet with an extra column adds a field for it, dropped again when it is gone.
    QJsonObject wider = branchPacket(1);
    QJsonArray columns = wider["columns"].toArray();
    columns.append(column("NMGRUPFILI", "string", 40));
    wider["columns"] = columns;
    wider["rows"] = QJsonArray{QJsonArray{"S", "0001", "Matriz", "N", "Sul"}};
    ds.setData(wider);
    QCOMPARE(ds.FieldByName("NMGRUPFILI")->AsString(), QStringLiteral("Sul"));
    ds.setData(branchPacket(1));
    QVERIFY(!ds.FindField("NMGRUPFILI"));
    QCOMPARE(ds.fields().size(), 4);
}

void tst_DataSet::badPackets_data()
{
    QTest::addColumn<QJsonObject>("packet");
    QTest::addColumn<QString>("error");
    QJsonObject noRows = branchPacket(1);
    noRows.remove("rows");
    QJsonObject shortRow = branchPacket(1);
    shortRow["rows"] = QJsonArray{QJsonArray{"N", "0001"}};
    QJsonObject missingField = branchPacket(0);
    missingField["columns"] = QJsonArray{column("CDFILIAL", "string", 4)};
    QJsonObject badNumber = branchPacket(0);
    QJsonArray columns = badNumber["columns"].toArray();
    columns.append(column("NRLINHAS", "integer", 0));
    badNumber["columns"] = columns;
    badNumber["rows"] = QJsonArray{QJsonArray{"N", "0001", "Matriz", "N", "doze"}};
    QTest::newRow("no rows") << noRows << "Pacote de dados inválido para cdsFiliGrup.";
    QTest::newRow("short row") << shortRow << "Pacote de dados para cdsFiliGrup com linha incompleta.";
    QTest::newRow("defined field missing") << missingField << "Campo IDMARCADO ausente nos dados de cdsFiliGrup.";
    QTest::newRow("empty object") << QJsonObject{} << "Pacote de dados inválido para cdsFiliGrup.";
    QTest::newRow("text in a number column") << badNumber << "Valor \"doze\" inválido para o campo NRLINHAS.";
}

void tst_DataSet::badPackets()
{
    QFETCH(QJsonObject, packet);
    QFETCH(QString, error);
    TClientDataSet ds;
    defineBranchFields(ds);
    QCOMPARE(kittest::failureOf([&] { ds.setData(packet); }), error);
    QVERIFY(!ds.Active());
}

void tst_DataSet::displayText_data()
{
    QTest::addColumn<QString>("mask");
    QTest::addColumn<bool>("hook");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("shown");
    QTest::newRow("branch mask") << ">aaaa;0; " << false << "ab01"
                                 << "AB01";
    QTest::newRow("dish picture") << "99.99.999" << false << "0101001"
                                  << "01.01.001";
    QTest::newRow("no mask") << "" << false << "0101001"
                             << "0101001";
    QTest::newRow("hook, standard tree") << "" << true << "P"
                                         << "Padrão";
    QTest::newRow("hook, local tree") << "" << true << "0002"
                                      << "Local";
    QTest::newRow("hook, empty") << "" << true << ""
                                 << "";
}

void tst_DataSet::displayText()
{
    QFETCH(QString, mask);
    QFETCH(bool, hook);
    QFETCH(QString, value);
    QFETCH(QString, shown);
    TClientDataSet ds;
    TField* field = ds.addField("CDFILAUXPRAT", FieldType::String, 10, "Árvore", 10);
    field->EditMask = mask;
    if (hook) {
        field->OnGetText = [](TField* sender, QString& text, bool) {
            const QString stored = sender->AsString();
            text = stored == "P" ? "Padrão" : stored.trimmed().isEmpty() ? QString() : "Local";
        };
    }
    ds.Open();
    ds.Append();
    field->setAsString(value);
    ds.Post();
    QCOMPARE(field->DisplayText(), shown);
    QCOMPARE(field->AsString(), value);
}

void tst_DataSet::appendAndDelete()
{
    TClientDataSet ds;
    defineBranchFields(ds);
    ds.setData(branchPacket(2));
    ds.Append();
    QCOMPARE(ds.state(), TDataSet::dsInsert);
    ds.FieldByName("CDFILIAL")->setAsString("0010");
    ds.Post();
    QCOMPARE(ds.RecordCount(), 3);
    QCOMPARE(ds.RecNo(), 2);
    ds.First();
    ds.Delete();
    QCOMPARE(kittest::column(ds, "CDFILIAL"), (QStringList{"0002", "0010"}));
}

void tst_DataSet::dataSourceFollowsItsDataSet()
{
    TClientDataSet query, found; // dtsPesqPrato switches between two data sets
    query.setData(branchPacket(2));
    TDataSource source;
    QSignalSpy changed(&source, &TDataSource::dataSetChanged);
    QSignalSpy states(&source, &TDataSource::StateChange);

    source.setDataSet(&query);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(states.count(), 1); // from no data set (inactive) to an open one

    source.setDataSet(&found);
    QCOMPARE(source.DataSet(), &found);
    QCOMPARE(states.count(), 2); // open -> closed
    query.Close();
    QCOMPARE(states.count(), 2); // the old data set is no longer followed
    found.setData(branchPacket(1));
    QCOMPARE(states.count(), 3);

    source.setDataSet(&found);
    QCOMPARE(changed.count(), 2);
}

QTEST_GUILESS_MAIN(tst_DataSet)
#include "tst_dataset.moc"
