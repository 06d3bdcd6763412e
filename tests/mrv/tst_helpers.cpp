// Shared routines: code normalisation, branch validation, key pictures, service answers.
#include "errors.h"
#include "helpers.h"
#include "hostservices.h"
#include "kittestutil.h"

#include "../common/testdb.h"

#include <QJsonArray>
#include <QtTest>

using namespace mrv;

namespace {

// A small, known catalogue of branches, one operator with rights to two of them, and pictures.
void fillCatalogue(QSqlDatabase& db)
{
    const QStringList statements{
        "INSERT INTO FILIAL (CDFILIAL, NMFILIAL, IDMATRIZ) VALUES ('0001', 'Matriz São Paulo', 'S')",
        "INSERT INTO FILIAL (CDFILIAL, NMFILIAL) VALUES ('0002', 'Filial Campinas')",
        "INSERT INTO FILIAL (CDFILIAL, NMFILIAL) VALUES ('0003', 'Filial Santos')",
        "INSERT INTO OPERADOR (CDOPERADOR, NMOPERADOR, DSSENHA) VALUES ('ana', 'Ana Souza', 'x')",
        "INSERT INTO OPERFILI (CDOPERADOR, CDFILIAL) VALUES ('ana', '0001')",
        "INSERT INTO OPERFILI (CDOPERADOR, CDFILIAL) VALUES ('ana', '0002')",
        "INSERT INTO PICTURE (TPPICTURE, DSPICTURE) VALUES (1, '99.99.999')",
        "INSERT INTO PICTURE (TPPICTURE, DSPICTURE) VALUES (2, '9.99')",
    };
    for (const QString& sql : statements) {
        QSqlQuery q(db);
        if (!q.exec(sql))
            QFAIL(qPrintable(q.lastError().text()));
    }
}

} // namespace

class tst_Helpers : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { closeSharedDatabase(); }

    void ajusta_data();
    void ajusta();
    void emptyString_data();
    void emptyString();
    void iifPicksByCondition();
    void validaFilial_data();
    void validaFilial();
    void picture_data();
    void picture();
    void pictureReadAgainAfterReconnect();
    void checkResultServ_data();
    void checkResultServ();
    void sharedDatabaseMissing();
};

void tst_Helpers::ajusta_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("expected");
    QTest::newRow("short branch code") << "2" << 4 << "0002";
    QTest::newRow("already full") << "0012" << 4 << "0012";
    QTest::newRow("blanks around") << " 7 " << 4 << "0007";
    QTest::newRow("longer left as is") << "12345" << 4 << "12345";
    QTest::newRow("grouping width") << "1" << 10 << "0000000001";
    QTest::newRow("letters kept") << "ab" << 4 << "00ab";
    QTest::newRow("empty") << "" << 4 << "0000";
}

void tst_Helpers::ajusta()
{
    QFETCH(QString, input);
    QFETCH(int, width);
    QFETCH(QString, expected);
    QCOMPARE(Ajusta(input, width), expected);
}

void tst_Helpers::emptyString_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("empty");
    QTest::newRow("empty") << "" << true;
    QTest::newRow("blanks") << "    " << true;
    QTest::newRow("tab") << "\t" << true;
    QTest::newRow("text between blanks") << " a " << false;
    QTest::newRow("zero") << "0" << false;
}

void tst_Helpers::emptyString()
{
    QFETCH(QString, text);
    QFETCH(bool, empty);
    QCOMPARE(EmptyString(text), empty);
}

void tst_Helpers::iifPicksByCondition()
{
    QCOMPARE(iif(true, QStringLiteral("FS"), QStringLiteral("XX")), QStringLiteral("FS"));
    QCOMPARE(iif(false, "F", "X"), QStringLiteral("X"));
    QCOMPARE(iif(false, 1, 2), 2);
}

void tst_Helpers::validaFilial_data()
{
    QTest::addColumn<QString>("dialect");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("operador");
    QTest::addColumn<bool>("checkOperator");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("error");
    for (const QString& d : suite::test::dialects()) {
        auto row = [&](const char* name) -> QTestData& { return QTest::newRow(qPrintable(d + ": " + name)) << d; };
        row("branch of the operator") << "0002"
                                      << "ana" << true << "Filial Campinas"
                                      << "";
        row("unknown branch") << "0009"
                              << "ana" << true << ""
                              << "Filial não cadastrada.";
        row("branch without rights") << "0003"
                                     << "ana" << true << ""
                                     << "Operador sem permissão de acesso à filial 0003.";
        row("rights not checked") << "0003"
                                  << "ana" << false << "Filial Santos"
                                  << "";
        row("unknown operator") << "0001"
                                << "bruno" << true << ""
                                << "Operador sem permissão de acesso à filial 0001.";
        row("quote in the code is data") << "0'1"
                                         << "ana" << true << ""
                                         << "Filial não cadastrada.";
        row("code not normalised") << "2"
                                   << "ana" << true << ""
                                   << "Filial não cadastrada.";
    }
}

