// Progress of a long call, asked on a second connection.
#include "callprogress.h"

#include "errors.h"
#include "protocol.h"
#include "netconnection.h"

#include <QJsonArray>

namespace mrv {

CallProgress::CallProgress(const TNetConnection& like, std::function<void(const QString&)> show, int intervalMs)
    : m_aside(std::make_unique<TNetConnection>())
    , m_show(std::move(show))
{
    m_aside->ServerName = like.ServerName;
    m_aside->Host = like.Host;
    m_aside->Port = like.Port;
    // A progress question must never hold up the call it watches for long.
    m_aside->ConnectTimeoutMs = 2000;
    m_aside->CallTimeoutMs = 5000;
    connect(&m_timer, &QTimer::timeout, this, &CallProgress::poll);
    m_timer.start(intervalMs);
}

CallProgress::~CallProgress() = default;

QString CallProgress::text(const QString& phase, qint64 done, qint64 total)
{
    if (total > 0 && done > 0)
        return QStringLiteral("%1: %2 de %3 filiais").arg(phase).arg(done).arg(total);
    if (total > 0)
        return QStringLiteral("%1 (%2 filiais)").arg(phase).arg(total);
    return phase;
}

void CallProgress::poll()
{
    // The question runs its own event loop; the next tick waits for it.
    if (m_polling)
        return;
    m_polling = true;
    try {
        const QJsonObject packet = CheckResultServ(m_aside->call(QStringLiteral("GetProgresso"), {}), true, 0);
        const QJsonArray rows = packet.value(QStringLiteral("rows")).toArray();
        if (!rows.isEmpty()) {
            const QJsonArray row = rows.first().toArray();
            const QString now = text(row.at(0).toString(), row.at(1).toInteger(), row.at(2).toInteger());
            if (now != m_last && m_show)
                m_show(now);
            m_last = now;
        }
    } catch (const Exception&) {
        // A server that cannot say leaves the call it watches unaffected; it is not asked again.
        m_timer.stop();
    }
    m_polling = false;
}

} // namespace mrv
