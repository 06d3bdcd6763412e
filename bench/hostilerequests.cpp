#include "hostilerequests.h"
#include "serverprocess.h"
#include "streamedrequest.h"

#include <password.h>
#include <sqlrunner.h>

#include <httplib.h>

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>

#include <cstdio>
#include <thread>
#include <vector>

namespace suite::bench {

namespace {

constexpr double kMb = 1048576.0;
constexpr qint64 kChunk = 64 * 1024;
constexpr qint64 kChunkedBody = 500 * 1024 * 1024;

QString megabytes(qint64 bytes)
{
    return QString::number(bytes / kMb, 'f', 1);
}

// "HTTP 413: a body of ... ", "HTTP 200, service error: ...", "HTTP 200, 12 rows".
QString answered(int status, const QByteArray& body)
{
    QString text = QStringLiteral("HTTP %1").arg(status);
    const QJsonObject reply = QJsonDocument::fromJson(body).object();
    const QString message = reply.value("error").toObject().value("message").toString().left(110);
    if (!message.isEmpty())
        return text + (status == 200 ? QStringLiteral(", service error: ") : QStringLiteral(": ")) + message;
    if (reply.contains("result"))
        return text + QStringLiteral(", %1 rows").arg(reply.value("result").toObject().value("rows").toArray().size());
    return text;
}

// The outcomes of copies of one exchange run side by side, each on its own connection.
QStringList inParallel(int copies, const std::function<QString()>& exchange)
{
    QStringList outcomes(copies);
    std::vector<std::thread> threads;
    for (int i = 0; i < copies; ++i)
        threads.emplace_back([&outcomes, &exchange, i] { outcomes[i] = exchange(); });
    for (std::thread& thread : threads)
        thread.join();
    return outcomes;
}

// "4 x HTTP 200, ..." when every outcome is the same, else each one.
QString summary(const QStringList& outcomes)
{
    if (outcomes.size() > 1 && outcomes.count(outcomes.first()) == outcomes.size())
        return QStringLiteral("%1 x %2").arg(outcomes.size()).arg(outcomes.first());
    return outcomes.join(QStringLiteral("; "));
}

QByteArray repeated(const QByteArray& piece, qint64 bytes)
{
    return piece.repeated(bytes / piece.size());
}

} // namespace

void HostileRequests::addConsultOperator(const QSqlDatabase& db)
{
    const db::SqlRunner sql(db);
    sql.run(QStringLiteral("criar o operador de consulta"),
            QStringLiteral("INSERT INTO OPERADOR (CDOPERADOR, NMOPERADOR, DSSENHA, IDATIVO, IDPERFIL)"
                           " VALUES ('consulta', 'Auditoria', :hash, 'S', 'C')"),
            {{QStringLiteral(":hash"), provision::hashPassword(QStringLiteral("consulta"))}});
    sql.run(QStringLiteral("dar as filiais ao operador de consulta"),
            QStringLiteral("INSERT INTO OPERFILI (CDOPERADOR, CDFILIAL) SELECT 'consulta', CDFILIAL FROM FILIAL"));
}

HostileRequests::HostileRequests(QString database, QStringList destinations, QString dishes)
    : m_database(std::move(database))
    , m_destinations(std::move(destinations))
    , m_dishes(std::move(dishes))
{}

int HostileRequests::run()
{
    test::ServerProcess server;
    if (const QString why = server.start(m_database); !why.isEmpty()) {
        std::fprintf(stderr, "request_bench: %s\n", qPrintable(why));
        return 1;
    }
    m_port = quint16(server.port());
    m_memory.emplace(server.process().processId());
    httplib::Client client("127.0.0.1", m_port);
    const auto login = client.Post("/login", R"({"user":"consulta","password":"consulta"})", "application/json");
    m_token = login ? QJsonDocument::fromJson(QByteArray::fromStdString(login->body))["token"].toString().toLatin1()
                    : QByteArray();
    if (m_token.isEmpty()) {
        std::fprintf(stderr, "request_bench: the consult-only operator could not log in\n");
        return 1;
    }
    std::printf("hostile requests to one server (pid %lld), as no one or as the consult-only operator; budget %.0f MB"
                " a request at its peak\n",
                server.process().processId(), kBudgetMb);

    const QString chunkedBody =
        QStringLiteral("a chunked body of %1 MB in %2 KiB chunks").arg(megabytes(kChunkedBody)).arg(kChunk / 1024);
    measure(QStringLiteral("POST /call, no token, ") + chunkedBody, 1, [&] { return chunked("/call", false, 1); });
    measure(QStringLiteral("POST /connect, no token, ") + chunkedBody, 1,
            [&] { return chunked("/connect", false, 1); });
    measure(QStringLiteral("POST /call, consult-only token, ") + chunkedBody, 1,
            [&] { return chunked("/call", true, 1); });
    measure(QStringLiteral("POST /connect, consult-only token, ") + chunkedBody, 1,
            [&] { return chunked("/connect", true, 1); });
    measure(QStringLiteral("4 in parallel: POST /call, consult-only token, ") + chunkedBody, 4,
            [&] { return chunked("/call", true, 4); });
    measure(QStringLiteral("GET /health with 3,000,000 headers \"A: b\" (%1 MB)").arg(megabytes(3000000 * 6)), 1,
            [&] { return manyHeaders(); });

    for (const Framing framing : {Framing::Length, Framing::Chunked})
        measureCalls(framing);

    if (!m_peakResets)
        std::printf("the peaks are not each case's own: the server's peak could not be reset\n");
    std::printf("%d of the cases over the budget\n", m_overBudget);
    std::fflush(stdout);
    if (server.process().state() != QProcess::Running) {
        std::fprintf(stderr, "request_bench: the server ended: %s\n", server.said().right(2000).constData());
        return 1;
    }
    return m_failed ? 1 : 0;
}

void HostileRequests::measureCalls(Framing framing)
{
    const QString sent =
        framing == Framing::Length ? QStringLiteral("with its Content-Length") : QStringLiteral("chunked");
    const QByteArray large = intgCentralBody(900000, qint64(31.5 * kMb));
    const QString largeText =
        QStringLiteral("IntgCentral of the consult-only operator, a packet of 900,000 rows, %1 MB, %2")
            .arg(megabytes(large.size()), sent);
    measure(largeText, 1, [&] { return called(large, framing, 1); });
    measure(QStringLiteral("4 in parallel: ") + largeText, 4, [&] { return called(large, framing, 4); });

    const qint64 listBytes = qint64(31 * kMb);
    QByteArray distinct;
    distinct.reserve(listBytes + 16);
    for (int i = 0; distinct.size() < listBytes; ++i)
        distinct += QByteArray::number(i).rightJustified(8, 'K') + '_';
    const QByteArray distinctBody = dishSearchBody(distinct);
    measure(QStringLiteral("GetPesqPrato of the consult-only operator, services a list of %1 distinct keys, %2 MB, %3")
                .arg(distinct.count('_'))
                .arg(megabytes(distinctBody.size()), sent),
            1, [&] { return called(distinctBody, framing, 1); });
    const QByteArray oneKey = repeated("00002_", listBytes);
    const QByteArray oneKeyBody = dishSearchBody(oneKey);
    measure(QStringLiteral("GetPesqPrato of the consult-only operator, services one key sent %1 times, %2 MB, %3")
                .arg(oneKey.count('_'))
                .arg(megabytes(oneKeyBody.size()), sent),
            1, [&] { return called(oneKeyBody, framing, 1); });

    const QByteArray refused = intgCentralBody(300000, qint64(10.5 * kMb));
    measure(QStringLiteral("10 one after another: IntgCentral of the consult-only operator, 300,000 rows, %1 MB, %2")
                .arg(megabytes(refused.size()), sent),
            1, [&] { return repeatedly(refused, framing, 10); });
}

void HostileRequests::measure(const QString& what, int inFlight, const Exchange& exchange)
{
    const double before = m_memory->resident();
    if (const QString why = m_memory->resetPeak(); !why.isEmpty() && m_peakResets) {
        std::fprintf(stderr,
                     "request_bench: the server's peak memory cannot be reset (%s): each peak below is the"
                     " highest so far\n",
                     qPrintable(why));
        m_peakResets = false;
    }
    QElapsedTimer timer;
    timer.start();
    const QString outcome = exchange();
    const double seconds = timer.nsecsElapsed() / 1e9;
    // The server closes a refused connection and frees its request after the answer is written: half a second lets
    // it, so that "after" is what stays.
    QThread::msleep(500);
    const double peak = m_memory->peak();
    const double after = m_memory->resident();
    const double cost = peak - before;
    const double budget = kBudgetMb * inFlight;
    QString verdict = QStringLiteral("cost %1 MB").arg(cost, 0, 'f', 0);
    if (cost >= budget) {
        ++m_overBudget;
        verdict +=
            QStringLiteral(", OVER the budget of %1 MB by %2 MB").arg(budget, 0, 'f', 0).arg(cost - budget, 0, 'f', 0);
    }
    std::printf("%s\n  -> %s; %.2f s; server memory %.0f MB before, peak %.0f MB, %.0f MB after; %s\n",
                qPrintable(what), qPrintable(outcome), seconds, before, peak, after, qPrintable(verdict));
    std::fflush(stdout);
}

QString HostileRequests::chunked(const char* path, bool withToken, int copies)
{
    QByteArray head =
        QByteArray("POST ") + path +
        " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\nTransfer-Encoding: chunked\r\n";
    if (withToken)
        head += "Authorization: Bearer " + m_token + "\r\n";
    head += "\r\n";
    const QByteArray piece = QByteArray::number(kChunk, 16) + "\r\n" + QByteArray(kChunk, 'a') + "\r\n";
    return streamed(StreamedRequest(head, piece, kChunkedBody / kChunk, "0\r\n\r\n"), copies);
}

QString HostileRequests::manyHeaders()
{
    return streamed(StreamedRequest("GET /health HTTP/1.1\r\nHost: 127.0.0.1\r\n",
                                    QByteArray("A: b\r\n").repeated(1000), 3000, "\r\n"),
                    1);
}

QString HostileRequests::streamed(const StreamedRequest& request, int copies)
{
    return summary(inParallel(copies, [&] {
        const StreamedRequest::Outcome outcome = request.send(m_port);
        // A server that neither answers nor closes has let the request hold it.
        if (outcome.status == 0 && !outcome.ending.startsWith(QLatin1String("connection closed")))
            m_failed = true;
        const QString how = outcome.status ? answered(outcome.status, outcome.body) : outcome.ending;
        return QStringLiteral("%1 after %2 of %3 MB sent").arg(how, megabytes(outcome.sent), megabytes(request.size()));
    }));
}

QString HostileRequests::post(const QByteArray& body, Framing framing)
{
    if (framing == Framing::Chunked) {
        QByteArray framed = "POST /call HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\n"
                            "Transfer-Encoding: chunked\r\nAuthorization: Bearer " +
                            m_token + "\r\n\r\n";
        for (qsizetype at = 0; at < body.size(); at += kChunk) {
            const QByteArrayView chunk = QByteArrayView(body).sliced(at, qMin<qsizetype>(kChunk, body.size() - at));
            framed += QByteArray::number(chunk.size(), 16) + "\r\n";
            framed += chunk;
            framed += "\r\n";
        }
        const StreamedRequest::Outcome outcome = StreamedRequest(framed + "0\r\n\r\n", {}, 0, {}).send(m_port, 600);
        if (outcome.status == 0) {
            m_failed = true;
            return QStringLiteral("no answer: %1").arg(outcome.ending);
        }
        return answered(outcome.status, outcome.body);
    }
    httplib::Client client("127.0.0.1", m_port);
    client.set_read_timeout(600, 0);
    client.set_write_timeout(600, 0);
    const auto answer = client.Post("/call", {{"Authorization", "Bearer " + m_token.toStdString()}}, body.constData(),
                                    size_t(body.size()), "application/json");
    if (!answer) {
        m_failed = true;
        return QStringLiteral("no answer (%1)").arg(QString::fromStdString(httplib::to_string(answer.error())));
    }
    return answered(answer->status, QByteArray::fromStdString(answer->body));
}

QString HostileRequests::called(const QByteArray& body, Framing framing, int copies)
{
    return summary(inParallel(copies, [&] { return post(body, framing); }));
}

QString HostileRequests::repeatedly(const QByteArray& body, Framing framing, int times)
{
    QStringList outcomes;
    for (int i = 0; i < times; ++i)
        outcomes << post(body, framing);
    return summary(outcomes);
}

QByteArray HostileRequests::callBody(const QByteArray& method, const QByteArray& arguments)
{
    return R"({"server":"Rci06000.rdmIntgCentral","method":")" + method + R"(","args":)" + arguments + '}';
}

QByteArray HostileRequests::intgCentralBody(int rows, qint64 bytes) const
{
    const QByteArray head = R"(["0001",")" + m_dishes.toLatin1() +
                            R"(","FS",{"columns":[{"name":"IDMARCADO","type":"string","size":1},)"
                            R"({"name":"CDFILIAL","type":"string","size":4},)"
                            R"({"name":"NMFILIAL","type":"string","size":40}],"rows":[)";
    const QByteArray tail = R"(]},"",""])";
    // Each row is ["S","CODE","NAME"], the name as long as the size asked for needs.
    const qint64 fixed = callBody("IntgCentral", head + tail).size();
    const qint64 base = qstrlen(R"(["S","0002",""],)");
    const qint64 perRow = qMax<qint64>(base + 1, (bytes - fixed + 1) / rows);
    const qint64 longer = qMax<qint64>(0, bytes - fixed + 1 - perRow * rows); // rows with one more character
    const QByteArray name(perRow - base, 'x');
    QByteArray packet = head;
    packet.reserve(bytes + 4096);
    for (int i = 0; i < rows; ++i) {
        if (i > 0)
            packet += ',';
        packet += R"(["S",")" + m_destinations.at(i % m_destinations.size()).toLatin1() + R"(",")" + name +
                  (i < longer ? "x" : "") + R"("])";
    }
    return callBody("IntgCentral", packet + tail);
}

QByteArray HostileRequests::dishSearchBody(const QByteArray& services)
{
    return callBody("GetPesqPrato", R"(["0001","X","P",0,")" + services + R"(","T",null,null,"T","T","T"])");
}

} // namespace suite::bench
