// Follows the recipes of a database a run at a time.
#include "recipeledger.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

namespace suite::desktop {

namespace {

// The undo of a run older than this many runs is not checked: its starting state is no longer kept.
constexpr int kKeptStates = 30;

QString sourceKey(const QStringList& parts, const QString& source)
{
    // parts: kind, branch, [service,] tree, dish. The source's recipe of the same dish: the same key on the
    // standard tree, the source's own tree for a local dish.
    QStringList key = parts;
    key[1] = source;
    const int tree = parts.size() - 2;
    if (parts[tree] != QLatin1String("P"))
        key[tree] = source;
    return key.join(u'|');
}

} // namespace

RecipeLedger::RecipeLedger(const QString& sqliteFile)
    : m_connection(QStringLiteral("ledger-") + QUuid::createUuid().toString(QUuid::Id128))
{
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    m_db.setDatabaseName(sqliteFile);
    m_db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=10000"));
}

RecipeLedger::~RecipeLedger()
{
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_connection);
}

QString RecipeLedger::start()
{
    if (!m_db.open())
        return QStringLiteral("cannot open the database: ") + m_db.lastError().text();
    // The recipes and the last run from one snapshot, as check() reads them.
    if (!m_db.transaction())
        return QStringLiteral("starting a reading: ") + m_db.lastError().text();
    QString why;
    m_last = read(&why);
    if (why.isEmpty()) {
        QSqlQuery q(m_db);
        if (q.exec(QStringLiteral("SELECT COALESCE(MAX(NRINTG), 0) FROM INTGCENTRAL")) && q.next())
            m_lastRun = q.value(0).toLongLong();
        else
            why = QStringLiteral("reading the last run: ") + q.lastError().text();
    }
    m_db.commit();
    return why;
}

RecipeLedger::Recipes RecipeLedger::read(QString* why)
{
    Recipes recipes;
    const struct {
        const char* kind;
        const char* sql;
        int keyColumns;
    } tables[] = {
        {"L",
         "SELECT CDFILIAL, CDFILAUXPRAT, CDPRATO, NRSEQ, CDARVPROD, QTPRODUTO, SGUNIDADE FROM RECEITA"
         " ORDER BY CDFILIAL, CDFILAUXPRAT, CDPRATO, NRSEQ",
         3},
        {"S",
         "SELECT CDFILIAL, CDSERVFILI, CDFILAUXPRAT, CDPRATO, NRSEQ, CDARVPROD, QTPRODUTO, SGUNIDADE"
         " FROM RECEITASERV ORDER BY CDFILIAL, CDSERVFILI, CDFILAUXPRAT, CDPRATO, NRSEQ",
         4},
    };
    for (const auto& table : tables) {
        QSqlQuery q(m_db);
        q.setForwardOnly(true);
        if (!q.exec(QString::fromLatin1(table.sql))) {
            *why = QStringLiteral("reading the recipes: ") + q.lastError().text();
            return {};
        }
        while (q.next()) {
            QStringList key{QString::fromLatin1(table.kind)};
            for (int i = 0; i < table.keyColumns; ++i)
                key << q.value(i).toString();
            QStringList line;
            for (int i = table.keyColumns; i < table.keyColumns + 4; ++i)
                line << q.value(i).toString();
            QString& lines = recipes[key.join(u'|')];
            lines += line.join(u'|') + u';';
        }
    }
    return recipes;
}

QStringList RecipeLedger::changed(const Recipes& before, const Recipes& after)
{
    QStringList keys;
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        if (after.value(it.key()) != it.value())
            keys << it.key();
    for (auto it = after.cbegin(); it != after.cend(); ++it)
        if (!before.contains(it.key()))
            keys << it.key();
    keys.sort();
    return keys;
}

QList<RecipeLedger::Run> RecipeLedger::runsAfter(qint64 number, QString* why)
{
    QList<Run> runs;
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("SELECT NRINTG, CDFILIORIG, IDTIPORECE, DSPRATOS, DSDESTINOS, IDTIPOINTG,"
                             " COALESCE(NRINTGDESF, 0), DTFIM FROM INTGCENTRAL WHERE NRINTG > ? ORDER BY NRINTG"));
    q.addBindValue(number);
    if (!q.exec()) {
        *why = QStringLiteral("reading the runs: ") + q.lastError().text();
        return {};
    }
    while (q.next()) {
        if (q.value(7).isNull())
            break; // still running: checked once it has ended
        runs.append({q.value(0).toLongLong(), q.value(1).toString(), q.value(2).toString(), q.value(3).toString(),
                     q.value(4).toString(), q.value(5).toString(), q.value(6).toLongLong()});
    }
    return runs;
}

