#include "memoryloginfailures.h"

#include <algorithm>

namespace suite::server {

qint64 MemoryLoginFailures::heldUntil(const QStringList& keys) const
{
    const QMutexLocker lock(&m_mutex);
    qint64 until = 0;
    for (const QString& key : keys)
        until = std::max(until, m_entries.value(key).heldUntil);
    return until;
}

qint64 MemoryLoginFailures::count(const QString& key, qint64 now, qint64 forgotten)
{
    const QMutexLocker lock(&m_mutex);
    Entry& entry = m_entries[key];
    if (entry.last <= forgotten && entry.heldUntil <= now)
        entry.failures = 0;
    entry.last = now;
    return ++entry.failures;
}

void MemoryLoginFailures::holdUntil(const QString& key, qint64 until)
{
    const QMutexLocker lock(&m_mutex);
    const auto found = m_entries.find(key);
    if (found != m_entries.end())
        found->heldUntil = std::max(found->heldUntil, until);
}

void MemoryLoginFailures::forget(const QString& key)
{
    const QMutexLocker lock(&m_mutex);
    m_entries.remove(key);
}

void MemoryLoginFailures::makeRoom(qint64 now, qint64 forgotten, int keep)
{
    const QMutexLocker lock(&m_mutex);
    if (m_entries.size() <= keep)
        return;
    m_entries.removeIf(
        [&](QHash<QString, Entry>::iterator it) { return it->last <= forgotten && it->heldUntil <= now; });
    while (m_entries.size() > keep) {
        const auto oldest = std::min_element(m_entries.begin(), m_entries.end(),
                                             [](const Entry& a, const Entry& b) { return a.last < b.last; });
        m_entries.erase(oldest);
    }
}

int MemoryLoginFailures::size() const
{
    const QMutexLocker lock(&m_mutex);
    return int(m_entries.size());
}

} // namespace suite::server
