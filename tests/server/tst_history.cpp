// What head offices ask beyond the screen: the preview of a run, the history of runs with their logs,
// the undo as a run of its own, and the progress of a run still going.
#include "intgcentralservice.h"
#include "rewrite/integrationrun.h"
#include "servererrors.h"
#include "servertestkit.h"

#include "serverprocess.h"

#include <datasets.h>

#include <QJsonArray>
#include <QProcessEnvironment>
#include <QtTest>
#include <set>
#include <thread>

using namespace suite;
using namespace suite::test;

namespace {

const QString kDishes = QStringLiteral("P0101001_P0101003_00010101901_");

QJsonArray runArgs(const QString& kinds)
{
    return {"0001", kDishes, kinds, destinationPacket({"0002", "0006"}), "", ""};
}

wire::Packet call(QSqlDatabase& db, const QString& method, const QJsonArray& args)
{
    return server::IntgCentralService(db, QStringLiteral("demo")).call(method, args);
}

// Each row's cells joined, in order.
QStringList texts(const wire::Packet& packet)
{
    QStringList rows;
    for (const QVariantList& row : packet.rows()) {
        QStringList cells;
        for (const QVariant& cell : row)
            cells << cell.toString();
        rows << cells.join(QLatin1Char('|'));
    }
    return rows;
}

QString refusal(QSqlDatabase& db, const QString& method, const QJsonArray& args)
{
    try {
        call(db, method, args);
    } catch (const server::ServiceError& e) {
        return e.message();
    }
    return {};
}

} // namespace

class tst_History : public QObject {
    Q_OBJECT

private slots:
    void previewThenIntegrate_data();
    void previewThenIntegrate();
    void historyLogAndUndo_data() { addDialectRows(); }
    void historyLogAndUndo();
    void progressOfARunStillGoing_data() { addDialectRows(); }
    void progressOfARunStillGoing();
    void rightsOfTheOperator_data() { addDialectRows(); }
    void rightsOfTheOperator();
    void historyShowsOnlyTheOperatorsBranches_data() { addDialectRows(); }
    void historyShowsOnlyTheOperatorsBranches();
};

void tst_History::previewThenIntegrate_data()
{
    QTest::addColumn<QString>("dialect");
    QTest::addColumn<QString>("kinds");
    QTest::addColumn<bool>("moreThanListed");
    for (const QString& dialect : dialects()) {
        QTest::newRow(qPrintable(dialect + " both kinds")) << dialect << "FS" << false;
        QTest::newRow(qPrintable(dialect + " local")) << dialect << "FX" << false;
        QTest::newRow(qPrintable(dialect + " more recipes than a preview lists")) << dialect << "FX" << true;
    }
}

