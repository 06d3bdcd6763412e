// The steps of an --automate script, read and checked before anything runs.
#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>
#include <optional>

namespace suite::host {

struct AutomationStep {
    QString action;   // "type", "key", "click", ...
    QJsonObject args; // the step as written
    QString description() const;
};

class AutomationScript {
public:
    // A JSON array of steps, or an object whose "steps" is one. On failure, error says
    // which step is wrong and why.
    static std::optional<QList<AutomationStep>> parse(const QByteArray& json, QString* error);
    static std::optional<QList<AutomationStep>> load(const QString& path, QString* error);
};

} // namespace suite::host
