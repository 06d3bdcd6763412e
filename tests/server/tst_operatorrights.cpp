// The server as the authority on rights, over the demo data: operator nutri may use 0007, 0009 and 0013 only,
// consulta the south-east branches but may only consult, demo every branch.
#include "servertestkit.h"

#include <QtTest>

using namespace suite;
using namespace suite::test;

namespace {

// A demo database, a server over it and each demo operator's session, shared by the rows of one dialect.
struct DemoServer {
    explicit DemoServer(const QString& dialect)
        : database(dialect, TestDatabase::Demo)
    {
        if (!database.isOpen())
            return;
        server = std::make_unique<RunningServer>(database.url());
        for (const char* user : {"demo", "nutri", "consulta"})
            tokens.insert(QString::fromLatin1(user),
                          login(server->port(), QString::fromLatin1(user), QString::fromLatin1(user)));
    }
    TestDatabase database;
    std::unique_ptr<RunningServer> server;
    QHash<QString, QString> tokens;
};

QStringList column(const QJsonObject& packet, const QString& name)
{
    const QJsonArray columns = packet.value("columns").toArray();
    qsizetype index = -1;
    for (qsizetype i = 0; i < columns.size(); ++i) {
        if (columns.at(i).toObject().value("name").toString() == name)
            index = i;
    }
    QStringList values;
    for (const QJsonValue& row : packet.value("rows").toArray())
        values << row.toArray().at(index).toString();
    return values;
}

// What a run from `source` into `branches` could have written: their recipes, the run records. (The whole demo's
// recipes would make every row read some fifty thousand lines twice.)
QStringList writable(QSqlDatabase& db, const QString& source, const QStringList& branches)
{
    const QString where = QStringLiteral("CDFILIAL IN ('%1')").arg((branches + QStringList{source}).join("', '"));
    return recipeRows(db, where) + serviceRecipeRows(db, where) +
           rowsOf(db, QStringLiteral("SELECT COUNT(*) FROM INTGCENTRAL")) +
           rowsOf(db, QStringLiteral("SELECT COUNT(*) FROM INTGCENTRALANT"));
}

} // namespace

class tst_OperatorRights : public QObject {
    Q_OBJECT
private slots:
    void integrationOnlyOnTheOperatorsBranches_data();
    void integrationOnlyOnTheOperatorsBranches();
    void lookupsListOnlyTheOperatorsBranches_data();
    void lookupsListOnlyTheOperatorsBranches();
    void dishSearchReadsOnlyTheOperatorsBranches_data();
    void dishSearchReadsOnlyTheOperatorsBranches();

private:
    DemoServer* demo(const QString& dialect)
    {
        const QString why = TestDatabase::unavailable(dialect);
        if (!why.isEmpty())
            return nullptr;
        auto& slot = m_demo[dialect];
        if (!slot)
            slot = std::make_unique<DemoServer>(dialect);
        return slot->server ? slot.get() : nullptr;
    }

    std::map<QString, std::unique_ptr<DemoServer>> m_demo;
};

void tst_OperatorRights::integrationOnlyOnTheOperatorsBranches_data()
{
    QTest::addColumn<QString>("dialect");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QStringList>("marked");
    QTest::addColumn<QStringList>("unmarked");
    QTest::addColumn<QString>("refusal"); // empty: the run is done
    struct Case {
        const char* name;
        const char* user;
        const char* source;
        QStringList marked;
        QStringList unmarked;
        QString refusal;
    };
    const QList<Case> cases{
        {"nutri: a source not its own", "nutri", "0001", {"0002"}, {}, "filial de origem 0001"},
        {"nutri: a destination not its own", "nutri", "0007", {"0001"}, {}, "filial destino 0001"},
        {"nutri: one destination of three not its own",
         "nutri",
         "0007",
         {"0009", "0001", "0013"},
         {},
         "filial destino 0001"},
        {"consulta: its own branches, but it may only consult", "consulta", "0001", {"0002"}, {}, "perfil de consulta"},
        {"nutri: its own branches, others listed unmarked", "nutri", "0007", {"0009"}, {"0001", "0002"}, ""},
        {"demo: any branch", "demo", "0001", {"0007"}, {}, ""},
    };
    for (const QString& d : dialects()) {
        for (const Case& c : cases)
            QTest::newRow(qPrintable(d + QLatin1String(": ") + QLatin1String(c.name)))
                << d << QString::fromLatin1(c.user) << QString::fromLatin1(c.source) << c.marked << c.unmarked
                << c.refusal;
    }
}

