// load_bench: many desktops against one running server for a while, as a head office and its branches would use it:
// look-ups from everyone, small integration runs from the head office's users. Prints requests per second, p50/p99
// per method and the errors; then reads the database and checks that every recipe a run wrote equals the recipe of
// that run's source, line for line (never lines of two sources).
#include <database.h>
#include <sqlrunner.h>

#include <httplib.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <random>
#include <thread>
#include <vector>

using namespace suite;

namespace {

const char* const kServer = "Rci06000.rdmIntgCentral";
// The head office and a regional kitchen send their recipes; no branch is both a source and a destination, so a
// destination's recipe must equal one fixed recipe of a source.
const QStringList kSources{QStringLiteral("0001"), QStringLiteral("0007")};

struct Options {
    QString host = QStringLiteral("127.0.0.1");
    int port = 8211;
    QString database;
    int clients = 50;
    int seconds = 60;
    int headOffice = 10; // of the clients, those who also run integrations
    int thinkMs = 100;   // mean pause between one user's requests
    int slow = 0;        // clients that send a header byte every 3 s all along, from addresses of their own
};

struct Sample {
    QString method;
    double ms = 0;
    QString error; // empty when the call succeeded
};

struct World {
    QStringList branches;                 // every branch, in code order
    QHash<QString, QStringList> dishesOf; // source -> dish keys with a recipe there
    QList<QJsonArray> searches;           // GetPesqPrato arguments
};

World readWorld(const QString& database)
{
    World world;
    const QString name = QStringLiteral("load-world");
    {
        const db::SqlRunner sql(db::openDatabase(database, name));
        QSqlQuery q =
            sql.run(QStringLiteral("ler as filiais"), QStringLiteral("SELECT CDFILIAL FROM FILIAL ORDER BY 1"));
        while (q.next())
            world.branches << q.value(0).toString();
        for (const QString& source : kSources) {
            QSqlQuery d = sql.run(QStringLiteral("ler os pratos com receita"),
                                  QStringLiteral("SELECT DISTINCT CDFILAUXPRAT || CDPRATO FROM RECEITA WHERE CDFILIAL ="
                                                 " :origem AND CDFILAUXPRAT IN ('P', :origem) ORDER BY 1"),
                                  {{":origem", source}});
            while (d.next())
                world.dishesOf[source] << d.value(0).toString();
        }
    }
    db::closeDatabase(name);
    for (const QString& branch : std::as_const(world.branches)) {
        world.searches << QJsonArray{branch, branch, "P", 3, "T", "T", "2026-12-01", "2026-12-31", "", "", ""};
        world.searches << QJsonArray{branch, "X", "P", 3, "", "", QJsonValue(), QJsonValue(), "T", "T", "T"};
    }
    return world;
}

QJsonObject grid(const World& world, const QString& source, const QStringList& marked)
{
    QJsonArray columns;
    for (const auto& [name, size] : {std::pair{"IDMARCADO", 1}, {"CDFILIAL", 4}, {"NMFILIAL", 30}, {"IDCNTRRESC", 1}})
        columns.append(QJsonObject{{"name", name}, {"type", "string"}, {"size", size}});
    QJsonArray rows;
    for (const QString& branch : world.branches) {
        if (branch != source)
            rows.append(QJsonArray{marked.contains(branch) ? "S" : "N", branch, "Filial " + branch, "N"});
    }
    return {{"columns", columns}, {"rows", rows}};
}

std::string callBody(const QString& method, const QJsonArray& args)
{
    return QJsonDocument(QJsonObject{{"server", kServer}, {"method", method}, {"args", args}})
        .toJson(QJsonDocument::Compact)
        .toStdString();
}

class User {
public:
    User(const Options& o, const World& world, int index)
        : m_options(o)
        , m_world(world)
        , m_index(index)
        , m_random(std::uint32_t(1000 + index))
        , m_client(o.host.toStdString(), o.port)
    {
        // Each user its own machine: the server caps connections per client address.
        m_client.set_interface(QStringLiteral("127.0.%1.%2").arg(1 + index / 200).arg(1 + index % 200).toStdString());
        // Without TCP_NODELAY, as most clients: the server's quick ACKs keep their kept-alive calls from waiting.
        m_client.set_keep_alive(true);
        m_client.set_read_timeout(120, 0);
        m_branch = m_world.branches.at(std::size_t(index) % std::size_t(m_world.branches.size()));
        m_source = kSources.at(index % kSources.size());
    }

