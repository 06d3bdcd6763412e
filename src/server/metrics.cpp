#include "metrics.h"

#include <boost/asio/ip/address.hpp>

namespace suite::server {

namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;

std::size_t statusSlot(int status, std::size_t count)
{
    const bool known = status > 0 && static_cast<std::size_t>(status) < count;
    return known ? static_cast<std::size_t>(status) : 0;
}

std::string labelValue(const QString& value)
{
    std::string out;
    for (const char c : value.toStdString()) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c == '\n' ? std::string("\\n") : std::string(1, c);
    }
    return out;
}

std::string number(double value)
{
    return QByteArray::number(value, 'g', 12).toStdString();
}

void family(std::string& out, const char* name, const char* type, const char* help)
{
    out.append("# HELP ").append(name).append(" ").append(help).append("\n");
    out.append("# TYPE ").append(name).append(" ").append(type).append("\n");
}

void sample(std::string& out, const char* name, const std::string& labels, const std::string& value)
{
    out.append(name);
    if (!labels.empty())
        out.append("{").append(labels).append("}");
    out.append(" ").append(value).append("\n");
}

void sample(std::string& out, const char* name, const std::string& labels, std::uint64_t value)
{
    sample(out, name, labels, std::to_string(value));
}

} // namespace

struct Metrics::CallSeries {
    QString label;
    ByStatus byStatus{};
    std::array<std::atomic<std::uint64_t>, kBuckets.size() + 1> buckets{}; // the last: past every bound
    std::atomic<std::uint64_t> nanoseconds{0};
};

Metrics::Metrics(const QStringList& callLabels)
    : m_seriesCount(std::size_t(callLabels.size()) + 1)
    , m_series(std::make_unique<CallSeries[]>(m_seriesCount))
    , m_refusedRequests(std::make_unique<ByStatus>())
{
    for (qsizetype i = 0; i < callLabels.size(); ++i)
        m_series[std::size_t(i)].label = callLabels[i];
    m_series[m_seriesCount - 1].label = QString::fromLatin1(kOtherLabel);
}

Metrics::~Metrics() = default;

std::size_t Metrics::seriesOf(const QString& label) const
{
    for (std::size_t i = 0; i + 1 < m_seriesCount; ++i) {
        if (label.compare(m_series[i].label, Qt::CaseInsensitive) == 0)
            return i;
    }
    return m_seriesCount - 1;
}

void Metrics::countCall(const QString& label, int status, std::chrono::steady_clock::duration took)
{
    CallSeries& series = m_series[seriesOf(label)];
    series.byStatus[statusSlot(status, series.byStatus.size())].fetch_add(1, kRelaxed);
    const double seconds = std::chrono::duration<double>(took).count();
    std::size_t bucket = 0;
    while (bucket < kBuckets.size() && seconds > kBuckets[bucket])
        ++bucket;
    series.buckets[bucket].fetch_add(1, kRelaxed);
    series.nanoseconds.fetch_add(std::uint64_t(std::max<std::int64_t>(0, std::chrono::nanoseconds(took).count())),
                                 kRelaxed);
}

void Metrics::countRefusedRequest(int status)
{
    (*m_refusedRequests)[statusSlot(status, m_refusedRequests->size())].fetch_add(1, kRelaxed);
}

void Metrics::countRefusedConnection(Refusal reason)
{
    (reason == Refusal::AddressFull ? m_addressFull : m_serverFull).fetch_add(1, kRelaxed);
}

void Metrics::countRun(int recipesWritten)
{
    m_runs.fetch_add(1, kRelaxed);
    m_recipesByRuns.fetch_add(std::uint64_t(std::max(0, recipesWritten)), kRelaxed);
}

void Metrics::countUndo(int recipesPutBack)
{
    m_undos.fetch_add(1, kRelaxed);
    m_recipesByUndos.fetch_add(std::uint64_t(std::max(0, recipesPutBack)), kRelaxed);
}

void Metrics::countInternalError()
{
    m_internalErrors.fetch_add(1, kRelaxed);
}

void Metrics::countLoginThrottled()
{
    m_loginsThrottled.fetch_add(1, kRelaxed);
}

Metrics::OpenConnection::OpenConnection(Metrics& metrics)
    : m_metrics(metrics)
{
    m_metrics.m_open.fetch_add(1, kRelaxed);
}

Metrics::OpenConnection::~OpenConnection()
{
    m_metrics.m_open.fetch_sub(1, kRelaxed);
}

