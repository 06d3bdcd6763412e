// A server killed (SIGKILL) at statements spread over an integration run, and an undo killed the same way: after a
// restart every table holds what it held before, or what the finished work leaves, never anything in between.
//
// The points are chosen from the statements the work itself runs (traced on a copy first), not from timers. CTest
// runs a few points at a small scale; SUITE_CRASH_POINTS and SUITE_CRASH_SCALE (BRANCHES,DISHES,LINES) ask for more,
// as bench/crash does: 20 points over a run of a million recipe lines.
#include "serverprocess.h"
#include "servertestkit.h"

#include <datasets.h>
#include <schema.h>

#include <QCryptographicHash>
#include <QRegularExpression>
#include <QtTest>
#include <future>
#include <signal.h>

using namespace suite;
using namespace suite::test;

namespace {

struct Statement {
    QString purpose;
    int occurrence = 1; // its how-many-th run of that purpose in the process, as SUITE_TEST_PAUSE_AT counts
    bool operator==(const Statement&) const = default;
    QString pausePoint() const { return QStringLiteral("%1#%2").arg(purpose).arg(occurrence); }
};

int crashPoints()
{
    bool ok = false;
    const int points = qEnvironmentVariableIntValue("SUITE_CRASH_POINTS", &ok);
    return ok && points >= 2 ? points : 6;
}

provision::Scale crashScale()
{
    const std::optional<provision::Scale> scale = provision::Scale::parse(qEnvironmentVariable("SUITE_CRASH_SCALE"));
    return scale ? *scale : provision::Scale{20, 300, 10};
}

// The statements a process traced (SUITE_TEST_TRACE_STATEMENTS), in order; counted from the process's start, kept
// from the line `from` on (all when empty).
QList<Statement> tracedStatements(const QByteArray& said, const QString& from = {})
{
    QList<Statement> statements;
    QHash<QString, int> seen;
    bool keeping = from.isEmpty();
    for (const QByteArray& raw : said.split('\n')) {
        const QString line = QString::fromUtf8(raw);
        if (!keeping && line.contains(from))
            keeping = true;
        if (!line.startsWith(QLatin1String("ran ")))
            continue;
        const QString purpose = line.mid(4);
        const int occurrence = ++seen[purpose];
        if (keeping)
            statements.append({purpose, occurrence});
    }
    return statements;
}

// `count` statements of `statements`: the commit, the one just before it, and the rest evenly spread over the
// others from the first to the last.
QList<qsizetype> crashPointsOf(qsizetype statements, qsizetype commit, int count)
{
    QList<qsizetype> chosen{commit};
    if (commit > 0)
        chosen << commit - 1;
    QList<qsizetype> others;
    for (qsizetype i = 0; i < statements; ++i) {
        if (!chosen.contains(i))
            others << i;
    }
    const qsizetype wanted = std::min<qsizetype>(count - chosen.size(), others.size());
    for (qsizetype j = 0; j < wanted; ++j)
        chosen << others.at(wanted == 1 ? 0 : qRound64(double(j) * double(others.size() - 1) / double(wanted - 1)));
    std::sort(chosen.begin(), chosen.end());
    return chosen;
}

QString cellText(const QVariant& value)
{
    // When something happened differs from run to run; whether it happened does not.
    static const QRegularExpression moment(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d[ T]\\d\\d:\\d\\d"));
    if (value.isNull())
        return QStringLiteral("\\N");
    if (value.typeId() == QMetaType::QDateTime || moment.match(value.toString()).hasMatch())
        return QStringLiteral("<moment>");
    return value.toString();
}

// One line per table of the database: its name, its row count and a SHA-1 of its rows in the order of their
// columns.
QStringList signature(const QString& url)
{
    const QString name = TestDatabase::uniqueName(QStringLiteral("signature"));
    QStringList lines;
    {
        QSqlDatabase db = db::openDatabase(url, name);
        const bool postgres = db.driverName() == QLatin1String("QPSQL");
        QSqlQuery tables(db);
        tables.exec(postgres ? QStringLiteral("SELECT table_name FROM information_schema.tables"
                                              " WHERE table_schema = current_schema() AND table_type = 'BASE TABLE'"
                                              " ORDER BY 1")
                             : QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY 1"));
        QStringList names;
        while (tables.next())
            names << tables.value(0).toString();
        for (const QString& table : std::as_const(names)) {
            const int columns = db.record(table).count();
            QStringList order;
            for (int c = 1; c <= columns; ++c)
                order << QString::number(c);
            QSqlQuery rows(db);
            rows.setForwardOnly(true);
            if (!rows.exec(QStringLiteral("SELECT * FROM %1 ORDER BY %2").arg(table, order.join(QLatin1Char(',')))))
                lines << table + QStringLiteral(" unreadable: ") + rows.lastError().text();
            QCryptographicHash hash(QCryptographicHash::Sha1);
            qint64 count = 0;
            while (rows.next()) {
                ++count;
                for (int c = 0; c < columns; ++c) {
                    hash.addData(cellText(rows.value(c)).toUtf8());
                    hash.addData(QByteArrayView("\x1f"));
                }
                hash.addData(QByteArrayView("\x1e"));
            }
            lines << QStringLiteral("%1 %2 %3")
                         .arg(table.toUpper())
                         .arg(count)
                         .arg(QString::fromLatin1(hash.result().toHex()));
        }
        // A run drops SQLite's triggers inside its transaction: a kill must never leave them dropped.
        if (!postgres) {
            QSqlQuery triggers(db);
            triggers.exec(QStringLiteral("SELECT name || ': ' || sql FROM sqlite_master WHERE type = 'trigger'"
                                         " ORDER BY name"));
            while (triggers.next())
                lines << QStringLiteral("TRIGGER ") + triggers.value(0).toString();
        }
    }
    db::closeDatabase(name);
    return lines;
}

QString differences(const QStringList& seen, const QStringList& expected)
{
    QStringList tables;
    for (qsizetype i = 0; i < std::max(seen.size(), expected.size()); ++i) {
        if (seen.value(i) != expected.value(i))
            tables << seen.value(i).section(QLatin1Char(' '), 0, 0);
    }
    return tables.join(QStringLiteral(", "));
}

QStringList tablesNamed(const QStringList& signature, const QStringList& names)
{
    QStringList kept;
    for (const QString& line : signature) {
        if (names.contains(line.section(QLatin1Char(' '), 0, 0)))
            kept << line;
    }
    return kept;
}

QProcessEnvironment environmentWith(const char* name, const QString& value)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(name), value);
    return env;
}

// Everything the server said, once it has stopped.
QByteArray stopAndRead(ServerProcess& server)
{
    server.stop();
    return server.said() + server.process().readAllStandardError();
}

} // namespace

