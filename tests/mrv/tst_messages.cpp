// Message catalogues: keys without regard to case, missing keys, and the questions they ask.
#include "dialogs.h"
#include "messages.h"
#include "scripteddialogs.h"

#include <QtTest>

using namespace mrv;

namespace {

// Lines as a screen's catalogue holds them.
const QStringList catalogue{
    "fili_contr_resc|Filial com contrato rescindido.",
    "DATACARD_COMPARA|Data final deve ser maior ou igual à data inicial.",
    "conf_op|Confirma a integração das receitas?",
    "op_conc|Operação concluída com sucesso.",
    "padrao|Padrão",
    "separador|Texto com | barra",
    "vazio|",
};

} // namespace

class tst_Messages : public QObject {
    Q_OBJECT
private slots:
    void msg_data();
    void msg();
    void reloadReplacesLines();
    void showMsg_data();
    void showMsg();
};

void tst_Messages::msg_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("text");
    QTest::newRow("as written") << "fili_contr_resc"
                                << "Filial com contrato rescindido.";
    QTest::newRow("upper-case key asked in lower case") << "datacard_compara"
                                                        << "Data final deve ser maior ou igual à data inicial.";
    QTest::newRow("lower-case key asked in upper case") << "PADRAO"
                                                        << "Padrão";
    QTest::newRow("mixed case") << "Conf_Op"
                                << "Confirma a integração das receitas?";
    QTest::newRow("bar inside the text") << "separador"
                                         << "Texto com | barra";
    QTest::newRow("empty text") << "vazio"
                                << "";
    QTest::newRow("missing key yields the key") << "Intg_Mat"
                                                << "Intg_Mat";
    QTest::newRow("empty key") << ""
                               << "";
}

void tst_Messages::msg()
{
    QFETCH(QString, key);
    QFETCH(QString, text);
    TMessages messages;
    messages.setLines(catalogue);
    QCOMPARE(messages.Msg(key), text);
}

void tst_Messages::reloadReplacesLines()
{
    TMessages messages;
    messages.setLines(catalogue);
    messages.setLines({"local|Local"});
    QCOMPARE(messages.Msg("LOCAL"), QStringLiteral("Local"));
    QCOMPARE(messages.Msg("padrao"), QStringLiteral("padrao"));
}

void tst_Messages::showMsg_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("buttons");
    QTest::addColumn<int>("queued");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("shown");
    QTest::newRow("question answered yes") << "conf_op" << 3 << 3 << 6 << 6 << "Confirma a integração das receitas?";
    QTest::newRow("question answered no") << "CONF_OP" << 3 << 3 << 7 << 7 << "Confirma a integração das receitas?";
    QTest::newRow("information with OK") << "op_conc" << 2 << 4 << -1 << 1 << "Operação concluída com sucesso.";
    QTest::newRow("missing key shows the key") << "v_log" << 2 << 4 << -1 << 1 << "v_log";
}

void tst_Messages::showMsg()
{
    QFETCH(QString, key);
    QFETCH(int, type);
    QFETCH(int, buttons);
    QFETCH(int, queued);
    QFETCH(int, answer);
    QFETCH(QString, shown);
    auto scripted = std::make_unique<ScriptedDialogs>();
    ScriptedDialogs* script = scripted.get();
    setDialogs(std::move(scripted));
    if (queued >= 0)
        script->queueMessage(queued);

    TMessages messages;
    messages.setLines(catalogue);
    QCOMPARE(messages.ShowMsg(key, type, buttons, 0), answer);
    QCOMPARE(script->lastText(), shown);
    QCOMPARE(script->shown().last().type, type);
    QCOMPARE(script->shown().last().buttons, buttons);
}

QTEST_MAIN(tst_Messages)
#include "tst_messages.moc"
