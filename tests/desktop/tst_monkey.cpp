// The random-input tester, briefly, on fixed seeds and on every seed that ever found a fault.
#include "desktopfixture.h"
#include "monkey.h"
#include "recipeledger.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <algorithm>

using namespace suite::desktop;

namespace {

// Enough inputs to reach the pickers, the grid and a run now and then, within a CI's budget.
constexpr int kEvents = 150;
// A failed seed is replayed up to its failing input and a little beyond, within the test run's budget (about 6
// inputs a second); SUITE_MONKEY_REPLAY_MAX raises the cap for a longer replay.
constexpr int kBeyondFailure = 20;
constexpr int kReplayCap = 300;
const quint32 kFixedSeeds[] = {1, 2};
// Both windows the tester drives; the integration screen in front.
const QStringList kOpen{QStringLiteral("rci06000:IniHistorico"), QStringLiteral("rci06000")};

} // namespace

class tst_Monkey : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void replay_data();
    void replay();

private:
    DesktopFixture m_desk;
};

void tst_Monkey::initTestCase()
{
    SUITE_DESKTOP_START(m_desk);
}

void tst_Monkey::replay_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("events");
    for (quint32 seed : kFixedSeeds)
        QTest::newRow(qPrintable(QStringLiteral("seed %1").arg(seed))) << seed << kEvents;
    const int cap = qEnvironmentVariableIntValue("SUITE_MONKEY_REPLAY_MAX") > 0
                        ? qEnvironmentVariableIntValue("SUITE_MONKEY_REPLAY_MAX")
                        : kReplayCap;
    // Every seed that ever failed, one a line ("SEED  EVENT  what it found"), replayed for good.
    QFile failed(qEnvironmentVariable("SUITE_MONKEY_SEEDS"));
    if (failed.open(QIODevice::ReadOnly | QIODevice::Text)) {
        while (!failed.atEnd()) {
            const QString line = QString::fromUtf8(failed.readLine()).trimmed();
            bool ok = false;
            const quint32 seed = line.section(u' ', 0, 0).toUInt(&ok);
            if (ok && !line.startsWith(u'#') && !std::count(std::begin(kFixedSeeds), std::end(kFixedSeeds), seed))
                QTest::newRow(qPrintable(QStringLiteral("failed seed %1").arg(seed)))
                    << seed
                    << std::clamp(line.section(u' ', 1, 1, QString::SectionSkipEmpty).toInt() + kBeyondFailure, kEvents,
                                  cap);
        }
    }
}

void tst_Monkey::replay()
{
    QFETCH(quint32, seed);
    QFETCH(int, events);
    const QString why = m_desk.startHost(kOpen);
    QVERIFY2(why.isEmpty(), qPrintable(why));
    RecipeLedger ledger(m_desk.server().database());
    QVERIFY2(ledger.start().isEmpty(), "cannot read the database");
    Monkey monkey(m_desk, ledger, seed, kOpen);
    const MonkeyResult result =
        monkey.run(events, QDir(DesktopFixture::outputDir()).filePath(QStringLiteral("monkey-%1.log").arg(seed)));
    m_desk.stopHost();
    QStringList lines;
    for (const MonkeyFinding& f : result.findings)
        lines << f.line();
    QVERIFY2(result.findings.isEmpty(),
             qPrintable(QStringLiteral("seed %1 (log %2):\n").arg(seed).arg(result.logFile) + lines.join(u'\n')));
    QCOMPARE(result.events + result.newHosts, events);
}

QTEST_GUILESS_MAIN(tst_Monkey)
#include "tst_monkey.moc"