// The answer to the call a killed server was working on, if the work came from a call.
using Pending = std::future<HttpAnswer>;

class tst_CrashPoints : public QObject {
    Q_OBJECT

private slots:
    void killedAnywhereLeavesBeforeOrAfter_data() { addDialectRows(); }
    void killedAnywhereLeavesBeforeOrAfter();

private:
    // Kills the work of `start` at `points` of its `statements`, each time on a fresh copy of `original`; the copy
    // must then hold `before` or `after`, as the point lies before the commit or after it.
    void killAt(TestDatabase& original, const QList<Statement>& statements, int points, const QStringList& before,
                const QStringList& after, const QString& token,
                const std::function<QString(TestDatabase&, const QString&, ServerProcess&, Pending&)>& start);

    // Every server of the test signs with one key, so the one token holds on every copy.
    QString m_keyFile;
};

void tst_CrashPoints::killAt(
    TestDatabase& original, const QList<Statement>& statements, int points, const QStringList& before,
    const QStringList& after, const QString& token,
    const std::function<QString(TestDatabase&, const QString&, ServerProcess&, Pending&)>& start)
{
    qsizetype commit = -1;
    for (qsizetype i = 0; i < statements.size(); ++i) {
        if (statements.at(i).purpose == QLatin1String("committing"))
            commit = i;
    }
    QVERIFY2(commit >= 0, "the traced work did not commit");
    for (const qsizetype index : crashPointsOf(statements.size(), commit, points)) {
        const Statement& point = statements.at(index);
        TestDatabase copy(TestDatabase::CopyOf{original});
        QVERIFY2(copy.isOpen(), qPrintable(copy.error()));

        // `start` begins the work with the pause point set, and says why not when the work did not pause there.
        ServerProcess worker;
        Pending pending;
        const QString why = start(copy, point.pausePoint(), worker, pending);
        QVERIFY2(why.isEmpty(), qPrintable(why));
        ::kill(pid_t(worker.process().processId()), SIGKILL);
        QVERIFY(worker.process().waitForFinished(30000));
        if (pending.valid())
            QVERIFY2(pending.get().status == 0, "the killed server answered");

        // Restarted on what the kill left, the server recovers it and serves.
        ServerProcess restarted;
        const QString whyNot = restarted.start(copy.url(), QProcessEnvironment::systemEnvironment(), m_keyFile);
        QVERIFY2(whyNot.isEmpty(), qPrintable(whyNot));
        const HttpAnswer groups = post(restarted.port(), "/call", callBody("GetGrupFili", {""}), token);
        QCOMPARE(groups.status, 200);
        restarted.stop();

        const bool committed = index >= commit;
        const QStringList seen = signature(copy.url());
        const QStringList& expected = committed ? after : before;
        QVERIFY2(seen == expected,
                 qPrintable(QStringLiteral("killed at statement %1 of %2 (%3), %4 the commit: the tables %5 are not"
                                           " as %6")
                                .arg(index + 1)
                                .arg(statements.size())
                                .arg(point.pausePoint(), committed ? "after" : "before", differences(seen, expected),
                                     committed ? "after the work" : "before it")));
        qInfo("killed at statement %lld of %lld (%s): %s", qint64(index + 1), qint64(statements.size()),
              qPrintable(point.pausePoint()), committed ? "as after" : "as before");
    }
}

