// Runs --automate steps against the open windows, one after the other, and reports each.
#include "automationrunner.h"
#include "inputsimulator.h"
#include "uiinspector.h"

#include <dataset.h>
#include <datasource.h>
#include <dbgrid.h>
#include <dialogs.h>
#include <field.h>
#include <helpers.h>
#include <scripteddialogs.h>

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QJsonArray>
#include <QKeySequence>
#include <QMdiSubWindow>
#include <QTimer>

namespace suite::host {

namespace {

// Polling interval while a step is still running (a synchronous call or a modal window).
constexpr int kTickMs = 10;

QString show(const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return QStringLiteral("null");
    if (value.typeId() == QMetaType::Bool)
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    if (value.typeId() == QMetaType::QString)
        return u'"' + value.toString() + u'"';
    return value.toString();
}

bool matches(const QJsonValue& expected, const QVariant& actual)
{
    switch (expected.type()) {
    case QJsonValue::Null:
        return !actual.isValid() || actual.isNull();
    case QJsonValue::Bool:
        return actual.isValid() && !actual.isNull() && actual.toBool() == expected.toBool();
    case QJsonValue::Double: {
        bool ok = false;
        const double value = actual.toDouble(&ok);
        return ok && value == expected.toDouble();
    }
    case QJsonValue::String:
        return actual.isValid() && actual.toString() == expected.toString();
    default:
        return false;
    }
}

int messageAnswer(const QJsonValue& value)
{
    if (value.isDouble())
        return value.toInt();
    const QString name = value.toString().toLower();
    if (name == QLatin1String("yes") || name == QLatin1String("sim"))
        return mrv::mrYes;
    if (name == QLatin1String("no") || name == QLatin1String("não") || name == QLatin1String("nao"))
        return mrv::mrNo;
    if (name == QLatin1String("cancel") || name == QLatin1String("cancelar"))
        return mrv::mrCancel;
    return mrv::mrOk;
}

QStringList stringList(const QJsonValue& value)
{
    QStringList result;
    for (const QJsonValue& item : value.toArray())
        result.append(item.toString());
    return result;
}

} // namespace

AutomationRunner::AutomationRunner(QList<AutomationStep> steps, Environment environment, QObject* parent)
    : QObject(parent)
    , m_steps(std::move(steps))
    , m_env(std::move(environment))
{}

void AutomationRunner::start()
{
    scheduleTick();
}

void AutomationRunner::scheduleTick()
{
    // A fresh timer each time: a step that opens a modal window runs the next steps from
    // inside that window's event loop, where a repeating timer would not fire again.
    QTimer::singleShot(kTickMs, this, &AutomationRunner::tick);
}

void AutomationRunner::tick()
{
    if (m_done)
        return;
    scheduleTick();
    if (!m_modalAtStep.isEmpty()) {
        // A step is still on the stack: go on only when it waits in a new modal window.
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || m_modalAtStep.contains(modal))
            return;
    }
    if (m_next >= m_steps.size()) {
        if (m_modalAtStep.isEmpty())
            finish(0);
        return;
    }
    runStep(m_next++);
}

void AutomationRunner::runStep(qsizetype index)
{
    const AutomationStep& step = m_steps.at(index);
    const QString label = QStringLiteral("[%1/%2]").arg(index + 1).arg(m_steps.size());
    // What a step still on the stack showed so far is printed under it, before this one starts.
    printShown();
    m_env.print(QStringLiteral("%1 %2").arg(label, step.description()));

    m_modalAtStep.append(QApplication::activeModalWidget());
    Outcome outcome;
    try {
        outcome = execute(step);
    } catch (const std::exception& error) {
        outcome = {false, QString::fromUtf8(error.what())};
    }
    m_modalAtStep.removeLast();
    if (m_done)
        return;

    printShown();
    if (outcome.ok) {
        m_env.print(QStringLiteral("%1 ok").arg(label));
        return;
    }
    m_env.print(QStringLiteral("%1 FALHOU: %2").arg(label, outcome.detail));
    finish(1);
}

void AutomationRunner::printShown()
{
    if (!m_env.dialogs)
        return;
    const auto& shown = m_env.dialogs->shown();
    for (; m_printedShown < shown.size(); ++m_printedShown) {
        const mrv::ScriptedDialogs::Shown& item = shown.at(m_printedShown);
        // A preview is a whole report: its title says which.
        const bool titleOnly = item.text.isEmpty() || item.kind == QLatin1String("preview");
        m_env.print(QStringLiteral("      %1: %2").arg(item.kind, titleOnly ? item.title : item.text));
    }
}

