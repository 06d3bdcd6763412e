// Everything a desktop test starts, and the few moves every flow makes.
#include "desktopfixture.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>

namespace suite::desktop {

DesktopFixture::~DesktopFixture()
{
    m_host.reset(); // before the display it shows on
}

QString DesktopFixture::start()
{
    if (const QString why = m_display.start(); !why.isEmpty())
        return why;
    m_input = std::make_unique<XInput>(m_display.environment());
    return m_server.startDemo();
}

QString DesktopFixture::startHost(const QStringList& open)
{
    m_host = std::make_unique<HostDriver>();
    HostSettings settings;
    settings.environment = m_display.environment();
    settings.serverPort = m_server.port();
    settings.database = m_server.database();
    settings.open = open;
    if (const QString why = m_host->start(settings); !why.isEmpty())
        return why;
    // As a user would find it: the main window by its title, given the keyboard by the window manager.
    // A minute at most: a sanitized host beside other tests on two cores has taken over 20 s to map it.
    QString window;
    const QDeadlineTimer deadline(60000);
    while (window.isEmpty() && !deadline.hasExpired() && m_host->running())
        window = m_input->findWindow(QStringLiteral("Suíte - Filial"), 2000);
    if (window.isEmpty())
        return QStringLiteral("no window titled \"Suíte - Filial\" on the display (host %1)\n%2")
            .arg(m_host->ending(), m_host->output());
    m_input->activate(window);
    const UiState shown = m_host->waitFor([&](const UiState& s) {
        if (s.activeWindow().isEmpty())
            return false;
        for (const QString& entry : open) {
            const QString name =
                entry.contains(u':') ? QStringLiteral("frmHistIntg") : QStringLiteral("frmIntgCentral");
            if (!s.widget(name))
                return false;
        }
        return true;
    }, 30000);
    if (!shown.isValid() || shown.activeWindow().isEmpty())
        return QStringLiteral("the host's screens did not show: ") + m_host->ending();
    return {};
}

bool DesktopFixture::fail(const QString& why)
{
    m_why = why;
    return false;
}

bool DesktopFixture::click(const QString& target)
{
    const UiState s = state();
    const std::optional<UiWidget> w = s.widget(target);
    if (!w)
        return fail(QStringLiteral("%1 is not visible (host %2)").arg(target, m_host->ending()));
    if (!w->enabled())
        return fail(target + QStringLiteral(" is disabled"));
    m_input->click(w->screen());
    return true;
}

bool DesktopFixture::clickButton(const QString& text)
{
    const UiState s = state();
    const QString window = s.modalWindow().isEmpty() ? s.activeWindow() : s.modalWindow();
    for (const UiWidget& w : s.allWidgets()) {
        if (w.window == window && w.json.value(QStringLiteral("text")).toString().remove(u'&') == text && w.enabled()) {
            m_input->click(w.screen());
            return true;
        }
    }
    return fail(QStringLiteral("no button \"%1\" in %2").arg(text, window));
}

bool DesktopFixture::clickRow(const QString& grid, int row, bool twice)
{
    const std::optional<UiWidget> w = state().widget(grid);
    const std::optional<QRect> r = w ? w->row(row) : std::nullopt;
    if (!r)
        return fail(QStringLiteral("row %1 of %2 is not visible").arg(row).arg(grid));
    // Right of the mark column, inside the row: the mark is toggled by the double click, not by where it lands.
    const QPoint at(r->left() + r->width() / 2, r->center().y());
    if (twice)
        m_input->doubleClick(at);
    else
        m_input->click(at);
    return true;
}

bool DesktopFixture::clickTitle(const QString& grid, int section)
{
    const UiState s = state();
    for (const UiWidget& w : s.allWidgets()) {
        if (w.className() != QLatin1String("QHeaderView") || w.json.value(QStringLiteral("parent")).toString() != grid)
            continue;
        if (const std::optional<QRect> r = w.section(section)) {
            m_input->click(*r);
            return true;
        }
    }
    return fail(QStringLiteral("title %1 of %2 is not visible").arg(section).arg(grid));
}

bool DesktopFixture::clickMenuEntry(const QString& entry)
{
    const UiState s = state();
    for (const UiWidget& w : s.windows()) {
        if (w.className() != QLatin1String("QMenu"))
            continue;
        if (const std::optional<QRect> r = w.entry(entry)) {
            m_input->click(*r);
            return true;
        }
    }
    return fail(QStringLiteral("no open menu has \"%1\"").arg(entry));
}

bool DesktopFixture::keyUntilFocus(const QString& target, const QString& key, int presses)
{
    for (int i = 0; i <= presses; ++i) {
        const UiState s = m_host->waitFor([](const UiState&) { return true; });
        if (s.focus() == target)
            return true;
        if (!s.messageBoxes().isEmpty())
            return fail(QStringLiteral("a message stopped the way to %1: %2").arg(target, s.messageBoxes().join(u'/')));
        if (i < presses) {
            m_input->key(key);
            QThread::msleep(150);
        }
    }
    return fail(QStringLiteral("%1 never got the focus after %2 x %3 (focus on %4)")
                    .arg(target)
                    .arg(presses)
                    .arg(key, state().focus()));
}

QString DesktopFixture::outputDir()
{
    const QString dir = QDir::current().filePath(QStringLiteral("output/") +
                                                 QFileInfo(QCoreApplication::applicationFilePath()).fileName());
    QDir().mkpath(dir);
    return dir;
}

QString DesktopFixture::screenshot(const QString& tag)
{
    QString safe = tag;
    safe.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_.-]+")), QStringLiteral("_"));
    const QString path = QDir(outputDir()).filePath(safe + QStringLiteral(".png"));
    return m_display.screenshot(path) ? path : QString();
}

} // namespace suite::desktop
