// What the desktop and the server both speak: the data packet, call arguments, the short date text.
#include <arguments.h>
#include <packet.h>
#include <shortdate.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QtTest>

using namespace suite::wire;

Q_DECLARE_METATYPE(suite::wire::Packet::Problem)

namespace {

QJsonObject parsed(const QByteArray& json)
{
    return QJsonDocument::fromJson(json).object();
}

} // namespace

class tst_Wire : public QObject {
    Q_OBJECT

private slots:
    void packetTextReadsAsItsValue_data();
    void packetTextReadsAsItsValue();
    void packetRowsStopWhereTheReaderStops();
    void packetRoundTrip_data();
    void packetRoundTrip();
    void numbersInTextColumns_data();
    void numbersInTextColumns();
    void refusedPackets_data();
    void refusedPackets();
    void argumentsRoundTrip_data();
    void argumentsRoundTrip();
    void shortDate_data();
    void shortDate();
};

void tst_Wire::packetRoundTrip_data()
{
    QTest::addColumn<QList<Column>>("columns");
    QTest::addColumn<QList<QVariantList>>("rows");
    QTest::addColumn<QByteArray>("json"); // as the other side receives it
    const QList<Column> typed{{"CDFILIAL", ColumnType::String, 4},
                              {"NRSEQ", ColumnType::Integer, 0},
                              {"QTPRODUTO", ColumnType::Float, 0},
                              {"DTCARDAPIO", ColumnType::Date, 0}};
    QTest::newRow("a value of every type")
        << typed << QList<QVariantList>{{QString("0002"), qint64(3), 0.125, QDate(2026, 3, 9)}}
        << QByteArray(
               R"({"columns":[{"name":"CDFILIAL","size":4,"type":"string"},{"name":"NRSEQ","size":0,"type":"integer"},)"
               R"({"name":"QTPRODUTO","size":0,"type":"float"},{"name":"DTCARDAPIO","size":0,"type":"date"}],)"
               R"("rows":[["0002",3,0.125,"2026-03-09"]]})");
    QTest::newRow("empty cells are null")
        << typed << QList<QVariantList>{{QVariant(), QVariant(), QVariant(), QVariant()}}
        << QByteArray(
               R"({"columns":[{"name":"CDFILIAL","size":4,"type":"string"},{"name":"NRSEQ","size":0,"type":"integer"},)"
               R"({"name":"QTPRODUTO","size":0,"type":"float"},{"name":"DTCARDAPIO","size":0,"type":"date"}],)"
               R"("rows":[[null,null,null,null]]})");
    QTest::newRow("texts that look like numbers stay texts")
        << QList<Column>{{"CDPRATO", ColumnType::String, 10}}
        << QList<QVariantList>{{QString("0101001")}, {QString("1e5")}, {QString("Açaí \"da casa\"")}}
        << QByteArray(
               R"({"columns":[{"name":"CDPRATO","size":10,"type":"string"}],"rows":[["0101001"],["1e5"],["Açaí \"da casa\""]]})");
    QTest::newRow("no rows") << QList<Column>{{"IDMARCADO", ColumnType::String, 1}} << QList<QVariantList>{}
                             << QByteArray(R"({"columns":[{"name":"IDMARCADO","size":1,"type":"string"}],"rows":[]})");
}

void tst_Wire::packetRoundTrip()
{
    QFETCH(QList<Column>, columns);
    QFETCH(QList<QVariantList>, rows);
    QFETCH(QByteArray, json);
    Packet sent(columns);
    for (const QVariantList& row : rows)
        sent.addRow(row);
    QCOMPARE(sent.toJson(), parsed(json));

    Packet::Problem problem{};
    const std::optional<Packet> received = Packet::fromJson(parsed(json), &problem);
    QVERIFY(received);
    QCOMPARE(received->columns().size(), columns.size());
    for (qsizetype i = 0; i < columns.size(); ++i) {
        QCOMPARE(received->columns().at(i).name, columns.at(i).name);
        QCOMPARE(received->columns().at(i).type, columns.at(i).type);
        QCOMPARE(received->columns().at(i).size, columns.at(i).size);
    }
    QCOMPARE(received->rows(), rows);
    QCOMPARE(received->toJson(), sent.toJson());
}

void tst_Wire::numbersInTextColumns_data()
{
    QTest::addColumn<double>("number");
    QTest::addColumn<QString>("text");
    QTest::newRow("whole number") << 2.0 << "2";
    QTest::newRow("negative zero") << -0.0 << "0";
    QTest::newRow("fraction") << 1.25 << "1.25";
    QTest::newRow("largest whole double") << 9007199254740992.0 << "9007199254740992";
    QTest::newRow("beyond 64 bits") << 1e300 << "1e+300";
    QTest::newRow("below 64 bits") << -1e19 << "-1e+19";
}

