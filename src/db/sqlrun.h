// Checked execution of SQL: every failure becomes a DbError naming the statement's purpose.
// The queries are forward-only. On PostgreSQL (QPSQL) that streams rows, so read a result to
// its end (or finish() it) before running another statement on the same connection: a second
// statement silently discards the rows not yet read.
#pragma once

#include "dberror.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

namespace suite::db {

/// Prepares `sql` on `db`; throws DbError("<purpose>: <driver message>") on failure.
QSqlQuery prepareQuery(const QSqlDatabase& db, const QString& sql, const QString& purpose);

/// Executes a prepared (and bound) query; throws DbError on failure.
void execPrepared(QSqlQuery& query, const QString& purpose);

/// Executes one statement without parameters; returns the query for reading results.
QSqlQuery execStatement(const QSqlDatabase& db, const QString& sql, const QString& purpose);

/// Runs a statement whose result is a single value (e.g. a COUNT); throws when no row comes back.
QVariant queryValue(const QSqlDatabase& db, const QString& sql, const QString& purpose);

} // namespace suite::db
