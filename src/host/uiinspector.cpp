// Reads windows the way a script sees them: widgets by object name and their visible state.
#include "uiinspector.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace suite::host {

namespace {

QJsonValue textOf(const QWidget* widget)
{
    if (const auto* edit = qobject_cast<const QLineEdit*>(widget))
        return edit->text();
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget))
        return button->text();
    if (const auto* label = qobject_cast<const QLabel*>(widget))
        return label->text();
    if (const auto* combo = qobject_cast<const QComboBox*>(widget))
        return combo->currentText();
    if (const auto* group = qobject_cast<const QGroupBox*>(widget))
        return group->title();
    if (const auto* spin = qobject_cast<const QAbstractSpinBox*>(widget))
        return spin->text();
    if (const auto* plain = qobject_cast<const QPlainTextEdit*>(widget))
        return plain->toPlainText();
    if (const auto* rich = qobject_cast<const QTextEdit*>(widget))
        return rich->toPlainText();
    const QVariant text = widget->property("text");
    return text.isValid() ? QJsonValue(text.toString()) : QJsonValue();
}

QJsonValue checkedOf(const QWidget* widget)
{
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget); button && button->isCheckable())
        return button->isChecked();
    if (const auto* group = qobject_cast<const QGroupBox*>(widget); group && group->isCheckable())
        return group->isChecked();
    return {};
}

void collect(const QWidget* widget, QJsonArray& into)
{
    for (const QObject* child : widget->children()) {
        const auto* childWidget = qobject_cast<const QWidget*>(child);
        if (childWidget == nullptr || qobject_cast<const QMdiSubWindow*>(childWidget) != nullptr)
            continue;
        if (childWidget->isWindow())
            continue; // dialogs parented here are windows of their own
        QJsonObject entry = UiInspector::describe(childWidget);
        entry.insert(QStringLiteral("parent"), widget->objectName());
        into.append(entry);
        collect(childWidget, into);
    }
}

QJsonObject rectJson(const QRect& r)
{
    return QJsonObject{{QStringLiteral("x"), r.x()},
                       {QStringLiteral("y"), r.y()},
                       {QStringLiteral("width"), r.width()},
                       {QStringLiteral("height"), r.height()}};
}

QRect onScreen(const QWidget* widget, const QRect& local)
{
    return QRect(widget->mapToGlobal(local.topLeft()), local.size());
}

// A grid's rows that show in its viewport, first column to last, at most a screenful.
QJsonArray visibleRows(const QAbstractItemView* view)
{
    QJsonArray rows;
    const QAbstractItemModel* model = view->model();
    const QWidget* viewport = view->viewport();
    const QRect shown = viewport->rect();
    const int columns = model->columnCount();
    for (int row = 0; row < model->rowCount() && rows.size() < 100 && columns > 0; ++row) {
        const QRect first = view->visualRect(model->index(row, 0));
        const QRect last = view->visualRect(model->index(row, columns - 1));
        const QRect whole = (first | last) & shown;
        if (whole.isEmpty())
            continue;
        rows.append(
            QJsonObject{{QStringLiteral("row"), row}, {QStringLiteral("screen"), rectJson(onScreen(viewport, whole))}});
    }
    return rows;
}

QJsonArray visibleSections(const QHeaderView* header)
{
    QJsonArray sections;
    const QAbstractItemModel* model = header->model();
    const QWidget* viewport = header->viewport();
    for (int logical = 0; model && logical < header->count(); ++logical) {
        if (header->isSectionHidden(logical))
            continue;
        const int at = header->sectionViewportPosition(logical);
        const int size = header->sectionSize(logical);
        const QRect local = header->orientation() == Qt::Horizontal ? QRect(at, 0, size, viewport->height())
                                                                    : QRect(0, at, viewport->width(), size);
        const QRect shown = local & viewport->rect();
        if (shown.isEmpty())
            continue;
        sections.append(
            QJsonObject{{QStringLiteral("section"), logical},
                        {QStringLiteral("title"), model->headerData(logical, header->orientation()).toString()},
                        {QStringLiteral("screen"), rectJson(onScreen(viewport, shown))}});
    }
    return sections;
}

