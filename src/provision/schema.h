// The suite's schema: created by suite-server init, checked before serving.
#pragma once

#include <QSqlDatabase>

namespace suite::provision {

/// Creates every table and index, in one transaction, and records kSchemaVersion.
void createSchema(const QSqlDatabase& db);

/// True when the suite's tables exist already (e.g. to decide whether a database needs init).
bool hasSchema(const QSqlDatabase& db);

/// The schema this build creates and serves; createSchema records it in CONFIGSERV.
inline constexpr int kSchemaVersion = 8;

/// The schema version a database records: 0 without a schema or for one made before versions were recorded.
int schemaVersion(const QSqlDatabase& db);

/// The oldest version upgradeSchema() brings to kSchemaVersion.
inline constexpr int kOldestUpgradable = 4;

/// Brings a database of version kOldestUpgradable or later to kSchemaVersion in one transaction, its data kept;
/// returns the version it found. Throws DbError for an older or newer one, which changes nothing.
int upgradeSchema(const QSqlDatabase& db);

} // namespace suite::provision
