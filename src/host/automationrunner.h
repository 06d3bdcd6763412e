// Runs --automate steps against the open windows, one after the other, and reports each.
#pragma once

#include "automationscript.h"

#include <QObject>
#include <QPointer>
#include <functional>

namespace mrv {
class ScriptedDialogs;
}

namespace suite::host {

class AutomationRunner : public QObject {
    Q_OBJECT
public:
    struct Environment {
        std::function<QList<QWidget*>()> windows; // what targets are looked up in
        std::function<bool(const QString&)> openModule;
        mrv::ScriptedDialogs* dialogs = nullptr;   // answers and the shown messages
        std::function<void(const QString&)> print; // one line per call
    };

    AutomationRunner(QList<AutomationStep> steps, Environment environment, QObject* parent = nullptr);

    // Starts on the event loop; finished() follows the last step or the first failure.
    void start();
    // Steps not started yet (the application may end before the script does).
    qsizetype remaining() const { return m_steps.size() - m_next; }

signals:
    void finished(int exitCode);

private:
    struct Outcome {
        bool ok = true;
        QString detail;
    };

    void tick();
    void scheduleTick();
    void runStep(qsizetype index);
    Outcome execute(const AutomationStep& step);
    Outcome answer(const QJsonObject& args);
    Outcome expect(const QJsonObject& args);
    Outcome expectCell(QObject* object, const QJsonObject& args);
    Outcome expectMessage(const QJsonObject& args);
    Outcome triggerMenu(const QJsonObject& args);
    QWidget* widgetTarget(const QJsonObject& args, QString* problem);
    void finish(int exitCode);
    void printShown();

    QList<AutomationStep> m_steps;
    Environment m_env;
    qsizetype m_next = 0;
    QList<QPointer<QWidget>> m_modalAtStep; // modal window under each running step
    bool m_done = false;
    qsizetype m_printedShown = 0; // dialogs' records printed so far
};

} // namespace suite::host
