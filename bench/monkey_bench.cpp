// The random-input tester run long: real X input on the integration screen and the history window, seed by seed.
//   monkey_bench --seed S [--seeds S1,S2,...] --events N
// Prints each seed's inputs, runs checked and findings (event index, kind, what), and exits 1 when any seed found
// something. Logs and screenshots go to tests/desktop/output/monkey_bench under the current directory.
#include "desktopfixture.h"
#include "monkey.h"
#include "recipeledger.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>

#include <cstdio>

using namespace suite::desktop;

// Both windows the tester drives; the integration screen in front.
static const QStringList kOpen{QStringLiteral("rci06000:IniHistorico"), QStringLiteral("rci06000")};

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({"seed", "First seed.", "S", "1"});
    parser.addOption({"seeds", "Comma-separated seeds (instead of --seed).", "LIST"});
    parser.addOption({"events", "Inputs per seed.", "N", "1000"});
    parser.process(app);
    QList<quint32> seeds;
    for (const QString& s : parser.value("seeds").split(u',', Qt::SkipEmptyParts))
        seeds << s.toUInt();
    if (seeds.isEmpty())
        seeds << parser.value("seed").toUInt();
    const int events = parser.value("events").toInt();
    if (qEnvironmentVariableIsEmpty("SUITE_BIN_DIR"))
        qputenv("SUITE_BIN_DIR", QCoreApplication::applicationDirPath().toLocal8Bit());

    if (const QStringList missing = XSession::missingTools(); !missing.isEmpty()) {
        std::fprintf(stderr, "missing: %s\n", qPrintable(missing.join(", ")));
        return 2;
    }
    int failed = 0;
    for (quint32 seed : seeds) {
        // A fresh display, server and database per seed: a seed's findings never depend on the one before.
        DesktopFixture desk;
        if (const QString why = desk.start(); !why.isEmpty()) {
            std::fprintf(stderr, "seed %u: %s\n", seed, qPrintable(why));
            return 2;
        }
        if (const QString why = desk.startHost(kOpen); !why.isEmpty()) {
            std::fprintf(stderr, "seed %u: %s\n", seed, qPrintable(why));
            return 2;
        }
        RecipeLedger ledger(desk.server().database());
        if (const QString why = ledger.start(); !why.isEmpty()) {
            std::fprintf(stderr, "seed %u: %s\n", seed, qPrintable(why));
            return 2;
        }
        QElapsedTimer clock;
        clock.start();
        Monkey monkey(desk, ledger, seed, kOpen);
        const MonkeyResult r =
            monkey.run(events, QDir(DesktopFixture::outputDir()).filePath(QStringLiteral("monkey-%1.log").arg(seed)));
        std::printf(
            "seed %u: %d inputs in %lld s (%d new hosts), %d dialogs shown, %d runs checked, %lld findings (log "
            "%s)\n",
            seed, r.events, clock.elapsed() / 1000, r.newHosts, r.messages, r.runsChecked, qlonglong(r.findings.size()),
            qPrintable(r.logFile));
        for (const MonkeyFinding& f : r.findings)
            std::printf("  %s\n", qPrintable(f.line()));
        std::fflush(stdout);
        failed += r.findings.isEmpty() ? 0 : 1;
    }
    return failed ? 1 : 0;
}