void tst_OperatorRights::integrationOnlyOnTheOperatorsBranches()
{
    QFETCH(QString, dialect);
    QFETCH(QString, user);
    QFETCH(QString, source);
    QFETCH(QStringList, marked);
    QFETCH(QStringList, unmarked);
    QFETCH(QString, refusal);
    if (const QString why = TestDatabase::unavailable(dialect); !why.isEmpty())
        QSKIP(qPrintable(why));
    DemoServer* demo = this->demo(dialect);
    QVERIFY2(demo, "the demo database or its server did not start");
    QVERIFY2(!demo->tokens.value(user).isEmpty(), qPrintable(user + QStringLiteral(" could not log in")));
    QSqlDatabase& db = demo->database.db();
    const QString dish = rowsOf(db, QStringLiteral("SELECT MIN(CDPRATO) FROM PRATO WHERE CDFILAUXPRAT = 'P'"
                                                   " AND CDNVPRATO = 3"))
                             .value(0);
    const QStringList before = writable(db, source, marked + unmarked);

    const HttpAnswer answer =
        post(demo->server->port(), "/call",
             callBody("IntgCentral", {source, "P" + dish + "_", "FS", destinationPacket(marked, unmarked), "", ""}),
             demo->tokens.value(user));
    QCOMPARE(answer.status, 200);
    const QString message = answer.body.value("error").toObject().value("message").toString();
    if (refusal.isEmpty()) {
        QVERIFY2(answer.body.contains("result"), qPrintable(message));
        QVERIFY(writable(db, source, marked + unmarked) != before);
    } else {
        // A business error the user reads, and not a line written: no recipe, no run record.
        QVERIFY2(message.contains(refusal), qPrintable(message));
        QVERIFY(!answer.body.contains("result"));
        QCOMPARE(writable(db, source, marked + unmarked), before);
    }
}

void tst_OperatorRights::lookupsListOnlyTheOperatorsBranches_data()
{
    QTest::addColumn<QString>("dialect");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("method");
    QTest::addColumn<QJsonArray>("args");
    QTest::addColumn<QString>("codeColumn");
    QTest::addColumn<QStringList>("codes");
    struct Case {
        const char* name;
        const char* user;
        const char* method;
        QJsonArray args;
        const char* codeColumn;
        QStringList codes;
    };
    const QStringList southEast{"0001", "0002", "0003", "0004", "0005", "0006", "0008", "0010"};
    const QList<Case> cases{
        {"nutri: every branch", "nutri", "GetFiliGrup", {"T", "0007"}, "CDFILIAL", {"0009", "0013"}},
        {"nutri: a grouping of others' branches", "nutri", "GetFiliGrup", {"0000000001", "0007"}, "CDFILIAL", {}},
        {"nutri: groupings", "nutri", "GetGrupFili", {""}, "CDGRUPFILI", {"0000000002"}},
        {"consulta: every branch", "consulta", "GetFiliGrup", {"T", "0001"}, "CDFILIAL", southEast.mid(1)},
        {"consulta: groupings", "consulta", "GetGrupFili", {""}, "CDGRUPFILI", {"0000000001"}},
        {"demo: groupings", "demo", "GetGrupFili", {""}, "CDGRUPFILI", {"0000000001", "0000000002", "0000000003"}},
        {"demo: a whole grouping", "demo", "GetFiliGrup", {"0000000002", "0001"}, "CDFILIAL", {"0007", "0009", "0013"}},
    };
    for (const QString& d : dialects()) {
        for (const Case& c : cases)
            QTest::newRow(qPrintable(d + QLatin1String(": ") + QLatin1String(c.name)))
                << d << QString::fromLatin1(c.user) << QString::fromLatin1(c.method) << c.args
                << QString::fromLatin1(c.codeColumn) << c.codes;
    }
}

