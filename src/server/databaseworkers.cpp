#include "databaseworkers.h"

namespace suite::server {

DatabaseWorkers::DatabaseWorkers(int threads)
{
    m_threads.reserve(std::size_t(threads));
    for (int i = 0; i < threads; ++i)
        m_threads.emplace_back([this] { work(); });
}

DatabaseWorkers::~DatabaseWorkers()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_ready.notify_all();
    for (std::thread& thread : m_threads)
        thread.join();
}

void DatabaseWorkers::post(std::function<void()> job)
{
    {
        std::lock_guard lock(m_mutex);
        m_jobs.push_back(std::move(job));
    }
    m_ready.notify_one();
}

void DatabaseWorkers::work()
{
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock lock(m_mutex);
            m_ready.wait(lock, [this] { return !m_jobs.empty() || m_stopping; });
            if (m_jobs.empty())
                return;
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        job(); // catches its own: a packaged task, or a job of post()'s caller
    }
}

} // namespace suite::server
