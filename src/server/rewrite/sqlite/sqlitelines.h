// The table-valued SQL function linhas_de(texto) on a SQLite connection.
#pragma once

struct sqlite3;

namespace suite::server {

/// linhas_de(texto): the lines of a text linhas_json wrote (a JSON array of [NRSEQ, CDARVPROD, QTPRODUTO,
/// SGUNIDADE] arrays), one row per line with those columns, typed as json_extract gives them; a text of another
/// shape is an error. Returns SQLite's result code.
int registerLinesTable(sqlite3* connection);

} // namespace suite::server
