// Real X input through xdotool: what a user's mouse and keyboard do, on one display.
#pragma once

#include <QPoint>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QStringList>

namespace suite::desktop {

class XInput {
public:
    explicit XInput(QProcessEnvironment environment)
        : m_env(std::move(environment))
    {}

    void click(QPoint at, int button = 1) { run({"mousemove", x(at), y(at), "click", n(button)}); }
    void click(const QRect& r) { click(r.center()); }
    void doubleClick(QPoint at) { run({"mousemove", x(at), y(at), "click", "--repeat", "2", "--delay", "80", "1"}); }
    // Keys as xdotool names them: "Tab", "shift+Tab", "Return", "Escape", "ctrl+a", "space".
    void key(const QString& keys) { run({"key", "--delay", "40", keys}); }
    void type(const QString& text) { run({"type", "--delay", "30", text}); }
    // The id of the first visible window whose title contains `title`, waiting for it to show; empty when none.
    QString findWindow(const QString& title, int timeoutMs = 20000);
    // Gives the window the keyboard, as a click on its title bar would.
    bool activate(const QString& windowId) { return run({"windowactivate", "--sync", windowId}); }
    // The output of the last command, for the ones that answer.
    QString lastOutput() const { return m_out; }

    bool run(const QStringList& arguments);

private:
    static QString x(QPoint p) { return QString::number(p.x()); }
    static QString y(QPoint p) { return QString::number(p.y()); }
    static QString n(int v) { return QString::number(v); }

    QProcessEnvironment m_env;
    QString m_out;
};

} // namespace suite::desktop