    bool headOffice() const { return m_index < m_options.headOffice; }

    QString login()
    {
        const std::string body = R"({"user":"demo","password":"demo"})";
        const auto res = m_client.Post("/login", body, "application/json");
        if (!res || res->status != 200)
            return QStringLiteral("login failed: %1").arg(res ? res->status : 0);
        m_token = QJsonDocument::fromJson(QByteArray::fromStdString(res->body)).object().value("token").toString();
        // Fifty log-ins take seconds (the password hash is slow on purpose), longer than the server keeps an idle
        // connection: the load starts on new connections instead of racing the server's closing of the first ones.
        m_client.stop();
        return {};
    }

    void work(std::chrono::steady_clock::time_point until, std::vector<Sample>& samples)
    {
        std::exponential_distribution<double> think(1.0 / std::max(1, m_options.thinkMs));
        while (std::chrono::steady_clock::now() < until) {
            const auto [method, args] = next();
            samples.push_back(call(method, args));
            std::this_thread::sleep_for(std::chrono::microseconds(qint64(think(m_random) * 1000)));
        }
    }

    Sample call(const QString& method, const QJsonArray& args)
    {
        const httplib::Headers headers{{"Authorization", "Bearer " + m_token.toStdString()}};
        QElapsedTimer timer;
        timer.start();
        const auto res = m_client.Post("/call", headers, callBody(method, args), "application/json");
        Sample s{method, timer.nsecsElapsed() / 1e6, {}};
        if (!res)
            s.error = QStringLiteral("no answer (%1)").arg(QString::fromStdString(httplib::to_string(res.error())));
        else if (res->status != 200)
            s.error = QStringLiteral("HTTP %1").arg(res->status);
        else if (!QJsonDocument::fromJson(QByteArray::fromStdString(res->body)).object().contains("result"))
            s.error = QStringLiteral("service error: ") + QString::fromStdString(res->body).left(120);
        return s;
    }

private:
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_random); }

    std::pair<QString, QJsonArray> next()
    {
        const int roll = pick(100);
        if (headOffice() && roll < 25)
            return {QStringLiteral("IntgCentral"), run()};
        if (roll < 45)
            return {QStringLiteral("GetGrupFili"), QJsonArray{""}};
        if (roll < 75)
            return {QStringLiteral("GetFiliGrup"), QJsonArray{pick(2) ? "T" : "0000000001", m_branch}};
        return {QStringLiteral("GetPesqPrato"), m_world.searches.at(pick(int(m_world.searches.size())))};
    }

    // A few dishes to a few destinations, as one head-office user sends a correction out.
    QJsonArray run()
    {
        const QStringList& dishes = m_world.dishesOf.value(m_source);
        QStringList chosen;
        for (int i = 1 + pick(4); i > 0; --i)
            chosen << dishes.at(pick(int(dishes.size())));
        chosen.removeDuplicates();
        QStringList destinations;
        for (int i = 2 + pick(3); i > 0; --i) {
            const QString branch = m_world.branches.at(pick(int(m_world.branches.size())));
            if (!kSources.contains(branch))
                destinations << branch;
        }
        if (destinations.isEmpty())
            destinations << QStringLiteral("0002");
        return {m_source, chosen.join(QLatin1Char('_')) + QLatin1Char('_'),
                "FS",     grid(m_world, m_source, destinations),
                "",       ""};
    }

    const Options& m_options;
    const World& m_world;
    const int m_index;
    std::mt19937 m_random;
    httplib::Client m_client;
    QString m_token;
    QString m_branch;
    QString m_source;
};

