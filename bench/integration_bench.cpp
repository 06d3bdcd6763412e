// integration_bench: times IntgCentral against a plain INSERT ... SELECT of the same rows: a blind rewrite (every
// recipe rewritten, nothing compared), a full rewrite, a re-run where nothing changed, and a run where a tenth of the
// source's recipes changed.
#include "integrationrequest.h"
#include "intgcentralservice.h"
#include "rewrite/bulkrewrite.h"
#include "rewrite/integrationrun.h"
#include "rewrite/integrationundo.h"
#include "threadconnection.h"

#include <database.h>
#include <datasets.h>
#include <schema.h>
#include <sqlrunner.h>
#include <transaction.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QSqlQuery>

#include <QFile>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <sys/resource.h>
#include <thread>
#include <vector>

using namespace suite;

namespace {

constexpr const char* kSource = "0001";

const char* const kCopyTable =
    "CREATE TABLE RECEITA_COPIA (CDFILIAL VARCHAR NOT NULL, CDFILAUXPRAT VARCHAR NOT NULL, CDPRATO VARCHAR NOT NULL,"
    " NRSEQ INTEGER NOT NULL, CDARVPROD VARCHAR NOT NULL, QTPRODUTO NUMERIC(12,4) NOT NULL,"
    " SGUNIDADE VARCHAR NOT NULL, PRIMARY KEY (CDFILIAL, CDFILAUXPRAT, CDPRATO, NRSEQ))";

struct Options {
    QString database;
    provision::Scale scale{200, 2000, 10};
    int runs = 5;
};

bool parse(const QStringList& args, Options& o)
{
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args.at(i) == QLatin1String("--database")) {
            o.database = args.at(i + 1);
        } else if (args.at(i) == QLatin1String("--scale")) {
            const std::optional<provision::Scale> scale = provision::Scale::parse(args.at(i + 1));
            if (!scale)
                return false;
            o.scale = *scale;
        } else if (args.at(i) == QLatin1String("--runs")) {
            bool ok = false;
            o.runs = args.at(i + 1).toInt(&ok);
            if (!ok || o.runs < 1)
                return false;
        } else {
            return false;
        }
    }
    return !o.database.isEmpty() && args.size() % 2 == 1;
}

double seconds(const QElapsedTimer& t)
{
    return t.nsecsElapsed() / 1e9;
}

// Every level-3 dish of the standard tree, as the screen sends them under "Todos".
QString allDishes(const db::SqlRunner& sql)
{
    QSqlQuery q = sql.run(QStringLiteral("ler os pratos"),
                          QStringLiteral("SELECT CDFILAUXPRAT || CDPRATO FROM PRATO WHERE CDFILAUXPRAT = 'P'"
                                         " AND CDNVPRATO = 3 ORDER BY CDPRATO"));
    QString list;
    while (q.next())
        list += q.value(0).toString() + QLatin1Char('_');
    return list;
}

// The destination grid with every row marked.
QJsonObject allMarked(QSqlDatabase db)
{
    QJsonObject packet = server::IntgCentralService(db, QStringLiteral("demo"))
                             .GetFiliGrup(QStringLiteral("T"), QLatin1String(kSource))
                             .toJson();
    QJsonArray rows;
    for (const QJsonValue& row : packet.value("rows").toArray()) {
        QJsonArray cells = row.toArray();
        cells[0] = QStringLiteral("S");
        rows.append(cells);
    }
    packet.insert("rows", rows);
    return packet;
}

// Both timed phases start with the log written back, so neither pays for the other's (or the load's) writes.
// On PostgreSQL the dead rows of the previous phase are vacuumed first, as the autovacuum would have done
// between two real runs; left to it, it would start in the middle of the next timed phase, on a 2-core machine.
void settle(const db::SqlRunner& sql)
{
    if (sql.isPostgres()) {
        sql.run(QStringLiteral("limpar as linhas mortas"), QStringLiteral("VACUUM"));
        sql.run(QStringLiteral("gravar o log"), QStringLiteral("CHECKPOINT"));
    } else {
        sql.run(QStringLiteral("gravar o log"), QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)")).finish();
    }
}

