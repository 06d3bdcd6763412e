// What suite-cli prints: a packet as an aligned table for people, or as JSON for scripts.
#pragma once

#include <QHash>
#include <QJsonObject>
#include <QString>
#include <QStringList>

namespace suite::cli {

// A column of a printed table: the packet's column, its title, and what its values read as.
struct Shown {
    QString field;
    QString title;
    QHash<QString, QString> values = {};
};

// The rows of packet under the given columns, aligned; a column the packet lacks is left out.
QString table(const QJsonObject& packet, const QList<Shown>& columns);
void printOut(const QString& text);
void printErr(const QString& text);
void printJson(const QJsonObject& object);

} // namespace suite::cli
