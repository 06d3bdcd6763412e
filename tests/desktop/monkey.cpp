// The random-input tester.
#include "monkey.h"

#include "desktopfixture.h"
#include "recipeledger.h"

#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTextStream>
#include <QThread>

namespace suite::desktop {

namespace {

// A user's pause between inputs; short, so that inputs also arrive while the host is still busy.
constexpr int kPauseMs = 60;
// The event loop must answer within this (a hang otherwise).
constexpr int kHangMs = 5000;
// A full database check at least this often, besides after every run.
constexpr int kCheckEvery = 100;
// A modal dialog the inputs have not closed after this many is closed with Escape.
constexpr int kStuckLimit = 12;
// A user who got lost starts over: a new host (same server and database) after this many inputs.
constexpr int kFreshHostEvery = 400;
// The controls of a run's main path, clicked more often than the rest so that runs do complete.
const char* const kMainPath[] = {"rbtTodosPrat",   "medAgrupFilial", "dbgFiliGrup",   "sbtConfirma",  "sbtPesqPrat",
                                 "sbtAgrupFilial", "sbtFilial",      "rbtTodosCiclo", "rbtTodosServ", "sbtDesfazer"};

const char* const kTexts[] = {
    // branch codes, valid, short, unknown, rescinded, of the "P" form
    "1", "2", "0001", "0002", "0007", "0010", "0012", "9999", "ABCD", "P010", "",
    // grouping codes
    "3", "0000000002", "0000000003", "77",
    // dish codes and keys
    "0101001", "P0101001", "00010101001",
    // dates: valid, not real, cut short, before 1900
    "01/12/2026", "31/12/2026", "15/06/2025", "31/02/2026", "01/12/202", "31/12/1899", "01/01/1900", "abc", " "};

const char* const kKeys[] = {"Tab",    "shift+Tab", "Return", "Escape", "space", "ctrl+space",
                             "F7",     "F9",        "Up",     "Down",   "Left",  "Right",
                             "Delete", "BackSpace", "ctrl+a", "Home",   "End",   "ctrl+f"};

// Inputs that end the program on purpose are not faults to look for.
bool quits(const QString& text)
{
    QString plain = text;
    plain.remove(u'&');
    return plain == QLatin1String("Sair");
}

bool usable(const UiWidget& w)
{
    const QRect r = w.screen();
    return w.enabled() && r.width() > 2 && r.height() > 2 && !quits(w.text());
}

} // namespace

QString MonkeyFinding::line() const
{
    return QStringLiteral("event %1: %2: %3%4")
        .arg(event)
        .arg(kind, detail, screenshot.isEmpty() ? QString() : QStringLiteral(" (screenshot %1)").arg(screenshot));
}

bool MonkeyResult::stoppedEarly() const
{
    for (const MonkeyFinding& f : findings)
        if (f.kind == QLatin1String("crash") || f.kind == QLatin1String("hang"))
            return true;
    return false;
}

Monkey::Monkey(DesktopFixture& desk, RecipeLedger& ledger, quint32 seed, QStringList open)
    : m_desk(desk)
    , m_ledger(ledger)
    , m_random(seed)
    , m_seed(seed)
    , m_open(std::move(open))
{}

MonkeyResult Monkey::run(int events, const QString& logFile)
{
    MonkeyResult result;
    result.seed = m_seed;
    result.logFile = logFile;
    QFile file(logFile);
    file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text);
    QTextStream log(&file);
    int seen = m_desk.host().dump().shownCount();
    const auto finding = [&](int event, const QString& kind, const QString& detail) {
        MonkeyFinding f{event, kind, detail, m_desk.screenshot(QStringLiteral("monkey-%1-%2").arg(m_seed).arg(event))};
        log << "  FINDING " << f.line() << '\n';
        log.flush();
        result.findings.append(f);
    };

