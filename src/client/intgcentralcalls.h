// The integration service's methods as the screens call them: their argument lists in one place.
#pragma once

#include <QDate>
#include <QJsonObject>
#include <QString>

namespace mrv {
class TNetConnection;
}

namespace rci06000 {

// The dish search's eleven arguments, in the order the service takes them. A list is a
// choice list ("key_key_"), "T" for all, or empty; an empty date editor is an invalid date.
struct PesqPratoArgs {
    QString source;
    QString localTree;    // the source branch code, or "X"
    QString standardTree; // "P", or "X"
    int levels = 0;       // levels of the dish-code picture
    QString services;
    QString dishTypes;
    QDate start;
    QDate end;
    QString cycles;
    QString servicePatterns;
    QString cycleDishTypes;
};

// Each returns the service's whole answer, for CheckResultServ.
QJsonObject GetGrupFili(mrv::TNetConnection* connection);
// grouping: a grouping code, or "T" for every branch.
QJsonObject GetFiliGrup(mrv::TNetConnection* connection, const QString& grouping, const QString& source);
QJsonObject GetPesqPrato(mrv::TNetConnection* connection, const PesqPratoArgs& args);
// dishes: "key_key_"; kinds: "FS", "FX", "XS" or "XX"; destinations: the destination grid's whole
// packet, marks included; start, end: short date texts, or "" when the menu-data filter is off.
QJsonObject IntgCentral(mrv::TNetConnection* connection, const QString& source, const QString& dishes,
                        const QString& kinds, const QJsonObject& destinations, const QString& start,
                        const QString& end);
// What IntgCentral would do, rolled back: the same arguments.
QJsonObject IntgCentralPreview(mrv::TNetConnection* connection, const QString& source, const QString& dishes,
                               const QString& kinds, const QJsonObject& destinations, const QString& start,
                               const QString& end);

// The history: every run, newest first; the observations of one run; the undo of one run.
QJsonObject ListIntg(mrv::TNetConnection* connection);
QJsonObject GetIntgLog(mrv::TNetConnection* connection, qint64 run);
QJsonObject UndoIntg(mrv::TNetConnection* connection, qint64 run);

} // namespace rci06000
