// The flows a user walks, as a user walks them: the real host under a window manager, real mouse and keyboard.
#include "desktopfixture.h"
#include "recipeledger.h"

#include <QFile>
#include <QProcess>
#include <QSqlQuery>
#include <QTest>
#include <QThread>

using namespace suite::desktop;

namespace {

// Long enough for a wrongly repeated preview or message to show again; the flows wait for what must happen.
constexpr int kQuietMs = 1500;

int countShown(const UiState& s, const QString& className)
{
    int n = 0;
    for (const ShownDialog& d : s.shown())
        n += d.className == className ? 1 : 0;
    return n;
}

QStringList messagesShown(const UiState& s)
{
    QStringList texts;
    for (const ShownDialog& d : s.shown())
        if (d.className == QLatin1String("QMessageBox"))
            texts << d.text;
    return texts;
}

} // namespace

class tst_UserFlows : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void filterPickerOpensOnClick_data();
    void filterPickerOpensOnClick();
    void sourceSearchWithWrongCode_data();
    void sourceSearchWithWrongCode();
    void cycleFilterWithoutCycle_data();
    void cycleFilterWithoutCycle();
    void refusalShownOnce_data();
    void refusalShownOnce();
    void logReportClosesAndSaves();
    void historyReportPreviewsOnce();
    void wholeRunByKeyboard();

private:
    // Waits for a visible window of that class or name; fails the test (with the screen) when none shows.
    bool waitWindow(const QString& nameOrClass, int timeoutMs = 15000);
    bool waitGone(const QString& nameOrClass, int timeoutMs = 10000);
    // Waits until that window is the active one, where the keyboard goes; mapped is not yet active.
    bool waitActive(const QString& nameOrClass, int timeoutMs = 15000);
    // Waits for the question, answers it, and waits for that question to go: the next box may already be up.
    // Returns why it could not, or nothing.
    QString answer(const QString& question, const QString& button);
    // The grid of grouping `code` loaded by mouse, with "Todos" dishes.
    void loadGridByMouse(const QString& code, int rows);

    DesktopFixture m_desk;
};

void tst_UserFlows::initTestCase()
{
    SUITE_DESKTOP_START(m_desk);
}

void tst_UserFlows::init()
{
    // The history window behind the integration screen, as a user who opened both finds them.
    const QString why = m_desk.startHost({QStringLiteral("rci06000:IniHistorico"), QStringLiteral("rci06000")});
    QVERIFY2(why.isEmpty(), qPrintable(why));
}

void tst_UserFlows::cleanup()
{
    if (QTest::currentTestFailed())
        qWarning("screen at the failure: %s",
                 qPrintable(m_desk.screenshot(QString::fromLatin1(QTest::currentTestFunction()) + QLatin1Char('-') +
                                              QString::fromLatin1(QTest::currentDataTag()))));
    m_desk.stopHost();
}

bool tst_UserFlows::waitWindow(const QString& nameOrClass, int timeoutMs)
{
    const UiState s =
        m_desk.host().waitFor([&](const UiState& st) { return st.window(nameOrClass).has_value(); }, timeoutMs);
    return s.window(nameOrClass).has_value();
}

bool tst_UserFlows::waitGone(const QString& nameOrClass, int timeoutMs)
{
    const UiState s = m_desk.host().waitFor([&](const UiState& st) { return !st.window(nameOrClass); }, timeoutMs);
    return s.isValid() && !s.window(nameOrClass);
}

bool tst_UserFlows::waitActive(const QString& nameOrClass, int timeoutMs)
{
    const auto active = [&](const UiState& st) {
        const std::optional<UiWidget> w = st.window(nameOrClass);
        return w && st.activeWindow() == (w->name().isEmpty() ? w->className() : w->name());
    };
    return active(m_desk.host().waitFor(active, timeoutMs));
}