void tst_History::previewThenIntegrate()
{
    QFETCH(QString, dialect);
    QFETCH(QString, kinds);
    QFETCH(bool, moreThanListed);
    SUITE_TEST_DATABASE(tdb, dialect, TestDatabase::Schema);
    QSqlDatabase db = tdb.db();
    QJsonArray args = runArgs(kinds);
    if (moreThanListed) {
        // Every dish at two destinations, each recipe unlike the source's.
        provision::loadScale(db, {3, server::kLogRowLimit / 2 + 100, 1});
        args[1] = rowsOf(db, QStringLiteral("SELECT CDFILAUXPRAT || CDPRATO FROM PRATO WHERE CDFILAUXPRAT = 'P'"
                                            " AND CDNVPRATO = 3"))
                      .join(QLatin1Char('_')) +
                  QLatin1Char('_');
        args[3] = destinationPacket({"0002", "0003"});
    } else {
        loadFixture(db);
    }
    const QStringList before = everythingWritten(db);

    const wire::Packet preview = call(db, QStringLiteral("IntgCentralPreview"), args);
    QCOMPARE(everythingWritten(db), before); // a preview writes nothing, not even a history row
    QVERIFY(!preview.rows().isEmpty());

    const wire::Packet log = call(db, QStringLiteral("IntgCentral"), args);
    const qint64 run = rowsOf(db, QStringLiteral("SELECT MAX(NRINTG) FROM INTGCENTRAL")).value(0).toLongLong();

    // The recipes the run replaced, with their lines before and after, read from what it wrote, in the order a
    // preview lists them, as many as it lists.
    const QStringList replaced = rowsOf(
        db, QStringLiteral("SELECT a.CDFILIAL || '|' || a.IDTIPORECE || '|' || a.CDSERVFILI || '|' || a.CDFILAUXPRAT"
                           " || '|' || a.CDPRATO || '|' || a.QTLINHAS || '|' || CASE a.IDTIPORECE WHEN 'L' THEN"
                           " (SELECT COUNT(*) FROM RECEITA r WHERE r.CDFILIAL = a.CDFILIAL AND r.CDFILAUXPRAT ="
                           " a.CDFILAUXPRAT AND r.CDPRATO = a.CDPRATO) ELSE (SELECT COUNT(*) FROM RECEITASERV r"
                           " WHERE r.CDFILIAL = a.CDFILIAL AND r.CDSERVFILI = a.CDSERVFILI AND r.CDFILAUXPRAT ="
                           " a.CDFILAUXPRAT AND r.CDPRATO = a.CDPRATO) END FROM INTGCENTRALANT a WHERE a.NRINTG = %1"
                           " ORDER BY a.CDFILIAL, a.CDPRATO, a.CDFILAUXPRAT, a.IDTIPORECE, a.CDSERVFILI LIMIT %2")
                .arg(run)
                .arg(server::kLogRowLimit));
    if (moreThanListed)
        QCOMPARE(replaced.size(), server::kLogRowLimit);
    QStringList said;
    QStringList observed;
    for (const QVariantList& row : preview.rows()) {
        if (row.at(7).toString().isEmpty())
            said << QStringList{row.at(0).toString(), row.at(1).toString(), row.at(2).toString(), row.at(3).toString(),
                                row.at(4).toString(), row.at(5).toString(), row.at(6).toString()}
                        .join(QLatin1Char('|'));
        else
            observed << QStringList{row.at(0).toString(), row.at(4).toString(), row.at(7).toString(),
                                    row.at(8).toString()}
                            .join(QLatin1Char('|'));
    }
    QVERIFY(!said.isEmpty());
    QCOMPARE(said, replaced);
    QStringList logged;
    for (const QVariantList& row : log.rows())
        logged << QStringList{row.at(4).toString(), row.at(5).toString(), row.at(7).toString(), row.at(6).toString()}
                      .join(QLatin1Char('|'));
    QCOMPARE(observed, logged);
}

void tst_History::historyLogAndUndo()
{
    QFETCH(QString, dialect);
    SUITE_TEST_DATABASE(tdb, dialect, TestDatabase::Schema);
    QSqlDatabase db = tdb.db();
    loadFixture(db);
    const QString destinations = QStringLiteral("CDFILIAL <> '0001'");
    const auto destinationRows = [&] { return recipeRows(db, destinations) + serviceRecipeRows(db, destinations); };
    const QStringList before = destinationRows();

    const wire::Packet answer = call(db, QStringLiteral("IntgCentral"), runArgs(QStringLiteral("FS")));
    const wire::Packet history = call(db, QStringLiteral("ListIntg"), {});
    QVERIFY(!history.rows().isEmpty());
    const qint64 run = history.rows().first().at(0).toLongLong();
    QCOMPARE(history.rows().first().at(1).toString(), QString("I"));
    QCOMPARE(history.rows().first().at(8).toLongLong(), 2); // two destinations
    // The log kept for the history is the log the run answered with.
    QCOMPARE(texts(call(db, QStringLiteral("GetIntgLog"), {run})), texts(answer));

    // The source changes and a later run carries that over the same recipes: the first may not be undone before it.
    QSqlQuery change(db);
    QVERIFY2(change.exec(QStringLiteral("UPDATE RECEITA SET QTPRODUTO = QTPRODUTO + 1 WHERE CDFILIAL = '0001'")),
             qPrintable(change.lastError().text()));
    call(db, QStringLiteral("IntgCentral"), runArgs(QStringLiteral("FX")));
    const QStringList afterBoth = destinationRows();
    QVERIFY(afterBoth != before);
    QVERIFY(refusal(db, QStringLiteral("UndoIntg"), {run}).contains(QString::number(run + 1)));
    QCOMPARE(destinationRows(), afterBoth);

    // Undone newest first, everything comes back as it was, and each undo is in the history.
    call(db, QStringLiteral("UndoIntg"), {run + 1});
    const wire::Packet undone = call(db, QStringLiteral("UndoIntg"), {run});
    QCOMPARE(destinationRows(), before);
    const qint64 undoRun = undone.rows().first().at(0).toLongLong();
    const wire::Packet later = call(db, QStringLiteral("ListIntg"), {});
    QCOMPARE(later.rows().size(), 4);
    QCOMPARE(later.rows().first().at(0).toLongLong(), undoRun); // newest first
    QCOMPARE(later.rows().first().at(1).toString(), QString("D"));
    QCOMPARE(later.rows().first().at(2).toLongLong(), run);
    QVERIFY(!later.rows().last().at(13).toString().isEmpty()); // the run says when it was undone

    QVERIFY(refusal(db, QStringLiteral("UndoIntg"), {run}).contains(QStringLiteral("já foi desfeita")));
    QVERIFY(refusal(db, QStringLiteral("UndoIntg"), {undoRun}).contains(QStringLiteral("desfazimento")));
    QVERIFY(refusal(db, QStringLiteral("GetIntgLog"), {999}).contains(QStringLiteral("não encontrada")));
    QCOMPARE(destinationRows(), before);
}

