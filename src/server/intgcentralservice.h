// The integration service rdmIntgCentral: its four remote methods, dispatched by name.
#pragma once

#include "packet.h"

#include <QJsonArray>
#include <QSqlDatabase>
#include <optional>

namespace suite::server {

class IntgCentralService
{
public:
    IntgCentralService(QSqlDatabase db, QString operatorCode);

    static QString serverName();   // "Rci06000.rdmIntgCentral"
    // The canonical name of a server this process offers; names match without regard to case.
    static std::optional<QString> canonicalServer(const QString &name);

    // Runs a method; throws RequestError (404 unknown method, 400 bad arguments) or ServiceError.
    Packet call(const QString &method, const QJsonArray &args);

    Packet GetGrupFili();
    Packet GetFiliGrup(const QString &grouping, const QString &source);

private:
    QSqlDatabase m_db;
    QString m_operator;
};

} // namespace suite::server
