// What a caller sends, refused or made harmless before it reaches the database or the server's log.
#include "apirequest.h"
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

QTEST_GUILESS_MAIN(tst_CallerInput)
#include "tst_callerinput.moc"