void tst_History::progressOfARunStillGoing()
{
    QFETCH(QString, dialect);
    SUITE_TEST_DATABASE(tdb, dialect, TestDatabase::Schema);
    loadFixture(tdb.db());
    // The run stops where it copies the source's recipes to its second destination. On PostgreSQL the question
    // goes to another server of the same database, as a load balancer may send it.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("SUITE_TEST_PAUSE_AT"), QStringLiteral("copiar as receitas da origem#2"));
    ServerProcess server;
    const QString why = server.start(tdb.url(), env);
    QVERIFY2(why.isEmpty(), qPrintable(why));
    ServerProcess other;
    const bool twoServers = dialect == QLatin1String("postgres");
    if (twoServers) {
        const QString whyNot = other.start(tdb.url(), QProcessEnvironment::systemEnvironment(), server.keyFile());
        QVERIFY2(whyNot.isEmpty(), qPrintable(whyNot));
    }
    ServerProcess& asked = twoServers ? other : server;
    const QString token = login(server.port());
    auto ask = [&](const ServerProcess& to, const QString& method, const QJsonArray& args) {
        return post(to.port(), "/call", callBody(method, args), token);
    };
    const auto progressRows = [&] {
        return ask(asked, QStringLiteral("GetProgresso"), {}).body.value("result").toObject().value("rows").toArray();
    };
    QCOMPARE(progressRows().size(), 0);

    std::thread running([&] { ask(server, QStringLiteral("IntgCentral"), runArgs(QStringLiteral("FS"))); });
    const bool paused = server.waitForLine(QRegularExpression(QStringLiteral("paused at")), 60000).hasMatch();
    const QJsonArray during = progressRows();
    server.stop();
    running.join();
    QVERIFY2(paused, server.said().constData());
    QCOMPARE(during.size(), 1);
    const QJsonArray row = during.first().toArray();
    QCOMPARE(row.at(0).toString(), QString("Gravando receitas por serviço"));
    QCOMPARE(row.at(1).toInt(), 1);
    QCOMPARE(row.at(2).toInt(), 2);
    // A server that died leaves no run that looks alive.
    if (twoServers)
        QTRY_COMPARE_WITH_TIMEOUT(progressRows().size(), 0, 10000);
}

