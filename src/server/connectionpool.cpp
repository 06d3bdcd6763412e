#include "connectionpool.h"
#include "serverlog.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <stdexcept>

namespace suite::server {

namespace {

constexpr int kWatchTickMs = 100;

void endSocket(int socket)
{
    ::shutdown(socket, SHUT_RDWR);
    ::close(socket);
}

} // namespace

std::string peerAddress(int socket)
{
    sockaddr_storage address{};
    socklen_t length = sizeof(address);
    if (::getpeername(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return {};
    std::array<char, INET6_ADDRSTRLEN> text{};
    const void* raw = address.ss_family == AF_INET6
                          ? static_cast<const void*>(&reinterpret_cast<const sockaddr_in6&>(address).sin6_addr)
                          : static_cast<const void*>(&reinterpret_cast<const sockaddr_in&>(address).sin_addr);
    if (!::inet_ntop(address.ss_family, raw, text.data(), socklen_t(text.size())))
        return {};
    return text.data();
}

ConnectionPool::ConnectionPool(int workers, std::chrono::milliseconds keepAlive, int perAddress, Resume resume)
    : m_keepAlive(keepAlive)
    , m_perAddress(perAddress)
    , m_resume(std::move(resume))
    , m_epoll(::epoll_create1(EPOLL_CLOEXEC))
{
    if (m_epoll < 0)
        throw std::runtime_error("cannot create the watcher of idle connections");
    m_workers.reserve(std::size_t(workers));
    for (int i = 0; i < workers; ++i)
        m_workers.emplace_back([this] { work(); });
    m_watcher = std::thread([this] { watch(); });
}

ConnectionPool::~ConnectionPool()
{
    shutdown();
    ::close(m_epoll);
}

void ConnectionPool::enqueue(std::function<void()> job)
{
    {
        std::lock_guard lock(m_mutex);
        m_jobs.push_back(std::move(job));
    }
    m_jobsReady.notify_one();
}

void ConnectionPool::shutdown()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_shutDown)
            return;
        m_stopping = true;
    }
    if (m_watcher.joinable())
        m_watcher.join();
    {
        std::lock_guard lock(m_mutex);
        for (const auto& [socket, parked] : m_parked) {
            ::epoll_ctl(m_epoll, EPOLL_CTL_DEL, socket, nullptr);
            closeLocked(socket);
        }
        m_parked.clear();
        m_shutDown = true;
    }
    m_jobsReady.notify_all();
    for (std::thread& worker : m_workers)
        worker.join();
    m_workers.clear();
}

bool ConnectionPool::admit(int socket)
{
    const std::string address = peerAddress(socket);
    std::lock_guard lock(m_mutex);
    if (m_stopping)
        return false;
    int& open = m_openFrom[address];
    if (open >= m_perAddress) {
        if (open == 0)
            m_openFrom.erase(address);
        return false;
    }
    ++open;
    m_addressOf[socket] = address;
    return true;
}

void ConnectionPool::park(int socket, int served)
{
    std::lock_guard lock(m_mutex);
    if (m_stopping) {
        closeLocked(socket);
        return;
    }
    m_parked[socket] = {std::chrono::steady_clock::now() + m_keepAlive, served};
    epoll_event event{};
    // One-shot: the connection goes back to a worker once, and is armed again only when parked again.
    event.events = EPOLLIN | EPOLLRDHUP | EPOLLONESHOT;
    event.data.fd = socket;
    if (::epoll_ctl(m_epoll, EPOLL_CTL_ADD, socket, &event) != 0) {
        m_parked.erase(socket);
        closeLocked(socket);
    }
}

void ConnectionPool::close(int socket)
{
    std::lock_guard lock(m_mutex);
    closeLocked(socket);
}

bool ConnectionPool::stopping() const
{
    std::lock_guard lock(m_mutex);
    return m_stopping;
}

void ConnectionPool::closeLocked(int socket)
{
    const auto found = m_addressOf.find(socket);
    if (found != m_addressOf.end()) {
        const auto open = m_openFrom.find(found->second);
        if (open != m_openFrom.end() && --open->second <= 0)
            m_openFrom.erase(open);
        m_addressOf.erase(found);
    }
    endSocket(socket);
}

void ConnectionPool::work()
{
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock lock(m_mutex);
            m_jobsReady.wait(lock, [this] { return !m_jobs.empty() || m_shutDown; });
            if (m_jobs.empty())
                return;
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        // A job that throws must not take the worker, and with it the process, down.
        try {
            job();
        } catch (const std::exception& e) {
            qCCritical(lcServer).noquote() << "connection worker:" << e.what();
        }
    }
}

void ConnectionPool::watch()
{
    std::array<epoll_event, 64> events{};
    for (;;) {
        const int ready = ::epoll_wait(m_epoll, events.data(), int(events.size()), kWatchTickMs);
        std::unique_lock lock(m_mutex);
        if (m_stopping)
            return;
        bool resumed = false;
        for (int i = 0; i < ready; ++i) {
            const int socket = events[std::size_t(i)].data.fd;
            const auto parked = m_parked.find(socket);
            if (parked == m_parked.end())
                continue;
            const int served = parked->second.served;
            m_parked.erase(parked);
            ::epoll_ctl(m_epoll, EPOLL_CTL_DEL, socket, nullptr);
            m_jobs.push_back([this, socket, served] { m_resume(socket, served); });
            resumed = true;
        }
        const auto now = std::chrono::steady_clock::now();
        for (auto it = m_parked.begin(); it != m_parked.end();) {
            if (it->second.closeAt > now) {
                ++it;
                continue;
            }
            ::epoll_ctl(m_epoll, EPOLL_CTL_DEL, it->first, nullptr);
            closeLocked(it->first);
            it = m_parked.erase(it);
        }
        lock.unlock();
        if (resumed)
            m_jobsReady.notify_all();
    }
}

} // namespace suite::server
