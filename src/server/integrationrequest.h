// The arguments of IntgCentral, checked before anything is written; bad input is a service error.
#pragma once

#include <QDate>
#include <QJsonValue>
#include <QList>
#include <QStringList>
#include <optional>

namespace suite::server {

struct DishKey
{
    QString tree;   // "P" or the source branch code
    QString code;   // digits, as stored in PRATO
};

struct IntegrationRequest
{
    QString source;
    QString dishListText;
    QList<DishKey> dishes;
    QString kinds;
    bool local = false;
    bool perService = false;
    QStringList destinations;   // codes of the rows marked "S", each once
    std::optional<QDate> menuStart;
    std::optional<QDate> menuEnd;

    static IntegrationRequest parse(const QString &source, const QString &dishList, const QString &kinds,
                                    const QJsonValue &destinationPacket, const QString &start, const QString &end);
};

} // namespace suite::server
