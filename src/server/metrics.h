// What the server has done since it started, counted from the event loop's threads and the database workers at once,
// and told in Prometheus's text format (0.0.4) at GET /metrics.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

namespace suite::server {

class Metrics {
public:
    static constexpr const char* kContentType = "text/plain; version=0.0.4; charset=utf-8";
    // The label of every call whose name is not one of the known ones: a client cannot make series up.
    static constexpr const char* kOtherLabel = "other";

    // `callLabels`: the names calls are counted under (routes, a call's protocol methods), matched without regard to
    // case and told in this spelling.
    explicit Metrics(const QStringList& callLabels);
    ~Metrics();
    Metrics(const Metrics&) = delete;
    Metrics& operator=(const Metrics&) = delete;

    enum class Refusal { AddressFull, ServerFull };

    // A request answered `status` after `took`, from its last byte read to its answer's first written.
    void countCall(const QString& label, int status, std::chrono::steady_clock::duration took);
    // A request refused from its headers, or unreadable, before its route ran; its connection is closed.
    void countRefusedRequest(int status);
    void countRefusedConnection(Refusal reason);
    void countRun(int recipesWritten);
    void countUndo(int recipesPutBack);
    void countInternalError();
    void countLoginThrottled();

    // Counts a connection open for as long as it lives.
    class OpenConnection {
    public:
        explicit OpenConnection(Metrics& metrics);
        ~OpenConnection();
        OpenConnection(const OpenConnection&) = delete;
        OpenConnection& operator=(const OpenConnection&) = delete;

    private:
        Metrics& m_metrics;
    };

    QByteArray text() const;

    // Upper bounds, in seconds, of the latency histogram's buckets.
    static constexpr std::array<double, 16> kBuckets{0.001, 0.0025, 0.005, 0.01, 0.025, 0.05, 0.1, 0.25,
                                                     0.5,   1,      2.5,   5,    10,    30,   60,  300};

private:
    // Counters indexed by an HTTP status; one out of range is counted as 0, which no answer has.
    using ByStatus = std::array<std::atomic<std::uint64_t>, 600>;
    struct CallSeries;

    std::size_t seriesOf(const QString& label) const;
    void renderCalls(std::string& out) const;
    void renderLatency(std::string& out) const;
    void renderRest(std::string& out) const;

    const std::size_t m_seriesCount; // the labels given, then "other"
    std::unique_ptr<CallSeries[]> m_series;
    std::unique_ptr<ByStatus> m_refusedRequests;
    std::atomic<std::uint64_t> m_addressFull{0};
    std::atomic<std::uint64_t> m_serverFull{0};
    std::atomic<std::uint64_t> m_runs{0};
    std::atomic<std::uint64_t> m_undos{0};
    std::atomic<std::uint64_t> m_recipesByRuns{0};
    std::atomic<std::uint64_t> m_recipesByUndos{0};
    std::atomic<std::uint64_t> m_internalErrors{0};
    std::atomic<std::uint64_t> m_loginsThrottled{0};
    std::atomic<std::int64_t> m_open{0};
};

// Whether a peer at `address` may read the metrics without a token: this machine's loopback, and not a request a
// proxy passed on (`forwarded`), since a proxy on this machine would otherwise open them to everyone it serves.
bool metricsReadableFrom(const std::string& address, bool forwarded);

} // namespace suite::server