QWidget* AutomationRunner::widgetTarget(const QJsonObject& args, QString* problem)
{
    const QString target = args.value(QStringLiteral("target")).toString();
    if (target.isEmpty()) {
        QWidget* focused = QApplication::focusWidget();
        if (focused == nullptr)
            *problem = QStringLiteral("nenhum controle tem o foco");
        return focused;
    }
    auto* widget = qobject_cast<QWidget*>(UiInspector::find(m_env.windows(), target));
    if (widget == nullptr)
        *problem = QStringLiteral("controle \"%1\" não encontrado").arg(target);
    return widget;
}

AutomationRunner::Outcome AutomationRunner::execute(const AutomationStep& step)
{
    const QJsonObject& args = step.args;
    const QString& action = step.action;
    if (action == QLatin1String("answer"))
        return answer(args);
    if (action == QLatin1String("expect"))
        return expect(args);
    if (action == QLatin1String("expectMessage"))
        return expectMessage(args);
    if (action == QLatin1String("menu"))
        return triggerMenu(args);
    if (action == QLatin1String("open")) {
        const QString module = args.value(QStringLiteral("module")).toString();
        return m_env.openModule(module) ? Outcome{}
                                        : Outcome{false, QStringLiteral("o módulo %1 não abriu").arg(module)};
    }

    QString problem;
    QWidget* widget = widgetTarget(args, &problem);
    if (widget == nullptr)
        return {false, problem};

    if (action == QLatin1String("focus")) {
        InputSimulator::focus(widget);
    } else if (action == QLatin1String("type")) {
        if (args.contains(QStringLiteral("target")))
            InputSimulator::focus(widget);
        InputSimulator::typeText(widget, args.value(QStringLiteral("text")).toString());
    } else if (action == QLatin1String("key")) {
        if (args.contains(QStringLiteral("target")))
            InputSimulator::focus(widget);
        const QKeyCombination combination =
            QKeySequence::fromString(args.value(QStringLiteral("key")).toString(), QKeySequence::PortableText)[0];
        InputSimulator::pressKey(widget, combination.key(), combination.keyboardModifiers());
    } else if (action == QLatin1String("click")) {
        if (!widget->isVisible())
            return {false, QStringLiteral("\"%1\" não está visível").arg(widget->objectName())};
        if (!widget->isEnabled())
            return {false, QStringLiteral("\"%1\" está desabilitado").arg(widget->objectName())};
        InputSimulator::click(widget);
    } else if (action == QLatin1String("doubleClick")) {
        auto* view = qobject_cast<QAbstractItemView*>(widget);
        if (view == nullptr)
            return {false, QStringLiteral("\"%1\" não é uma grade").arg(widget->objectName())};
        const int row = args.value(QStringLiteral("row")).toInt();
        if (!InputSimulator::doubleClickRow(view, row, args.value(QStringLiteral("column")).toInt(0)))
            return {false, QStringLiteral("\"%1\" não tem a linha %2").arg(widget->objectName()).arg(row)};
    } else if (action == QLatin1String("clickTitle")) {
        auto* grid = qobject_cast<mrv::TDBGrid*>(widget);
        if (grid == nullptr)
            return {false, QStringLiteral("\"%1\" não é uma grade").arg(widget->objectName())};
        const QString field = args.value(QStringLiteral("column")).toString();
        if (!InputSimulator::clickTitle(grid, mrv::IndiceCol(grid, field)))
            return {false, QStringLiteral("\"%1\" não mostra o título de %2").arg(widget->objectName(), field)};
    } else if (action == QLatin1String("activate")) {
        InputSimulator::activate(widget);
    } else if (action == QLatin1String("close")) {
        auto* sub = qobject_cast<QMdiSubWindow*>(widget->parentWidget());
        if (sub != nullptr)
            sub->close();
        else
            widget->close();
        QApplication::processEvents();
    }
    return {};
}

AutomationRunner::Outcome AutomationRunner::answer(const QJsonObject& args)
{
    mrv::ScriptedDialogs* dialogs = m_env.dialogs;
    if (dialogs == nullptr)
        return {false, QStringLiteral("sem diálogos roteirizados")};
    const QString dialog = args.value(QStringLiteral("dialog")).toString();
    const bool cancel = args.value(QStringLiteral("cancel")).toBool();
    if (dialog == QLatin1String("message")) {
        dialogs->queueMessage(messageAnswer(args.value(QStringLiteral("value"))));
    } else if (dialog == QLatin1String("pickList")) {
        if (cancel)
            dialogs->queuePickCancel();
        else if (args.contains(QStringLiteral("keys")))
            dialogs->queuePick(stringList(args.value(QStringLiteral("keys"))));
        else if (args.contains(QStringLiteral("first")))
            dialogs->queuePickFirst(args.value(QStringLiteral("first")).toInt());
        else
            dialogs->queuePickKeep();
    } else if (dialog == QLatin1String("lookup")) {
        if (cancel)
            dialogs->queueLookupCancel();
        else
            dialogs->queueLookup(args.value(QStringLiteral("key")).toString());
    } else if (dialog == QLatin1String("find")) {
        if (cancel)
            dialogs->queueFindCancel();
        else
            dialogs->queueFind(args.value(QStringLiteral("field")).toString(),
                               args.value(QStringLiteral("text")).toString());
    } else if (dialog == QLatin1String("savePath")) {
        dialogs->queueSavePath(cancel ? QString() : args.value(QStringLiteral("path")).toString());
    } else if (dialog == QLatin1String("inputText")) {
        dialogs->queueInputText(cancel ? std::nullopt
                                       : std::optional<QString>(args.value(QStringLiteral("text")).toString()));
    }
    return {};
}

