// Test stand-ins of the kit's tests: the recording host, scripted dialogs, small data sets.
#pragma once

#include "../common/recordinghost.h"

#include "clientdataset.h"
#include "scripteddialogs.h"

#include <QJsonArray>

namespace kittest {

using RecordingHost = suite::test::RecordingHost;

// Installs scripted dialogs for the life of the object.
inline mrv::ScriptedDialogs* installScripted()
{
    auto scripted = std::make_unique<mrv::ScriptedDialogs>();
    mrv::ScriptedDialogs* raw = scripted.get();
    mrv::setDialogs(std::move(scripted));
    return raw;
}

// A branch list: CDFILIAL, NMFILIAL (and IDMARCADO when marks are given).
inline QJsonObject branchPacket(const QList<QStringList>& rows, bool withMark = false)
{
    QJsonArray columns;
    if (withMark)
        columns.append(QJsonObject{{"name", "IDMARCADO"}, {"type", "string"}, {"size", 1}});
    columns.append(QJsonObject{{"name", "CDFILIAL"}, {"type", "string"}, {"size", 4}});
    columns.append(QJsonObject{{"name", "NMFILIAL"}, {"type", "string"}, {"size", 30}});
    QJsonArray data;
    for (const QStringList& r : rows)
        data.append(QJsonArray::fromStringList(r));
    return QJsonObject{{"columns", columns}, {"rows", data}};
}

} // namespace kittest