void tst_Wire::numbersInTextColumns()
{
    QFETCH(double, number);
    QFETCH(QString, text);
    QCOMPARE(cellFromJson(QJsonValue(number), ColumnType::String), QVariant(text));
}

void tst_Wire::refusedPackets_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<Packet::Problem>("problem");
    QTest::newRow("not an object") << QByteArray("[1]") << Packet::Problem::NotAPacket;
    QTest::newRow("no columns") << QByteArray(R"({"rows":[]})") << Packet::Problem::NotAPacket;
    QTest::newRow("rows not a list") << QByteArray(R"({"columns":[],"rows":{}})") << Packet::Problem::NotAPacket;
    QTest::newRow("column without a name")
        << QByteArray(R"({"columns":[{"type":"string"}],"rows":[]})") << Packet::Problem::UnnamedColumn;
    QTest::newRow("row short of a cell") << QByteArray(R"({"columns":[{"name":"A"},{"name":"B"}],"rows":[["x"]]})")
                                         << Packet::Problem::RaggedRow;
    QTest::newRow("row not a list") << QByteArray(R"({"columns":[{"name":"A"}],"rows":["x"]})")
                                    << Packet::Problem::RaggedRow;
    QTest::newRow("a list in a cell") << QByteArray(R"({"columns":[{"name":"A"}],"rows":[[["x"]]]})")
                                      << Packet::Problem::NestedCell;
    QTest::newRow("an integer beyond 64 bits")
        << QByteArray(R"({"columns":[{"name":"A","type":"integer"}],"rows":[[1e19]]})")
        << Packet::Problem::IntegerOutOfRange;
}

void tst_Wire::refusedPackets()
{
    QFETCH(QByteArray, json);
    QFETCH(Packet::Problem, problem);
    const QJsonDocument doc = QJsonDocument::fromJson(json);
    const QJsonValue value = doc.isObject() ? QJsonValue(doc.object()) : QJsonValue(doc.array());
    Packet::Problem found{};
    QVERIFY(!Packet::fromJson(value, &found));
    QCOMPARE(found, problem);
}

void tst_Wire::argumentsRoundTrip_data()
{
    QTest::addColumn<QVariant>("sent");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QVariant>("read"); // invalid: refused as of another kind
    QTest::newRow("text") << QVariant(QString("0001")) << "text" << QVariant(QString("0001"));
    QTest::newRow("integer") << QVariant(3) << "integer" << QVariant(3);
    QTest::newRow("date") << QVariant(QDate(2026, 1, 31)) << "date" << QVariant(QDate(2026, 1, 31));
    QTest::newRow("empty date editor") << QVariant(QDate()) << "date" << QVariant(QString("null"));
    QTest::newRow("text for an integer") << QVariant(QString("3")) << "integer" << QVariant();
    QTest::newRow("fraction for an integer") << QVariant(2.5) << "integer" << QVariant();
    QTest::newRow("integer for a text") << QVariant(1) << "text" << QVariant();
    QTest::newRow("text date for a date") << QVariant(QString("31/01/2026")) << "date" << QVariant();
    QTest::newRow("text for a packet") << QVariant(QString("S0002")) << "packet" << QVariant();
}

void tst_Wire::argumentsRoundTrip()
{
    QFETCH(QVariant, sent);
    QFETCH(QString, kind);
    QFETCH(QVariant, read);
    const Arguments args(QStringLiteral("Method"), {argumentToJson(sent)});
    QVariant got;
    try {
        if (kind == QLatin1String("text"))
            got = args.text(0);
        else if (kind == QLatin1String("integer"))
            got = args.integer(0);
        else if (kind == QLatin1String("packet"))
            got = args.packet(0).has_value();
        else if (const std::optional<QDate> date = args.date(0))
            got = *date;
        else
            got = QString("null");
    } catch (const ArgumentError& e) {
        QVERIFY2(!read.isValid(), qPrintable(e.message()));
        QVERIFY(e.message().contains(QLatin1String("argument 1")));
        return;
    }
    QCOMPARE(got, read);
}