QString tst_UserFlows::answer(const QString& question, const QString& button)
{
    const auto asking = [&](const UiState& st) { return st.messageBoxes().join(' ').contains(question); };
    const UiState s = m_desk.host().waitFor(asking, 60000);
    if (!asking(s))
        return QStringLiteral("waiting for \"%1\"; shown: %2").arg(question, s.messageBoxes().join(" / "));
    // The window manager places a new box after Qt shows it: a click sent at once can land where the box was not
    // yet (the box then stays inactive, the click goes to the window behind). So the box gets a moment first, and
    // one more click if the first one found nothing; a box that ignores both fails.
    QThread::msleep(kQuietMs);
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!m_desk.clickButton(button))
            return m_desk.why();
        const UiState after =
            m_desk.host().waitFor([&](const UiState& st) { return st.isValid() && !asking(st); }, 5000);
        if (after.isValid() && !asking(after))
            return {};
    }
    return QStringLiteral("\"%1\" still asked").arg(question);
}

void tst_UserFlows::loadGridByMouse(const QString& code, int rows)
{
    QVERIFY2(m_desk.click("rbtTodosPrat"), qPrintable(m_desk.why()));
    QVERIFY2(m_desk.click("medAgrupFilial"), qPrintable(m_desk.why()));
    m_desk.input().key("ctrl+a");
    m_desk.input().type(code);
    QVERIFY2(m_desk.click("dbgFiliGrup"), qPrintable(m_desk.why()));
    const UiState s = m_desk.host().waitFor([&](const UiState& st) {
        const auto grid = st.widget("dbgFiliGrup");
        return grid && grid->rows() == rows;
    });
    QVERIFY2(s.widget("dbgFiliGrup") && s.widget("dbgFiliGrup")->rows() == rows,
             qPrintable("the grid did not load; messages: " + s.messageBoxes().join(" / ")));
}

void tst_UserFlows::filterPickerOpensOnClick_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("button");
    QTest::newRow("Serviço") << "chbDadoCard"
                             << "sbtServico";
    QTest::newRow("Tipo de Prato (cardápio)") << "chbDadoCard"
                                              << "sbtPrato";
    QTest::newRow("Ciclo") << "chbCicloCard"
                           << "sbtCiclo";
    QTest::newRow("Padrão de Serviço") << "chbCicloCard"
                                       << "sbtPadraoServCiclo";
    QTest::newRow("Tipo de Prato (ciclo)") << "chbCicloCard"
                                           << "sbtTpPratCiclo";
}

void tst_UserFlows::filterPickerOpensOnClick()
{
    QFETCH(QString, filter);
    QFETCH(QString, button);
    QVERIFY2(m_desk.click(filter), qPrintable(m_desk.why()));
    m_desk.host().waitFor([&](const UiState& s) { return s.widget(button) && s.widget(button)->enabled(); });
    const int since = m_desk.shownSoFar();
    // The list is empty and the filter's dates too: the click must open the picker, not check the area first.
    QVERIFY2(m_desk.click(button), qPrintable(m_desk.why()));
    const bool opened = waitWindow("dlgPesquisaLista");
    const UiState s = m_desk.state(since);
    QVERIFY2(opened, qPrintable("no picker; messages: " + messagesShown(s).join(" / ")));
    m_desk.screenshot(QStringLiteral("picker-") + QString::fromUtf8(QTest::currentDataTag()));
    QVERIFY2(messagesShown(s).isEmpty(), qPrintable(messagesShown(s).join(" / ")));
    m_desk.input().key("Escape");
    QVERIFY(waitGone("dlgPesquisaLista"));
    QVERIFY2(m_desk.host().running(), qPrintable(m_desk.host().ending()));
}

void tst_UserFlows::sourceSearchWithWrongCode_data()
{
    QTest::addColumn<QString>("code");
    QTest::newRow("unknown branch") << "9999";
    QTest::newRow("empty box") << "";
}

