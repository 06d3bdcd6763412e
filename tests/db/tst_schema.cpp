// Schema creation on both dialects.
#include "database.h"
#include "testdb.h"

#include <QSqlQuery>
#include <QtTest>

class tst_Schema : public QObject
{
    Q_OBJECT
private slots:
    void createsEveryTable_data() { suite::test::addDialectRows(); }
    void createsEveryTable();
};

void tst_Schema::createsEveryTable()
{
    QFETCH(QString, dialect);
    SUITE_TEST_DATABASE(tdb, dialect);
    QVERIFY(!suite::db::hasSchema(tdb.db()));
    suite::db::createSchema(tdb.db());
    QVERIFY(suite::db::hasSchema(tdb.db()));
    const QStringList expected = {"FILIAL", "GRUPFILI", "FILIGRUP", "PICTURE", "TIPOPRAT", "PRATO", "SERVPADR",
                                  "SERVICO", "CARDCICLO", "CARDCICLOITEM", "CARDAPIO", "PRODUTO", "PRODFILI",
                                  "RECEITA", "RECEITASERV", "OPERADOR", "OPERFILI", "CONFIGSERV", "INTGCENTRAL",
                                  "INTGCENTRALANT"};
    for (const QString& table : expected) {
        QSqlQuery q(tdb.db());
        QVERIFY2(q.exec(QStringLiteral("SELECT COUNT(*) FROM %1").arg(table)), qPrintable(table));
    }
}

QTEST_GUILESS_MAIN(tst_Schema)
#include "tst_schema.moc"
