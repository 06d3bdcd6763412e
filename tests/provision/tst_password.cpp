// Password hashes as stored in OPERADOR.DSSENHA.
#include "password.h"

#include <QtTest>

using namespace suite::provision;

class tst_Password : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void verifies_data();
    void verifies();
    void refusesTampered_data();
    void refusesTampered();
    void saltsDiffer();
    void readsStandardPbkdf2();
    void weakerHashesNeedRehash_data();
    void weakerHashesNeedRehash();

private:
    QString m_stored; // hash of "demo"
};

void tst_Password::initTestCase()
{
    m_stored = hashPassword(QStringLiteral("demo"));
    const QStringList parts = m_stored.split(QLatin1Char('$'));
    QCOMPARE(parts.size(), 4);
    QCOMPARE(parts[0], QStringLiteral("pbkdf2-sha256"));
    QVERIFY2(parts[1].toInt() >= 600000, qPrintable(m_stored));
}

void tst_Password::verifies_data()
{
    QTest::addColumn<QString>("plain");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("right") << "demo" << true;
    QTest::newRow("wrong") << "demo1" << false;
    QTest::newRow("case differs") << "Demo" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("trailing blank") << "demo " << false;
}

void tst_Password::verifies()
{
    QFETCH(QString, plain);
    QTEST(verifyPassword(plain, m_stored), "accepted");
}

void tst_Password::refusesTampered_data()
{
    QTest::addColumn<QString>("stored");
    const QStringList p = m_stored.split(QLatin1Char('$'));
    auto join = [](QStringList parts) { return parts.join(QLatin1Char('$')); };
    QStringList changedHash = p;
    changedHash[3][0] = changedHash[3][0] == QLatin1Char('A') ? QLatin1Char('B') : QLatin1Char('A');
    QStringList changedSalt = p;
    changedSalt[2][0] = changedSalt[2][0] == QLatin1Char('A') ? QLatin1Char('B') : QLatin1Char('A');
    QStringList fewerIterations = p;
    fewerIterations[1] = QStringLiteral("99999");
    QStringList otherScheme = p;
    otherScheme[0] = QStringLiteral("pbkdf2-sha1");
    QStringList shortHash = p;
    shortHash[3] = QString::fromLatin1(QByteArray(16, 'x').toBase64());
    QStringList badBase64 = p;
    badBase64[3] = QStringLiteral("***");
    QStringList hugeIterations = p;
    hugeIterations[1] = QStringLiteral("2000000000");
    QTest::newRow("hash changed") << join(changedHash);
    QTest::newRow("salt changed") << join(changedSalt);
    QTest::newRow("iterations changed") << join(fewerIterations);
    QTest::newRow("other scheme") << join(otherScheme);
    QTest::newRow("hash too short") << join(shortHash);
    QTest::newRow("hash not base64") << join(badBase64);
    QTest::newRow("absurd iteration count") << join(hugeIterations);
    QTest::newRow("plain text stored") << "demo";
    QTest::newRow("empty") << "";
    QTest::newRow("extra field") << join(p) + "$x";
}

void tst_Password::refusesTampered()
{
    QFETCH(QString, stored);
    QVERIFY(!verifyPassword(QStringLiteral("demo"), stored));
}

void tst_Password::saltsDiffer()
{
    const QString other = hashPassword(QStringLiteral("demo"));
    QVERIFY(other != m_stored);
    QVERIFY(verifyPassword(QStringLiteral("demo"), other));
    const QString accented = hashPassword(QStringLiteral("Açaí-2026"));
    QVERIFY(verifyPassword(QStringLiteral("Açaí-2026"), accented));
    QVERIFY(!verifyPassword(QStringLiteral("Acai-2026"), accented));
}

void tst_Password::readsStandardPbkdf2()
{
    // Published PBKDF2-HMAC-SHA256 vector (P="password", S="salt", c=4096, dkLen=32): hashes made
    // by any standard implementation, or by an earlier build with another iteration count, verify.
    const QByteArray key = QByteArray::fromHex("c5e478d59288c841aa530db6845c4c8d962893a001ce4e11a4963873aa98134a");
    const QString stored =
        QStringLiteral("pbkdf2-sha256$4096$%1$%2")
            .arg(QString::fromLatin1(QByteArray("salt").toBase64()), QString::fromLatin1(key.toBase64()));
    QVERIFY(verifyPassword(QStringLiteral("password"), stored));
    QVERIFY(!verifyPassword(QStringLiteral("passwore"), stored));
}

void tst_Password::weakerHashesNeedRehash_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("rehash");
    const QStringList p = m_stored.split(QLatin1Char('$'));
    const auto withIterations = [&](const char* count) {
        QStringList parts = p;
        parts[1] = QString::fromLatin1(count);
        return parts.join(QLatin1Char('$'));
    };
    QTest::newRow("made now") << m_stored << false;
    QTest::newRow("an earlier build's 100,000 iterations") << withIterations("100000") << true;
    QTest::newRow("one iteration short") << withIterations("599999") << true;
    QTest::newRow("more than now") << withIterations("1000000") << false;
}

void tst_Password::weakerHashesNeedRehash()
{
    QFETCH(QString, stored);
    QTEST(needsRehash(stored), "rehash");
}

QTEST_GUILESS_MAIN(tst_Password)
#include "tst_password.moc"
