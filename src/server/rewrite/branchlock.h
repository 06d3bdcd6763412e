// Serialises the runs (and undos) that write the same branches' recipes.
#pragma once

#include <QString>
#include <QVariantMap>

namespace suite::db {
class SqlRunner;
}

namespace suite::server {

// Locks the FILIAL rows of the branches `branches` (a sub-select of CDFILIAL) until the transaction ends, on
// PostgreSQL; SQLite already holds the one write lock. Taken in code order, so two runs never deadlock.
void lockBranches(const db::SqlRunner& sql, const QString& branches, const QVariantMap& binds = {});

} // namespace suite::server