void tst_History::rightsOfTheOperator()
{
    QFETCH(QString, dialect);
    SUITE_TEST_DATABASE(tdb, dialect, TestDatabase::Demo);
    QSqlDatabase db = tdb.db();
    const auto as = [&db](const char* op, const QString& method, const QJsonArray& args) {
        return server::IntgCentralService(db, QLatin1String(op)).call(method, args);
    };
    const auto refusedAs = [&](const char* op, const QString& method, const QJsonArray& args) {
        try {
            as(op, method, args);
        } catch (const server::ServiceError& e) {
            return e.message();
        }
        return QString();
    };
    as("demo", QStringLiteral("IntgCentral"), {"0001", "P0101001_", "FX", destinationPacket({"0002", "0007"}), "", ""});
    const qint64 run = rowsOf(db, QStringLiteral("SELECT MAX(NRINTG) FROM INTGCENTRAL")).value(0).toLongLong();
    const QStringList before = everythingWritten(db);

    // nutri (0007, 0009, 0013) sees nothing of a run from 0001, and may neither preview nor undo there.
    QCOMPARE(as("nutri", QStringLiteral("ListIntg"), {}).rows().size(), 0);
    QVERIFY(refusedAs("nutri", QStringLiteral("GetIntgLog"), {run}).contains(QStringLiteral("não encontrada")));
    QVERIFY(refusedAs("nutri", QStringLiteral("UndoIntg"), {run}).contains(QStringLiteral("0001")));
    QVERIFY(refusedAs("nutri", QStringLiteral("IntgCentralPreview"),
                      {"0007", "P0101001_", "FX", destinationPacket({"0009", "0002"}), "", ""})
                .contains(QStringLiteral("0002")));
    // consulta may look at its branches' runs but not preview or undo them.
    QCOMPARE(as("consulta", QStringLiteral("ListIntg"), {}).rows().size(), 1);
    QVERIFY(!refusedAs("consulta", QStringLiteral("UndoIntg"), {run}).isEmpty());
    QVERIFY(!refusedAs("consulta", QStringLiteral("IntgCentralPreview"),
                       {"0001", "P0101001_", "FX", destinationPacket({"0002"}), "", ""})
                 .isEmpty());
    QCOMPARE(everythingWritten(db), before);
}

void tst_History::historyShowsOnlyTheOperatorsBranches()
{
    QFETCH(QString, dialect);
    SUITE_TEST_DATABASE(tdb, dialect, TestDatabase::Schema);
    QSqlDatabase db = tdb.db();
    loadFixture(db);
    // "centro" may use the source and one of the run's three destinations.
    QSqlQuery grant(db);
    QVERIFY2(
        grant.exec(QStringLiteral("INSERT INTO OPERADOR (CDOPERADOR, NMOPERADOR, DSSENHA, IDATIVO)"
                                  " SELECT 'centro', 'Centro', DSSENHA, 'S' FROM OPERADOR WHERE CDOPERADOR = 'demo'")),
        qPrintable(grant.lastError().text()));
    QVERIFY2(grant.exec(QStringLiteral("INSERT INTO OPERFILI (CDOPERADOR, CDFILIAL) VALUES ('centro', '0001'),"
                                       " ('centro', '0002')")),
             qPrintable(grant.lastError().text()));
    // 0005 lacks a product of the source's recipe and 0006 the local dish; P0199999 is no dish of any tree.
    call(db, QStringLiteral("IntgCentral"),
         {"0001", kDishes + QStringLiteral("P0199999_"), "FX", destinationPacket({"0002", "0005", "0006"}), "", ""});
    const qint64 run = rowsOf(db, QStringLiteral("SELECT MAX(NRINTG) FROM INTGCENTRAL")).value(0).toLongLong();
    const auto logAs = [&](const char* op) {
        return server::IntgCentralService(db, QLatin1String(op)).answer(QStringLiteral("GetIntgLog"), {run});
    };
    const auto destinationsOf = [](const wire::Packet& log) {
        std::set<QString> branches;
        const int column = log.columnIndex(QStringLiteral("CDFILDESTLOG"));
        for (const QVariantList& row : log.rows())
            branches.insert(row.at(column).toString());
        return branches;
    };

    const server::ServiceAnswer all = logAs("demo");
    QCOMPARE(destinationsOf(all.result), (std::set<QString>{"", "0005", "0006"}));
    const server::ServiceAnswer own = logAs("centro");
    QCOMPARE(destinationsOf(own.result), std::set<QString>{""}); // the dish no tree has concerns no branch
    QCOMPARE(own.total, std::optional<qint64>(own.result.rows().size()));

    const wire::Packet history = server::IntgCentralService(db, QStringLiteral("centro")).call("ListIntg", {});
    QCOMPARE(history.rows().size(), 1);
    QCOMPARE(history.rows().first().at(8).toLongLong(), 1);
    QCOMPARE(history.rows().first().at(9).toString(), QStringLiteral("0002_"));
    QCOMPARE(history.rows().first().at(12).toLongLong(), *own.total); // the observations its log shows
    QCOMPARE(call(db, QStringLiteral("ListIntg"), {}).rows().first().at(9).toString(),
             QStringLiteral("0002_0005_0006_"));
}

QTEST_GUILESS_MAIN(tst_History)
#include "tst_history.moc"
