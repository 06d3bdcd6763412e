// withOwnRecipeWrites: a run's (or an undo's) own writes to the recipe tables, which keep the recipe digests
// themselves instead of having every line written drop them one by one.
#pragma once

#include <functional>

namespace suite::db {
class SqlRunner;
}

namespace suite::server {

// Runs `writes` inside the caller's transaction with the digest triggers out of the way of this connection's
// writes only; every other writer still drops the digests of the recipes it changes. SQLite drops the triggers and
// makes them again when `writes` returns (the run holds the only write lock, and DDL is transactional: if `writes`
// throws, the rollback puts them back). PostgreSQL marks the transaction, which the triggers' condition reads.
void withOwnRecipeWrites(const db::SqlRunner& sql, const std::function<void()>& writes);

} // namespace suite::server
