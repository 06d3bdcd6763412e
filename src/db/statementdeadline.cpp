#include "statementdeadline.h"

#include "logging.h"

#include <QSqlDriver>
#include <QVariant>

#include <libpq-fe.h>

#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include <poll.h>
#include <sys/socket.h>

namespace suite::db {

namespace {

thread_local std::optional<std::chrono::milliseconds> t_limit;

using Clock = std::chrono::steady_clock;

// One thread for the whole process, started on the first watched statement; it lives as long as the process.
class Watchdog {
public:
    static Watchdog& instance()
    {
        static Watchdog* watchdog = new Watchdog; // never destroyed: statements may run while the process exits
        return *watchdog;
    }

    quint64 watch(int socket, Clock::time_point deadline)
    {
        const std::lock_guard lock(m_mutex);
        const quint64 id = ++m_lastId;
        m_watched.emplace(id, Watched{socket, deadline, false});
        m_changed.notify_one();
        return id;
    }

    bool release(quint64 id)
    {
        const std::lock_guard lock(m_mutex);
        const auto found = m_watched.find(id);
        const bool expired = found != m_watched.end() && found->second.expired;
        m_watched.erase(id);
        return expired;
    }

    bool expired(quint64 id)
    {
        const std::lock_guard lock(m_mutex);
        const auto found = m_watched.find(id);
        return found != m_watched.end() && found->second.expired;
    }

private:
    struct Watched {
        int socket;
        Clock::time_point deadline;
        bool expired;
    };

    Watchdog()
    {
        std::thread([this] { run(); }).detach();
    }

    void run()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            Clock::time_point next = Clock::time_point::max();
            const Clock::time_point now = Clock::now();
            for (auto& [id, watched] : m_watched) {
                if (watched.expired)
                    continue;
                if (watched.deadline <= now) {
                    // The statement's thread is blocked reading: a shut-down socket wakes it with an error.
                    ::shutdown(watched.socket, SHUT_RDWR);
                    watched.expired = true;
                    qCWarning(lcDb) << "a statement ran past its limit: its connection is cut";
                } else {
                    next = std::min(next, watched.deadline);
                }
            }
            if (next == Clock::time_point::max())
                m_changed.wait(lock);
            else
                m_changed.wait_until(lock, next);
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::map<quint64, Watched> m_watched;
    quint64 m_lastId = 0;
};

PGconn* pgConnection(const QSqlDatabase& db)
{
    if (!db.isOpen() || !db.driver() || db.driverName() != QLatin1String("QPSQL"))
        return nullptr;
    const QVariant handle = db.driver()->handle();
    // Qt names the type as the compiler spells it: the struct behind libpq's typedef.
    if (!handle.isValid() || (qstrcmp(handle.typeName(), "PGconn*") != 0 && qstrcmp(handle.typeName(), "pg_conn*") != 0))
        return nullptr;
    return *static_cast<PGconn* const*>(handle.data());
}

} // namespace

StatementDeadline::StatementDeadline(std::optional<std::chrono::milliseconds> limit)
    : m_previous(t_limit)
{
    t_limit = limit;
}

StatementDeadline::~StatementDeadline()
{
    t_limit = m_previous;
}

std::optional<std::chrono::milliseconds> StatementDeadline::current()
{
    return t_limit;
}

StatementWatch::StatementWatch(const QSqlDatabase& db)
{
    if (!t_limit)
        return;
    const int socket = socketOf(db);
    if (socket < 0)
        return;
    m_limit = *t_limit;
    m_id = Watchdog::instance().watch(socket, Clock::now() + m_limit);
}

StatementWatch::~StatementWatch()
{
    if (m_id != 0)
        Watchdog::instance().release(m_id);
}

bool StatementWatch::expired() const
{
    return m_id != 0 && Watchdog::instance().expired(m_id);
}

int socketOf(const QSqlDatabase& db)
{
    PGconn* connection = pgConnection(db);
    return connection ? PQsocket(connection) : -1;
}

bool connectionLost(const QSqlDatabase& db)
{
    PGconn* connection = pgConnection(db);
    if (!connection)
        return false;
    if (PQstatus(connection) != CONNECTION_OK || PQsocket(connection) < 0)
        return true;
    pollfd idle{PQsocket(connection), POLLIN | POLLRDHUP, 0};
    return ::poll(&idle, 1, 0) > 0 && idle.revents != 0;
}

} // namespace suite::db
