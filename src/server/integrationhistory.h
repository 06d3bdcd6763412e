// IntegrationHistory: the runs the service recorded, as the history screens and the command line list them.
#pragma once

#include <packet.h>

#include <QSqlDatabase>

namespace suite::server {

class IntegrationHistory {
public:
    // operatorCode: whose history: the runs from the operator's branches.
    IntegrationHistory(QSqlDatabase db, QString operatorCode);

    // Every run from a source the operator may use, newest first, naming only the operator's destinations: NRINTG, IDTIPOINTG ("I" an integration, "D" the undo of NRINTGDESF),
    // NRINTGDESF, CDOPERADOR, DTINICIO, DTFIM, CDFILIORIG, IDTIPORECE, QTDESTINOS, DSDESTINOS,
    // QTAPAGADAS, QTINSERIDAS (the run's), QTOBSERV (those its log shows the operator), DTDESFEITA; times as
    // "dd/MM/yyyy HH:mm:ss".
    wire::Packet list() const;

    static wire::Packet listColumns();

private:
    QSqlDatabase m_db;
    QString m_operator;
};

} // namespace suite::server
