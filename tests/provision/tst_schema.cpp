// Schema creation and the session settings openDatabase applies, on both dialects.
#include "schema.h"
#include "sqlrunner.h"
#include "testdb.h"

#include <QSqlQuery>
#include <QtTest>

using namespace suite::db;
using namespace suite::provision;

class tst_Schema : public QObject {
    Q_OBJECT
private slots:
    void createsEveryTable_data() { suite::test::addDialectRows(); }
    void createsEveryTable();
    void ownerThatMayNotCreateRoles();
    void secondCreationFailsWithPurpose_data() { suite::test::addDialectRows(); }
    void secondCreationFailsWithPurpose();
    void upgradesKeepingTheData_data() { suite::test::addDialectRows(); }
    void upgradesKeepingTheData();
    void keysAreEnforced_data();
    void keysAreEnforced();
    void readingConnectionOnlyReads_data();
    void readingConnectionOnlyReads();
};

void tst_Schema::createsEveryTable()
{
    QFETCH(QString, dialect);
    SUITE_TEST_DATABASE(tdb, dialect);
    QVERIFY(!hasSchema(tdb.db()));
    createSchema(tdb.db());
    QVERIFY(hasSchema(tdb.db()));
    const QStringList expected = {"FILIAL",    "GRUPFILI",  "FILIGRUP",   "PICTURE",     "TIPOPRAT",
                                  "PRATO",     "SERVPADR",  "SERVICO",    "CARDCICLO",   "CARDCICLOITEM",
                                  "CARDAPIO",  "PRODUTO",   "PRODFILI",   "RECEITA",     "RECEITASERV",
                                  "OPERADOR",  "OPERFILI",  "CONFIGSERV", "INTGCENTRAL", "INTGCENTRALANT",
                                  "INTGASSIN", "LOGINFALHA"};
    // Empty, but for the schema version a server checks before it serves.
    for (const QString& table : expected) {
        QCOMPARE(SqlRunner(tdb.db()).value(table, QStringLiteral("SELECT COUNT(*) FROM %1").arg(table)).toInt(),
                 table == QLatin1String("CONFIGSERV") ? 1 : 0);
    }
    QCOMPARE(schemaVersion(tdb.db()), kSchemaVersion);
}

void tst_Schema::ownerThatMayNotCreateRoles()
{
    // As a head office sets PostgreSQL up: the database's owner may not create roles; the administrator made the
    // read-only role beforehand and made the owner a member.
    SUITE_TEST_DATABASE(tdb, QStringLiteral("postgres"));
    const SqlRunner sql(tdb.db());
    const QString owner = QStringLiteral("suite_owner_%1").arg(QCoreApplication::applicationPid());
    const auto as = [&](const QString& statement) { sql.run(QStringLiteral("setting up"), statement); };
    as(QStringLiteral("DO $$ BEGIN CREATE ROLE suite_consulta NOLOGIN; EXCEPTION WHEN duplicate_object OR"
                      " unique_violation THEN NULL; END $$"));
    as(QStringLiteral("CREATE ROLE %1 NOLOGIN NOCREATEROLE").arg(owner));
    as(QStringLiteral("GRANT suite_consulta TO %1").arg(owner));
    as(QStringLiteral("GRANT CREATE ON SCHEMA public TO %1").arg(owner));
    as(QStringLiteral("SET ROLE %1").arg(owner));
    QString failure;
    try {
        createSchema(tdb.db());
    } catch (const DbError& e) {
        failure = e.message();
    }
    as(QStringLiteral("RESET ROLE"));
    as(QStringLiteral("DROP OWNED BY %1").arg(owner));
    as(QStringLiteral("DROP ROLE %1").arg(owner));
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
}

void tst_Schema::secondCreationFailsWithPurpose()
{
    QFETCH(QString, dialect);
    SUITE_TEST_DATABASE(tdb, dialect, suite::test::TestDatabase::Schema);
    try {
        createSchema(tdb.db());
        QFAIL("creating the schema twice succeeded");
    } catch (const DbError& e) {
        QVERIFY2(e.message().startsWith(QLatin1String("creating table FILIAL: ")), e.what());
    }
    // The failed attempt rolled back and left the first schema usable.
    QVERIFY(hasSchema(tdb.db()));
    SqlRunner(tdb.db()).run(QStringLiteral("insert"),
                            QStringLiteral("INSERT INTO FILIAL (CDFILIAL, NMFILIAL) VALUES ('0001', 'Matriz')"));
}