void tst_Helpers::validaFilial()
{
    QFETCH(QString, dialect);
    QFETCH(QString, code);
    QFETCH(QString, operador);
    QFETCH(bool, checkOperator);
    QFETCH(QString, name);
    QFETCH(QString, error);

    SUITE_TEST_DATABASE(tdb, dialect, suite::test::TestDatabase::Schema);
    fillCatalogue(tdb.db());
    openSharedDatabase(tdb.url());

    QString got;
    QCOMPARE(kittest::failureOf([&] { got = ValidaFilial(code, operador, checkOperator); }), error);
    QCOMPARE(got, name);
}

void tst_Helpers::picture_data()
{
    QTest::addColumn<QString>("dialect");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("picture");
    QTest::addColumn<QList<int>>("levels");
    QTest::addColumn<QString>("error");
    for (const QString& d : suite::test::dialects()) {
        QTest::newRow(qPrintable(d + ": dish code")) << d << 1 << "99.99.999" << QList<int>{2, 2, 3} << "";
        QTest::newRow(qPrintable(d + ": two levels")) << d << 2 << "9.99" << QList<int>{1, 2} << "";
        QTest::newRow(qPrintable(d + ": unknown kind"))
            << d << 7 << "" << QList<int>{} << "Máscara do tipo 7 não cadastrada.";
    }
}

void tst_Helpers::picture()
{
    QFETCH(QString, dialect);
    QFETCH(int, kind);
    QFETCH(QString, picture);
    QFETCH(QList<int>, levels);
    QFETCH(QString, error);

    SUITE_TEST_DATABASE(tdb, dialect, suite::test::TestDatabase::Schema);
    fillCatalogue(tdb.db());
    openSharedDatabase(tdb.url());

    QCOMPARE(kittest::failureOf([&] { QCOMPARE(DBPict(kind), picture); }), error);
    if (!error.isEmpty())
        return;
    QCOMPARE(DBPictObj(kind).GetTtNiveis(), int(levels.size()));
    QCOMPARE(DBPictObj(kind).levelLengths(), levels);
}

void tst_Helpers::pictureReadAgainAfterReconnect()
{
    SUITE_TEST_DATABASE(tdb, QStringLiteral("sqlite"), suite::test::TestDatabase::Schema);
    fillCatalogue(tdb.db());
    openSharedDatabase(tdb.url());
    QCOMPARE(DBPict(1), QStringLiteral("99.99.999"));

    QSqlQuery q(tdb.db());
    QVERIFY2(q.exec("UPDATE PICTURE SET DSPICTURE = '9.9.9.99' WHERE TPPICTURE = 1"), qPrintable(q.lastError().text()));
    openSharedDatabase(tdb.url());
    QCOMPARE(DBPict(1), QStringLiteral("9.9.9.99"));
    QCOMPARE(DBPictObj(1).GetTtNiveis(), 4);
}

void tst_Helpers::checkResultServ_data()
{
    const QJsonObject packet{
        {"columns", QJsonArray{QJsonObject{{"name", "CDGRUPFILI"}, {"type", "string"}, {"size", 10}}}},
        {"rows", QJsonArray{QJsonArray{"0000000001"}}}};
    QTest::addColumn<QJsonObject>("answer");
    QTest::addColumn<bool>("raise");
    QTest::addColumn<QJsonObject>("expected");
    QTest::addColumn<QString>("error");
    QTest::newRow("packet") << QJsonObject{{"result", packet}} << true << packet << "";
    QTest::newRow("service error raised")
        << QJsonObject{{"error", QJsonObject{{"message", "Agrupamento 0000000009 não cadastrado."}}}} << true
        << QJsonObject{} << "Agrupamento 0000000009 não cadastrado.";
    QTest::newRow("service error not raised")
        << QJsonObject{{"error", QJsonObject{{"message", "falhou"}}}} << false << QJsonObject{} << "";
    QTest::newRow("neither result nor error") << QJsonObject{{"status", "ok"}} << true << QJsonObject{}
                                              << "Resposta do servidor de aplicação sem pacote de dados.";
}

void tst_Helpers::checkResultServ()
{
    QFETCH(QJsonObject, answer);
    QFETCH(bool, raise);
    QFETCH(QJsonObject, expected);
    QFETCH(QString, error);
    QJsonObject got;
    QCOMPARE(kittest::failureOf([&] { got = CheckResultServ(answer, raise, 0); }), error);
    QCOMPARE(got, expected);
}

void tst_Helpers::sharedDatabaseMissing()
{
    QCOMPARE(kittest::failureOf([] { ValidaFilial("0001", "ana", true); }),
             QStringLiteral("A conexão com o banco de dados não está aberta."));
    QVERIFY(!kittest::failureOf([] { openSharedDatabase("postgresql://nobody@127.0.0.1:1/none"); }).isEmpty());
}

QTEST_GUILESS_MAIN(tst_Helpers)
#include "tst_helpers.moc"