    for (int event = 0; event <= events; ++event) {
        UiState state = m_desk.host().dump(seen, kHangMs);
        if (!state.isValid()) {
            if (!m_desk.host().running()) {
                finding(event, QStringLiteral("crash"),
                        QStringLiteral("suite-host %1 after input %2; its last words: %3")
                            .arg(m_desk.host().ending())
                            .arg(event - 1)
                            .arg(m_desk.host().output().right(600)));
                break;
            }
            if (!m_desk.host().ping(kHangMs)) {
                finding(event, QStringLiteral("hang"),
                        QStringLiteral("the event loop did not answer for %1 s after input %2")
                            .arg(2 * kHangMs / 1000)
                            .arg(event - 1));
                break;
            }
            state = m_desk.host().dump(seen, kHangMs);
            if (!state.isValid())
                continue;
        }
        // What the previous input showed: never the same message twice, nor again the one it answered.
        QStringList boxes;
        for (const ShownDialog& d : state.shown()) {
            ++result.messages;
            log << "  shown " << d.className << ' ' << d.title << ": " << QString(d.text).replace(u'\n', u' ') << '\n';
            if (d.className != QLatin1String("QMessageBox"))
                continue;
            if (boxes.contains(d.text))
                finding(event - 1, QStringLiteral("repeated message"),
                        QStringLiteral("\"%1\" shown twice for one input").arg(d.text));
            else if (!m_answered.isEmpty() && d.text == m_answered)
                finding(event - 1, QStringLiteral("repeated message"),
                        QStringLiteral("\"%1\" shown again right after it was answered").arg(d.text));
            boxes << d.text;
        }
        seen = state.shownCount();
        if (event % kCheckEvery == 0 || m_ledger.newRunEnded() || event == events) {
            for (const QString& fault : m_ledger.check())
                finding(event - 1, QStringLiteral("database"), fault);
        }
        if (event == events)
            break;
        if (event > 0 && event % kFreshHostEvery == 0 && !state.window(QStringLiteral("QMessageBox"))) {
            const QString why = m_desk.startHost(m_open);
            log << event << " new host" << (why.isEmpty() ? QString() : QStringLiteral(": ") + why) << '\n';
            if (!why.isEmpty()) {
                finding(event, QStringLiteral("crash"), QStringLiteral("a new host did not start: ") + why);
                break;
            }
            seen = m_desk.host().dump().shownCount();
            ++result.newHosts;
            continue;
        }
        m_answered.clear();
        const QString what = act(state);
        log << event << ' ' << what << '\n';
        ++result.events;
        QThread::msleep(kPauseMs);
    }
    result.runsChecked = m_ledger.runsChecked();
    return result;
}

QString Monkey::act(const UiState& state)
{
    const QString modal = state.modalWindow();
    if (!modal.isEmpty()) {
        m_stuckFor = modal == m_stuckOn ? m_stuckFor + 1 : 0;
        m_stuckOn = modal;
        return answerDialog(state, modal);
    }
    m_stuckOn.clear();
    if (!state.popup().isEmpty()) {
        for (const UiWidget& w : state.windows()) {
            if (w.className() != QLatin1String("QMenu"))
                continue;
            QList<QRect> entries;
            QStringList texts;
            for (const QJsonValue& e : w.json.value(QStringLiteral("entries")).toArray()) {
                const QJsonObject o = e.toObject();
                if (o.value(QStringLiteral("enabled")).toBool() && !quits(o.value(QStringLiteral("text")).toString())) {
                    entries << UiWidget::rectOf(o.value(QStringLiteral("screen")).toObject());
                    texts << o.value(QStringLiteral("text")).toString();
                }
            }
            if (!entries.isEmpty() && pick(4) > 0) {
                const int i = pick(int(entries.size()));
                m_desk.input().click(entries[i]);
                return QStringLiteral("menu entry \"%1\"").arg(texts[i]);
            }
        }
        m_desk.input().key(QStringLiteral("Escape"));
        return QStringLiteral("key Escape (menu)");
    }
    if (!state.widget(QStringLiteral("frmIntgCentral")) ||
        (!state.widget(QStringLiteral("frmHistIntg")) && pick(20) == 0))
        return reopen(state);
    const int dice = pick(100);
    if (dice < 40)
        return clickSomething(state);
    if (dice < 65)
        return pressSomething();
    if (dice < 82)
        return typeSomething();
    if (dice < 92)
        return clickGrid(state, false);
    return clickGrid(state, true);
}

QString Monkey::answerDialog(const UiState& state, const QString& dialog)
{
    QList<UiWidget> inside;
    for (const UiWidget& w : state.allWidgets())
        if (w.window == dialog && usable(w))
            inside << w;
    const std::optional<UiWidget> window = state.window(dialog);
    const QString kind = window ? window->className() : dialog;
    if (m_stuckFor > kStuckLimit) {
        m_desk.input().key(QStringLiteral("Escape"));
        return QStringLiteral("key Escape (closing %1)").arg(dialog);
    }
    if (kind == QLatin1String("QMessageBox")) {
        m_answered = window->text();
        QList<UiWidget> buttons;
        for (const UiWidget& w : inside)
            if (w.className() == QLatin1String("QPushButton"))
                buttons << w;
        const int how = pick(10);
        if (how < 7 && !buttons.isEmpty()) {
            const UiWidget& b = buttons[pick(int(buttons.size()))];
            m_desk.input().click(b.screen());
            return QStringLiteral("answer \"%1\" to \"%2\"").arg(b.text(), m_answered.left(60));
        }
        const QString key = how < 9 ? QStringLiteral("Return") : QStringLiteral("Escape");
        m_desk.input().key(key);
        return QStringLiteral("answer %1 to \"%2\"").arg(key, m_answered.left(60));
    }
    if (kind == QLatin1String("QFileDialog")) {
        if (pick(2) == 0) {
            m_desk.input().key(QStringLiteral("Escape"));
            return QStringLiteral("file dialog: Escape");
        }
        const QString path = m_desk.host().home() + QStringLiteral("/monkey-%1-%2").arg(m_seed).arg(++m_typed);
        m_desk.input().key(QStringLiteral("ctrl+a"));
        m_desk.input().type(path);
        m_desk.input().key(QStringLiteral("Return"));
        return QStringLiteral("file dialog: save as ") + path;
    }
    const int how = pick(10);
    if (how < 3) {
        m_desk.input().key(QStringLiteral("Escape"));
        return QStringLiteral("%1: Escape").arg(dialog);
    }
    if (how < 5) {
        m_desk.input().key(QStringLiteral("Return"));
        return QStringLiteral("%1: Return").arg(dialog);
    }
    if (how < 8 && !inside.isEmpty()) {
        const UiWidget& w = inside[pick(int(inside.size()))];
        m_desk.input().click(w.screen());
        return QStringLiteral("%1: click %2 %3").arg(dialog, w.className(), w.name());
    }
    if (how < 9)
        return typeSomething();
    return pressSomething();
}