// Connections that never finish their request: a header byte every 3 s, and a new connection when the server drops
// one, as a client that wants to hold the server would.
class SlowClients {
public:
    SlowClients(const Options& o, std::chrono::steady_clock::time_point until)
        : m_options(o)
        , m_until(until)
    {
        if (o.slow > 0)
            m_thread = std::thread([this] { run(); });
    }
    ~SlowClients()
    {
        if (m_thread.joinable())
            m_thread.join();
    }
    int dropped() const { return m_dropped; }

private:
    int open(int i) const
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        ::inet_pton(AF_INET, qPrintable(QStringLiteral("127.0.3.%1").arg(1 + i % 250)), &local.sin_addr);
        sockaddr_in server{};
        server.sin_family = AF_INET;
        server.sin_port = htons(quint16(m_options.port));
        ::inet_pton(AF_INET, qPrintable(m_options.host), &server.sin_addr);
        if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof(local)) != 0 ||
            ::connect(fd, reinterpret_cast<sockaddr*>(&server), sizeof(server)) != 0) {
            ::close(fd);
            return -1;
        }
        static const char start[] = "POST /call HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: ";
        ::send(fd, start, sizeof(start) - 1, MSG_NOSIGNAL);
        return fd;
    }

    void run()
    {
        std::vector<int> fds(std::size_t(m_options.slow), -1);
        while (std::chrono::steady_clock::now() < m_until) {
            for (std::size_t i = 0; i < fds.size(); ++i) {
                if (fds[i] >= 0 && ::send(fds[i], "a", 1, MSG_NOSIGNAL) != 1) {
                    ::close(fds[i]);
                    fds[i] = -1;
                    ++m_dropped;
                }
                if (fds[i] < 0)
                    fds[i] = open(int(i));
            }
            std::this_thread::sleep_for(std::chrono::seconds(3));
        }
        for (const int fd : fds) {
            if (fd >= 0)
                ::close(fd);
        }
    }

    const Options& m_options;
    const std::chrono::steady_clock::time_point m_until;
    std::atomic<int> m_dropped{0};
    std::thread m_thread;
};

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t i = std::min(values.size() - 1, std::size_t(p * double(values.size() - 1) + 0.5));
    return values[i];
}

// Lines of every recipe: "(branch|service|tree|dish)" -> "seq product quantity unit; ...".
QHash<QString, QString> recipes(const db::SqlRunner& sql, bool perService)
{
    const QString table = perService ? QStringLiteral("RECEITASERV") : QStringLiteral("RECEITA");
    const QString serv = perService ? QStringLiteral("CDSERVFILI") : QStringLiteral("''");
    QSqlQuery q = sql.run(QStringLiteral("ler as receitas"),
                          QStringLiteral("SELECT CDFILIAL, %1, CDFILAUXPRAT, CDPRATO, NRSEQ, CDARVPROD, QTPRODUTO,"
                                         " SGUNIDADE FROM %2 ORDER BY 1, 2, 3, 4, 5")
                              .arg(serv, table));
    QHash<QString, QString> lines;
    while (q.next()) {
        const QString key =
            QStringLiteral("%1|%2|%3|%4")
                .arg(q.value(0).toString(), q.value(1).toString(), q.value(2).toString(), q.value(3).toString());
        lines[key] += QStringLiteral("%1 %2 %3 %4; ")
                          .arg(q.value(4).toString(), q.value(5).toString())
                          .arg(q.value(6).toDouble())
                          .arg(q.value(7).toString());
    }
    return lines;
}

