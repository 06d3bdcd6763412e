// A time limit on each statement a thread runs, kept on the client's side: a database whose processes are frozen
// answers nothing, not even its own statement_timeout, so a statement past the limit has its connection cut.
#pragma once

#include <QSqlDatabase>

#include <chrono>
#include <optional>

namespace suite::db {

/// Sets the limit of every statement the calling thread runs while it lives, none for nullopt (the previous one
/// comes back after).
class StatementDeadline {
public:
    explicit StatementDeadline(std::optional<std::chrono::milliseconds> limit);
    ~StatementDeadline();
    StatementDeadline(const StatementDeadline&) = delete;
    StatementDeadline& operator=(const StatementDeadline&) = delete;

    /// The calling thread's limit, if any.
    static std::optional<std::chrono::milliseconds> current();

private:
    std::optional<std::chrono::milliseconds> m_previous;
};

/// Watches one statement under the thread's limit: past it, the connection's socket is shut down, so that the
/// statement fails at once and its connection is known broken. Without a limit, or on SQLite, it does nothing.
class StatementWatch {
public:
    explicit StatementWatch(const QSqlDatabase& db);
    ~StatementWatch();
    StatementWatch(const StatementWatch&) = delete;
    StatementWatch& operator=(const StatementWatch&) = delete;

    /// Whether the statement ran past the limit and its connection was cut.
    bool expired() const;
    std::chrono::milliseconds limit() const { return m_limit; }

private:
    quint64 m_id = 0;
    std::chrono::milliseconds m_limit{0};
};

/// The socket of a PostgreSQL connection, -1 for SQLite or a connection that has none.
int socketOf(const QSqlDatabase& db);

/// Whether an idle PostgreSQL connection was ended by its server (a restart, an administrator): it has something
/// to read, or its peer hung up, while no statement is running. Always false for SQLite.
bool connectionLost(const QSqlDatabase& db);

} // namespace suite::db
