// One answer of the host's inspection socket, read the way a test looks at the screen.
#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QRect>
#include <QString>
#include <optional>

namespace suite::desktop {

struct UiWidget {
    QJsonObject json;
    QString window; // objectName of the window it is in

    QString name() const { return json.value(QStringLiteral("objectName")).toString(); }
    QString className() const { return json.value(QStringLiteral("class")).toString(); }
    QString text() const { return json.value(QStringLiteral("text")).toString(); }
    bool enabled() const { return json.value(QStringLiteral("enabled")).toBool(); }
    bool checked() const { return json.value(QStringLiteral("checked")).toBool(); }
    bool focus() const { return json.value(QStringLiteral("focus")).toBool(); }
    int rows() const { return json.value(QStringLiteral("rows")).toInt(-1); }
    int currentRow() const { return json.value(QStringLiteral("currentRow")).toInt(-1); }
    QRect screen() const { return rectOf(json.value(QStringLiteral("screen")).toObject()); }
    // A grid's visible row, a header's section, a menu's entry (by its text without "&", or objectName).
    std::optional<QRect> row(int row) const;
    std::optional<QRect> section(int section) const;
    std::optional<QRect> entry(const QString& textOrName) const;

    static QRect rectOf(const QJsonObject& r);
};

struct ShownDialog {
    int seq = 0;
    QString className, objectName, title, text;
};

class UiState {
public:
    UiState() = default;
    explicit UiState(QJsonObject json);

    bool isValid() const { return !m_json.isEmpty(); }
    QString activeWindow() const { return m_json.value(QStringLiteral("active")).toString(); }
    QString modalWindow() const { return m_json.value(QStringLiteral("modal")).toString(); }
    QString popup() const { return m_json.value(QStringLiteral("popup")).toString(); }
    QString focus() const { return m_json.value(QStringLiteral("focus")).toString(); }
    int shownCount() const { return m_json.value(QStringLiteral("shownCount")).toInt(); }
    // The dialogs shown after the `since` given to the dump.
    QList<ShownDialog> shown() const;

    // Visible top-level windows: objectName, class, title, and the window itself as a widget.
    QList<UiWidget> windows() const;
    std::optional<UiWidget> window(const QString& nameOrClass) const;
    // A visible widget by objectName, in the newest window that has it (or "window/name").
    std::optional<UiWidget> widget(const QString& target) const;
    // Every visible widget of every window (for the random tester).
    QList<UiWidget> allWidgets() const;
    // The text of each visible message box.
    QStringList messageBoxes() const;

    const QJsonObject& json() const { return m_json; }
    // A window's name as the host reports the active and modal ones: its objectName, else its class.
    static QString windowId(const QJsonObject& window);

private:
    QJsonObject m_json;
};

} // namespace suite::desktop
