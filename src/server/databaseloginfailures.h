// Failed log-ins counted in the database's LOGINFALHA, which every server of it reads and writes.
#pragma once

#include "loginfailures.h"

namespace suite::server {

class ThreadConnection;

class DatabaseLoginFailures final : public LoginFailures {
public:
    // Each call uses the calling worker's connection.
    explicit DatabaseLoginFailures(const ThreadConnection& connection);

    qint64 heldUntil(const QStringList& keys) const override;
    qint64 count(const QString& key, qint64 now, qint64 forgotten) override;
    void holdUntil(const QString& key, qint64 until) override;
    void forget(const QString& key) override;
    void makeRoom(qint64 now, qint64 forgotten, int keep) override;
    int size() const override;

private:
    const ThreadConnection& m_connection;
};

} // namespace suite::server
