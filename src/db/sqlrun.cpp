#include "sqlrun.h"

#include <QSqlError>
#include <QVariant>

namespace suite::db {

namespace {

[[noreturn]] void fail(const QString& purpose, const QSqlError& error)
{
    QString detail = error.databaseText().trimmed();
    if (detail.isEmpty())
        detail = error.text().trimmed();
    throw DbError(QStringLiteral("%1: %2").arg(purpose, detail.isEmpty() ? QStringLiteral("unknown database error") : detail));
}

} // namespace

QSqlQuery prepareQuery(const QSqlDatabase& db, const QString& sql, const QString& purpose)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.prepare(sql))
        fail(purpose, query.lastError());
    return query;
}

void execPrepared(QSqlQuery& query, const QString& purpose)
{
    if (!query.exec())
        fail(purpose, query.lastError());
}

QSqlQuery execStatement(const QSqlDatabase& db, const QString& sql, const QString& purpose)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(sql))
        fail(purpose, query.lastError());
    return query;
}

QVariant queryValue(const QSqlDatabase& db, const QString& sql, const QString& purpose)
{
    QSqlQuery query = execStatement(db, sql, purpose);
    if (!query.next())
        throw DbError(QStringLiteral("%1: no result").arg(purpose));
    return query.value(0);
}

} // namespace suite::db