// Every recipe a run replaced, as the last run that replaced it left it: equal to that run's source's recipe.
int checkNothingMixed(const QString& database)
{
    const QString name = QStringLiteral("load-check");
    int checked = 0;
    int mixed = 0;
    {
        const db::SqlRunner sql(db::openDatabase(database, name));
        const QHash<QString, QString> local = recipes(sql, false);
        const QHash<QString, QString> perService = recipes(sql, true);
        // Runs in number order: the last one to replace a recipe is the one whose copy stands.
        QSqlQuery q = sql.run(QStringLiteral("ler as substituições"),
                              QStringLiteral("SELECT a.IDTIPORECE, a.CDFILIAL, a.CDSERVFILI, a.CDFILAUXPRAT, a.CDPRATO,"
                                             " c.CDFILIORIG FROM INTGCENTRALANT a JOIN INTGCENTRAL c ON c.NRINTG ="
                                             " a.NRINTG WHERE c.DTDESFEITA IS NULL ORDER BY a.NRINTG"));
        QHash<QString, QStringList> lastWriter;
        while (q.next()) {
            QStringList row;
            for (int c = 0; c < 6; ++c)
                row << q.value(c).toString();
            lastWriter.insert(row.mid(0, 5).join(QLatin1Char('|')), row);
        }
        for (const QStringList& row : std::as_const(lastWriter)) {
            const bool service = row.at(0) == QLatin1String("S");
            const QString& dest = row.at(1);
            const QString& serv = row.at(2);
            const QString& tree = row.at(3);
            const QString& dish = row.at(4);
            const QString& source = row.at(5);
            const QString sourceTree = tree == QLatin1String("P") ? tree : source;
            const QHash<QString, QString>& lines = service ? perService : local;
            const QString got = lines.value(QStringLiteral("%1|%2|%3|%4").arg(dest, serv, tree, dish));
            const QString want = lines.value(QStringLiteral("%1|%2|%3|%4").arg(source, serv, sourceTree, dish));
            ++checked;
            if (got != want) {
                ++mixed;
                if (mixed <= 5)
                    std::printf("  not the source's recipe: %s dish %s%s at %s (service '%s'): has [%s], %s has [%s]\n",
                                service ? "per-service" : "local", qPrintable(tree), qPrintable(dish), qPrintable(dest),
                                qPrintable(serv), qPrintable(got), qPrintable(source), qPrintable(want));
            }
        }
    }
    db::closeDatabase(name);
    std::printf("nothing mixed: %d of %d replaced recipes equal their source's %s\n", checked - mixed, checked,
                mixed == 0 ? "(ok)" : "(FAILED)");
    return mixed;
}

