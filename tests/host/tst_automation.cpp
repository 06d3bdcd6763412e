// --dump-ui and --automate against a plain window: what a script sees and how a run ends.
#include "automationrunner.h"
#include "automationscript.h"
#include "uiinspector.h"

#include <dialogs.h>
#include <scripteddialogs.h>

#include <QCheckBox>
#include <QJsonArray>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

using suite::host::AutomationRunner;
using suite::host::AutomationScript;
using suite::host::UiInspector;

namespace {

// A small screen: a name edit, a check box, and a button that asks before it copies.
class SampleScreen : public QWidget {
public:
    SampleScreen()
    {
        setObjectName("frmAmostra");
        setWindowTitle("Amostra");
        name->setObjectName("edtNome");
        copy->setObjectName("edtCopia");
        active->setObjectName("chbAtivo");
        button->setObjectName("sbtCopiar");
        active->setText("Ativo");
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(name);
        layout->addWidget(copy);
        layout->addWidget(active);
        layout->addWidget(button);
        connect(button, &QPushButton::clicked, this, [this] {
            if (mrv::dialogs().message("Copiar o nome?", mrv::mtConfirmation, mrv::mbYesNo) == mrv::mrYes)
                copy->setText(name->text());
        });
    }
    QLineEdit* name = new QLineEdit(this);
    QLineEdit* copy = new QLineEdit(this);
    QCheckBox* active = new QCheckBox(this);
    QPushButton* button = new QPushButton("Copiar", this);
};

} // namespace

class tst_Automation : public QObject {
    Q_OBJECT
private slots:
    void init();
    void dumpDescribesEveryWidget();
    void scriptErrors_data();
    void scriptErrors();
    void runsToTheEnd();
    void failedExpectationStopsWithOne();

private:
    int run(const QByteArray& script, QStringList* output);
    std::unique_ptr<SampleScreen> m_screen;
    mrv::ScriptedDialogs* m_dialogs = nullptr;
};

void tst_Automation::init()
{
    auto dialogs = std::make_unique<mrv::ScriptedDialogs>();
    m_dialogs = dialogs.get();
    mrv::setDialogs(std::move(dialogs));
    m_screen = std::make_unique<SampleScreen>();
    m_screen->show();
    m_screen->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_screen.get()));
}

int tst_Automation::run(const QByteArray& script, QStringList* output)
{
    QString error;
    const auto steps = AutomationScript::parse(script, &error);
    if (!steps) {
        qWarning() << error;
        return -1;
    }
    AutomationRunner::Environment environment;
    environment.windows = [this] { return QList<QWidget*>{m_screen.get()}; };
    environment.openModule = [](const QString&) { return false; };
    environment.dialogs = m_dialogs;
    environment.print = [output](const QString& line) { output->append(line); };
    AutomationRunner runner(*steps, environment);
    QSignalSpy finished(&runner, &AutomationRunner::finished);
    runner.start();
    if (!finished.wait(20000))
        return -2;
    return finished.first().first().toInt();
}

void tst_Automation::dumpDescribesEveryWidget()
{
    m_screen->name->setText("Arroz");
    m_screen->active->setChecked(true);
    m_screen->button->setEnabled(false);

    const QJsonObject dump = UiInspector::dump({m_screen.get()});
    const QJsonArray windows = dump.value("windows").toArray();
    QCOMPARE(windows.size(), 1);
    const QJsonObject window = windows.first().toObject();
    QCOMPARE(window.value("windowTitle").toString(), QString("Amostra"));
    QHash<QString, QJsonObject> byName;
    for (const QJsonValue& value : window.value("widgets").toArray())
        byName.insert(value.toObject().value("objectName").toString(), value.toObject());

    QCOMPARE(byName.value("edtNome").value("text").toString(), QString("Arroz"));
    QCOMPARE(byName.value("edtNome").value("class").toString(), QString("QLineEdit"));
    QCOMPARE(byName.value("chbAtivo").value("checked").toBool(), true);
    QVERIFY(byName.value("edtNome").value("checked").isNull());
    QCOMPARE(byName.value("sbtCopiar").value("enabled").toBool(), false);
    QCOMPARE(byName.value("sbtCopiar").value("visible").toBool(), true);
    QVERIFY(byName.value("sbtCopiar").value("geometry").toObject().value("width").toInt() > 0);
    QCOMPARE(byName.value("sbtCopiar").value("parent").toString(), QString("frmAmostra"));
}

void tst_Automation::scriptErrors_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QString>("message");
    QTest::newRow("not JSON") << QByteArray("[{") << "JSON inválido";
    QTest::newRow("no steps") << QByteArray("{\"steps\": []}") << "não tem passos";
    QTest::newRow("unknown action") << QByteArray("[{\"do\": \"paste\"}]") << "passo 1: ação desconhecida";
    QTest::newRow("missing field") << QByteArray(
                                          "[{\"do\":\"focus\",\"target\":\"a\"},{\"do\":\"expect\",\"target\":\"a\"}]")
                                   << "passo 2: \"expect\" precisa de \"property\"";
    QTest::newRow("bad key") << QByteArray("[{\"do\": \"key\", \"key\": \"Ctrl+Nada\"}]") << "tecla inválida";
    QTest::newRow("unknown dialog") << QByteArray("[{\"do\": \"answer\", \"dialog\": \"print\"}]")
                                    << "diálogo desconhecido";
}

void tst_Automation::scriptErrors()
{
    QFETCH(QByteArray, script);
    QFETCH(QString, message);
    QString error;
    QVERIFY(!AutomationScript::parse(script, &error));
    QVERIFY2(error.contains(message), qPrintable(error));
}

void tst_Automation::runsToTheEnd()
{
    QStringList output;
    const int code = run(R"([
        {"do": "type", "target": "edtNome", "text": "Feijão"},
        {"do": "key", "key": "Backspace"},
        {"do": "click", "target": "chbAtivo"},
        {"do": "answer", "dialog": "message", "value": "yes"},
        {"do": "click", "target": "sbtCopiar"},
        {"do": "expectMessage", "text": "Copiar o nome?"},
        {"do": "expect", "target": "edtCopia", "property": "text", "value": "Feijã"},
        {"do": "expect", "target": "frmAmostra/chbAtivo", "property": "checked", "value": true},
        {"do": "expect", "target": "sbtCopiar", "property": "focus", "value": true}
    ])",
                         &output);
    QVERIFY2(code == 0, qPrintable(output.join('\n')));
    QCOMPARE(output.count(), 9 * 2 + 1); // each step announced and confirmed, plus the message shown
}

void tst_Automation::failedExpectationStopsWithOne()
{
    QStringList output;
    const int code = run(R"({"steps": [
        {"do": "type", "target": "edtNome", "text": "Arroz"},
        {"do": "expect", "target": "edtNome", "property": "text", "value": "Macarrão"},
        {"do": "type", "target": "edtCopia", "text": "not reached"}
    ]})",
                         &output);
    QCOMPARE(code, 1);
    QVERIFY2(output.last().contains("[2/3] FALHOU: edtNome.text é \"Arroz\""), qPrintable(output.join('\n')));
    QVERIFY(m_screen->copy->text().isEmpty());
}

QTEST_MAIN(tst_Automation)
#include "tst_automation.moc"
