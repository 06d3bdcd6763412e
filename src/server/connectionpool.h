// The server's connection threads: a fixed pool that serves connections while a request is being read, handled or
// answered, and one watcher that holds the idle keep-alive connections without a thread each.
#pragma once

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace suite::server {

class ConnectionPool : public httplib::TaskQueue {
public:
    // Serves a connection the watcher saw a new request on; `served` is how many requests it had answered.
    using Resume = std::function<void(int socket, int served)>;

    ConnectionPool(int workers, std::chrono::milliseconds keepAlive, int perAddress, Resume resume);
    ~ConnectionPool() override;
    ConnectionPool(const ConnectionPool&) = delete;
    ConnectionPool& operator=(const ConnectionPool&) = delete;

    void enqueue(std::function<void()> job) override;
    // Closes the idle connections, lets the workers finish what they hold and joins them.
    void shutdown() override;

    // Counts a new connection against its client address; false when that address has its share open already.
    bool admit(int socket);
    // Gives an idle connection to the watcher: it comes back through Resume on its next request, or is closed when
    // it stays idle for the keep-alive time.
    void park(int socket, int served);
    // Ends a connection that admit() counted.
    void close(int socket);
    bool stopping() const;

private:
    struct Parked {
        std::chrono::steady_clock::time_point closeAt;
        int served = 0;
    };

    void work();
    void watch();
    void closeLocked(int socket); // m_mutex held

    const std::chrono::milliseconds m_keepAlive;
    const int m_perAddress;
    const Resume m_resume;
    const int m_epoll;

    mutable std::mutex m_mutex;
    std::condition_variable m_jobsReady;
    std::deque<std::function<void()>> m_jobs;
    std::map<int, std::string> m_addressOf; // every admitted connection still open
    std::map<std::string, int> m_openFrom;
    std::map<int, Parked> m_parked;
    bool m_stopping = false;
    bool m_shutDown = false;

    std::vector<std::thread> m_workers;
    std::thread m_watcher;
};

// The text form of a connected socket's peer address ("127.0.0.1", "::1"); empty when it has none.
std::string peerAddress(int socket);

} // namespace suite::server
