// createSchema / hasSchema: runs the embedded schema script of the connection's dialect.
#include "schema.h"

#include <sqlrunner.h>
#include <transaction.h>

#include <QFile>
#include <QRegularExpression>

namespace suite::provision {

using db::DbError;
using db::SqlRunner;

namespace {

QString schemaResource(const SqlRunner& sql)
{
    return sql.isPostgres() ? QStringLiteral(":/suite/db/schema_postgres.sql")
                            : QStringLiteral(":/suite/db/schema_sqlite.sql");
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

// The statements that bring version `from` to from + 1, the same on both dialects.
struct Upgrade {
    int from;
    const char* purpose;
    const char* statement;
};

const Upgrade kUpgrades[] = {
    {4, "indexing before-images by run, kind and branch", "DROP INDEX IX_INTGCENTRALANT"},
    {4, "indexing before-images by run, kind and branch",
     "CREATE INDEX IX_INTGCENTRALANT ON INTGCENTRALANT (NRINTG, IDTIPORECE, CDFILIAL)"},
};

} // namespace

void createSchema(const QSqlDatabase& db)
{
    const SqlRunner sql(db);
    QFile file(schemaResource(sql));
    if (!file.open(QIODevice::ReadOnly))
        throw DbError(QStringLiteral("creating the schema: script %1 is missing from the build").arg(file.fileName()));
    const QStringList statements = splitScript(QString::fromUtf8(file.readAll()));

    db::Transaction transaction(sql);
    for (const QString& statement : statements)
        sql.run(purposeOf(statement), statement);
    sql.run(QStringLiteral("recording the schema version"),
            QStringLiteral("INSERT INTO CONFIGSERV (CDCHAVE, VLCHAVE) VALUES ('%1', '%2')")
                .arg(QLatin1String(kSchemaVersionKey))
                .arg(kSchemaVersion));
    transaction.commit();
}

int schemaVersion(const QSqlDatabase& db)
{
    // A schema made before versions were recorded may lack the table too.
    if (!hasSchema(db) || !db.tables(QSql::Tables).contains(QStringLiteral("configserv"), Qt::CaseInsensitive))
        return 0;
    return SqlRunner(db)
        .value(QStringLiteral("reading the schema version"),
               QStringLiteral("SELECT VLCHAVE FROM CONFIGSERV WHERE CDCHAVE = :key"),
               {{QStringLiteral(":key"), QLatin1String(kSchemaVersionKey)}})
        .toInt();
}

int upgradeSchema(const QSqlDatabase& db)
{
    const int found = schemaVersion(db);
    if (found == kSchemaVersion)
        return found;
    if (found < kOldestUpgradable || found > kSchemaVersion)
        throw DbError(QStringLiteral("upgrading the schema: version %1 cannot be upgraded by this build, which serves "
                                     "version %2 and upgrades from version %3")
                          .arg(found)
                          .arg(kSchemaVersion)
                          .arg(kOldestUpgradable));
    const SqlRunner sql(db);
    db::Transaction transaction(sql);
    for (const Upgrade& step : kUpgrades) {
        if (step.from >= found)
            sql.run(QString::fromLatin1(step.purpose), QString::fromLatin1(step.statement));
    }
    sql.run(QStringLiteral("recording the schema version"),
            QStringLiteral("UPDATE CONFIGSERV SET VLCHAVE = '%1' WHERE CDCHAVE = '%2'")
                .arg(kSchemaVersion)
                .arg(QLatin1String(kSchemaVersionKey)));
    transaction.commit();
    return found;
}

bool hasSchema(const QSqlDatabase& db)
{
    return db.tables(QSql::Tables).contains(QStringLiteral("filial"), Qt::CaseInsensitive);
}

} // namespace suite::provision
