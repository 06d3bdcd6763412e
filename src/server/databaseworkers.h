// The threads that run the calls which use the database: a fixed few, each with its own connection, however many
// client connections the server is reading or answering.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <type_traits>
#include <vector>

namespace suite::server {

class DatabaseWorkers {
public:
    explicit DatabaseWorkers(int threads);
    ~DatabaseWorkers(); // finishes what is queued, then joins
    DatabaseWorkers(const DatabaseWorkers&) = delete;
    DatabaseWorkers& operator=(const DatabaseWorkers&) = delete;

    // Runs `work` on one of the threads and waits for it; its result or its exception comes back here.
    template<class Work> std::invoke_result_t<Work> run(Work&& work)
    {
        std::packaged_task<std::invoke_result_t<Work>()> task(std::forward<Work>(work));
        auto result = task.get_future();
        post([&task] { task(); });
        return result.get();
    }

    // The same, but waits at most `limit`: nullopt when the work has not finished by then (every thread busy, or
    // the work stuck), and the work, which must own what it uses, still runs when a thread is free.
    template<class Work>
    std::optional<std::invoke_result_t<Work>> runWithin(std::chrono::milliseconds limit, Work work)
    {
        auto task = std::make_shared<std::packaged_task<std::invoke_result_t<Work>()>>(std::move(work));
        auto result = task->get_future();
        post([task] { (*task)(); });
        if (result.wait_for(limit) != std::future_status::ready)
            return std::nullopt;
        return result.get();
    }

    // Runs `job` on one of the threads and returns at once; the job owns what it uses and catches what it throws.
    void post(std::function<void()> job);

private:
    void work();

    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::deque<std::function<void()>> m_jobs;
    bool m_stopping = false;
    std::vector<std::thread> m_threads;
};

} // namespace suite::server
