// Masked edit, date edit and the busy animation, as a user types and the screens call them.
#include "kittesthost.h"

#include "busy.h"
#include "busyanimation.h"
#include "dateeditplus.h"
#include "errors.h"
#include "maskedit.h"

#include <QtTest>

using namespace mrv;

class tst_Controls : public QObject {
    Q_OBJECT

private slots:
    void maskedEdit_data();
    void maskedEdit();
    void dateEdit_data();
    void dateEdit();
    void dateEditTypingAddsSeparators();
    void busyAnimation();
    void busyGuardStopsOnEveryWayOut();

private:
    kittest::RecordingHost m_host;
};

void tst_Controls::maskedEdit_data()
{
    QTest::addColumn<QString>("mask");
    QTest::addColumn<int>("maxLength");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("text");
    QTest::newRow("branch code: upper case") << ">aaaa;0; " << 0 << "ab1c"
                                             << "AB1C";
    QTest::newRow("branch code: fifth character refused") << ">aaaa;0; " << 0 << "0001x"
                                                          << "0001";
    QTest::newRow("branch code: short code kept short") << ">aaaa;0; " << 0 << "12"
                                                        << "12";
    QTest::newRow("no mask: any case, up to ten") << "" << 10 << "Grupo-Sul-01"
                                                  << "Grupo-Sul-";
}

void tst_Controls::maskedEdit()
{
    QFETCH(QString, mask);
    QFETCH(int, maxLength);
    QFETCH(QString, typed);
    QFETCH(QString, text);
    TMaskEdit edit;
    if (maxLength)
        edit.setMaxLength(maxLength);
    edit.setEditMask(mask);
    edit.show();
    edit.setFocus();
    QTest::keyClicks(&edit, typed);
    QCOMPARE(edit.text(), text);
}

void tst_Controls::dateEdit_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDate>("date");
    QTest::addColumn<bool>("empty");
    QTest::addColumn<bool>("raises");
    QTest::addColumn<QString>("weekday");
    QTest::newRow("untouched") << "" << QDate() << true << false << "";
    QTest::newRow("valid") << "15/03/2024" << QDate(2024, 3, 15) << false << false << "Sexta";
    QTest::newRow("first accepted day") << "01/01/1900" << QDate(1900, 1, 1) << false << false << "Segunda";
    QTest::newRow("no such day") << "31/02/2024" << QDate() << false << true << "";
    QTest::newRow("partial") << "12/05/" << QDate() << false << true << "";
    QTest::newRow("separators only") << "//" << QDate() << true << false << "";
}

void tst_Controls::dateEdit()
{
    QFETCH(QString, text);
    QFETCH(QDate, date);
    QFETCH(bool, empty);
    QFETCH(bool, raises);
    QFETCH(QString, weekday);
    TDateEditPlus edit;
    edit.setText(text);
    QCOMPARE(edit.GetDate(), date);
    QCOMPARE(edit.isEmptyDate(), empty);
    QString message;
    try {
        edit.CheckValidDate();
    } catch (const Exception& e) {
        message = e.message();
    }
    QCOMPARE(!message.isEmpty(), raises);
    if (raises)
        QVERIFY2(message.contains(text) && message.contains("não é uma data válida"), qPrintable(message));
    QCOMPARE(TDateEditPlus::weekdayName(date), weekday);
    // Valid dates are shown in blue, anything else in the normal colour.
    QCOMPARE(edit.palette().color(QPalette::Text) == QColor(Qt::blue), date.isValid());
}

void tst_Controls::dateEditTypingAddsSeparators()
{
    TDateEditPlus edit;
    edit.show();
    edit.setFocus();
    QTest::keyClicks(&edit, "07122026");
    QCOMPARE(edit.text(), QString("07/12/2026"));
    QCOMPARE(edit.GetDate(), QDate(2026, 12, 7));
    QTest::keyClick(&edit, Qt::Key_Backspace);
    QTest::keyClick(&edit, Qt::Key_Backspace);
    QTest::keyClick(&edit, Qt::Key_Backspace);
    QTest::keyClick(&edit, Qt::Key_Backspace);
    QTest::keyClick(&edit, Qt::Key_Backspace); // the separator can be deleted
    QCOMPARE(edit.text(), QString("07/12"));
    QTest::keyClicks(&edit, "x"); // not a digit: refused
    QCOMPARE(edit.text(), QString("07/12"));
}

void tst_Controls::busyAnimation()
{
    QWidget main;
    main.resize(400, 300);
    main.show();
    DeactiveShowAvi(&main); // none runs: nothing happens
    QVERIFY(!ShowAviActive(&main));

    ActiveShowAvi(&main, 6, "Carregando agrupamento de filiais...");
    ActiveShowAvi(&main, 1); // a second start changes the running one
    QCOMPARE(main.findChildren<QWidget*>("busyOverlay").size(), 1);
    QWidget* overlay = main.findChild<QWidget*>("busyOverlay");
    QVERIFY(overlay->isVisible());
    QCOMPARE(overlay->geometry(), main.rect());

    DeactiveShowAvi(&main);
    DeactiveShowAvi(&main); // stopping twice is harmless
    QVERIFY(!ShowAviActive(&main));
    QTRY_VERIFY(main.findChildren<QWidget*>("busyOverlay").isEmpty());
}

void tst_Controls::busyGuardStopsOnEveryWayOut()
{
    QWidget main;
    main.show();
    m_host.main = &main;
    try {
        BusyAnimation busy(6, "Carregando pratos...");
        QVERIFY(ShowAviActive(&main));
        throw Exception("Servidor indisponível.");
    } catch (const Exception&) {
    }
    QVERIFY(!ShowAviActive(&main));
    m_host.main = nullptr;
}

QTEST_MAIN(tst_Controls)
#include "tst_controls.moc"
