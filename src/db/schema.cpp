// createSchema / hasSchema: runs the embedded schema script of the connection's dialect.
#include "database.h"

#include "sqlrun.h"
#include "transaction.h"

#include <QFile>
#include <QRegularExpression>
#include <QSqlQuery>

namespace suite::db {

namespace {

QString schemaResource(Dialect dialect)
{
    return dialect == Dialect::SQLite ? QStringLiteral(":/suite/db/schema_sqlite.sql")
                                      : QStringLiteral(":/suite/db/schema_postgres.sql");
}

// Statements are separated by lines holding only ";" so that bodies may contain ";" freely.
QStringList splitScript(const QString& script)
{
    QStringList statements;
    QString current;
    const QStringList lines = script.split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        if (line.trimmed() == QLatin1String(";")) {
            statements << current;
            current.clear();
        } else {
            current += line + QLatin1Char('\n');
        }
    }
    statements << current;
    QStringList result;
    for (const QString& s : std::as_const(statements)) {
        QString body;
        for (const QString& line : s.split(QLatin1Char('\n'))) {
            if (!line.trimmed().startsWith(QLatin1String("--")))
                body += line + QLatin1Char('\n');
        }
        if (!body.trimmed().isEmpty())
            result << body.trimmed();
    }
    return result;
}

// "CREATE TABLE FILIAL (..." -> "creating table FILIAL": the purpose for error messages.
QString purposeOf(const QString& statement)
{
    static const QRegularExpression re(
        QStringLiteral("^CREATE\\s+(UNIQUE\\s+)?(TABLE|INDEX|VIEW)\\s+(IF\\s+NOT\\s+EXISTS\\s+)?(\\w+)"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = re.match(statement);
    if (m.hasMatch())
        return QStringLiteral("creating %1 %2").arg(m.captured(2).toLower(), m.captured(4));
    return QStringLiteral("creating the schema");
}

constexpr const char* kSchemaVersionKey = "VERSAO_ESQUEMA";

} // namespace

void createSchema(QSqlDatabase& db)
{
    QFile file(schemaResource(dialectOf(db)));
    if (!file.open(QIODevice::ReadOnly))
        throw DbError(QStringLiteral("creating the schema: script %1 is missing from the build").arg(file.fileName()));
    const QStringList statements = splitScript(QString::fromUtf8(file.readAll()));

    Transaction transaction(db, QStringLiteral("creating the schema"));
    for (const QString& statement : statements)
        execStatement(db, statement, purposeOf(statement));
    execStatement(db,
                  QStringLiteral("INSERT INTO CONFIGSERV (CDCHAVE, VLCHAVE) VALUES ('%1', '%2')")
                      .arg(QLatin1String(kSchemaVersionKey))
                      .arg(kSchemaVersion),
                  QStringLiteral("recording the schema version"));
    transaction.commit();
}

int schemaVersion(const QSqlDatabase& db)
{
    if (!hasSchema(db))
        return 0;
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT VLCHAVE FROM CONFIGSERV WHERE CDCHAVE = ?"));
    q.addBindValue(QLatin1String(kSchemaVersionKey));
    return q.exec() && q.next() ? q.value(0).toInt() : 0;
}

bool hasSchema(const QSqlDatabase& db)
{
    return db.tables(QSql::Tables).contains(QStringLiteral("filial"), Qt::CaseInsensitive);
}

} // namespace suite::db
