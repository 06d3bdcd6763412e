// How failed log-ins are held back: per operator, per address, growing, forgotten, and bounded in memory.
#include "loginthrottle.h"

#include <QtTest>

using suite::server::LoginLimits;
using suite::server::LoginThrottle;
using namespace std::chrono_literals;

namespace {

// One attempt of a scenario: who tries from where, how long after the previous one, whether it is right, and the
// wait the throttle answers (0: let through).
struct Attempt {
    QString user;
    QString address;
    std::chrono::seconds after;
    bool right;
    int wait;
};

} // namespace

Q_DECLARE_METATYPE(QList<Attempt>)

class tst_LoginThrottle : public QObject {
    Q_OBJECT
private slots:
    void scenario_data();
    void scenario();
    void memoryStaysBounded();
};

void tst_LoginThrottle::scenario_data()
{
    QTest::addColumn<QList<Attempt>>("attempts");
    const auto wrong = [](const char* user, int wait, std::chrono::seconds after = 1s,
                          const char* address = "10.0.0.1") {
        return Attempt{QString::fromLatin1(user), QString::fromLatin1(address), after, false, wait};
    };
    const auto right = [](const char* user, int wait, std::chrono::seconds after = 1s,
                          const char* address = "10.0.0.1") {
        return Attempt{QString::fromLatin1(user), QString::fromLatin1(address), after, true, wait};
    };
    const QList<Attempt> fiveWrong{wrong("ana", 0), wrong("ana", 0), wrong("ana", 0), wrong("ana", 0), wrong("ana", 0)};

    QTest::newRow("five wrong passwords pass, the sixth try waits, even with the right one")
        << fiveWrong + QList<Attempt>{right("ana", 29)};
    QTest::newRow("the wait doubles with every failure after it")
        << fiveWrong +
               QList<Attempt>{wrong("ana", 0, 30s), wrong("ana", 59, 1s), wrong("ana", 0, 60s), wrong("ana", 119, 1s)};
    QTest::newRow("the wait never exceeds fifteen minutes")
        << fiveWrong + QList<Attempt>{wrong("ana", 0, 30s),  wrong("ana", 0, 60s),  wrong("ana", 0, 120s),
                                      wrong("ana", 0, 240s), wrong("ana", 0, 480s), wrong("ana", 0, 900s),
                                      wrong("ana", 0, 900s), right("ana", 899, 1s)};
    QTest::newRow("a right password starts the operator afresh")
        << QList<Attempt>{wrong("ana", 0), wrong("ana", 0), wrong("ana", 0), wrong("ana", 0), right("ana", 0)} +
               fiveWrong + QList<Attempt>{right("ana", 29)};
    QTest::newRow("right passwords never count, however many")
        << QList<Attempt>(30, right("ana", 0, 0s)) + QList<Attempt>{wrong("ana", 0), right("ana", 0)};
    QTest::newRow("another operator is not held back by ana's failures")
        << fiveWrong + QList<Attempt>{right("bia", 0), right("ana", 28)};
    QTest::newRow("an unknown name is held back like a known one")
        << QList<Attempt>{wrong("ninguem", 0), wrong("ninguem", 0), wrong("ninguem", 0),
                          wrong("ninguem", 0), wrong("ninguem", 0), wrong("ninguem", 29)};
    QTest::newRow("after a quiet hour an operator starts afresh")
        << fiveWrong + QList<Attempt>{wrong("ana", 0, 3600s), wrong("ana", 0), wrong("ana", 0),
                                      wrong("ana", 0),        wrong("ana", 0), right("ana", 29)};

    // Twenty failures from one address, each under another name, then the address waits, whoever tries.
    QList<Attempt> spray;
    for (int i = 0; i < 20; ++i)
        spray << Attempt{QStringLiteral("nome%1").arg(i), QStringLiteral("10.0.0.9"), 1s, false, 0};
    QTest::newRow("one address trying many names waits after twenty failures")
        << spray + QList<Attempt>{right("ana", 29, 1s, "10.0.0.9"), right("ana", 0, 1s, "10.0.0.2")};
    QTest::newRow("a right password is no failure of its address")
        << spray.mid(0, 19) + QList<Attempt>{right("ana", 0, 1s, "10.0.0.9"), wrong("nome99", 0, 1s, "10.0.0.9"),
                                             wrong("nome98", 29, 1s, "10.0.0.9")};
}

void tst_LoginThrottle::scenario()
{
    QFETCH(QList<Attempt>, attempts);
    LoginThrottle throttle;
    LoginThrottle::Clock::time_point now{};
    for (qsizetype i = 0; i < attempts.size(); ++i) {
        const Attempt& a = attempts.at(i);
        now += a.after;
        const int wait = int(throttle.admit(a.user, a.address, now).count());
        QVERIFY2(wait == a.wait, qPrintable(QStringLiteral("attempt %1 (%2 from %3): wait %4 s, expected %5 s")
                                                .arg(i + 1)
                                                .arg(a.user, a.address)
                                                .arg(wait)
                                                .arg(a.wait)));
        if (wait == 0 && a.right)
            throttle.succeeded(a.user);
        else if (wait == 0)
            throttle.failed(a.user, a.address, now);
    }
}

void tst_LoginThrottle::memoryStaysBounded()
{
    // A caller sending endless new names from endless addresses cannot make it keep more than it may.
    LoginThrottle throttle(LoginLimits{}, LoginLimits{20}, 100);
    LoginThrottle::Clock::time_point now{};
    for (int i = 0; i < 1000; ++i) {
        now += 1s;
        throttle.failed(QStringLiteral("nome%1").arg(i), QStringLiteral("10.0.%1.%2").arg(i / 256).arg(i % 256), now);
        QVERIFY(throttle.keptKeys() <= 100);
    }
    // The most recent failures are the ones kept: the last name still counts hers.
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(throttle.admit(QStringLiteral("nome999"), QStringLiteral("10.9.9.9"), now).count(), 0);
        throttle.failed(QStringLiteral("nome999"), QStringLiteral("10.9.9.9"), now);
    }
    QVERIFY(throttle.admit(QStringLiteral("nome999"), QStringLiteral("10.9.9.9"), now).count() > 0);
}

QTEST_GUILESS_MAIN(tst_LoginThrottle)
#include "tst_loginthrottle.moc"