void tst_UserFlows::sourceSearchWithWrongCode()
{
    QFETCH(QString, code);
    QVERIFY2(m_desk.click("medCdFilial"), qPrintable(m_desk.why()));
    m_desk.input().key("ctrl+a");
    if (code.isEmpty())
        m_desk.input().key("BackSpace");
    else
        m_desk.input().type(code);
    m_desk.host().waitFor([&](const UiState& s) { return s.widget("medCdFilial")->text().trimmed() == code; });
    const int since = m_desk.shownSoFar();
    QVERIFY2(m_desk.click("sbtFilial"), qPrintable(m_desk.why()));
    const bool opened = waitWindow("dlgPesquisa");
    const UiState s = m_desk.state(since);
    QVERIFY2(opened, qPrintable("no look-up list; messages: " + messagesShown(s).join(" / ")));
    m_desk.screenshot(QStringLiteral("source-search-") + QString::fromUtf8(QTest::currentDataTag()));
    QVERIFY2(!messagesShown(s).contains(QStringLiteral("Filial não cadastrada.")),
             qPrintable(messagesShown(s).join(" / ")));
    m_desk.input().key("Escape");
    QVERIFY(waitGone("dlgPesquisa"));
    QVERIFY2(m_desk.host().running(), qPrintable(m_desk.host().ending()));
}

void tst_UserFlows::cycleFilterWithoutCycle_data()
{
    QTest::addColumn<QString>("button");
    QTest::newRow("dish picker") << "sbtPesqPrat";
    QTest::newRow("confirm") << "sbtConfirma";
}

void tst_UserFlows::cycleFilterWithoutCycle()
{
    QFETCH(QString, button);
    if (button == QLatin1String("sbtConfirma"))
        loadGridByMouse("2", 3); // the confirm button is enabled by a loaded grid
    QVERIFY2(m_desk.click("chbCicloCard"), qPrintable(m_desk.why()));
    m_desk.host().waitFor([&](const UiState& s) { return s.widget(button) && s.widget(button)->enabled(); });
    const int since = m_desk.shownSoFar();
    QVERIFY2(m_desk.click(button), qPrintable(m_desk.why()));
    UiState s = m_desk.host().waitFor([](const UiState& st) { return !st.messageBoxes().isEmpty(); }, 15000, since);
    QVERIFY2(m_desk.host().running(), qPrintable("suite-host " + m_desk.host().ending()));
    QCOMPARE(s.messageBoxes(), QStringList{QStringLiteral("Ciclo deve ser informado.")});
    m_desk.input().key("Return");
    QThread::msleep(kQuietMs);
    s = m_desk.state(since);
    QVERIFY2(m_desk.host().running(), qPrintable("suite-host " + m_desk.host().ending()));
    QVERIFY2(s.messageBoxes().isEmpty(), qPrintable("still showing: " + s.messageBoxes().join(" / ")));
    QCOMPARE(messagesShown(s), QStringList{QStringLiteral("Ciclo deve ser informado.")});
}

void tst_UserFlows::refusalShownOnce_data()
{
    QTest::addColumn<QString>("into");  // the controls clicked first, in order; the last one has the focus
    QTest::addColumn<QString>("typed"); // typed there over its text, if anything
    QTest::addColumn<QString>("leave"); // "click NAME" or "key KEYS": the move the area refuses
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focusAfter"); // where the refusal puts the user: the control at fault
    QTest::newRow("menu dates empty, click on a tree box") << "chbDadoCard"
                                                           << ""
                                                           << "click chbArvPadrao"
                                                           << "Data inicial deve ser informada."
                                                           << "depDataInic";
    QTest::newRow("menu dates empty, from the date, click on a tree box") << "chbDadoCard depDataInic"
                                                                          << ""
                                                                          << "click chbArvPadrao"
                                                                          << "Data inicial deve ser informada."
                                                                          << "depDataInic";
    QTest::newRow("unknown source branch, Tab") << "medCdFilial"
                                                << "9999"
                                                << "key Tab"
                                                << "Filial não cadastrada."
                                                << "medCdFilial";
    QTest::newRow("unknown source branch, Shift+Tab") << "medCdFilial"
                                                      << "9999"
                                                      << "key shift+Tab"
                                                      << "Filial não cadastrada."
                                                      << "medCdFilial";
    QTest::newRow("unknown source branch, click on the grouping") << "medCdFilial"
                                                                  << "9999"
                                                                  << "click medAgrupFilial"
                                                                  << "Filial não cadastrada."
                                                                  << "medCdFilial";
}

