// load_bench: many desktops against one running server for a while, as a head office and its branches would use it:
// look-ups from everyone, small integration runs from the head office's users, over HTTP or HTTPS, optionally with
// slow attackers alongside. Prints requests per second, p50/p99 per method and of a balancer's /health probe, and
// the errors; then reads the database and checks that every recipe a run wrote equals the recipe of that run's
// source, line for line (never lines of two sources).
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
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
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

using Clock = std::chrono::steady_clock;

struct Options {
    QString host = QStringLiteral("127.0.0.1");
    int port = 8211;
    bool tls = false;
    QString caFile; // the certificate authority an HTTPS server is verified against; empty: the system's
    QString database;
    int clients = 50;
    int seconds = 60;
    int headOffice = 10;   // of the clients, those who also run integrations
    int thinkMs = 100;     // mean pause between one user's requests
    int slow = 0;          // clients that send a header byte every 3 s all along, from addresses of their own
    int slowAddresses = 0; // addresses that each hold as many slow connections as the server lets one address have

    std::string url() const
    {
        return QStringLiteral("%1://%2:%3").arg(tls ? "https" : "http", host).arg(port).toStdString();
    }
};

// A client of the server from a loopback address of its own (the server caps connections per client address),
// verifying an HTTPS server's certificate.
void configure(httplib::Client& client, const Options& o, const QString& address)
{
    client.set_interface(address.toStdString());
    if (o.tls) {
        client.enable_server_certificate_verification(true);
        if (!o.caFile.isEmpty())
            client.set_ca_cert_path(o.caFile.toStdString());
    }
    client.set_read_timeout(120, 0);
}

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

// Why an exchange failed; empty when the server answered 200.
QString failure(const httplib::Result& res)
{
    if (!res)
        return QStringLiteral("no answer (%1)").arg(QString::fromStdString(httplib::to_string(res.error())));
    if (res->status != 200)
        return QStringLiteral("HTTP %1").arg(res->status);
    return {};
}

class User {
public:
    User(const Options& o, const World& world, int index)
        : m_options(o)
        , m_world(world)
        , m_index(index)
        , m_random(std::uint32_t(1000 + index))
        , m_client(o.url())
    {
        configure(m_client, o, QStringLiteral("127.0.%1.%2").arg(1 + index / 200).arg(1 + index % 200));
        // Without TCP_NODELAY, as most clients: the server's quick ACKs keep their kept-alive calls from waiting.
        m_client.set_keep_alive(true);
        m_branch = m_world.branches.at(std::size_t(index) % std::size_t(m_world.branches.size()));
        m_source = kSources.at(index % kSources.size());
    }

    bool headOffice() const { return m_index < m_options.headOffice; }

    QString login()
    {
        const std::string body = R"({"user":"demo","password":"demo"})";
        const auto res = m_client.Post("/login", body, "application/json");
        if (const QString why = failure(res); !why.isEmpty())
            return QStringLiteral("login failed: ") + why;
        m_token = QJsonDocument::fromJson(QByteArray::fromStdString(res->body)).object().value("token").toString();
        // Fifty log-ins take seconds (the password hash is slow on purpose), longer than the server keeps an idle
        // connection: the load starts on new connections instead of racing the server's closing of the first ones.
        m_client.stop();
        return {};
    }

