// What a caller sends, refused or made harmless before it reaches the database or the server's log.
#include "apirequest.h"
#include "keylist.h"
#include "servererrors.h"
#include "serverlog.h"

#include <QtTest>

using namespace suite::server;

class tst_CallerInput : public QObject {
    Q_OBJECT
private slots:
    void logTextStaysOnItsLine_data();
    void logTextStaysOnItsLine();
    void nulInAJsonStringIsRefused_data();
    void nulInAJsonStringIsRefused();
    void keyListsReadInPlace_data();
    void keyListsReadInPlace();
};

void tst_CallerInput::logTextStaysOnItsLine_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("logged");
    QTest::newRow("plain name") << "demo"
                                << "demo";
    QTest::newRow("accents and emoji kept")
        << QString::fromUtf8("José Açaí \xF0\x9F\x8D\xB2") << QString::fromUtf8("José Açaí \xF0\x9F\x8D\xB2");
    QTest::newRow("newline forging a line") << "x\ncall IntgCentral operator demo 1 ms ok"
                                            << "x\\ncall IntgCentral operator demo 1 ms ok";
    QTest::newRow("carriage return and tab") << "a\rb\tc"
                                             << "a\\rb\\tc";
    QTest::newRow("terminal escape") << "\x1b[2Jdemo"
                                     << "\\x1b[2Jdemo";
    QTest::newRow("NUL and DEL") << QString::fromLatin1("a\0b\x7f", 4) << "a\\x00b\\x7f";
    QTest::newRow("C1 next line") << QString(QChar(0x85)) << "\\x85";
    QTest::newRow("Unicode line separator") << QString(QChar(0x2028)) << "\\u2028";
    QTest::newRow("right-to-left override") << QString(QChar(0x202e)) + "gnp.exe"
                                            << "\\u202egnp.exe";
    QTest::newRow("lone surrogate") << QString(QChar(0xd800)) << "\\ud800";
    QTest::newRow("a backslash stays distinguishable") << "a\\nb"
                                                       << "a\\\\nb";
}

void tst_CallerInput::logTextStaysOnItsLine()
{
    QFETCH(QString, text);
    QFETCH(QString, logged);
    QCOMPARE(printable(text), logged);
}

void tst_CallerInput::nulInAJsonStringIsRefused_data()
{
    QTest::addColumn<QString>("route");
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("in the operator's name") << "login" << QByteArray(R"({"user":"demo\u0000x","password":"demo"})");
    QTest::newRow("in the password") << "login" << QByteArray(R"({"user":"demo","password":"de\u0000mo"})");
    QTest::newRow("in a server name") << "connect" << QByteArray(R"({"server":"Rci06000.rdmIntgCentral\u0000"})");
    QTest::newRow("in a method") << "call"
                                 << QByteArray(R"({"server":"Rci06000.rdmIntgCentral","method":"GetGrupFili)"
                                               R"(\u0000","args":[""]})");
    QTest::newRow("in an argument") << "call"
                                    << QByteArray(R"({"server":"Rci06000.rdmIntgCentral","method":"GetFiliGrup",)"
                                                  R"("args":["T","00\u000001"]})");
    QTest::newRow("deep in a packet row")
        << "call"
        << QByteArray(R"({"server":"Rci06000.rdmIntgCentral","method":"IntgCentral","args":["0001","P01_","FX",)"
                      R"({"columns":[],"rows":[["S","0002\u0000"]]},"",""]})");
    QTest::newRow("in an object's key") << "call"
                                        << QByteArray(R"({"server":"Rci06000.rdmIntgCentral","method":"X","args":[],)"
                                                      R"("x\u0000":1})");
}

void tst_CallerInput::nulInAJsonStringIsRefused()
{
    QFETCH(QString, route);
    QFETCH(QByteArray, body);
    try {
        if (route == QLatin1String("login"))
            LoginRequest::parse(body);
        else if (route == QLatin1String("connect"))
            ConnectRequest::parse(body);
        else
            CallRequest::parse(body);
        QFAIL("a NUL was let through");
    } catch (const RequestError& e) {
        QCOMPARE(e.status(), 400);
        QVERIFY2(e.message().contains(QLatin1String("NUL")), qPrintable(e.message()));
    }
}

void tst_CallerInput::keyListsReadInPlace_data()
{
    QTest::addColumn<QByteArray>("argument"); // as JSON
    QTest::addColumn<int>("maxKeys");
    QTest::addColumn<QString>("read"); // "invalid", "all", or the keys kept, each followed by "_", "+cut" when cut
    const int any = std::numeric_limits<int>::max();
    QTest::newRow("empty") << QByteArray(R"("")") << any << "";
    QTest::newRow("all") << QByteArray(R"("T")") << any << "all";
    QTest::newRow("a key named T") << QByteArray(R"("T_")") << any << "T_";
    QTest::newRow("keys") << QByteArray(R"("A_B_")") << any << "A_B_";
    QTest::newRow("a key sent again is kept once") << QByteArray(R"("A_A_B_A_")") << any << "A_B_";
    QTest::newRow("escapes decoded") << QByteArray(R"("A_BC_")") << any << "A_BC_";
    QTest::newRow("empty key") << QByteArray(R"("A__B_")") << any << "invalid";
    QTest::newRow("last key without its _") << QByteArray(R"("A_B")") << any << "invalid";
    QTest::newRow("blank in a key") << QByteArray(R"("A B_")") << any << "invalid";
    QTest::newRow("key longer than any code") << "\"" + QByteArray(41, 'K') + "_\"" << any << "invalid";
    QTest::newRow("past the keys allowed") << QByteArray(R"("A_B_C_A_")") << 2 << "A_B_+cut";
    QTest::newRow("repeats are not past them") << QByteArray(R"("A_A_A_")") << 1 << "A_";
}

// A list is read a key at a time where it lies in the request, with the same answers a whole-text reading gave.
void tst_CallerInput::keyListsReadInPlace()
{
    QFETCH(QByteArray, argument);
    QFETCH(int, maxKeys);
    QFETCH(QString, read);
    const QByteArray text = "[" + argument + "]";
    const suite::wire::Arguments args(QStringLiteral("m"), text, {QByteArrayView(text).sliced(1, argument.size())});
    const std::optional<KeyList> list = KeyList::read(args, 0, true, maxKeys);
    QString got = QStringLiteral("invalid");
    if (list && list->all)
        got = QStringLiteral("all");
    else if (list)
        got = (list->keys.isEmpty() ? QString() : list->keys.join(QLatin1Char('_')) + QLatin1Char('_')) +
              (list->cut ? QStringLiteral("+cut") : QString());
    QCOMPARE(got, read);
}

QTEST_GUILESS_MAIN(tst_CallerInput)
#include "tst_callerinput.moc"
