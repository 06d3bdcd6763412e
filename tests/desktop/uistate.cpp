// One answer of the host's inspection socket.
#include "uistate.h"

namespace suite::desktop {

namespace {

std::optional<QRect> find(const QJsonArray& items, const char* key, const std::function<bool(const QJsonObject&)>& is)
{
    for (const QJsonValue& item : items)
        if (is(item.toObject()))
            return UiWidget::rectOf(item.toObject().value(QLatin1String(key)).toObject());
    return std::nullopt;
}

} // namespace

QString UiState::windowId(const QJsonObject& window)
{
    const QString name = window.value(QStringLiteral("objectName")).toString();
    return name.isEmpty() ? window.value(QStringLiteral("class")).toString() : name;
}

QRect UiWidget::rectOf(const QJsonObject& r)
{
    return QRect(r.value(QStringLiteral("x")).toInt(), r.value(QStringLiteral("y")).toInt(),
                 r.value(QStringLiteral("width")).toInt(), r.value(QStringLiteral("height")).toInt());
}

std::optional<QRect> UiWidget::row(int wanted) const
{
    return find(json.value(QStringLiteral("rowRects")).toArray(), "screen",
                [wanted](const QJsonObject& o) { return o.value(QStringLiteral("row")).toInt() == wanted; });
}

std::optional<QRect> UiWidget::section(int wanted) const
{
    return find(json.value(QStringLiteral("sections")).toArray(), "screen",
                [wanted](const QJsonObject& o) { return o.value(QStringLiteral("section")).toInt() == wanted; });
}

std::optional<QRect> UiWidget::entry(const QString& textOrName) const
{
    return find(json.value(QStringLiteral("entries")).toArray(), "screen", [&](const QJsonObject& o) {
        return o.value(QStringLiteral("objectName")).toString() == textOrName ||
               o.value(QStringLiteral("text")).toString().remove(u'&') == textOrName;
    });
}

UiState::UiState(QJsonObject json)
    : m_json(std::move(json))
{}

QList<ShownDialog> UiState::shown() const
{
    QList<ShownDialog> dialogs;
    for (const QJsonValue& v : m_json.value(QStringLiteral("shown")).toArray()) {
        const QJsonObject o = v.toObject();
        dialogs.append({o.value(QStringLiteral("seq")).toInt(), o.value(QStringLiteral("class")).toString(),
                        o.value(QStringLiteral("objectName")).toString(), o.value(QStringLiteral("title")).toString(),
                        o.value(QStringLiteral("text")).toString()});
    }
    return dialogs;
}

QList<UiWidget> UiState::windows() const
{
    QList<UiWidget> windows;
    for (const QJsonValue& v : m_json.value(QStringLiteral("windows")).toArray()) {
        QJsonObject o = v.toObject();
        o.remove(QStringLiteral("widgets"));
        windows.append({o, windowId(o)});
    }
    return windows;
}

std::optional<UiWidget> UiState::window(const QString& nameOrClass) const
{
    for (const UiWidget& w : windows())
        if (w.name() == nameOrClass || w.className() == nameOrClass)
            return w;
    return std::nullopt;
}

std::optional<UiWidget> UiState::widget(const QString& target) const
{
    const qsizetype slash = target.indexOf(u'/');
    const QString windowName = slash < 0 ? QString() : target.left(slash);
    const QString name = slash < 0 ? target : target.mid(slash + 1);
    const QJsonArray windows = m_json.value(QStringLiteral("windows")).toArray();
    // Newest windows (dialogs, screens) last: search from the end.
    for (auto it = windows.end(); it != windows.begin();) {
        const QJsonObject window = (*--it).toObject();
        const QString wname = windowId(window);
        if (!windowName.isEmpty() && wname != windowName)
            continue;
        if (wname == name)
            return UiWidget{window, wname};
        for (const QJsonValue& w : window.value(QStringLiteral("widgets")).toArray())
            if (w.toObject().value(QStringLiteral("objectName")).toString() == name)
                return UiWidget{w.toObject(), wname};
    }
    return std::nullopt;
}

QList<UiWidget> UiState::allWidgets() const
{
    QList<UiWidget> all;
    for (const QJsonValue& v : m_json.value(QStringLiteral("windows")).toArray()) {
        const QJsonObject window = v.toObject();
        const QString wname = windowId(window);
        for (const QJsonValue& w : window.value(QStringLiteral("widgets")).toArray())
            all.append({w.toObject(), wname});
    }
    return all;
}

QStringList UiState::messageBoxes() const
{
    QStringList texts;
    for (const UiWidget& w : windows())
        if (w.className() == QLatin1String("QMessageBox"))
            texts << w.text();
    return texts;
}

} // namespace suite::desktop
