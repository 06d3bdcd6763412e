// What the desktop and the server both speak: the short date text.
#include <shortdate.h>

#include <QtTest>

using namespace suite::wire;

class tst_Wire : public QObject {
    Q_OBJECT

private slots:
    void shortDate_data();
    void shortDate();
};

void tst_Wire::shortDate_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDate>("date");   // invalid: the text is refused
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
        QCOMPARE(ShortDateText(date), text);   // the screen's text is what the service reads
}

QTEST_GUILESS_MAIN(tst_Wire)
#include "tst_wire.moc"