void tst_UserFlows::refusalShownOnce()
{
    QFETCH(QString, into);
    QFETCH(QString, typed);
    QFETCH(QString, leave);
    QFETCH(QString, message);
    QFETCH(QString, focusAfter);
    const QStringList clicks = into.split(u' ');
    for (const QString& control : clicks) {
        m_desk.host().waitFor([&](const UiState& s) { return s.widget(control) && s.widget(control)->enabled(); });
        QVERIFY2(m_desk.click(control), qPrintable(m_desk.why()));
    }
    if (!typed.isEmpty()) {
        m_desk.input().key("ctrl+a");
        m_desk.input().type(typed);
    }
    m_desk.host().waitFor([&](const UiState& s) { return s.focus() == clicks.last(); });
    const int since = m_desk.shownSoFar();
    const QString how = leave.section(u' ', 0, 0);
    const QString what = leave.section(u' ', 1);
    if (how == QLatin1String("click"))
        QVERIFY2(m_desk.click(what), qPrintable(m_desk.why()));
    else
        m_desk.input().key(what);
    UiState s = m_desk.host().waitFor([](const UiState& st) { return !st.messageBoxes().isEmpty(); }, 10000, since);
    QCOMPARE(s.messageBoxes(), QStringList{message});
    QVERIFY2(m_desk.clickButton("OK"), qPrintable(m_desk.why()));
    QThread::msleep(kQuietMs);
    s = m_desk.state(since);
    QVERIFY2(m_desk.host().running(), qPrintable("suite-host " + m_desk.host().ending()));
    QCOMPARE(messagesShown(s), QStringList{message});
    QCOMPARE(s.focus(), focusAfter);
}

