// What requests an attacker, or an operator who may only consult, can send cost a real suite-server process: each
// one's answer, time and the server's memory before it, at its peak (reset before each) and after it.
#pragma once

#include "servermemory.h"

#include <QSqlDatabase>
#include <QStringList>

#include <atomic>
#include <functional>
#include <optional>

namespace suite::bench {

class StreamedRequest;

class HostileRequests {
public:
    // Any request a consult-only token can send, or none at all, costs less than this at its peak.
    static constexpr double kBudgetMb = 100;

    // The demo data's consult-only operator, "consulta"/"consulta", allowed on every branch: the scale data has none.
    static void addConsultOperator(const QSqlDatabase& db);

    // `destinations`: branches other than the source "0001"; `dishes`: a few of its dish keys, each followed by "_".
    HostileRequests(QString database, QStringList destinations, QString dishes);

    // Serves the database and sends every case to that one server; 0 when every case was answered or refused.
    int run();

private:
    using Exchange = std::function<QString()>;
    // How a call's body is sent: after its Content-Length, or in chunks (that any client may choose).
    enum class Framing { Length, Chunked };

    void measureCalls(Framing framing);
    void measure(const QString& what, int inFlight, const Exchange& exchange);
    QString chunked(const char* path, bool withToken, int copies);
    QString manyHeaders();
    QString streamed(const StreamedRequest& request, int copies);
    QString post(const QByteArray& body, Framing framing);
    QString called(const QByteArray& body, Framing framing, int copies);
    QString repeatedly(const QByteArray& body, Framing framing, int times);

    static QByteArray callBody(const QByteArray& method, const QByteArray& arguments);
    QByteArray intgCentralBody(int rows, qint64 bytes) const;
    static QByteArray dishSearchBody(const QByteArray& services);

    QString m_database;
    QStringList m_destinations;
    QString m_dishes;
    quint16 m_port = 0;
    QByteArray m_token;
    std::optional<ServerMemory> m_memory;
    bool m_peakResets = true;
    int m_overBudget = 0;
    std::atomic<bool> m_failed = false;
};

} // namespace suite::bench