void tst_OperatorRights::lookupsListOnlyTheOperatorsBranches()
{
    QFETCH(QString, dialect);
    QFETCH(QString, user);
    QFETCH(QString, method);
    QFETCH(QJsonArray, args);
    QFETCH(QString, codeColumn);
    QFETCH(QStringList, codes);
    if (const QString why = TestDatabase::unavailable(dialect); !why.isEmpty())
        QSKIP(qPrintable(why));
    DemoServer* demo = this->demo(dialect);
    QVERIFY2(demo, "the demo database or its server did not start");
    const HttpAnswer answer = post(demo->server->port(), "/call", callBody(method, args), demo->tokens.value(user));
    QCOMPARE(answer.status, 200);
    QVERIFY2(answer.body.contains("result"), QJsonDocument(answer.body).toJson().constData());
    QCOMPARE(column(answer.body.value("result").toObject(), codeColumn), codes);
}

void tst_OperatorRights::dishSearchReadsOnlyTheOperatorsBranches_data()
{
    QTest::addColumn<QString>("dialect");
    QTest::addColumn<QJsonArray>("args");
    QTest::addColumn<QString>("refusal"); // empty: dishes are listed
    const QJsonValue none;
    struct Case {
        const char* name;
        QJsonArray args;
        const char* refusal;
    };
    const QList<Case> cases{
        {"its own source and trees", {"0007", "0007", "P", 3, "", "", none, none, "", "", ""}, ""},
        {"its own source, on its menus", {"0007", "X", "P", 3, "T", "T", none, none, "", "", ""}, ""},
        {"a source not its own", {"0001", "0001", "P", 3, "", "", none, none, "", "", ""}, "filial de origem 0001"},
        {"another branch's local tree", {"0007", "0001", "P", 3, "", "", none, none, "", "", ""}, "Árvore local"},
        {"another branch's tree as the standard one",
         {"0007", "X", "0001", 3, "", "", none, none, "", "", ""},
         "Árvore padrão"},
    };
    for (const QString& d : dialects()) {
        for (const Case& c : cases)
            QTest::newRow(qPrintable(d + QLatin1String(": nutri, ") + QLatin1String(c.name)))
                << d << c.args << QString::fromUtf8(c.refusal);
    }
}

void tst_OperatorRights::dishSearchReadsOnlyTheOperatorsBranches()
{
    QFETCH(QString, dialect);
    QFETCH(QJsonArray, args);
    QFETCH(QString, refusal);
    if (const QString why = TestDatabase::unavailable(dialect); !why.isEmpty())
        QSKIP(qPrintable(why));
    DemoServer* demo = this->demo(dialect);
    QVERIFY2(demo, "the demo database or its server did not start");
    const HttpAnswer answer =
        post(demo->server->port(), "/call", callBody("GetPesqPrato", args), demo->tokens.value("nutri"));
    QCOMPARE(answer.status, 200);
    const QString message = answer.body.value("error").toObject().value("message").toString();
    if (refusal.isEmpty())
        QVERIFY2(!answer.body.value("result").toObject().value("rows").toArray().isEmpty(), qPrintable(message));
    else
        QVERIFY2(message.contains(refusal), qPrintable(message));
}

QTEST_GUILESS_MAIN(tst_OperatorRights)
#include "tst_operatorrights.moc"
