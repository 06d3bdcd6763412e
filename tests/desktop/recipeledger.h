// Follows the recipes of a database a run at a time and says whether every change is one a completed run may
// make: each changed destination recipe equal to its source's as it was before that run (an integration), or to
// what it was before the undone run (an undo). Read-only; the server may be writing meanwhile.
#pragma once

#include <QHash>
#include <QMap>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace suite::desktop {

class RecipeLedger {
public:
    // Recipe key ("L|branch|tree|dish" or "S|branch|service|tree|dish") to its lines, in order.
    using Recipes = QHash<QString, QString>;

    explicit RecipeLedger(const QString& sqliteFile);
    ~RecipeLedger();
    RecipeLedger(const RecipeLedger&) = delete;
    RecipeLedger& operator=(const RecipeLedger&) = delete;

    // Takes the starting state; empty on success, else why not.
    QString start();
    // Reads the database again and checks every run completed since the last call; one line per fault.
    QStringList check();
    // A run has ended since the last check (a cheap look, for deciding when to check).
    bool newRunEnded();
    int runsChecked() const { return m_runsChecked; }
    // The recipes now (for a test's own comparisons).
    Recipes read(QString* why);
    // Keys whose lines differ between two states.
    static QStringList changed(const Recipes& before, const Recipes& after);

private:
    struct Run {
        qint64 number = 0;
        QString source, kinds, dishes, destinations, type;
        qint64 undoes = 0;
    };
    QList<Run> runsAfter(qint64 number, QString* why);
    QStringList checkIntegration(const Run& run, const Recipes& before, const Recipes& after) const;
    QStringList checkUndo(const Run& run, const Recipes& after, const Recipes& now) const;

    QString m_connection;
    QSqlDatabase m_db;
    Recipes m_last;
    qint64 m_lastRun = 0;
    QMap<qint64, Recipes> m_beforeRun; // the state each run started from, for its undo
    int m_runsChecked = 0;
};

} // namespace suite::desktop
