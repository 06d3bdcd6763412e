// IntegrationUndo: puts back the recipes one run replaced, from its before-images, in one transaction.
#pragma once

#include <QDateTime>
#include <QHash>
#include <QSqlDatabase>
#include <QString>

#include <functional>

namespace suite::db {
class SqlRunner;
}

namespace suite::server {

struct BranchRange;

class IntegrationUndo {
public:
    // operatorCode: who asks, recorded with the undo.
    IntegrationUndo(QSqlDatabase db, QString operatorCode);

    struct Outcome {
        qint64 undoRun = 0; // the undo's own row in the history
        int recipes = 0;    // recipes put back
        qint64 linesRemoved = 0;
        qint64 linesRestored = 0;
    };

    // Throws ServiceError when the run is unknown, is itself an undo, was undone already, or a later
    // run (not undone) replaced some of the same recipes: undoing it first keeps that run's work from
    // being silently lost.
    // authorize: the caller's rights, checked inside the undo's transaction once the run is known
    // (the administrator's command has none to check).
    using Authorize = std::function<void(const db::SqlRunner& sql, qint64 run)>;
    Outcome undo(qint64 run, const Authorize& authorize = {});

private:
    void checkRun(const db::SqlRunner& sql, qint64 run) const;
    qint64 recordUndo(const db::SqlRunner& sql, qint64 run, const QDateTime& started, const Outcome& counts) const;
    void checkNoLaterRun(const db::SqlRunner& sql, qint64 run) const;
    static qint64 linesIn(const QHash<QString, qint64>& lines, const BranchRange& range);

    QSqlDatabase m_db;
    QString m_operator;
};

} // namespace suite::server
