// How failed log-ins are held back: per operator, per address, growing, forgotten, and bounded; counted in memory
// or in the database every server shares.
#include "databaseloginfailures.h"
#include "loginthrottle.h"
#include "memoryloginfailures.h"
#include "testdb.h"
#include "threadconnection.h"

#include <QtTest>

#include <memory>

using suite::server::DatabaseLoginFailures;
using suite::server::LoginFailures;
using suite::server::LoginLimits;
using suite::server::LoginThrottle;
using suite::server::MemoryLoginFailures;
using suite::server::ThreadConnection;
using suite::test::TestDatabase;
using namespace std::chrono_literals;

namespace {

// Where a case counts: "memory", or a database of the dialect, through a server's worker connection.
class Counted {
public:
    explicit Counted(const QString& store)
    {
        if (store == QLatin1String("memory")) {
            m_failures = std::make_unique<MemoryLoginFailures>();
            return;
        }
        m_why = TestDatabase::unavailable(store);
        if (!m_why.isEmpty())
            return;
        m_db = std::make_unique<TestDatabase>(store, TestDatabase::Schema);
        m_why = m_db->error();
        if (!m_why.isEmpty())
            return;
        m_connection = std::make_unique<ThreadConnection>(m_db->url());
        m_failures = std::make_unique<DatabaseLoginFailures>(*m_connection);
    }
    ~Counted()
    {
        if (m_connection)
            m_connection->discard();
    }
    QString unavailable() const { return m_why; }
    LoginFailures& failures() { return *m_failures; }
    TestDatabase& database() { return *m_db; }

private:
    QString m_why;
    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<ThreadConnection> m_connection;
    std::unique_ptr<LoginFailures> m_failures;
};

const QStringList kStores{QStringLiteral("memory"), QStringLiteral("sqlite"), QStringLiteral("postgres")};

#define COUNTED(name, store)                                                                                           \
    Counted name(store);                                                                                               \
    if (!name.unavailable().isEmpty())                                                                                 \
    QSKIP(qPrintable(name.unavailable()))

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
    void memoryStaysBounded_data();
    void memoryStaysBounded();
    void sharedByServers();
};

void tst_LoginThrottle::scenario_data()
{
    QTest::addColumn<QString>("store");
    QTest::addColumn<QList<Attempt>>("attempts");
    QList<std::pair<QByteArray, QList<Attempt>>> cases;
    const auto newRow = [&](const char* name, const QList<Attempt>& attempts) { cases.append({name, attempts}); };
    const auto wrong = [](const char* user, int wait, std::chrono::seconds after = 1s,
                          const char* address = "10.0.0.1") {
        return Attempt{QString::fromLatin1(user), QString::fromLatin1(address), after, false, wait};
    };
    const auto right = [](const char* user, int wait, std::chrono::seconds after = 1s,
                          const char* address = "10.0.0.1") {
        return Attempt{QString::fromLatin1(user), QString::fromLatin1(address), after, true, wait};
    };
    const QList<Attempt> fiveWrong{wrong("ana", 0), wrong("ana", 0), wrong("ana", 0), wrong("ana", 0), wrong("ana", 0)};

    newRow("five wrong passwords pass, the sixth try waits, even with the right one",
           fiveWrong + QList<Attempt>{right("ana", 29)});
    newRow("the wait doubles with every failure after it",
           fiveWrong +
               QList<Attempt>{wrong("ana", 0, 30s), wrong("ana", 59, 1s), wrong("ana", 0, 60s), wrong("ana", 119, 1s)});
    newRow("the wait never exceeds fifteen minutes",
           fiveWrong + QList<Attempt>{wrong("ana", 0, 30s), wrong("ana", 0, 60s), wrong("ana", 0, 120s),
                                      wrong("ana", 0, 240s), wrong("ana", 0, 480s), wrong("ana", 0, 900s),
                                      wrong("ana", 0, 900s), right("ana", 899, 1s)});
    newRow("a right password starts the operator afresh",
           QList<Attempt>{wrong("ana", 0), wrong("ana", 0), wrong("ana", 0), wrong("ana", 0), right("ana", 0)} +
               fiveWrong + QList<Attempt>{right("ana", 29)});
    newRow("right passwords never count, however many",
           QList<Attempt>(30, right("ana", 0, 0s)) + QList<Attempt>{wrong("ana", 0), right("ana", 0)});
    newRow("another operator is not held back by ana's failures",
           fiveWrong + QList<Attempt>{right("bia", 0), right("ana", 28)});
    newRow("an unknown name is held back like a known one",
           QList<Attempt>{wrong("ninguem", 0), wrong("ninguem", 0), wrong("ninguem", 0), wrong("ninguem", 0),
                          wrong("ninguem", 0), wrong("ninguem", 29)});
    newRow("after a quiet hour an operator starts afresh",
           fiveWrong + QList<Attempt>{wrong("ana", 0, 3600s), wrong("ana", 0), wrong("ana", 0), wrong("ana", 0),
                                      wrong("ana", 0), right("ana", 29)});

    // Twenty failures from one address, each under another name, then the address waits, whoever tries.
    QList<Attempt> spray;
    for (int i = 0; i < 20; ++i)
        spray << Attempt{QStringLiteral("nome%1").arg(i), QStringLiteral("10.0.0.9"), 1s, false, 0};
    newRow("one address trying many names waits after twenty failures",
           spray + QList<Attempt>{right("ana", 29, 1s, "10.0.0.9"), right("ana", 0, 1s, "10.0.0.2")});
    newRow("a right password is no failure of its address",
           spray.mid(0, 19) + QList<Attempt>{right("ana", 0, 1s, "10.0.0.9"), wrong("nome99", 0, 1s, "10.0.0.9"),
                                             wrong("nome98", 29, 1s, "10.0.0.9")});
    for (const QString& store : kStores)
        for (const auto& [name, attempts] : cases)
            QTest::addRow("%s, %s", qPrintable(store), name.constData()) << store << attempts;
}

