// A service's first start: the database it serves made when absent, never over anything already there.
#pragma once

#include <QString>

namespace suite::provision {

/// Creates the SQLite file `path` with the schema and no data unless something is there already (a file, a link,
/// anything), which is left untouched; true when it created it. The file is made whole under another name and linked
/// into place, so an interrupted start leaves no half-made database where the server looks. Throws DbError when it
/// cannot.
bool createDatabaseIfAbsent(const QString& path);

} // namespace suite::provision
