// The work tables of one run. They live inside its transaction and are dropped before it commits.
#pragma once

namespace suite::db {
class SqlRunner;
}

namespace suite::server {

class RecipeDatabase;

void createWorkTables(const db::SqlRunner& sql, const RecipeDatabase& database);
void dropWorkTables(const db::SqlRunner& sql);

} // namespace suite::server
