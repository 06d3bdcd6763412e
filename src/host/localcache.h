// In-memory copies of shared tables that screens ask the host to keep fresh.
#pragma once

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QSqlDatabase>
#include <QSqlRecord>
#include <QStringList>
#include <map>

namespace suite::host {

class LocalCache : public QObject {
    Q_OBJECT
public:
    struct Table {
        QString name;
        QList<QSqlRecord> rows;
        QDateTime refreshedAt;
    };

    explicit LocalCache(QObject* parent = nullptr);

    // Reads each named table again; throws mrv::Exception for an unknown table or a failed read.
    void refresh(const QStringList& names, const QSqlDatabase& database);

    const Table* table(const QString& name) const; // nullptr when never loaded
    QStringList names() const;
    QString summary() const; // one line for the status bar

signals:
    void refreshed();

private:
    std::map<QString, Table> m_tables; // by upper-case name
};

} // namespace suite::host
