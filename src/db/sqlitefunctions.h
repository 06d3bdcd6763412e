// SQL functions the suite adds to its SQLite connections.
#pragma once

#include <QSqlDatabase>

namespace suite::db {

/// Registers on a QSQLITE connection:
/// - linhas_json(NRSEQ, CDARVPROD, QTPRODUTO, SGUNIDADE), an aggregate giving the JSON array of
///   [NRSEQ, CDARVPROD, QTPRODUTO, SGUNIDADE] rows it saw, in their order; rows whose first argument is
///   NULL (the empty side of a LEFT JOIN) are skipped, so a group of none gives "[]". Numbers are written
///   in their shortest exact form, so reading the text back gives the very same values.
/// Throws DbError when the connection is not SQLite or the library refuses.
void registerSqliteFunctions(const QSqlDatabase& db);

} // namespace suite::db