void tst_Schema::upgradesKeepingTheData()
{
    QFETCH(QString, dialect);
    SUITE_TEST_DATABASE(tdb, dialect, suite::test::TestDatabase::Schema);
    const SqlRunner sql(tdb.db());
    const auto setVersion = [&](int version) {
        sql.run(QStringLiteral("version"),
                QStringLiteral("UPDATE CONFIGSERV SET VLCHAVE = '%1' WHERE CDCHAVE = 'VERSAO_ESQUEMA'").arg(version));
    };
    const auto indexColumns = [&] {
        return sql
            .value(QStringLiteral("index"),
                   sql.isPostgres() ? QStringLiteral("SELECT array_length(CAST(indkey AS int2[]), 1) FROM pg_index"
                                                     " WHERE indexrelid = CAST('ix_intgcentralant' AS regclass)")
                                    : QStringLiteral("SELECT COUNT(*) FROM pragma_index_info('IX_INTGCENTRALANT')"))
            .toInt();
    };
    // Version 4's shape, with a run's before-image in it: no recipe digests, the old index.
    if (sql.isPostgres()) {
        sql.run(QStringLiteral("no digests"), QStringLiteral("DROP FUNCTION INTGASSIN_ESQUECER() CASCADE"));
    } else {
        for (const char* table : {"RECEITA", "RECEITASERV"}) {
            for (const char* event : {"I", "U", "D"})
                sql.run(
                    QStringLiteral("no digests"),
                    QStringLiteral("DROP TRIGGER TR_INTGASSIN_%1_%2").arg(QLatin1String(table), QLatin1String(event)));
        }
    }
    sql.run(QStringLiteral("no digests"), QStringLiteral("DROP TABLE INTGASSIN"));
    sql.run(QStringLiteral("no failed log-ins"), QStringLiteral("DROP TABLE LOGINFALHA"));
    sql.run(QStringLiteral("old index"), QStringLiteral("DROP INDEX IX_INTGCENTRALANT"));
    sql.run(QStringLiteral("old index"), QStringLiteral("CREATE INDEX IX_INTGCENTRALANT ON INTGCENTRALANT (NRINTG)"));
    sql.run(QStringLiteral("image"), QStringLiteral("INSERT INTO INTGCENTRALANT VALUES (1, 'L', '0002', '', 'P',"
                                                    " '0101001', 1, '[[1,\"0000007\",2,\"KG\"]]')"));
    setVersion(3);
    QVERIFY_THROWS_EXCEPTION(DbError, upgradeSchema(tdb.db()));
    QCOMPARE(schemaVersion(tdb.db()), 3);
    QCOMPARE(indexColumns(), 1);

    setVersion(4);
    QCOMPARE(upgradeSchema(tdb.db()), 4);
    QCOMPARE(schemaVersion(tdb.db()), kSchemaVersion);
    QCOMPARE(indexColumns(), 3);
    QCOMPARE(sql.value(QStringLiteral("image"), QStringLiteral("SELECT DSLINHAS FROM INTGCENTRALANT")).toString(),
             QStringLiteral("[[1,\"0000007\",2,\"KG\"]]"));
    QCOMPARE(upgradeSchema(tdb.db()), kSchemaVersion); // a second time changes nothing
    // Failed log-ins are kept, and the desktop's read-only role cannot read them.
    QCOMPARE(sql.number(QStringLiteral("failed log-ins"), QStringLiteral("SELECT COUNT(*) FROM LOGINFALHA")), 0);
    if (sql.isPostgres())
        QVERIFY(!sql.value(QStringLiteral("rights"),
                           QStringLiteral("SELECT has_table_privilege('suite_consulta', 'loginfalha', 'SELECT')"))
                     .toBool());

    // The digests came with their triggers: a line written to a recipe drops that recipe's digest only.
    for (const char* dish : {"0101001", "0101002"})
        sql.run(
            QStringLiteral("digest"),
            QStringLiteral("INSERT INTO INTGASSIN (IDTIPORECE, CDFILIAL, CDSERVFILI, CDFILAUXPRAT, CDPRATO, DSASSIN,"
                           " QTLINHAS) VALUES ('L', '0002', '', 'P', '%1', 'x', 1)")
                .arg(QLatin1String(dish)));
    sql.run(QStringLiteral("line"), QStringLiteral("INSERT INTO RECEITA VALUES ('0002', 'P', '0101001', 1, '0000007',"
                                                   " 2, 'KG')"));
    QCOMPARE(sql.value(QStringLiteral("digests"), QStringLiteral("SELECT MIN(CDPRATO) || COUNT(*) FROM INTGASSIN"))
                 .toString(),
             QStringLiteral("01010021"));

    // Version 7's digests had no line count: they stay, with -1 for unknown.
    sql.run(QStringLiteral("digests without counts"), QStringLiteral("ALTER TABLE INTGASSIN DROP COLUMN QTLINHAS"));
    setVersion(7);
    QCOMPARE(upgradeSchema(tdb.db()), 7);
    QCOMPARE(schemaVersion(tdb.db()), kSchemaVersion);
    QCOMPARE(sql.value(QStringLiteral("digests"),
                       QStringLiteral("SELECT CDPRATO || DSASSIN || CAST(QTLINHAS AS TEXT) FROM INTGASSIN"))
                 .toString(),
             QStringLiteral("0101002x-1"));
}

