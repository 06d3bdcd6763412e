// One database connection per worker thread: a QSqlDatabase may only be used by the thread that opened it.
#pragma once

#include <QSqlDatabase>
#include <QString>

#include <chrono>

namespace suite::db {
class SqlRunner;
}

namespace suite::server {

class ThreadConnection {
public:
    // A look-up or a log-in waits this long for the database at most; a run lifts the limit for its transaction.
    static constexpr std::chrono::milliseconds kDefaultStatementTimeout{15000};

    explicit ThreadConnection(QString databaseUrl,
                              std::chrono::milliseconds statementTimeout = kDefaultStatementTimeout);

    // The calling thread's connection, opened on its first use and opened again when its server has ended it
    // meanwhile (a restart), so that no call is the one to find it broken; removed when the thread ends.
    QSqlDatabase database() const;
    // Closes the calling thread's connection after a database failure, which may have broken it (a session the
    // database ended); the next use opens a new one.
    void discard() const;
    QString databaseUrl() const { return m_url; }
    std::chrono::milliseconds statementTimeout() const { return m_statementTimeout; }

private:
    QString m_url;
    std::chrono::milliseconds m_statementTimeout;
    quint64 m_id;
};

// Opens a connection with the settings every server connection needs; on PostgreSQL its statements and lock waits
// end after `statementTimeout` (zero: never).
QSqlDatabase openServerConnection(const QString& url, const QString& connectionName,
                                  std::chrono::milliseconds statementTimeout = std::chrono::milliseconds{0});

// Lifts the statement timeout for the rest of the current transaction: a run's statements and its wait for
// another run's destinations take as long as they take.
void liftStatementTimeout(const db::SqlRunner& sql);

} // namespace suite::server