void tst_CrashPoints::killedAnywhereLeavesBeforeOrAfter()
{
    QFETCH(QString, dialect);
    if (!QFileInfo::exists(ServerProcess::program()))
        QSKIP("SUITE_BIN_DIR does not hold suite-server");
    SUITE_TEST_DATABASE(original, dialect, TestDatabase::Empty);
    const provision::Scale scale = crashScale();
    provision::createSchema(original.db());
    provision::loadScale(original.db(), scale);

    // The token comes from a server of its own, so that the servers killed below run nothing but the work.
    QString token;
    ServerProcess keyed;
    {
        const QString why = keyed.start(original.url());
        QVERIFY2(why.isEmpty(), qPrintable(why));
        token = login(keyed.port());
        keyed.stop();
        m_keyFile = keyed.keyFile().isEmpty() ? original.url() + QStringLiteral(".key") : keyed.keyFile();
    }
    QVERIFY(!token.isEmpty());

    QStringList dishes;
    for (const QString& row : rowsOf(original.db(), QStringLiteral("SELECT CDFILAUXPRAT || CDPRATO FROM PRATO"
                                                                   " WHERE CDNVPRATO = 3 ORDER BY CDPRATO")))
        dishes << row + QLatin1Char('_');
    const QStringList branches =
        rowsOf(original.db(), QStringLiteral("SELECT CDFILIAL FROM FILIAL WHERE CDFILIAL <> '0001' ORDER BY 1"));
    const QByteArray run =
        callBody("IntgCentral", {"0001", dishes.join(QString()), "FS", destinationPacket(branches), "", ""});
    const QStringList before = signature(original.url());
    const int points = crashPoints();

    // The run traced once on a copy: its statements, and what it leaves.
    TestDatabase done(TestDatabase::CopyOf{original});
    QVERIFY2(done.isOpen(), qPrintable(done.error()));
    QList<Statement> runStatements;
    {
        ServerProcess server;
        const QString why = server.start(done.url(), environmentWith("SUITE_TEST_TRACE_STATEMENTS", "1"), m_keyFile);
        QVERIFY2(why.isEmpty(), qPrintable(why));
        const HttpAnswer answer = post(server.port(), "/call", run, token);
        QVERIFY2(answer.status == 200 && answer.body.contains("result"),
                 QJsonDocument(answer.body).toJson().constData());
        runStatements = tracedStatements(stopAndRead(server), QStringLiteral("listening on"));
    }
    const QStringList afterRun = signature(done.url());
    QVERIFY(afterRun != before);
    const qint64 lines = rowsOf(done.db(), QStringLiteral("SELECT QTINSERIDAS FROM INTGCENTRAL")).value(0).toLongLong();
    qInfo("the run writes %lld recipe lines in %lld statements; killed at %d of them", lines,
          qint64(runStatements.size()), points);

    killAt(original, runStatements, points, before, afterRun, token,
           [this, &run, &token](TestDatabase& copy, const QString& pausePoint, ServerProcess& server,
                          Pending& answer) -> QString {
               QString why = server.start(copy.url(), environmentWith("SUITE_TEST_PAUSE_AT", pausePoint), m_keyFile);
               if (!why.isEmpty())
                   return why;
               answer = std::async(std::launch::async, [&] { return post(server.port(), "/call", run, token); });
               const auto answered = [&] {
                   return answer.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
               };
               const QRegularExpression paused(QStringLiteral("paused at ") + QRegularExpression::escape(pausePoint));
               if (server.waitForLine(paused, 600000, answered).hasMatch())
                   return {};
               server.process().kill();
               return QStringLiteral("the run did not pause at %1: %2")
                   .arg(pausePoint, QString::fromUtf8(server.said().right(2000)));
           });
    if (QTest::currentTestFailed())
        return;

    // The undo of that run, traced on a copy of what the run left, then killed the same way.
    const QString runNumber = rowsOf(done.db(), QStringLiteral("SELECT MAX(NRINTG) FROM INTGCENTRAL")).value(0);
    TestDatabase undone(TestDatabase::CopyOf{done});
    QVERIFY2(undone.isOpen(), qPrintable(undone.error()));
    const auto undo = [&runNumber](const QString& url, const QProcessEnvironment& env, QProcess& process) {
        process.setProcessEnvironment(env);
        process.setReadChannel(QProcess::StandardError);
        process.start(ServerProcess::program(), {"undo", "--database", url, "--run", runNumber});
    };
    QList<Statement> undoStatements;
    {
        QProcess process;
        undo(undone.url(), environmentWith("SUITE_TEST_TRACE_STATEMENTS", "1"), process);
        QVERIFY(process.waitForFinished(600000));
        const QByteArray said = process.readAllStandardError();
        QVERIFY2(process.exitCode() == 0, said.right(2000).constData());
        undoStatements = tracedStatements(said);
    }
    const QStringList afterUndo = signature(undone.url());
    const QStringList recipeTables{QStringLiteral("RECEITA"), QStringLiteral("RECEITASERV")};
    QCOMPARE(tablesNamed(afterUndo, recipeTables), tablesNamed(before, recipeTables));
    qInfo("the undo runs %lld statements; killed at %d of them", qint64(undoStatements.size()), points);

    killAt(done, undoStatements, points, afterRun, afterUndo, token,
           [&undo](TestDatabase& copy, const QString& pausePoint, ServerProcess& process, Pending&) -> QString {
               undo(copy.url(), environmentWith("SUITE_TEST_PAUSE_AT", pausePoint), process.process());
               if (!process.process().waitForStarted(10000))
                   return process.process().errorString();
               if (!process
                        .waitForLine(
                            QRegularExpression(QStringLiteral("paused at ") + QRegularExpression::escape(pausePoint)),
                            600000)
                        .hasMatch())
                   return QStringLiteral("the undo did not pause at %1: %2")
                       .arg(pausePoint, QString::fromUtf8(process.said().right(2000)));
               return {};
           });
}

QTEST_GUILESS_MAIN(tst_CrashPoints)
#include "tst_crashpoints.moc"