QString Monkey::clickSomething(const UiState& state)
{
    QList<UiWidget> candidates;
    const QString active = state.activeWindow();
    for (const UiWidget& w : state.allWidgets())
        if ((active.isEmpty() || w.window == active) && usable(w))
            candidates << w;
    // The menu bar's entries are not widgets: they are candidates of their own.
    if (pick(15) == 0)
        return reopen(state);
    if (candidates.isEmpty())
        return pressSomething();
    // Mostly the controls a user aims at; now and then anywhere (labels, panels, frames, scroll bars).
    static const QRegularExpression control(
        QStringLiteral("Button|Check|Radio|Edit|Grid|Combo|Date|Spin|Header|TabBar|ListView|TableView"));
    QList<UiWidget> controls;
    for (const UiWidget& w : std::as_const(candidates))
        if (control.match(w.className()).hasMatch())
            controls << w;
    QList<UiWidget> mainPath;
    for (const UiWidget& w : std::as_const(controls))
        for (const char* name : kMainPath)
            if (w.name() == QLatin1String(name))
                mainPath << w;
    const int aim = pick(10);
    const QList<UiWidget>& from = aim < 3 && !mainPath.isEmpty()   ? mainPath
                                  : controls.isEmpty() || aim == 9 ? candidates
                                                                   : controls;
    const UiWidget& w = from[pick(int(from.size()))];
    const QRect r = w.screen();
    // Anywhere inside the control, not only its middle.
    const QPoint at(r.left() + 1 + pick(std::max(1, r.width() - 2)), r.top() + 1 + pick(std::max(1, r.height() - 2)));
    m_desk.input().click(at);
    return QStringLiteral("click %1 %2 at %3,%4").arg(w.className(), w.name()).arg(at.x()).arg(at.y());
}

QString Monkey::typeSomething()
{
    const QString text = QString::fromLatin1(kTexts[pick(int(std::size(kTexts)))]);
    const bool replace = pick(2) == 0;
    if (replace)
        m_desk.input().key(QStringLiteral("ctrl+a"));
    if (!text.isEmpty())
        m_desk.input().type(text);
    return QStringLiteral("type \"%1\"%2").arg(text, replace ? QStringLiteral(" over the selection") : QString());
}

QString Monkey::pressSomething()
{
    const QString key = QString::fromLatin1(kKeys[pick(int(std::size(kKeys)))]);
    m_desk.input().key(key);
    return QStringLiteral("key ") + key;
}

QString Monkey::clickGrid(const UiState& state, bool title)
{
    const QString active = state.activeWindow();
    QList<std::pair<UiWidget, QRect>> targets;
    for (const UiWidget& w : state.allWidgets()) {
        if (!active.isEmpty() && w.window != active)
            continue;
        const QJsonArray items =
            w.json.value(title ? QStringLiteral("sections") : QStringLiteral("rowRects")).toArray();
        for (const QJsonValue& item : items)
            targets.append({w, UiWidget::rectOf(item.toObject().value(QStringLiteral("screen")).toObject())});
    }
    if (targets.isEmpty())
        return clickSomething(state);
    const auto& [grid, r] = targets[pick(int(targets.size()))];
    if (title) {
        m_desk.input().click(r);
        return QStringLiteral("title click on %1 at %2,%3")
            .arg(grid.json.value(QStringLiteral("parent")).toString())
            .arg(r.center().x())
            .arg(r.center().y());
    }
    m_desk.input().doubleClick(r.center());
    return QStringLiteral("double click on %1 at %2,%3").arg(grid.name()).arg(r.center().x()).arg(r.center().y());
}

QString Monkey::reopen(const UiState& state)
{
    for (const UiWidget& w : state.allWidgets()) {
        if (w.className() != QLatin1String("QMenuBar"))
            continue;
        if (const std::optional<QRect> entry = w.entry(QStringLiteral("Receitas"))) {
            m_desk.input().click(*entry);
            return QStringLiteral("menu Receitas");
        }
    }
    return pressSomething();
}

} // namespace suite::desktop