    void work(Clock::time_point until, std::vector<Sample>& samples)
    {
        std::exponential_distribution<double> think(1.0 / std::max(1, m_options.thinkMs));
        while (Clock::now() < until) {
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
        Sample s{method, timer.nsecsElapsed() / 1e6, failure(res)};
        if (s.error.isEmpty() &&
            !QJsonDocument::fromJson(QByteArray::fromStdString(res->body)).object().contains("result"))
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

// What a group of slow attackers does: from how many addresses, how many connections each, which bytes and how
// slowly. Each connection sends the first `burst` bytes at once, then one byte per pause, repeating the last byte
// once all are sent; it never finishes, and a new one replaces it when the server drops it.
struct SlowPlan {
    QString what;   // for the report
    int subnet = 3; // the attackers' addresses: 127.0.<subnet>.1, .2, ...
    int addresses = 0;
    int perAddress = 1;
    std::string bytes;
    std::size_t burst = 0;
    std::chrono::milliseconds minPause{3000};
    std::chrono::milliseconds maxPause{3000};
};

// The start of what the port expects: over TLS, plain bytes of a ClientHello (a handshake record of 512 bytes that
// never completes), so that the socket is held in the handshake; over HTTP, a request header that never ends.
std::string slowBytes(const Options& o)
{
    if (o.tls) {
        static const char hello[] = "\x16\x03\x01\x02\x00" // a handshake record of 512 bytes
                                    "\x01\x00\x01\xfc"     // a ClientHello of 508
                                    "\x03\x03"             // TLS 1.2
                                    "a";                   // its random bytes begun
        return std::string(hello, sizeof(hello) - 1);
    }
    return "POST /call HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: a";
}

QString slowKind(const Options& o)
{
    return o.tls ? QStringLiteral("plain TCP bytes of a TLS ClientHello, held in the handshake")
                 : QStringLiteral("an HTTP request header");
}

// --slow: one connection per address, the request line at once, then a header byte every 3 s.
SlowPlan slowPlan(const Options& o)
{
    SlowPlan plan{
        QStringLiteral("%1 slow clients, one per address (%2; a byte every 3 s)").arg(o.slow).arg(slowKind(o)), 3,
        o.slow, 1, slowBytes(o)};
    plan.burst = o.tls ? 5 : plan.bytes.size() - 1;
    return plan;
}

// --slow-addresses: as many connections per address as the server lets one address hold, each sending its request
// a byte at a time, so that only more addresses could hold more.
SlowPlan slowAddressPlan(const Options& o)
{
    constexpr int kServerPerAddressCap = 16;
    SlowPlan plan{QStringLiteral("%1 addresses x %2 slow connections (%3, a byte at a time every 1-2 s)")
                      .arg(o.slowAddresses)
                      .arg(kServerPerAddressCap)
                      .arg(slowKind(o)),
                  4, o.slowAddresses, kServerPerAddressCap, slowBytes(o)};
    plan.minPause = std::chrono::milliseconds(1000);
    plan.maxPause = std::chrono::milliseconds(2000);
    return plan;
}

// Slow attackers of one plan, all from one thread: non-blocking sockets and poll(), so that a connect the server's
// backlog delays holds up no other connection.
class SlowClients {
public:
    struct Report {
        int wanted = 0;
        int opened = 0;      // connections the server's side took
        int dropped = 0;     // closed by the server without an answer (its deadline)
        int answered = 0;    // answered, then closed (503 once an address is full)
        int failed = 0;      // connects that failed
        double meanHeld = 0; // connections open at once, sampled every 250 ms
        int minHeld = 0;
        double meanLife = 0; // seconds a connection lived before the server ended it
        std::string lastAnswer;
    };

    SlowClients(const Options& o, SlowPlan plan, Clock::time_point until)
        : m_options(o)
        , m_plan(std::move(plan))
        , m_until(until)
        , m_random(std::uint32_t(m_plan.subnet))
    {
        m_report.wanted = m_plan.addresses * m_plan.perAddress;
        if (m_report.wanted > 0)
            m_thread = std::thread([this] { run(); });
    }
    ~SlowClients() { join(); }

    const SlowPlan& plan() const { return m_plan; }

    Report finish()
    {
        join();
        return m_report;
    }

private:
    struct Connection {
        int fd = -1;
        bool connecting = false;
        std::size_t sent = 0;
        Clock::time_point opened;
        Clock::time_point due; // of its next byte, or of its next connect
    };

    void join()
    {
        if (m_thread.joinable())
            m_thread.join();
    }

    Clock::duration pause()
    {
        return std::chrono::milliseconds(
            std::uniform_int_distribution<qint64>(m_plan.minPause.count(), m_plan.maxPause.count())(m_random));
    }

    void open(Connection& c, int index, Clock::time_point now)
    {
        c.fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        const QString address =
            QStringLiteral("127.0.%1.%2").arg(m_plan.subnet).arg(1 + (index / m_plan.perAddress) % 250);
        ::inet_pton(AF_INET, qPrintable(address), &local.sin_addr);
        sockaddr_in server{};
        server.sin_family = AF_INET;
        server.sin_port = htons(quint16(m_options.port));
        ::inet_pton(AF_INET, qPrintable(m_options.host), &server.sin_addr);
        if (c.fd < 0 || ::bind(c.fd, reinterpret_cast<sockaddr*>(&local), sizeof(local)) != 0) {
            failed(c, now);
            return;
        }
        if (::connect(c.fd, reinterpret_cast<sockaddr*>(&server), sizeof(server)) == 0)
            connected(c, now);
        else if (errno == EINPROGRESS)
            c.connecting = true;
        else
            failed(c, now);
    }

    void connected(Connection& c, Clock::time_point now)
    {
        ++m_report.opened;
        c.connecting = false;
        c.opened = now;
        c.sent = m_plan.burst;
        if (c.sent > 0 && ::send(c.fd, m_plan.bytes.data(), c.sent, MSG_NOSIGNAL) != ssize_t(c.sent))
            return ended(c, now, m_report.dropped);
        c.due = now + pause();
    }

    void sendNext(Connection& c, Clock::time_point now)
    {
        const char byte = m_plan.bytes[std::min(c.sent, m_plan.bytes.size() - 1)];
        if (::send(c.fd, &byte, 1, MSG_NOSIGNAL) != 1)
            return ended(c, now, m_report.dropped);
        ++c.sent;
        c.due = now + pause();
    }

    void readable(Connection& c, Clock::time_point now)
    {
        char answer[512];
        const ssize_t n = ::recv(c.fd, answer, sizeof(answer), 0);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        if (n > 0) {
            const std::string text(answer, std::size_t(n));
            m_report.lastAnswer = text.substr(0, text.find('\r'));
            return ended(c, now, m_report.answered);
        }
        ended(c, now, m_report.dropped);
    }

    // The server ended a connection: a new one at once, as an attacker would, unless it did so right away (an
    // address over the cap is told to retry in a second).
    void ended(Connection& c, Clock::time_point now, int& count)
    {
        ++count;
        const auto life = now - c.opened;
        m_lives += std::chrono::duration<double>(life).count();
        close(c);
        c.due = life < std::chrono::seconds(1) ? now + std::chrono::seconds(1) : now;
    }

    void failed(Connection& c, Clock::time_point now)
    {
        ++m_report.failed;
        close(c);
        c.due = now + std::chrono::seconds(1);
    }

    static void close(Connection& c)
    {
        if (c.fd >= 0)
            ::close(c.fd);
        c.fd = -1;
        c.connecting = false;
    }

    void run()
    {
        std::vector<Connection> connections(std::size_t(m_report.wanted));
        std::vector<pollfd> polled;
        std::vector<Connection*> owners;
        const auto period = std::chrono::milliseconds(250);
        auto nextSample = Clock::now() + std::chrono::seconds(1); // once the first connects are through
        double heldSum = 0;
        int samples = 0;
        m_report.minHeld = m_report.wanted;
        for (auto now = Clock::now(); now < m_until; now = Clock::now()) {
            for (std::size_t i = 0; i < connections.size(); ++i) {
                Connection& c = connections[i];
                if (c.fd < 0 && now >= c.due)
                    open(c, int(i), now);
                else if (c.fd >= 0 && !c.connecting && now >= c.due)
                    sendNext(c, now);
            }
            if (now >= nextSample) {
                const int held = int(std::count_if(connections.begin(), connections.end(),
                                                   [](const Connection& c) { return c.fd >= 0 && !c.connecting; }));
                heldSum += held;
                ++samples;
                m_report.minHeld = std::min(m_report.minHeld, held);
                nextSample += period;
            }
            auto wake = std::min(nextSample, m_until);
            polled.clear();
            owners.clear();
            for (Connection& c : connections) {
                wake = std::min(wake, c.due);
                if (c.fd >= 0) {
                    polled.push_back({c.fd, short(c.connecting ? POLLOUT : POLLIN), 0});
                    owners.push_back(&c);
                }
            }
            const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(wake - now).count();
            ::poll(polled.data(), polled.size(), int(std::clamp<qint64>(wait, 0, 1000)));
            now = Clock::now();
            for (std::size_t i = 0; i < polled.size(); ++i) {
                Connection& c = *owners[i];
                if (polled[i].revents == 0)
                    continue;
                if (c.connecting) {
                    int error = 0;
                    socklen_t size = sizeof(error);
                    ::getsockopt(c.fd, SOL_SOCKET, SO_ERROR, &error, &size);
                    if (error == 0)
                        connected(c, now);
                    else
                        failed(c, now);
                } else {
                    readable(c, now);
                }
            }
        }
        for (Connection& c : connections)
            close(c);
        m_report.meanHeld = samples > 0 ? heldSum / samples : 0;
        const int ends = m_report.dropped + m_report.answered;
        m_report.meanLife = ends > 0 ? m_lives / ends : 0;
    }

    const Options& m_options;
    const SlowPlan m_plan;
    const Clock::time_point m_until;
    std::mt19937 m_random;
    Report m_report;
    double m_lives = 0;
    std::thread m_thread;
};

void print(const SlowClients& slow, const SlowClients::Report& r)
{
    if (r.wanted == 0)
        return;
    std::printf("slow attackers: %s, reconnecting when dropped\n", qPrintable(slow.plan().what));
    std::printf(
        "  held %.1f of %d connections on average (fewest %d); %d opened, %d dropped by the server, %d answered"
        " then closed%s%s%s, %d connects failed; a connection lived %.1f s on average till the server ended it\n",
        r.meanHeld, r.wanted, r.minHeld, r.opened, r.dropped, r.answered, r.lastAnswer.empty() ? "" : " (last: \"",
        r.lastAnswer.c_str(), r.lastAnswer.empty() ? "" : "\")", r.failed, r.meanLife);
}

// A balancer's probe: GET /health on a new connection every 200 ms, timed from connecting to the whole answer.
class HealthProbe {
public:
    HealthProbe(const Options& o, Clock::time_point until)
        : m_options(o)
        , m_until(until)
        , m_thread([this] { run(); })
    {}
    ~HealthProbe() { join(); }

    std::vector<Sample> finish()
    {
        join();
        return m_samples;
    }

private:
    void join()
    {
        if (m_thread.joinable())
            m_thread.join();
    }

    void run()
    {
        for (auto next = Clock::now(); next < m_until;) {
            std::this_thread::sleep_until(next);
            httplib::Client client(m_options.url());
            configure(client, m_options, QStringLiteral("127.0.2.1"));
            QElapsedTimer timer;
            timer.start();
            const auto res = client.Get("/health");
            m_samples.push_back({QStringLiteral("/health (new)"), timer.nsecsElapsed() / 1e6, failure(res)});
            // A probe that took long is followed by the next at once, not by a burst catching up.
            next = std::max(next + std::chrono::milliseconds(200), Clock::now());
        }
    }

    const Options& m_options;
    const Clock::time_point m_until;
    std::vector<Sample> m_samples;
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

    std::printf("%d clients (%d of them head office, also running integrations) for %d s, think time ~%d ms, over %s\n",
                o.clients, std::min(o.headOffice, o.clients), o.seconds, o.thinkMs,
                o.tls ? qPrintable(QStringLiteral("HTTPS, the certificate verified against %1")
                                       .arg(o.caFile.isEmpty() ? QStringLiteral("the system's store") : o.caFile))
                      : "plain HTTP");
    std::fflush(stdout);
    std::vector<std::vector<Sample>> samples(users.size());
    const auto until = Clock::now() + std::chrono::seconds(o.seconds);
    QElapsedTimer wall;
    wall.start();
    std::vector<std::thread> threads;
    std::vector<Sample> probes;
    {
        SlowClients slow(o, slowPlan(o), until);
        SlowClients attack(o, slowAddressPlan(o), until);
        HealthProbe health(o, until);
        for (std::size_t i = 0; i < users.size(); ++i)
            threads.emplace_back([&, i] { users[i]->work(until, samples[i]); });
        for (std::thread& t : threads)
            t.join();
        print(slow, slow.finish());
        print(attack, attack.finish());
        probes = health.finish();
    }
    const double elapsed = wall.nsecsElapsed() / 1e9;

    std::map<QString, std::vector<double>> byMethod;
    std::map<QString, int> errors;
    const auto tally = [&](const std::vector<Sample>& list) {
        for (const Sample& s : list) {
            byMethod[s.method].push_back(s.ms);
            if (!s.error.isEmpty())
                ++errors[s.method + QStringLiteral(": ") + s.error.left(80)];
        }
    };
    std::size_t total = 0; // the users' calls, not the probe's
    for (const auto& list : samples) {
        tally(list);
        total += list.size();
    }
    tally(probes);
    std::printf("%zu requests in %.1f s: %.0f requests/s\n", total, elapsed, double(total) / elapsed);
    std::printf("%-14s %8s %9s %9s %9s\n", "method", "calls", "p50 ms", "p99 ms", "max ms");
    // "/health (new)" is the probe: a new connection, its TLS handshake included, every 200 ms.
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
    // request's parts or an answer's (Nagle against delayed ACKs would add about 40 ms to each). A thousand, so that
    // the p99 is not merely the second-slowest call.
    User single(o, world, o.clients);
    if (single.login().isEmpty()) {
        constexpr int kCalls = 1000;
        std::vector<double> ms;
        for (int i = 0; i < kCalls; ++i)
            ms.push_back(single.call(QStringLiteral("GetGrupFili"), QJsonArray{""}).ms);
        std::printf("sequential look-ups on one keep-alive connection: p50 %.2f ms, p99 %.2f ms (%d calls)\n",
                    percentile(ms, 0.5), percentile(ms, 0.99), kCalls);
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
    const QCommandLineOption server(QStringLiteral("server"), QStringLiteral("the server (https:// for HTTPS)"),
                                    QStringLiteral("[https://]HOST:PORT"));
    const QCommandLineOption caFile(QStringLiteral("ca-file"),
                                    QStringLiteral("the CA an HTTPS server's certificate is verified against"),
                                    QStringLiteral("FILE"));
    const QCommandLineOption database(QStringLiteral("database"), QStringLiteral("its database, for the checks"),
                                      QStringLiteral("DB"));
    const QCommandLineOption clients(QStringLiteral("clients"), QStringLiteral("clients (50)"), QStringLiteral("N"));
    const QCommandLineOption seconds(QStringLiteral("seconds"), QStringLiteral("duration (60)"), QStringLiteral("S"));
    const QCommandLineOption think(QStringLiteral("think"), QStringLiteral("mean pause (100 ms)"),
                                   QStringLiteral("MS"));
    const QCommandLineOption slow(QStringLiteral("slow"), QStringLiteral("slow clients alongside (0)"),
                                  QStringLiteral("N"));
    const QCommandLineOption slowAddresses(QStringLiteral("slow-addresses"),
                                           QStringLiteral("addresses holding 16 slow connections each (0)"),
                                           QStringLiteral("N"));
    parser.addOptions({server, caFile, database, clients, seconds, think, slow, slowAddresses});
    parser.process(app);
    Options o;
    QString address = parser.value(server);
    const QString https = QStringLiteral("https://");
    o.tls = address.startsWith(https);
    if (o.tls)
        address.remove(0, https.size());
    else if (address.startsWith(QLatin1String("http://")))
        address.remove(0, 7);
    o.caFile = parser.value(caFile);
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
    if (parser.isSet(slowAddresses))
        o.slowAddresses = parser.value(slowAddresses).toInt();
    if (o.database.isEmpty() || o.port <= 0 || o.clients <= 0 || o.seconds <= 0 || o.slowAddresses < 0 ||
        o.slowAddresses > 250) {
        std::fprintf(stderr, "usage: load_bench --server [https://]HOST:PORT [--ca-file PEM] --database DB"
                             " [--clients N] [--seconds S] [--think MS] [--slow N] [--slow-addresses N<=250]\n"
                             "(bench/load starts a demo server and runs it)\n");
        return 2;
    }
    try {
        return run(o);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "load_bench: %s\n", e.what());
        return 1;
    }
}