void tst_UserFlows::logReportClosesAndSaves()
{
    loadGridByMouse("2", 3);
    QVERIFY2(m_desk.clickTitle("dbgFiliGrup", 0), qPrintable(m_desk.why())); // mark all
    const int since = m_desk.shownSoFar();
    QVERIFY2(m_desk.click("sbtConfirma"), qPrintable(m_desk.why()));
    for (const QString& question : {QStringLiteral("Confirma operação?"), QStringLiteral("Deseja Visualizar o log")}) {
        const QString why = answer(question, QStringLiteral("Sim"));
        QVERIFY2(why.isEmpty(), qPrintable(why));
    }
    QVERIFY2(waitWindow("QPrintPreviewDialog"), "the log report did not preview itself");
    QVERIFY(waitWindow("frmLogIntg"));
    QVERIFY2(waitActive("QPrintPreviewDialog"), "the preview is not the active window");
    m_desk.screenshot("logreport-preview");
    m_desk.input().key("Escape");
    const bool closed = waitGone("QPrintPreviewDialog");
    const UiState after = m_desk.state(since);
    QVERIFY2(closed,
             qPrintable(QStringLiteral("the preview is still there: %1 preview(s) shown, active window %2, focus %3")
                            .arg(countShown(after, "QPrintPreviewDialog"))
                            .arg(after.activeWindow(), after.focus())));
    QThread::msleep(kQuietMs);
    UiState s = m_desk.state(since);
    QVERIFY2(!s.window("QPrintPreviewDialog"), "the preview came back after it was closed");
    QCOMPARE(countShown(s, "QPrintPreviewDialog"), 1);
    QCOMPARE(s.activeWindow(), QStringLiteral("frmLogIntg"));
    m_desk.screenshot("logreport-after-preview");

    // PDF: the title, then the path; the window stays as it is.
    const QString pdf = m_desk.host().home() + "/log-sul.pdf";
    QVERIFY2(m_desk.click("frmLogIntg/sbtSalvar"), qPrintable(m_desk.why()));
    QVERIFY(m_desk.host().waitFor([](const UiState& st) { return !st.popup().isEmpty(); }).isValid());
    QVERIFY2(m_desk.clickMenuEntry("actSalvarPDF"), qPrintable(m_desk.why()));
    QVERIFY2(waitWindow("QInputDialog"), "no title prompt");
    m_desk.input().key("ctrl+a");
    m_desk.input().type("Log Sul");
    m_desk.input().key("Return");
    QVERIFY2(waitWindow("QFileDialog"), "no save dialog");
    m_desk.input().key("ctrl+a");
    m_desk.input().type(pdf);
    m_desk.input().key("Return");
    QVERIFY(waitGone("QFileDialog"));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(pdf), 15000);
    QProcess text;
    text.start("pdftotext", {pdf, "-"});
    QVERIFY(text.waitForFinished(30000));
    const QString pdfText = QString::fromUtf8(text.readAllStandardOutput());
    QVERIFY2(pdfText.contains("Filial Curitiba") && pdfText.contains("Log Sul"), qPrintable(pdfText.left(400)));

    // CSV: every row says its destination, code and name.
    const QString csv = m_desk.host().home() + "/log-sul.csv";
    QVERIFY2(m_desk.click("frmLogIntg/sbtSalvar"), qPrintable(m_desk.why()));
    QVERIFY(m_desk.host().waitFor([](const UiState& st) { return !st.popup().isEmpty(); }).isValid());
    QVERIFY2(m_desk.clickMenuEntry("actSalvarCSV"), qPrintable(m_desk.why()));
    QVERIFY2(waitWindow("QFileDialog"), "no save dialog");
    m_desk.input().key("ctrl+a");
    m_desk.input().type(csv);
    m_desk.input().key("Return");
    QVERIFY(waitGone("QFileDialog"));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(csv), 15000);
    QFile file(csv);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split("\r\n", Qt::SkipEmptyParts);
    QVERIFY2(lines.size() > 1, "the CSV has no rows");
    const QList<QPair<QString, QString>> destinations{
        {"0007", "Filial Curitiba"}, {"0009", "Filial Porto Alegre"}, {"0013", "Filial Joinville"}};
    for (const QString& line : lines.mid(1)) {
        const QStringList cells = line.split(u';');
        bool named = false;
        for (const auto& [code, name] : destinations)
            named = named || (cells.contains(code) && line.contains(name));
        QVERIFY2(named, qPrintable("a row without its destination's code and name: " + line));
    }

    s = m_desk.state(since);
    QVERIFY2(!s.window("QPrintPreviewDialog"), "the preview came back after saving");
    QCOMPARE(countShown(s, "QPrintPreviewDialog"), 1);
    // Closed as any window is: the window manager's close.
    m_desk.input().key("alt+F4");
    QVERIFY2(waitGone("frmLogIntg"), "the log report cannot be closed");
    QVERIFY2(m_desk.host().running(), qPrintable(m_desk.host().ending()));
    QVERIFY(m_desk.state().widget("frmIntgCentral").has_value());
}

void tst_UserFlows::historyReportPreviewsOnce()
{
    // A run with observations, its log declined on the screen, then opened from the history window.
    loadGridByMouse("2", 3);
    QVERIFY2(m_desk.clickTitle("dbgFiliGrup", 0), qPrintable(m_desk.why()));
    QVERIFY2(m_desk.click("sbtConfirma"), qPrintable(m_desk.why()));
    for (const auto& [question, button] :
         {std::pair{QStringLiteral("Confirma operação?"), QStringLiteral("Sim")},
          std::pair{QStringLiteral("Deseja Visualizar o log"), QStringLiteral("Não")}}) {
        const QString why = answer(question, button);
        QVERIFY2(why.isEmpty(), qPrintable(why));
    }
    QVERIFY2(m_desk.click("sbtAtualizar"), qPrintable(m_desk.why()));
    m_desk.host().waitFor([](const UiState& st) { return st.widget("dbgHistorico")->rows() > 0; });
    QVERIFY2(m_desk.clickRow("dbgHistorico", 0), qPrintable(m_desk.why()));
    const int since = m_desk.shownSoFar();
    QVERIFY2(m_desk.click("sbtRelatorio"), qPrintable(m_desk.why()));
    QVERIFY2(waitWindow("QPrintPreviewDialog"), "the run's report did not preview itself");
    QVERIFY2(waitActive("QPrintPreviewDialog"), "the preview is not the active window");
    m_desk.input().key("Escape");
    const bool closed = waitGone("QPrintPreviewDialog");
    QThread::msleep(kQuietMs);
    const UiState s = m_desk.state(since);
    QVERIFY2(closed && !s.window("QPrintPreviewDialog"),
             qPrintable(QStringLiteral("the preview came back: %1 shown").arg(countShown(s, "QPrintPreviewDialog"))));
    QCOMPARE(countShown(s, "QPrintPreviewDialog"), 1);
    m_desk.screenshot("history-report-after-preview");
    m_desk.input().key("alt+F4");
    QVERIFY2(waitGone("frmLogIntg"), "the report opened from the history cannot be closed");
    QVERIFY2(m_desk.host().running(), qPrintable(m_desk.host().ending()));
}

