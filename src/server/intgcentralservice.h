// The integration service rdmIntgCentral: its remote methods, each parsed once into its request.
#pragma once

#include "integrationrequest.h"

#include <arguments.h>
#include <packet.h>

#include <QJsonArray>
#include <QSqlDatabase>
#include <QStringList>
#include <optional>
#include <span>

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

// What a method answers: its packet, and for a capped list the number of rows it has in full.
struct ServiceAnswer {
    ServiceAnswer(wire::Packet packet, std::optional<qint64> all = std::nullopt)
        : result(std::move(packet))
        , total(all)
    {}
    wire::Packet result;
    std::optional<qint64> total;
};

class IntgCentralService {
public:
    IntgCentralService(QSqlDatabase db, QString operatorCode);

    static QString serverName(); // "Rci06000.rdmIntgCentral"
    // The canonical name of a server this process offers; names match without regard to case.
    static std::optional<QString> canonicalServer(const QString& name);
    // The methods answer() runs, in their canonical spelling.
    static QStringList methodNames();

    // Runs a method for the operator; throws RequestError (404 unknown method, 400 bad arguments, 401 an operator
    // gone or deactivated), ServiceError (the user's request cannot be done, or not by this operator) or
    // db::DbError (the server's own failure).
    ServiceAnswer answer(const wire::Arguments& args);
    ServiceAnswer answer(const QString& method, const QJsonArray& args)
    {
        return answer(wire::Arguments(method, args));
    }
    // The same, for callers that need only the packet.
    wire::Packet call(const QString& method, const QJsonArray& args) { return answer(method, args).result; }

    wire::Packet GetGrupFili();
    wire::Packet GetFiliGrup(const QString& grouping, const QString& source);

    // The number (INTGCENTRAL.NRINTG) of the run the last IntgCentral call recorded.
    std::optional<qint64> run() const { return m_run; }
    // The recipes the last IntgCentral rewrote, or the last UndoIntg put back.
    int recipesWritten() const { return m_written; }

private:
    struct Method;
    static std::span<const Method> methods();

    ServiceAnswer getGrupFili(const wire::Arguments& args);
    ServiceAnswer getFiliGrup(const wire::Arguments& args);
    ServiceAnswer getPesqPrato(const wire::Arguments& args);
    ServiceAnswer intgCentral(const wire::Arguments& args);
    // A run's request, read only for an operator who may integrate and only up to the database's real sizes.
    IntegrationRequest integrationRequest(const wire::Arguments& args) const;
    ServiceAnswer listIntg(const wire::Arguments& args);
    ServiceAnswer undoIntg(const wire::Arguments& args);
    ServiceAnswer getIntgLog(const wire::Arguments& args);
    ServiceAnswer intgCentralPreview(const wire::Arguments& args);
    ServiceAnswer getProgresso(const wire::Arguments& args);

    QSqlDatabase m_db;
    QString m_operator;
    std::optional<qint64> m_run;
    int m_written = 0;
};

} // namespace suite::server
