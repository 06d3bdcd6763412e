// The integration service rdmIntgCentral: its remote methods, each parsed once into its request.
#pragma once

#include <arguments.h>
#include <packet.h>

#include <QJsonArray>
#include <QSqlDatabase>
#include <optional>

namespace suite::server {

// GetGrupFili(filter): the filter is sent but every grouping that holds a branch of the operator is listed.
struct GroupingListRequest {
    static GroupingListRequest parse(const wire::Arguments& args);
};

// GetFiliGrup(grouping | "T", source).
struct GroupingBranchesRequest {
    QString grouping;
    QString source;
    static GroupingBranchesRequest parse(const wire::Arguments& args);
};

class IntgCentralService {
public:
    IntgCentralService(QSqlDatabase db, QString operatorCode);

    static QString serverName(); // "Rci06000.rdmIntgCentral"
    // The canonical name of a server this process offers; names match without regard to case.
    static std::optional<QString> canonicalServer(const QString& name);

    // Runs a method for the operator; throws RequestError (404 unknown method, 400 bad arguments, 401 an operator
    // gone or deactivated), ServiceError (the user's request cannot be done, or not by this operator) or
    // db::DbError (the server's own failure).
    wire::Packet call(const QString& method, const QJsonArray& args);

    wire::Packet GetGrupFili();
    wire::Packet GetFiliGrup(const QString& grouping, const QString& source);

    // The number (INTGCENTRAL.NRINTG) of the run the last IntgCentral call recorded.
    std::optional<qint64> run() const { return m_run; }

private:
    wire::Packet getGrupFili(const wire::Arguments& args);
    wire::Packet getFiliGrup(const wire::Arguments& args);
    wire::Packet getPesqPrato(const wire::Arguments& args);
    wire::Packet intgCentral(const wire::Arguments& args);
    wire::Packet listIntg(const wire::Arguments& args);
    wire::Packet undoIntg(const wire::Arguments& args);
    wire::Packet getIntgLog(const wire::Arguments& args);
    wire::Packet intgCentralPreview(const wire::Arguments& args);
    wire::Packet getProgresso(const wire::Arguments& args);

    QSqlDatabase m_db;
    QString m_operator;
    std::optional<qint64> m_run;
};

} // namespace suite::server