void tst_Schema::readingConnectionOnlyReads_data()
{
    QTest::addColumn<QString>("dialect");
    QTest::addColumn<QString>("statement");
    QTest::addColumn<bool>("allowed");
    for (const QString& d : suite::test::dialects()) {
        QTest::addRow("%s reads branches", qPrintable(d)) << d << "SELECT COUNT(*) FROM FILIAL" << true;
        QTest::addRow("%s reads recipes", qPrintable(d)) << d << "SELECT COUNT(*) FROM RECEITA" << true;
        QTest::addRow("%s adds a branch", qPrintable(d))
            << d << "INSERT INTO FILIAL (CDFILIAL, NMFILIAL) VALUES ('0099', 'Nova')" << false;
        QTest::addRow("%s changes recipes", qPrintable(d)) << d << "UPDATE RECEITA SET QTPRODUTO = 0" << false;
        QTest::addRow("%s drops the run history", qPrintable(d)) << d << "DROP TABLE INTGCENTRALANT" << false;
    }
    // A SQLite file is readable by whoever can open it; PostgreSQL keeps these from the reader.
    QTest::addRow("postgres reads the token key") << "postgres"
                                                  << "SELECT VLCHAVE FROM CONFIGSERV" << false;
    QTest::addRow("postgres reads password hashes") << "postgres"
                                                    << "SELECT DSSENHA FROM OPERADOR" << false;
}

void tst_Schema::readingConnectionOnlyReads()
{
    QFETCH(QString, dialect);
    QFETCH(QString, statement);
    QFETCH(bool, allowed);
    SUITE_TEST_DATABASE(tdb, dialect, suite::test::TestDatabase::Schema);
    const QString name = QStringLiteral("reader");
    {
        QSqlDatabase reader = openDatabase(tdb.url(), name, Access::ReadOnly);
        QSqlQuery q(reader);
        QCOMPARE(q.exec(statement), allowed);
    }
    closeDatabase(name);
    QVERIFY(hasSchema(tdb.db()));
    QCOMPARE(SqlRunner(tdb.db()).value(QStringLiteral("count"), QStringLiteral("SELECT COUNT(*) FROM FILIAL")).toInt(),
             0);
}

void tst_Schema::keysAreEnforced_data()
{
    QTest::addColumn<QString>("dialect");
    QTest::addColumn<QString>("statement");
    for (const QString& d : suite::test::dialects()) {
        QTest::addRow("%s duplicate recipe line", qPrintable(d))
            << d << "INSERT INTO RECEITA VALUES ('0001', 'P', '0101001', 1, '01000001', 2, 'KG')";
        QTest::addRow("%s grouping of unknown branch", qPrintable(d))
            << d << "INSERT INTO FILIGRUP (CDGRUPFILI, CDFILIAL) VALUES ('0000000001', '9999')";
        QTest::addRow("%s product enabled at unknown branch", qPrintable(d))
            << d << "INSERT INTO PRODFILI (CDFILIAL, CDARVPROD) VALUES ('9999', '01000001')";
        QTest::addRow("%s invalid head-office flag", qPrintable(d))
            << d << "INSERT INTO FILIAL (CDFILIAL, NMFILIAL, IDMATRIZ) VALUES ('0002', 'Filial', 'X')";
    }
}

void tst_Schema::keysAreEnforced()
{
    QFETCH(QString, dialect);
    QFETCH(QString, statement);
    SUITE_TEST_DATABASE(tdb, dialect, suite::test::TestDatabase::Schema);
    const QStringList setup = {
        "INSERT INTO FILIAL (CDFILIAL, NMFILIAL) VALUES ('0001', 'Matriz')",
        "INSERT INTO GRUPFILI (CDGRUPFILI, NMGRUPFILI) VALUES ('0000000001', 'Todas')",
        "INSERT INTO PRODUTO (CDARVPROD, NMPRODUTO) VALUES ('01000001', 'Arroz tipo 1')",
        "INSERT INTO RECEITA VALUES ('0001', 'P', '0101001', 1, '01000001', 1, 'KG')",
    };
    for (const QString& s : setup)
        SqlRunner(tdb.db()).run(QStringLiteral("setting up"), s);
    QSqlQuery q(tdb.db());
    QVERIFY2(!q.exec(statement), "the database accepted a row its keys forbid");
}

QTEST_GUILESS_MAIN(tst_Schema)
#include "tst_schema.moc"