// The process's resident memory (VmRSS) in MB, 0 when /proc does not say.
double residentMb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024;
    }
    return 0;
}

// The highest resident memory while it lives, read every 50 ms: whether a run's memory grows with its size.
class MemoryWatch {
public:
    MemoryWatch()
        : m_before(residentMb())
        , m_thread([this] {
            while (!m_done) {
                m_peak = std::max(m_peak.load(), residentMb());
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
        })
    {}
    ~MemoryWatch() { finish(); }
    void finish()
    {
        m_done = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    double before() const { return m_before; }
    double peak() const { return m_peak; }

private:
    const double m_before;
    std::atomic<bool> m_done{false};
    std::atomic<double> m_peak{0};
    std::thread m_thread;
};

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t half = values.size() / 2;
    return values.size() % 2 ? values[half] : (values[half - 1] + values[half]) / 2;
}

// The median of the rounds' ratios, with the lowest and highest beside it.
void printRatio(const char* name, const std::vector<double>& values)
{
    const auto [low, high] = std::minmax_element(values.begin(), values.end());
    std::printf("%s ratio: %.2f (rounds %.2f-%.2f)\n", name, median(values), *low, *high);
}

qint64 count(const db::SqlRunner& sql, const QString& statement)
{
    return sql.number(QStringLiteral("contar"), statement);
}

// The other half of what a rewrite that can be undone cannot skip: every destination recipe's lines kept as its
// before-image text, for plain codes, by one statement grouping the lines as they lie, with nothing chosen, compared
// or set apart, in the run log's own table (under run 0, removed after).
double imagesAlone(const db::SqlRunner& sql)
{
    const QString purpose = QStringLiteral("guardar só as imagens");
    const QString text = sql.isPostgres()
                             ? QStringLiteral("'[' || string_agg('[' || NRSEQ || ',\"' || CDARVPROD || '\",' ||"
                                              " QTPRODUTO || ',\"' || SGUNIDADE || '\"]', ',') || ']'")
                             : QStringLiteral("linhas_json(NRSEQ, CDARVPROD, QTPRODUTO, SGUNIDADE)");
    settle(sql);
    QElapsedTimer timer;
    timer.start();
    {
        db::Transaction transaction(sql);
        const server::BulkRewrite bulk(sql);
        sql.change(purpose,
                   QStringLiteral("INSERT INTO INTGCENTRALANT (NRINTG, IDTIPORECE, CDFILIAL, CDSERVFILI, CDFILAUXPRAT,"
                                  " CDPRATO, QTLINHAS, DSLINHAS) SELECT 0, 'L', CDFILIAL, '', CDFILAUXPRAT, CDPRATO,"
                                  " COUNT(*), %1 FROM RECEITA WHERE CDFILIAL <> :origem"
                                  " GROUP BY CDFILIAL, CDFILAUXPRAT, CDPRATO")
                       .arg(text),
                   {{":origem", QLatin1String(kSource)}});
        transaction.commit();
    }
    const double time = seconds(timer);
    sql.run(purpose, QStringLiteral("DELETE FROM INTGCENTRALANT WHERE NRINTG = 0"));
    return time;
}

// The writing no rewrite can skip: every destination line replaced as a run replaces it, with nothing read,
// compared or kept.
// PostgreSQL updates each line in place from its source line, by one statement joining them (no rewrite can set a
// line to its source's values without finding it), on RECEITA itself: a fresh copy would lack the pages a table
// keeps once its lines have been updated (each page's earlier versions left as pointers to the new), which made an
// update of the copy take a quarter less time than the same update of RECEITA. Without the triggers, rolled back
// (so untimed and leaving nothing): what a run's own writes cost beyond this floor is the run's.
// SQLite deletes and inserts again, in a table kept as RECEITA is (the key is the table), filled before the clock
// starts, committed: its commit is most of a write's cost there.
double replaceAlone(const db::SqlRunner& sql)
{
    const QString purpose = QStringLiteral("substituir as linhas");
    const QVariantMap source{{":origem", QLatin1String(kSource)}};
    QElapsedTimer timer;
    if (sql.isPostgres()) {
        settle(sql);
        db::Transaction transaction(sql);
        const server::BulkRewrite bulk(sql);
        sql.run(purpose, QStringLiteral("ALTER TABLE RECEITA DISABLE TRIGGER USER"));
        timer.start();
        sql.change(purpose,
                   QStringLiteral("UPDATE RECEITA r SET CDARVPROD = s.CDARVPROD, QTPRODUTO = s.QTPRODUTO,"
                                  " SGUNIDADE = s.SGUNIDADE FROM RECEITA s WHERE s.CDFILIAL = :origem"
                                  " AND r.CDFILIAL <> :origem AND r.CDFILAUXPRAT = s.CDFILAUXPRAT"
                                  " AND r.CDPRATO = s.CDPRATO AND r.NRSEQ = s.NRSEQ"),
                   source);
        return seconds(timer);
    }
    sql.run(purpose,
            QString::fromLatin1(kCopyTable).replace(QLatin1String("RECEITA_COPIA"), QLatin1String("RECEITA_LUGAR")) +
                QLatin1String(" WITHOUT ROWID"));
    const QString fill = QStringLiteral("INSERT INTO RECEITA_LUGAR SELECT * FROM RECEITA WHERE CDFILIAL <> :origem"
                                        " ORDER BY CDFILIAL, CDFILAUXPRAT, CDPRATO, NRSEQ");
    sql.run(purpose, fill, source);
    settle(sql);
    timer.start();
    {
        db::Transaction transaction(sql);
        const server::BulkRewrite bulk(sql);
        sql.change(purpose, QStringLiteral("DELETE FROM RECEITA_LUGAR WHERE CDFILIAL <> :origem"), source);
        sql.change(purpose, fill, source);
        transaction.commit();
    }
    const double time = seconds(timer);
    sql.run(purpose, QStringLiteral("DROP TABLE RECEITA_LUGAR"));
    return time;
}

int run(const Options& o)
{
    QSqlDatabase db = server::openServerConnection(o.database, QStringLiteral("bench"));
    if (provision::hasSchema(db)) {
        std::fprintf(stderr, "integration_bench: %s already holds a suite database; give a new one\n",
                     qPrintable(o.database));
        return 1;
    }
    const db::SqlRunner sql(db);
    std::printf("database: %s (%s)\n", qPrintable(o.database), sql.isPostgres() ? "PostgreSQL" : "SQLite");
    std::printf("scale: %d branches, %d dishes, %d lines per recipe\n", o.scale.branches, o.scale.dishes,
                o.scale.lines);
    std::fflush(stdout);

    QElapsedTimer timer;
    timer.start();
    provision::createSchema(db);
    provision::loadScale(db, o.scale);
    std::printf("data built in %.1f s: %lld local recipe lines\n", seconds(timer),
                count(sql, QStringLiteral("SELECT COUNT(*) FROM RECEITA")));
    std::fflush(stdout);

    const server::IntegrationRequest request = server::IntegrationRequest::parse(
        wire::Arguments(QStringLiteral("IntgCentral"),
                        {QLatin1String(kSource), allDishes(sql), QStringLiteral("FX"), allMarked(db), "", ""}));

    // Rounds of four integrations, an undo and one plain copy each, timed back to back. On a shared machine the
    // speed drifts by a fifth from minute to minute, so each ratio reported is the median of the rounds' own ratios;
    // the best of each side, which can pair a lucky copy with an ordinary run, is printed too for the full rewrite.
    // Before the full rewrite every source line grows by a whole unit (the data's quantities differ by branch in
    // the fourth decimal only), so no destination recipe equals the source's and the run rewrites them all; the
    // re-run then finds every one equal; then a tenth of the source's recipes (dishes whose code ends in 0) change
    // their first line.
    const auto changeSource = [&](const char* delta, const QString& which) {
        sql.run(QStringLiteral("mudar as receitas da origem"),
                QStringLiteral("UPDATE RECEITA SET QTPRODUTO = QTPRODUTO + %1 WHERE CDFILIAL = :origem AND %2")
                    .arg(QLatin1String(delta), which),
                {{":origem", QLatin1String(kSource)}});
    };
    // The destination lines the 10%-changed run changes, for timing those writes alone on the copy.
    sql.run(QStringLiteral("listar as linhas mudadas"),
            QStringLiteral("CREATE TEMP TABLE BENCH_MUDADAS AS SELECT CDFILIAL, CDFILAUXPRAT, CDPRATO FROM RECEITA"
                           " WHERE NRSEQ = 1 AND CDPRATO LIKE '%0' AND CDFILIAL <> '") +
                QLatin1String(kSource) + QLatin1Char('\''));
    if (sql.isPostgres())
        sql.run(QStringLiteral("analisar as linhas mudadas"), QStringLiteral("ANALYZE BENCH_MUDADAS"));
    const auto timedRun = [&](const char* round, int number, server::Rewrite rewrite = server::Rewrite::Differing) {
        server::IntegrationRun integration(db, QStringLiteral("demo"), rewrite);
        settle(sql);
        timer.restart();
        MemoryWatch memory;
        integration.run(request);
        const double time = seconds(timer);
        memory.finish();
        const server::IntegrationCounts counts = integration.counts();
        std::printf("round %d: %s of %d dishes x %lld destinations, %d recipes rewritten, %d equal, %d lines replaced,"
                    " %d written, %d observations: %.2f s\n",
                    number, round, int(request.dishes.size()), qint64(request.destinations.size()), counts.rewritten,
                    counts.equal, counts.deleted, counts.inserted, counts.observations, time);
        std::printf("round %d: resident memory %.0f MB before the run, at most %.0f MB during it, %.0f MB after\n",
                    number, memory.before(), memory.peak(), residentMb());
        std::fflush(stdout);
        return std::pair{time, counts.run};
    };
    double bestIntegration = 0;
    double bestCopy = 0;
    std::vector<double> ratios;
    std::vector<double> blindRatios;
    std::vector<double> fullToBlind;
    std::vector<double> fullTimes;
    std::vector<double> unchangedRatios;
    std::vector<double> changedRatios;
    std::vector<double> changedAloneRatios;
    std::vector<double> replaceRatios;
    std::vector<double> blindFloorRatios;
    std::vector<double> undoRatios;
    int copied = 0;
    for (int round = 1; round <= o.runs; ++round) {
        // What a run did before it compared: every recipe rewritten with its before-image, no digest kept. The
        // source changes again after it, so the full rewrite finds every recipe differing too.
        changeSource("1", QStringLiteral("1 = 1"));
        const double blindTime = timedRun("blind rewrite", round, server::Rewrite::Every).first;
        changeSource("1", QStringLiteral("1 = 1"));
        const auto [integrationTime, fullRun] = timedRun("full rewrite", round);
        const double unchangedTime = timedRun("unchanged re-run", round).first;
        changeSource("0.0001", QStringLiteral("NRSEQ = 1 AND CDPRATO LIKE '%0'"));
        const auto [changedTime, changedRun] = timedRun("10% changed", round);
        // What putting the full rewrite back costs, once the later run that changed some of the same recipes is
        // undone (the re-run changed nothing). The destinations are then as the blind rewrite left them.
        const int changedBack = server::IntegrationUndo(db, QStringLiteral("demo")).undo(changedRun).recipes;
        settle(sql);
        timer.restart();
        const int restored = server::IntegrationUndo(db, QStringLiteral("demo")).undo(fullRun).recipes;
        const double undoTime = seconds(timer);
        undoRatios.push_back(undoTime / integrationTime);
        std::printf("round %d: undo of the full rewrite: %d recipes put back in %.2f s (after %d of the 10%%-changed"
                    " run)\n",
                    round, restored, undoTime, changedBack);

        // The same rows, copied by one statement into a new table of RECEITA's shape, in one transaction with
        // the session settings of a run.
        sql.run(QStringLiteral("criar a tabela de cópia"), QLatin1String(kCopyTable));
        settle(sql);
        timer.restart();
        {
            db::Transaction transaction(sql);
            const server::BulkRewrite bulk(sql);
            copied =
                sql.change(QStringLiteral("copiar as linhas"),
                           QStringLiteral("INSERT INTO RECEITA_COPIA SELECT * FROM RECEITA WHERE CDFILIAL <> :origem"
                                          " ORDER BY CDFILIAL, CDFILAUXPRAT, CDPRATO, NRSEQ"),
                           {{":origem", QLatin1String(kSource)}});
            transaction.commit();
        }
        const double copyTime = seconds(timer);
        std::printf("round %d: plain INSERT ... SELECT of %d rows: %.2f s, %.0f rows/s\n", round, copied, copyTime,
                    copied / copyTime);
        // Less than any 10%-changed run can cost: the lines it changes, updated in place in the copy (the same rows
        // in the same order), with nothing compared and nothing kept.
        settle(sql);
        timer.restart();
        {
            db::Transaction transaction(sql);
            const server::BulkRewrite bulk(sql);
            sql.change(QStringLiteral("atualizar só as linhas mudadas"),
                       QStringLiteral("UPDATE RECEITA_COPIA SET QTPRODUTO = QTPRODUTO + 0.0001 FROM BENCH_MUDADAS m"
                                      " WHERE RECEITA_COPIA.CDFILIAL = m.CDFILIAL AND RECEITA_COPIA.CDFILAUXPRAT ="
                                      " m.CDFILAUXPRAT AND RECEITA_COPIA.CDPRATO = m.CDPRATO"
                                      " AND RECEITA_COPIA.NRSEQ = 1"));
            transaction.commit();
        }
        const double aloneTime = seconds(timer);
        changedAloneRatios.push_back(aloneTime / copyTime);
        std::printf("round %d: the 10%%-changed run's lines alone, updated in place in the copy: %.2f s\n", round,
                    aloneTime);
        const double replaceTime = replaceAlone(sql);
        replaceRatios.push_back(replaceTime / copyTime);
        std::printf("round %d: every destination line replaced as a run replaces it, nothing kept: %.2f s\n", round,
                    replaceTime);
        const double imagesTime = imagesAlone(sql);
        blindFloorRatios.push_back((imagesTime + replaceTime) / copyTime);
        std::printf("round %d: every destination recipe's before-image alone, by one grouped statement: %.2f s\n",
                    round, imagesTime);
        std::fflush(stdout);
        if (round < o.runs)
            sql.run(QStringLiteral("descartar a tabela de cópia"), QStringLiteral("DROP TABLE RECEITA_COPIA"));
        bestIntegration = round == 1 ? integrationTime : std::min(bestIntegration, integrationTime);
        bestCopy = round == 1 ? copyTime : std::min(bestCopy, copyTime);
        ratios.push_back(integrationTime / copyTime);
        blindRatios.push_back(blindTime / copyTime);
        fullToBlind.push_back(integrationTime / blindTime);
        fullTimes.push_back(integrationTime);
        unchangedRatios.push_back(unchangedTime / copyTime);
        changedRatios.push_back(changedTime / copyTime);
        std::printf("round %d: to the plain copy, blind rewrite %.2f, full rewrite %.2f, unchanged re-run %.2f,"
                    " 10%% changed %.2f; full/blind %.2f\n",
                    round, blindRatios.back(), ratios.back(), unchangedRatios.back(), changedRatios.back(),
                    fullToBlind.back());
    }

    // The naive way, one prepared INSERT per line, on a sample of the same rows, extrapolated.
    const int sample = std::min(copied, sql.isPostgres() ? 20000 : 100000);
    sql.run(QStringLiteral("esvaziar a tabela de cópia"), QStringLiteral("DELETE FROM RECEITA_COPIA"));
    QSqlQuery rows = sql.run(QStringLiteral("ler a amostra"),
                             QStringLiteral("SELECT CDFILIAL, CDFILAUXPRAT, CDPRATO, NRSEQ, CDARVPROD, QTPRODUTO,"
                                            " SGUNIDADE FROM RECEITA WHERE CDFILIAL <> :origem"
                                            " ORDER BY CDFILIAL, CDFILAUXPRAT, CDPRATO, NRSEQ LIMIT %1")
                                 .arg(sample),
                             {{":origem", QLatin1String(kSource)}});
    QList<QVariantList> lines;
    while (rows.next())
        lines.append(
            {rows.value(0), rows.value(1), rows.value(2), rows.value(3), rows.value(4), rows.value(5), rows.value(6)});
    rows.finish();
    timer.restart();
    db::Transaction naive(sql);
    QSqlQuery insert(db);
    insert.prepare(QStringLiteral("INSERT INTO RECEITA_COPIA VALUES (?, ?, ?, ?, ?, ?, ?)"));
    for (const QVariantList& line : std::as_const(lines)) {
        for (int i = 0; i < line.size(); ++i)
            insert.bindValue(i, line.at(i));
        if (!insert.exec()) {
            std::fprintf(stderr, "integration_bench: naive insert failed\n");
            return 1;
        }
    }
    naive.commit();
    const double naiveTime = seconds(timer) * copied / std::max<qsizetype>(1, lines.size());
    std::printf("one prepared INSERT per line: %lld-row sample, extrapolated to %d rows: %.2f s, %.0f rows/s\n",
                qint64(lines.size()), copied, naiveTime, copied / naiveTime);
    std::printf("one-statement-per-line/plain-copy ratio: %.2f\n", naiveTime / bestCopy);
    sql.run(QStringLiteral("descartar a tabela de cópia"), QStringLiteral("DROP TABLE RECEITA_COPIA"));
    // The undo left the destinations as they were before the last full rewrite, so a preview of the same request
    // is one of a full rewrite again: the whole run, rolled back, and its changes listed.
    settle(sql);
    timer.restart();
    server::IntegrationRun preview(db, QStringLiteral("demo"));
    preview.preview(request);
    const double previewTime = seconds(timer);
    std::printf("preview of a full rewrite: %d recipes in %.2f s\n", preview.counts().rewritten, previewTime);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak resident memory of the process: %ld MB\n", usage.ru_maxrss / 1024);
    std::printf("best of %d rounds: full rewrite %.2f s, plain copy %.2f s, ratio %.2f\n", o.runs, bestIntegration,
                bestCopy, bestIntegration / bestCopy);
    printRatio("unchanged re-run/plain-copy", unchangedRatios);
    printRatio("10% changed, its lines alone/plain-copy", changedAloneRatios);
    printRatio("10% changed/plain-copy", changedRatios);
    printRatio("integration/plain-copy", ratios);
    printRatio("blind rewrite/plain-copy", blindRatios);
    printRatio("lines replaced alone (a rewrite's floor)/plain-copy", replaceRatios);
    printRatio("before-images alone + lines replaced alone (a blind rewrite's floor)/plain-copy", blindFloorRatios);
    printRatio("full rewrite/blind rewrite", fullToBlind);
    std::printf("preview/full-rewrite ratio: %.2f\n", previewTime / median(fullTimes));
    printRatio("undo/full rewrite", undoRatios);
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    Options options;
    if (!parse(QCoreApplication::arguments(), options)) {
        std::fprintf(stderr, "usage: integration_bench --database DB [--scale BRANCHES,DISHES,LINES] [--runs N]\n"
                             "default scale 200,2000,10, 5 runs; DB must be new (SQLite path or postgresql:// URL)\n");
        return 2;
    }
    int status = 1;
    try {
        status = run(options);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "integration_bench: %s\n", e.what());
    }
    db::closeDatabase(QStringLiteral("bench"));
    return status;
}