bool RecipeLedger::newRunEnded()
{
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("SELECT COUNT(*) FROM INTGCENTRAL WHERE NRINTG > ? AND DTFIM IS NOT NULL"));
    q.addBindValue(m_lastRun);
    return q.exec() && q.next() && q.value(0).toInt() > 0;
}

QStringList RecipeLedger::check()
{
    // The runs and the recipes from one snapshot: a run committed between the two readings would show its changes
    // with no run to explain them.
    if (!m_db.transaction())
        return {QStringLiteral("starting a reading: ") + m_db.lastError().text()};
    QString why;
    const QList<Run> runs = runsAfter(m_lastRun, &why);
    Recipes now = why.isEmpty() ? read(&why) : Recipes();
    m_db.commit();
    if (!why.isEmpty())
        return {why};
    const QStringList keys = changed(m_last, now);
    QStringList faults;
    if (runs.isEmpty()) {
        if (!keys.isEmpty())
            faults << QStringLiteral("%1 recipe(s) changed with no completed run, e.g. %2")
                          .arg(keys.size())
                          .arg(keys.first());
    } else if (runs.size() == 1) {
        const Run& run = runs.first();
        faults << (run.type == QLatin1String("D") ? checkUndo(run, m_last, now) : checkIntegration(run, m_last, now));
    } else {
        // Several runs between two readings: each change must be one that some of them may make.
        for (const QString& key : keys) {
            bool explained = false;
            for (const Run& run : runs) {
                Recipes only = m_last;
                only[key] = now.value(key);
                if (!now.contains(key))
                    only.remove(key);
                if ((run.type == QLatin1String("D") ? checkUndo(run, m_last, only)
                                                    : checkIntegration(run, m_last, only))
                        .isEmpty())
                    explained = true;
            }
            if (!explained)
                faults << QStringLiteral("%1 changed by none of runs %2..%3")
                              .arg(key)
                              .arg(runs.first().number)
                              .arg(runs.last().number);
        }
    }
    for (const Run& run : runs) {
        m_beforeRun.insert(run.number, m_last);
        while (m_beforeRun.size() > kKeptStates)
            m_beforeRun.erase(m_beforeRun.begin());
        m_lastRun = run.number;
        ++m_runsChecked;
    }
    m_last = std::move(now);
    return faults;
}

QStringList RecipeLedger::checkIntegration(const Run& run, const Recipes& before, const Recipes& after) const
{
    QStringList faults;
    const QStringList destinations = run.destinations.split(u'_', Qt::SkipEmptyParts);
    const QStringList dishes = run.dishes.split(u'_', Qt::SkipEmptyParts);
    for (const QString& key : changed(before, after)) {
        const QStringList parts = key.split(u'|');
        const QString& branch = parts[1];
        const QString& tree = parts[parts.size() - 2];
        const QString& dish = parts.last();
        const QString where = QStringLiteral("run %1 (from %2): %3 ").arg(run.number).arg(run.source, key);
        const int kindAt = parts[0] == QLatin1String("L") ? 0 : 1;
        if (run.kinds.mid(kindAt, 1) == QLatin1String("X"))
            faults << where + QStringLiteral("changed, but the run's kinds are ") + run.kinds;
        else if (!destinations.contains(branch) || branch == run.source)
            faults << where + QStringLiteral("changed, but its branch is not a destination");
        else if (tree != QLatin1String("P") && tree != branch)
            faults << where + QStringLiteral("changed on another branch's tree");
        else if (!dishes.contains((tree == QLatin1String("P") ? tree : run.source) + dish))
            faults << where + QStringLiteral("changed, but its dish was not sent");
        else if (before.value(sourceKey(parts, run.source)).isEmpty())
            faults << where + QStringLiteral("changed, but the source has no such recipe");
        else if (after.value(key) != before.value(sourceKey(parts, run.source)))
            faults << where + QStringLiteral("differs from the source's recipe");
    }
    return faults;
}

QStringList RecipeLedger::checkUndo(const Run& run, const Recipes& before, const Recipes& now) const
{
    const auto it = m_beforeRun.constFind(run.undoes);
    if (it == m_beforeRun.cend())
        return {}; // the undone run's starting state is not kept: nothing to compare with
    QStringList faults;
    for (const QString& key : changed(before, now))
        if (now.value(key) != it->value(key))
            faults << QStringLiteral("undo %1 of run %2: %3 is not as before that run")
                          .arg(run.number)
                          .arg(run.undoes)
                          .arg(key);
    return faults;
}

} // namespace suite::desktop