template<typename Bar> QJsonArray entriesOf(const Bar* bar)
{
    QJsonArray entries;
    for (QAction* action : bar->actions()) {
        if (!action->isVisible() || action->isSeparator())
            continue;
        const QRect r = bar->actionGeometry(action);
        if (r.isEmpty())
            continue;
        entries.append(QJsonObject{{QStringLiteral("objectName"), action->objectName()},
                                   {QStringLiteral("text"), action->text()},
                                   {QStringLiteral("enabled"), action->isEnabled()},
                                   {QStringLiteral("screen"), rectJson(onScreen(bar, r))}});
    }
    return entries;
}

QObject* findIn(QWidget* window, const QString& name)
{
    if (window->objectName() == name)
        return window;
    if (QWidget* widget = window->findChild<QWidget*>(name))
        return widget;
    return window->findChild<QObject*>(name);
}

} // namespace

QJsonObject UiInspector::describe(const QWidget* widget)
{
    const QRect g = widget->geometry();
    QJsonObject entry{
        {QStringLiteral("objectName"), widget->objectName()},
        {QStringLiteral("class"), QString::fromLatin1(widget->metaObject()->className())},
        {QStringLiteral("enabled"), widget->isEnabled()},
        {QStringLiteral("visible"), widget->isVisible()},
        {QStringLiteral("checked"), checkedOf(widget)},
        {QStringLiteral("text"), textOf(widget)},
        {QStringLiteral("windowTitle"), widget->windowTitle()},
        {QStringLiteral("geometry"), QJsonObject{{QStringLiteral("x"), g.x()},
                                                 {QStringLiteral("y"), g.y()},
                                                 {QStringLiteral("width"), g.width()},
                                                 {QStringLiteral("height"), g.height()}}},
    };
    if (const auto* view = qobject_cast<const QAbstractItemView*>(widget); view && view->model()) {
        entry.insert(QStringLiteral("rows"), view->model()->rowCount());
        entry.insert(QStringLiteral("currentRow"), view->currentIndex().row());
    }
    if (widget->hasFocus())
        entry.insert(QStringLiteral("focus"), true);
    return entry;
}

QJsonObject UiInspector::describeOnScreen(const QWidget* widget)
{
    QJsonObject entry = describe(widget);
    entry.insert(QStringLiteral("screen"), rectJson(onScreen(widget, widget->rect())));
    if (const auto* header = qobject_cast<const QHeaderView*>(widget))
        entry.insert(QStringLiteral("sections"), visibleSections(header));
    else if (const auto* view = qobject_cast<const QAbstractItemView*>(widget); view && view->model())
        entry.insert(QStringLiteral("rowRects"), visibleRows(view));
    if (const auto* menu = qobject_cast<const QMenu*>(widget))
        entry.insert(QStringLiteral("entries"), entriesOf(menu));
    else if (const auto* bar = qobject_cast<const QMenuBar*>(widget))
        entry.insert(QStringLiteral("entries"), entriesOf(bar));
    return entry;
}

QJsonObject UiInspector::dump(const QList<QWidget*>& windows)
{
    QJsonArray entries;
    for (QWidget* window : windows) {
        QJsonObject entry = describe(window);
        QJsonArray widgets;
        collect(window, widgets);
        entry.insert(QStringLiteral("widgets"), widgets);
        entries.append(entry);
    }
    return QJsonObject{{QStringLiteral("windows"), entries}};
}

QObject* UiInspector::find(const QList<QWidget*>& windows, const QString& target)
{
    const qsizetype slash = target.indexOf(u'/');
    const QString windowName = slash < 0 ? QString() : target.left(slash);
    const QString name = slash < 0 ? target : target.mid(slash + 1);
    // The later windows (screens, dialogs) are what a script is working with.
    for (auto it = windows.crbegin(); it != windows.crend(); ++it) {
        QWidget* window = *it;
        if (!windowName.isEmpty() && window->objectName() != windowName)
            continue;
        if (QObject* found = findIn(window, name))
            return found;
    }
    return nullptr;
}

QVariant UiInspector::property(const QObject* object, const QString& name)
{
    if (const auto* widget = qobject_cast<const QWidget*>(object)) {
        if (name == QLatin1String("focus"))
            return widget->hasFocus();
        const QJsonObject described = describe(widget);
        if (described.contains(name) && name != QLatin1String("geometry"))
            return described.value(name).toVariant();
    }
    return object->property(name.toLatin1().constData());
}

} // namespace suite::host