int run(const Options& o)
{
    const World world = readWorld(o.database);
    std::vector<std::unique_ptr<User>> users;
    for (int i = 0; i < o.clients; ++i)
        users.push_back(std::make_unique<User>(o, world, i));
    for (auto& user : users) {
        const QString why = user->login();
        if (!why.isEmpty()) {
            std::fprintf(stderr, "load_bench: %s\n", qPrintable(why));
            return 1;
        }
    }

    std::printf("%d clients (%d of them head office, also running integrations) for %d s, think time ~%d ms\n",
                o.clients, std::min(o.headOffice, o.clients), o.seconds, o.thinkMs);
    std::fflush(stdout);
    std::vector<std::vector<Sample>> samples(users.size());
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(o.seconds);
    QElapsedTimer wall;
    wall.start();
    std::vector<std::thread> threads;
    int slowDropped = 0;
    {
        const SlowClients slow(o, until);
        for (std::size_t i = 0; i < users.size(); ++i)
            threads.emplace_back([&, i] { users[i]->work(until, samples[i]); });
        for (std::thread& t : threads)
            t.join();
        slowDropped = slow.dropped();
    }
    const double elapsed = wall.nsecsElapsed() / 1e9;
    if (o.slow > 0)
        std::printf("%d slow clients (a header byte every 3 s) alongside; the server dropped their connections %d"
                    " times\n",
                    o.slow, slowDropped);

    std::map<QString, std::vector<double>> byMethod;
    std::map<QString, int> errors;
    std::size_t total = 0;
    for (const auto& list : samples) {
        for (const Sample& s : list) {
            ++total;
            byMethod[s.method].push_back(s.ms);
            if (!s.error.isEmpty())
                ++errors[s.method + QStringLiteral(": ") + s.error.left(80)];
        }
    }
    std::printf("%zu requests in %.1f s: %.0f requests/s\n", total, elapsed, double(total) / elapsed);
    std::printf("%-14s %8s %9s %9s %9s\n", "method", "calls", "p50 ms", "p99 ms", "max ms");
    for (const auto& [method, ms] : byMethod)
        std::printf("%-14s %8zu %9.1f %9.1f %9.1f\n", qPrintable(method), ms.size(), percentile(ms, 0.5),
                    percentile(ms, 0.99), percentile(ms, 1.0));
    int errorCount = 0;
    for (const auto& [what, count] : errors) {
        std::printf("error x%d: %s\n", count, qPrintable(what));
        errorCount += count;
    }
    std::printf("errors: %d\n", errorCount);

    // Calls one after another on one kept-alive connection, with nothing else running: no wait between a
    // request's parts or an answer's (Nagle against delayed ACKs would add about 40 ms to each).
    User single(o, world, o.clients);
    if (single.login().isEmpty()) {
        std::vector<double> ms;
        for (int i = 0; i < 200; ++i)
            ms.push_back(single.call(QStringLiteral("GetGrupFili"), QJsonArray{""}).ms);
        std::printf("sequential look-ups on one keep-alive connection: p50 %.2f ms, p99 %.2f ms (200 calls)\n",
                    percentile(ms, 0.5), percentile(ms, 0.99));
    }
    std::fflush(stdout);

    const int mixed = checkNothingMixed(o.database);
    return errorCount == 0 && mixed == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption server(QStringLiteral("server"), QStringLiteral("the server"),
                                    QStringLiteral("HOST:PORT"));
    const QCommandLineOption database(QStringLiteral("database"), QStringLiteral("its database, for the checks"),
                                      QStringLiteral("DB"));
    const QCommandLineOption clients(QStringLiteral("clients"), QStringLiteral("clients (50)"), QStringLiteral("N"));
    const QCommandLineOption seconds(QStringLiteral("seconds"), QStringLiteral("duration (60)"), QStringLiteral("S"));
    const QCommandLineOption think(QStringLiteral("think"), QStringLiteral("mean pause (100 ms)"),
                                   QStringLiteral("MS"));
    const QCommandLineOption slow(QStringLiteral("slow"), QStringLiteral("slow clients alongside (0)"),
                                  QStringLiteral("N"));
    parser.addOptions({server, database, clients, seconds, think, slow});
    parser.process(app);
    Options o;
    const QString address = parser.value(server);
    if (address.contains(QLatin1Char(':'))) {
        o.host = address.section(QLatin1Char(':'), 0, -2);
        o.port = address.section(QLatin1Char(':'), -1).toInt();
    }
    o.database = parser.value(database);
    if (parser.isSet(clients))
        o.clients = parser.value(clients).toInt();
    if (parser.isSet(seconds))
        o.seconds = parser.value(seconds).toInt();
    if (parser.isSet(think))
        o.thinkMs = parser.value(think).toInt();
    if (parser.isSet(slow))
        o.slow = parser.value(slow).toInt();
    if (o.database.isEmpty() || o.port <= 0 || o.clients <= 0 || o.seconds <= 0) {
        std::fprintf(stderr, "usage: load_bench --server HOST:PORT --database DB [--clients N] [--seconds S]"
                             " [--think MS] [--slow N]\n(bench/load starts a demo server and runs it)\n");
        return 2;
    }
    try {
        return run(o);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "load_bench: %s\n", e.what());
        return 1;
    }
}
