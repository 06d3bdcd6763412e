// One database connection per worker thread: a QSqlDatabase may only be used by the thread that opened it.
#pragma once

#include <QSqlDatabase>
#include <QString>

namespace suite::server {

class ThreadConnection {
public:
    explicit ThreadConnection(QString databaseUrl);

    // The calling thread's connection, opened on its first use; removed when the thread ends.
    QSqlDatabase database() const;
    // Closes the calling thread's connection after a database failure, which may have broken it (a session the
    // database ended); the next use opens a new one.
    void discard() const;
    QString databaseUrl() const { return m_url; }

private:
    QString m_url;
    quint64 m_id;
};

// Opens a connection with the settings every server connection needs.
QSqlDatabase openServerConnection(const QString& url, const QString& connectionName);

} // namespace suite::server