void Metrics::renderCalls(std::string& out) const
{
    family(out, "suite_calls_total", "counter",
           "Requests answered, by route (for /call, the protocol method; unknown names as other) and HTTP status.");
    for (std::size_t i = 0; i < m_seriesCount; ++i) {
        const CallSeries& series = m_series[i];
        for (std::size_t status = 0; status < series.byStatus.size(); ++status) {
            const std::uint64_t count = series.byStatus[status].load(kRelaxed);
            if (count > 0)
                sample(out, "suite_calls_total",
                       "method=\"" + labelValue(series.label) + "\",status=\"" + std::to_string(status) + "\"", count);
        }
    }
}

void Metrics::renderLatency(std::string& out) const
{
    family(out, "suite_call_duration_seconds", "histogram",
           "Time from a request's last byte read to its answer, waiting for a database worker included.");
    for (std::size_t i = 0; i < m_seriesCount; ++i) {
        const CallSeries& series = m_series[i];
        // The count is the buckets' own total, so that a call counted meanwhile cannot make them disagree.
        std::array<std::uint64_t, kBuckets.size() + 1> counts{};
        for (std::size_t b = 0; b < counts.size(); ++b)
            counts[b] = series.buckets[b].load(kRelaxed);
        std::uint64_t total = 0;
        for (const std::uint64_t count : counts)
            total += count;
        if (total == 0)
            continue;
        const std::string method = "method=\"" + labelValue(series.label) + "\"";
        std::uint64_t below = 0;
        for (std::size_t b = 0; b < kBuckets.size(); ++b) {
            below += counts[b];
            sample(out, "suite_call_duration_seconds_bucket", method + ",le=\"" + number(kBuckets[b]) + "\"", below);
        }
        sample(out, "suite_call_duration_seconds_bucket", method + ",le=\"+Inf\"", total);
        sample(out, "suite_call_duration_seconds_sum", method, number(double(series.nanoseconds.load(kRelaxed)) / 1e9));
        sample(out, "suite_call_duration_seconds_count", method, total);
    }
}

void Metrics::renderRest(std::string& out) const
{
    family(out, "suite_runs_total", "counter", "Integration runs (IntgCentral) that committed.");
    sample(out, "suite_runs_total", {}, m_runs.load(kRelaxed));
    family(out, "suite_undos_total", "counter", "Undos of a run (UndoIntg) that committed.");
    sample(out, "suite_undos_total", {}, m_undos.load(kRelaxed));
    family(out, "suite_recipes_written_total", "counter",
           "Destination recipes rewritten by runs, and put back by undos.");
    sample(out, "suite_recipes_written_total", "work=\"run\"", m_recipesByRuns.load(kRelaxed));
    sample(out, "suite_recipes_written_total", "work=\"undo\"", m_recipesByUndos.load(kRelaxed));
    family(out, "suite_internal_errors_total", "counter",
           "Answers 500 with an incident id: the database or the server failed; the log has each id.");
    sample(out, "suite_internal_errors_total", {}, m_internalErrors.load(kRelaxed));
    family(out, "suite_login_throttled_total", "counter",
           "Log-ins held back (429) after too many wrong passwords for the operator or the address.");
    sample(out, "suite_login_throttled_total", {}, m_loginsThrottled.load(kRelaxed));
    family(out, "suite_connections_open", "gauge", "Client connections open now.");
    sample(out, "suite_connections_open", {}, std::to_string(m_open.load(kRelaxed)));
    family(out, "suite_connections_refused_total", "counter",
           "Connections refused at accept: their address had its share open (503), or the server its total (closed).");
    sample(out, "suite_connections_refused_total", "reason=\"address_full\"", m_addressFull.load(kRelaxed));
    sample(out, "suite_connections_refused_total", "reason=\"server_full\"", m_serverFull.load(kRelaxed));
    family(out, "suite_requests_refused_total", "counter",
           "Requests refused from their headers, or unreadable, before their route ran; each closed its connection.");
    for (std::size_t status = 0; status < m_refusedRequests->size(); ++status) {
        const std::uint64_t count = (*m_refusedRequests)[status].load(kRelaxed);
        if (count > 0)
            sample(out, "suite_requests_refused_total", "status=\"" + std::to_string(status) + "\"", count);
    }
}

QByteArray Metrics::text() const
{
    std::string out;
    out.reserve(8192);
    renderCalls(out);
    renderLatency(out);
    renderRest(out);
    return QByteArray::fromStdString(out);
}

bool metricsReadableFrom(const std::string& address, bool forwarded)
{
    if (forwarded)
        return false;
    boost::system::error_code ec;
    const boost::asio::ip::address parsed = boost::asio::ip::make_address(address, ec);
    if (ec)
        return false;
    if (parsed.is_v6() && parsed.to_v6().is_v4_mapped())
        return boost::asio::ip::make_address_v4(boost::asio::ip::v4_mapped, parsed.to_v6()).is_loopback();
    return parsed.is_loopback();
}

} // namespace suite::server
