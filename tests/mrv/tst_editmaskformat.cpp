// The suite's edit masks: the text shown for a value, and the same mask for Qt editors.
#include "editmaskformat.h"

#include <QLineEdit>
#include <QtTest>

using mrv::EditMaskFormat;

class tst_EditMaskFormat : public QObject {
    Q_OBJECT
private slots:
    void format_data();
    void format();
    void qtMask_data();
    void qtMask();
    void qtMaskAcceptsWhatTheMaskAllows_data();
    void qtMaskAcceptsWhatTheMaskAllows();
};

void tst_EditMaskFormat::format_data()
{
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("shown");
    QTest::newRow("branch code upper-cased") << ">aaaa;0; "
                                             << "ab1c"
                                             << "AB1C";
    QTest::newRow("branch code digits") << ">aaaa;0; "
                                        << "0001"
                                        << "0001";
    QTest::newRow("short branch code") << ">aaaa;0; "
                                       << "x"
                                       << "X";
    QTest::newRow("dish code gets its dots") << "99.99.999"
                                             << "0101001"
                                             << "01.01.001";
    QTest::newRow("dish code with dots kept") << "99.99.999"
                                              << "01.01.001"
                                              << "01.01.001";
    QTest::newRow("first level only") << "99.99.999"
                                      << "01"
                                      << "01";
    QTest::newRow("two levels") << "99.99.999"
                                << "0102"
                                << "01.02";
    QTest::newRow("longer than the mask") << "99.99"
                                          << "12345"
                                          << "12.345";
    QTest::newRow("lower case then off") << "<ll<>L"
                                         << "ABC"
                                         << "abC";
    QTest::newRow("upper then lower") << ">l<l"
                                      << "aB"
                                      << "Ab";
    QTest::newRow("escaped mask character") << "\\A-000;0;_"
                                            << "123"
                                            << "A-123";
    QTest::newRow("no mask") << ""
                             << "qualquer"
                             << "qualquer";
}

void tst_EditMaskFormat::format()
{
    QFETCH(QString, mask);
    QFETCH(QString, value);
    QFETCH(QString, shown);
    QCOMPARE(EditMaskFormat(mask).format(value), shown);
}

void tst_EditMaskFormat::qtMask_data()
{
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("qt");
    QTest::addColumn<bool>("savesLiterals");
    QTest::addColumn<int>("inputLength");
    QTest::newRow("branch code") << ">aaaa;0; "
                                 << ">nnnn; " << false << 4;
    QTest::newRow("dish code") << "99.99.999"
                               << "00.00.000;_" << true << 7;
    QTest::newRow("required digits") << "000;1;*"
                                     << "999;*" << true << 3;
    QTest::newRow("letters, case off again") << ">L<>l"
                                             << ">A!a;_" << true << 2;
    QTest::newRow("literal that Qt reserves") << "0A\\9"
                                              << "9N\\9;_" << true << 2;
}

void tst_EditMaskFormat::qtMask()
{
    QFETCH(QString, mask);
    QFETCH(QString, qt);
    QFETCH(bool, savesLiterals);
    QFETCH(int, inputLength);
    const EditMaskFormat format(mask);
    QCOMPARE(format.qtInputMask(), qt);
    QCOMPARE(format.savesLiterals(), savesLiterals);
    QCOMPARE(format.inputLength(), inputLength);
}

void tst_EditMaskFormat::qtMaskAcceptsWhatTheMaskAllows_data()
{
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("text");
    QTest::newRow("branch code typed in lower case") << ">aaaa;0; "
                                                     << "ab12"
                                                     << "AB12";
    QTest::newRow("branch code cut at four") << ">aaaa;0; "
                                             << "123456"
                                             << "1234";
    QTest::newRow("punctuation refused") << ">aaaa;0; "
                                         << "1-2"
                                         << "12";
    QTest::newRow("dish code") << "99.99.999"
                               << "0101001"
                               << "01.01.001";
}

void tst_EditMaskFormat::qtMaskAcceptsWhatTheMaskAllows()
{
    QFETCH(QString, mask);
    QFETCH(QString, typed);
    QFETCH(QString, text);
    QLineEdit edit;
    edit.setInputMask(EditMaskFormat(mask).qtInputMask());
    QTest::keyClicks(&edit, typed);
    QCOMPARE(edit.text(), text);
}

QTEST_MAIN(tst_EditMaskFormat)
#include "tst_editmaskformat.moc"
