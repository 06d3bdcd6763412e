// Failed log-ins counted in this process: for a database only this server writes.
#pragma once

#include "loginfailures.h"

#include <QHash>
#include <QMutex>

namespace suite::server {

class MemoryLoginFailures final : public LoginFailures {
public:
    qint64 heldUntil(const QStringList& keys) const override;
    qint64 count(const QString& key, qint64 now, qint64 forgotten) override;
    void holdUntil(const QString& key, qint64 until) override;
    void forget(const QString& key) override;
    void makeRoom(qint64 now, qint64 forgotten, int keep) override;
    int size() const override;

private:
    struct Entry {
        qint64 failures = 0;
        qint64 last = 0;
        qint64 heldUntil = 0;
    };

    mutable QMutex m_mutex; // every worker thread logs in through the same object
    QHash<QString, Entry> m_entries;
};

} // namespace suite::server