void tst_Wire::shortDate_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDate>("date"); // invalid: the text is refused
    QTest::newRow("a day") << "09/03/2026" << QDate(2026, 3, 9);
    QTest::newRow("first supported day") << "01/01/1900" << QDate(1900, 1, 1);
    QTest::newRow("leap day") << "29/02/2028" << QDate(2028, 2, 29);
    QTest::newRow("no such day") << "29/02/2026" << QDate();
    QTest::newRow("month first") << "03/31/2026" << QDate();
    QTest::newRow("no leading zeros") << "9/3/2026" << QDate();
    QTest::newRow("two-digit year") << "09/03/26" << QDate();
    QTest::newRow("ISO text") << "2026-03-09" << QDate();
    QTest::newRow("empty") << "" << QDate();
}

void tst_Wire::shortDate()
{
    QFETCH(QString, text);
    QFETCH(QDate, date);
    QCOMPARE(ShortDate(text), date);
    if (date.isValid())
        QCOMPARE(ShortDateText(date), text); // the screen's text is what the service reads
}

QTEST_GUILESS_MAIN(tst_Wire)
void tst_Wire::packetTextReadsAsItsValue_data()
{
    QTest::addColumn<QByteArray>("text");
    const QByteArray columns = R"("columns":[{"name":"A","type":"string","size":4},{"name":"N","type":"integer"},)"
                               R"({"name":"F","type":"float"},{"name":"D","type":"date"}])";
    QTest::newRow("every type, nulls and escapes")
        << QByteArray("{" + columns + R"(,"rows":[["a\u00e9\ud83d\ude00\n\"",12,-0.5e1,"2024-02-29"],)"
                                       R"([null,null,null,null],[7,1e3,1,"x"]]})");
    QTest::newRow("rows before columns, and other members")
        << QByteArray(R"({"rows":[["x",1,2,null]],"extra":{"a":[1,{}]},)" + columns + "}");
    QTest::newRow("no rows") << QByteArray("{" + columns + R"(,"rows":[]})");
    QTest::newRow("a member twice: the last") << QByteArray("{" + columns + R"(,"rows":[1],"rows":[["y",2,3,null]]})");
    QTest::newRow("integer out of range") << QByteArray("{" + columns + R"(,"rows":[["a",1e300,1,null]]})");
    QTest::newRow("nested cell") << QByteArray("{" + columns + R"(,"rows":[["a",1,[2],null]]})");
    QTest::newRow("short row") << QByteArray("{" + columns + R"(,"rows":[["a",1,2]]})");
    QTest::newRow("long row") << QByteArray("{" + columns + R"(,"rows":[["a",1,2,null,5]]})");
    QTest::newRow("a row not an array") << QByteArray("{" + columns + R"(,"rows":[{"a":1}]})");
    QTest::newRow("unnamed column") << QByteArray(R"({"columns":[{"type":"string"}],"rows":[]})");
    QTest::newRow("column not an object") << QByteArray(R"({"columns":["A"],"rows":[]})");
    QTest::newRow("no rows member") << QByteArray("{" + columns + "}");
    QTest::newRow("rows not an array") << QByteArray("{" + columns + R"(,"rows":{}})");
    QTest::newRow("not an object") << QByteArray(R"([1,2])");
}

void tst_Wire::packetTextReadsAsItsValue()
{
    QFETCH(QByteArray, text);
    // Read in place, a packet means what the same text parsed whole means, problems included.
    QJsonParseError error;
    const QJsonValue value = QJsonDocument::fromJson("[" + text + "]", &error).array().at(0);
    QCOMPARE(error.error, QJsonParseError::NoError);
    Packet::Problem wholeProblem{};
    Packet::Problem textProblem{};
    const std::optional<Packet> whole = Packet::fromJson(value, &wholeProblem);
    const std::optional<Packet> inPlace = Packet::fromJsonText(text, &textProblem);
    QCOMPARE(inPlace.has_value(), whole.has_value());
    if (whole)
        QCOMPARE(inPlace->toJson(), whole->toJson());
    else
        QCOMPARE(int(textProblem), int(wholeProblem));
}

void tst_Wire::packetRowsStopWhereTheReaderStops()
{
    // A reader that refuses the third row never has the rest read, even a malformed rest.
    QByteArray text = R"({"columns":[{"name":"A"}],"rows":[)";
    for (int i = 0; i < 1000; ++i)
        text += R"(["x"],)";
    text += R"([[["not a cell"]]]]})";
    struct Enough {};
    int read = 0;
    QList<Column> columns;
    try {
        Packet::readRows(text, columns, [&read](const QVariantList&) {
            if (++read == 3)
                throw Enough{};
        });
        QFAIL("the reader's stop was not let through");
    } catch (const Enough&) {
    }
    QCOMPARE(read, 3);
    QCOMPARE(columns.size(), 1);
}

#include "tst_wire.moc"
