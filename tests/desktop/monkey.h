// The random-input tester: a seeded stream of real X input over the integration screen and the history window
// (clicks on visible controls, keys, codes and dates typed, double clicks on grid rows, title clicks, dialogs
// answered at random). It stops at the first crash or hang, and records every message shown twice for one input
// and every database change that no completed run explains.
#pragma once

#include <QRandomGenerator>
#include <QString>
#include <QStringList>

namespace suite::desktop {

class DesktopFixture;
class RecipeLedger;
class UiState;

struct MonkeyFinding {
    int event = 0;
    QString kind; // "crash", "hang", "repeated message", "database"
    QString detail;
    QString screenshot;
    QString line() const;
};

struct MonkeyResult {
    quint32 seed = 0;
    int events = 0;      // inputs sent
    int newHosts = 0;    // times the user started over with a new host (steps that sent no input)
    int runsChecked = 0; // completed runs whose changes the ledger checked
    int messages = 0;    // dialogs shown
    QList<MonkeyFinding> findings;
    QString logFile;
    bool stoppedEarly() const;
};

class Monkey {
public:
    // `open`: the host's entries, for the new host a lost user starts over with.
    Monkey(DesktopFixture& desk, RecipeLedger& ledger, quint32 seed, QStringList open);
    // Sends `events` inputs (fewer when the host crashes or hangs); one line per input in `logFile`.
    MonkeyResult run(int events, const QString& logFile);

private:
    QString act(const UiState& state);
    QString answerDialog(const UiState& state, const QString& dialog);
    QString clickSomething(const UiState& state);
    QString typeSomething();
    QString pressSomething();
    QString clickGrid(const UiState& state, bool title);
    QString reopen(const UiState& state);
    int pick(int size) { return int(m_random.bounded(quint32(size))); }

    DesktopFixture& m_desk;
    RecipeLedger& m_ledger;
    QRandomGenerator m_random;
    quint32 m_seed;
    QStringList m_open;
    QString m_answered; // text of the message box the last input answered
    QString m_stuckOn;  // the modal dialog the last inputs went to
    int m_stuckFor = 0;
    int m_typed = 0;
};

} // namespace suite::desktop
