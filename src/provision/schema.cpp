// createSchema / hasSchema: runs the embedded schema script of the connection's dialect.
#include "schema.h"

#include <sqlrunner.h>
#include <transaction.h>

#include <QFile>
#include <QRegularExpression>
#include <QSet>

namespace suite::provision {

using db::DbError;
using db::SqlRunner;

namespace {

// The dialect's script of that name: "schema", or "signatures" (the recipe digests and their triggers).
QString scriptResource(const SqlRunner& sql, const char* name)
{
    return QStringLiteral(":/suite/db/%1_%2.sql")
        .arg(QLatin1String(name), sql.isPostgres() ? QLatin1String("postgres") : QLatin1String("sqlite"));
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
        QStringLiteral(
            "^CREATE\\s+(UNIQUE\\s+)?(TABLE|INDEX|VIEW|TRIGGER|FUNCTION)\\s+(IF\\s+NOT\\s+EXISTS\\s+)?(\\w+)"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = re.match(statement);
    if (m.hasMatch())
        return QStringLiteral("creating %1 %2").arg(m.captured(2).toLower(), m.captured(4));
    return QStringLiteral("creating the schema");
}

void runScript(const SqlRunner& sql, const char* name)
{
    QFile file(scriptResource(sql, name));
    if (!file.open(QIODevice::ReadOnly))
        throw DbError(QStringLiteral("creating the schema: script %1 is missing from the build").arg(file.fileName()));
    for (const QString& statement : splitScript(QString::fromUtf8(file.readAll())))
        sql.run(purposeOf(statement), statement);
}

constexpr const char* kSchemaVersionKey = "VERSAO_ESQUEMA";

// What brings version `from` to from + 1: a statement, the same on both dialects, or a script of the dialect's.
// A script makes its tables as this build has them, so a later step that changes one of them is skipped when the
// same upgrade ran that script (madeBy).
struct Upgrade {
    int from;
    const char* purpose;
    const char* statement;
    const char* script = nullptr;
    const char* madeBy = nullptr;
};

const Upgrade kUpgrades[] = {
    {4, "indexing before-images by run, kind and branch", "DROP INDEX IX_INTGCENTRALANT"},
    {4, "indexing before-images by run, kind and branch",
     "CREATE INDEX IX_INTGCENTRALANT ON INTGCENTRALANT (NRINTG, IDTIPORECE, CDFILIAL)"},
    {5, "keeping digests of the destination recipes", nullptr, "signatures"},
    // Made after the grants of the look-up role, so that it never reads them.
    {6, "keeping failed log-ins where every server sees them",
     "CREATE TABLE LOGINFALHA (CDCHAVE VARCHAR NOT NULL PRIMARY KEY, QTFALHAS INTEGER NOT NULL,"
     " NRULTIMA BIGINT NOT NULL, NRBLOQUEIO BIGINT NOT NULL)"},
    {6, "keeping failed log-ins where every server sees them", "CREATE INDEX IX_LOGINFALHA ON LOGINFALHA (NRULTIMA)"},
    {7, "keeping the line count of each digest's recipe",
     "ALTER TABLE INTGASSIN ADD COLUMN QTLINHAS INTEGER NOT NULL DEFAULT -1", nullptr, "signatures"},
};

} // namespace

void createSchema(const QSqlDatabase& db)
{
    const SqlRunner sql(db);
    db::Transaction transaction(sql);
    runScript(sql, "schema");
    runScript(sql, "signatures");
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
    QSet<QByteArray> scriptsRun;
    for (const Upgrade& step : kUpgrades) {
        if (step.from < found || (step.madeBy && scriptsRun.contains(step.madeBy)))
            continue;
        if (step.script) {
            runScript(sql, step.script);
            scriptsRun.insert(step.script);
        } else {
            sql.run(QString::fromLatin1(step.purpose), QString::fromLatin1(step.statement));
        }
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
