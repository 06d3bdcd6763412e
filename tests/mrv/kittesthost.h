// Test stand-ins for the host: records what reaches the exception handler; and small data sets.
#pragma once

#include "clientdataset.h"
#include "hostservices.h"
#include "scripteddialogs.h"

#include <QJsonArray>
#include <QWidget>

namespace kittest {

class RecordingHost : public mrv::HostServices {
public:
    RecordingHost() { mrv::setHostServices(this); }
    ~RecordingHost() override { mrv::setHostServices(nullptr); }

    QWidget* mainWindow() override { return main; }
    void addScreen(QWidget* form) override { form->show(); }
    void refreshLocalCache(const QStringList&, QWidget*, bool, const QString&) override {}
    void handleException(const QString& message) override { errors << message; }
    QString reportsDir() override { return reports; }

    QWidget* main = nullptr;
    QString reports;
    QStringList errors;
};

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
