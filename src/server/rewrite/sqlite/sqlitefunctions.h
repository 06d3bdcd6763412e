// SQL functions the recipe engine adds to the SQLite connections it writes through.
#pragma once

#include <QSqlDatabase>

namespace suite::server {

/// Registers on a QSQLITE connection:
/// - linhas_json(NRSEQ, CDARVPROD, QTPRODUTO, SGUNIDADE), an aggregate giving the JSON array of
///   [NRSEQ, CDARVPROD, QTPRODUTO, SGUNIDADE] rows it saw, in their order; rows whose first argument is
///   NULL (the empty side of a LEFT JOIN) are skipped, so a group of none gives "[]". Numbers are written
///   in their shortest exact form, so reading the text back gives the very same values.
/// - linhas_assinatura(NRSEQ, CDARVPROD, QTPRODUTO, SGUNIDADE), an aggregate giving a BLOB that holds the rows'
///   values and types exactly, in their order (rows with a NULL first argument skipped, as above).
/// - linhas_json_se_diferem(NRSEQ, CDARVPROD, QTPRODUTO, SGUNIDADE, assinatura): NULL when the rows are exactly
///   those linhas_assinatura made `assinatura` of (same values, types and order), else what linhas_json gives.
///   Over no row at all it gives "[]": it never saw a signature, and a recipe of none differs from one of some.
/// - linhas_qt(texto): how many lines a text of linhas_json holds (NULL for NULL).
/// - linhas_de(texto), a table-valued function: the lines of such a text as rows (sqlitelines.h).
/// Throws DbError when the connection is not SQLite or the library refuses.
void registerSqliteFunctions(const QSqlDatabase& db);

/// What the engine calls on every connection it is given: on SQLite, the functions above unless the connection has
/// them already (replacing them would fail while one of its statements is open); on PostgreSQL, nothing.
void ensureSqliteFunctions(const QSqlDatabase& db);

} // namespace suite::server