void tst_UserFlows::wholeRunByKeyboard()
{
    RecipeLedger ledger(m_desk.server().database());
    QVERIFY2(ledger.start().isEmpty(), "cannot read the database");
    QString why;
    const RecipeLedger::Recipes before = ledger.read(&why);
    QVERIFY2(why.isEmpty(), qPrintable(why));
    QVERIFY2(m_desk.keyUntilFocus("rbtListaPrat", "Tab", 30), qPrintable(m_desk.why()));
    m_desk.input().key("Up"); // "Todos"
    QVERIFY(m_desk.host().waitFor([](const UiState& s) { return s.widget("rbtTodosPrat")->checked(); }).isValid());
    QVERIFY2(m_desk.keyUntilFocus("medAgrupFilial", "Tab", 30), qPrintable(m_desk.why()));
    m_desk.input().type("3");
    QVERIFY2(m_desk.keyUntilFocus("dbgFiliGrup", "Tab", 10), qPrintable(m_desk.why()));
    UiState s = m_desk.host().waitFor([](const UiState& st) { return st.widget("dbgFiliGrup")->rows() == 3; });
    QCOMPARE(s.widget("dbgFiliGrup")->rows(), 3);
    m_desk.input().key("Home");  // the mark column of the first branch, 0011
    m_desk.input().key("space"); // marks it
    m_desk.input().key("Return");
    s = m_desk.host().waitFor([](const UiState& st) { return !st.messageBoxes().isEmpty(); });
    QVERIFY2(s.messageBoxes().join(' ').contains("Confirma operação?"), qPrintable(s.messageBoxes().join(" / ")));
    m_desk.input().key("Return"); // "Sim" is the default
    s = m_desk.host().waitFor(
        [](const UiState& st) {
            const QString shown = st.messageBoxes().join(' ');
            return shown.contains("concluída") || shown.contains("Deseja Visualizar");
        },
        60000);
    const QString outcome = s.messageBoxes().join(' ');
    QVERIFY2(outcome.contains("concluída") || outcome.contains("Deseja Visualizar"), qPrintable(outcome));
    m_desk.input().key(outcome.contains("Deseja Visualizar") ? "Escape" : "Return");
    QVERIFY(waitGone("QMessageBox"));

    const QStringList faults = ledger.check();
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
    QCOMPARE(ledger.runsChecked(), 1);
    const QStringList changed = RecipeLedger::changed(before, ledger.read(&why));
    QVERIFY2(!changed.isEmpty(), "the run changed no recipe");
    for (const QString& key : changed)
        QVERIFY2(key.section(u'|', 1, 1) == QLatin1String("0011"), qPrintable("a recipe not of 0011 changed: " + key));
    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "keyboard-run");
    db.setDatabaseName(m_desk.server().database());
    QVERIFY(db.open());
    QSqlQuery run(db);
    QVERIFY(run.exec("SELECT CDFILIORIG, IDTIPORECE, DSDESTINOS FROM INTGCENTRAL ORDER BY NRINTG DESC LIMIT 1"));
    QVERIFY(run.next());
    QCOMPARE(run.value(0).toString(), QStringLiteral("0001"));
    QCOMPARE(run.value(1).toString(), QStringLiteral("FS"));
    QCOMPARE(run.value(2).toString(), QStringLiteral("0011_"));
}

QTEST_GUILESS_MAIN(tst_UserFlows)
#include "tst_userflows.moc"
