// IntegrationUndo: puts back the recipes one run replaced, from its before-images, in one transaction.
#pragma once

#include <QSqlDatabase>

namespace suite::db {
class SqlRunner;
}

namespace suite::server {

class IntegrationUndo {
public:
    explicit IntegrationUndo(QSqlDatabase db);

    // Returns how many recipes were put back. Throws ServiceError when the run is unknown, was undone
    // already, or a later run (not undone) replaced some of the same recipes: undoing it first keeps
    // that run's work from being silently lost.
    int undo(qint64 run);

private:
    void checkRun(const db::SqlRunner& sql, qint64 run) const;
    void checkNoLaterRun(const db::SqlRunner& sql, qint64 run) const;
    void restore(const db::SqlRunner& sql, qint64 run, bool perService) const;

    QSqlDatabase m_db;
};

} // namespace suite::server