void tst_LoginThrottle::scenario()
{
    QFETCH(QString, store);
    QFETCH(QList<Attempt>, attempts);
    COUNTED(counted, store);
    const LoginThrottle throttle(counted.failures());
    LoginThrottle::Clock::time_point now = LoginThrottle::Clock::now();
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

void tst_LoginThrottle::memoryStaysBounded_data()
{
    QTest::addColumn<QString>("store");
    for (const QString& store : kStores)
        QTest::newRow(qPrintable(store)) << store;
}

void tst_LoginThrottle::memoryStaysBounded()
{
    // A caller sending endless new names from endless addresses cannot make it keep more than it may.
    QFETCH(QString, store);
    COUNTED(counted, store);
    const LoginThrottle throttle(counted.failures(), LoginLimits{}, LoginLimits{20}, 100);
    LoginThrottle::Clock::time_point now = LoginThrottle::Clock::now();
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

void tst_LoginThrottle::sharedByServers()
{
    // Two servers of one database, each with its own connection and throttle, taking turns as a balancer's
    // round-robin would: together they allow five failures, as one server does.
    COUNTED(first, QStringLiteral("postgres"));
    TestDatabase& db = first.database();
    ThreadConnection otherConnection(db.url());
    DatabaseLoginFailures otherFailures(otherConnection);
    const LoginThrottle servers[] = {LoginThrottle(first.failures()), LoginThrottle(otherFailures)};
    const auto now = LoginThrottle::Clock::now();
    for (int i = 0; i < 5; ++i) {
        const LoginThrottle& server = servers[i % 2];
        QCOMPARE(server.admit(QStringLiteral("ana"), QStringLiteral("10.0.0.1"), now).count(), 0);
        server.failed(QStringLiteral("ana"), QStringLiteral("10.0.0.1"), now);
    }
    for (const LoginThrottle& server : servers)
        QCOMPARE(server.admit(QStringLiteral("ana"), QStringLiteral("10.0.0.7"), now + 1s).count(), 29);
    // A right password on one starts her afresh on both.
    servers[1].succeeded(QStringLiteral("ana"));
    QCOMPARE(servers[0].admit(QStringLiteral("ana"), QStringLiteral("10.0.0.7"), now + 1s).count(), 0);
    otherConnection.discard();
}

QTEST_GUILESS_MAIN(tst_LoginThrottle)
#include "tst_loginthrottle.moc"
