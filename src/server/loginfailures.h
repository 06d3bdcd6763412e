// Where failed log-ins are counted: the server's memory when it is the database's only server (SQLite), the
// database when several servers share it (PostgreSQL), so that round-robin gives an attacker no extra tries.
#pragma once

#include <QStringList>

namespace suite::server {

// Moments are milliseconds since 1970.
class LoginFailures {
public:
    virtual ~LoginFailures() = default;

    // The latest moment until which any of `keys` is held back; 0 when none is.
    virtual qint64 heldUntil(const QStringList& keys) const = 0;
    // Counts a failure of `key` at `now` and returns its failures in a row: it starts afresh when its last failure
    // was at or before `forgotten` and it is not held back. Failures counted at once are all counted.
    virtual qint64 count(const QString& key, qint64 now, qint64 forgotten) = 0;
    // Holds `key` back until `until`, unless it is held longer already.
    virtual void holdUntil(const QString& key, qint64 until) = 0;
    virtual void forget(const QString& key) = 0;
    // Drops the keys quiet since `forgotten` and not held back at `now`; then the oldest, down to `keep`.
    virtual void makeRoom(qint64 now, qint64 forgotten, int keep) = 0;
    virtual int size() const = 0;
};

} // namespace suite::server