AutomationRunner::Outcome AutomationRunner::expect(const QJsonObject& args)
{
    const QString target = args.value(QStringLiteral("target")).toString();
    QObject* object = UiInspector::find(m_env.windows(), target);
    if (object == nullptr)
        return {false, QStringLiteral("\"%1\" não encontrado").arg(target)};
    const QString property = args.value(QStringLiteral("property")).toString();
    if (property == QLatin1String("cell"))
        return expectCell(object, args);
    const QVariant actual = UiInspector::property(object, property);
    if (matches(args.value(QStringLiteral("value")), actual))
        return {};
    return {false, QStringLiteral("%1.%2 é %3").arg(target, property, show(actual))};
}

AutomationRunner::Outcome AutomationRunner::expectCell(QObject* object, const QJsonObject& args)
{
    auto* grid = qobject_cast<mrv::TDBGrid*>(object);
    mrv::TDataSet* dataSet = grid && grid->DataSource() ? grid->DataSource()->DataSet() : nullptr;
    if (dataSet == nullptr || !dataSet->Active())
        return {false, QStringLiteral("\"%1\" não é uma grade com dados").arg(object->objectName())};
    const int row = args.value(QStringLiteral("row")).toInt(-1);
    const QString fieldName = args.value(QStringLiteral("column")).toString();
    mrv::TField* field = dataSet->FindField(fieldName);
    if (field == nullptr)
        return {false, QStringLiteral("\"%1\" não tem o campo %2").arg(object->objectName(), fieldName)};
    if (row < 0 || row >= dataSet->RecordCount())
        return {false, QStringLiteral("\"%1\" não tem a linha %2 (%3 linhas)")
                           .arg(object->objectName())
                           .arg(row)
                           .arg(dataSet->RecordCount())};
    // The stored value, as text; an empty value compares as "".
    const QVariant stored = dataSet->valueAt(row, field->index());
    const QString actual = stored.isNull() ? QString() : stored.toString();
    if (matches(args.value(QStringLiteral("value")), actual))
        return {};
    return {false, QStringLiteral("%1[%2].%3 é %4").arg(object->objectName()).arg(row).arg(fieldName, show(actual))};
}

AutomationRunner::Outcome AutomationRunner::expectMessage(const QJsonObject& args)
{
    if (m_env.dialogs == nullptr)
        return {false, QStringLiteral("sem diálogos roteirizados")};
    const QString last = m_env.dialogs->lastText();
    const bool ok = args.contains(QStringLiteral("text"))
                        ? last == args.value(QStringLiteral("text")).toString()
                        : last.contains(args.value(QStringLiteral("contains")).toString());
    if (ok)
        return {};
    return {false, last.isEmpty() ? QStringLiteral("nenhuma mensagem foi mostrada")
                                  : QStringLiteral("a última mensagem foi \"%1\"").arg(last)};
}

AutomationRunner::Outcome AutomationRunner::triggerMenu(const QJsonObject& args)
{
    const QString target = args.value(QStringLiteral("target")).toString();
    const QString text = args.value(QStringLiteral("text")).toString();
    const QList<QWidget*> windows = m_env.windows();
    for (QWidget* window : windows) {
        const auto actions = window->findChildren<QAction*>();
        for (QAction* action : actions) {
            const bool hit =
                target.isEmpty() ? QString(action->text()).remove(u'&') == text : action->objectName() == target;
            if (!hit)
                continue;
            if (!action->isEnabled())
                return {false, QStringLiteral("o menu \"%1\" está desabilitado").arg(action->text())};
            action->trigger();
            QApplication::processEvents();
            return {};
        }
    }
    return {false, QStringLiteral("menu \"%1\" não encontrado").arg(target.isEmpty() ? text : target)};
}

void AutomationRunner::finish(int exitCode)
{
    if (m_done)
        return;
    m_done = true;
    emit finished(exitCode);
}

} // namespace suite::host
