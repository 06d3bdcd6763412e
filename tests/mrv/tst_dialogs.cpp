// The list picker and the find routine, driven through the scripted dialogs.
#include "kittesthost.h"

#include "dataset.h"
#include "datasource.h"
#include "dialogs.h"
#include "errors.h"

#include <QtTest>

using namespace mrv;

namespace {
const QList<QStringList> branches{{"0001", "Matriz São Paulo"},
                                  {"0002", "Filial Campinas"},
                                  {"0003", "Filial Santos"},
                                  {"0004", "Filial Santos Dumont"}};
}

class tst_Dialogs : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        m_scripted = kittest::installScripted();
        m_ds = std::make_unique<TClientDataSet>();
        m_src = std::make_unique<TDataSource>();
        m_src->setDataSet(m_ds.get());
    }

    void pickList_data();
    void pickList();
    void pickListKeepsTheCursor();
    void requireChoiceAsksAgain();
    void procura_data();
    void procura();
    void mensErro();

private:
    kittest::RecordingHost m_host;
    ScriptedDialogs* m_scripted = nullptr;
    std::unique_ptr<TClientDataSet> m_ds;
    std::unique_ptr<TDataSource> m_src;
};

void tst_Dialogs::pickList_data()
{
    QTest::addColumn<QList<QStringList>>("rows");
    QTest::addColumn<bool>("withMessage");
    QTest::addColumn<QString>("list");
    QTest::addColumn<QString>("answer"); // "keep", "cancel" or keys joined by ","
    QTest::addColumn<QStringList>("preMarked");
    QTest::addColumn<QString>("result");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("choice in row order, each key followed by _")
        << branches << true << ""
        << "0003,0001" << QStringList{} << "0001_0003_" << QStringList{};
    QTest::newRow("pre-marked from the list, kept on OK")
        << branches << true << "0002_0004_"
        << "keep" << QStringList{"0002", "0004"} << "0002_0004_" << QStringList{};
    QTest::newRow("a list key the rows lack is not pre-marked and is dropped")
        << branches << true << "0002_0009_"
        << "keep" << QStringList{"0002"} << "0002_" << QStringList{};
    QTest::newRow("cancel keeps the list") << branches << true << "0002_"
                                           << "cancel" << QStringList{"0002"} << "0002_" << QStringList{};
    QTest::newRow("nothing marked empties the list") << branches << true << "0002_"
                                                     << "" << QStringList{"0002"} << "" << QStringList{};
    QTest::newRow("no rows: the text after the bar, list unchanged")
        << QList<QStringList>{} << true << "0002_"
        << "none" << QStringList{} << "0002_" << QStringList{"Não há filial cadastrada."};
    QTest::newRow("no rows, the plain picker too: the text after the bar")
        << QList<QStringList>{} << false << "0002_"
        << "none" << QStringList{} << "0002_" << QStringList{"Não há filial cadastrada."};
}

void tst_Dialogs::pickList()
{
    QFETCH(QList<QStringList>, rows);
    QFETCH(bool, withMessage);
    QFETCH(QString, list);
    QFETCH(QString, answer);
    QFETCH(QStringList, preMarked);
    QFETCH(QString, result);
    QFETCH(QStringList, messages);

    m_ds->setData(kittest::branchPacket(rows));
    if (answer == "keep")
        m_scripted->queuePickKeep();
    else if (answer == "cancel")
        m_scripted->queuePickCancel();
    else if (answer != "none")
        m_scripted->queuePick(answer.split(',', Qt::SkipEmptyParts));

    const QString caption = "Filial|Não há filial cadastrada.";
    if (withMessage)
        PesquisaListaMsg(m_src.get(), "CDFILIAL", caption, false, list);
    else
        PesquisaLista(m_src.get(), "CDFILIAL", caption, false, list);

    QCOMPARE(list, result);
    QCOMPARE(m_scripted->shownTexts(), messages);
    QCOMPARE(m_scripted->pendingAnswers(), 0);
    if (!rows.isEmpty()) {
        const ScriptedDialogs::Shown& shown = m_scripted->shown().last();
        QCOMPARE(shown.kind, QString("pickList"));
        QCOMPARE(shown.title, QString("Filial"));
        QCOMPARE(shown.preMarked, preMarked);
        QCOMPARE(shown.offered.size(), rows.size());
    }
}

void tst_Dialogs::pickListKeepsTheCursor()
{
    m_ds->setData(kittest::branchPacket(branches));
    m_ds->setRecNo(2);
    QString list;
    m_scripted->queuePick({"0001"});
    PesquisaListaMsg(m_src.get(), "CDFILIAL", "Filial|vazio", false, list);
    QCOMPARE(m_ds->RecNo(), 2); // walking the rows leaves a grid's row where it was
}

void tst_Dialogs::requireChoiceAsksAgain()
{
    m_ds->setData(kittest::branchPacket(branches));
    QString list = "0001_";
    m_scripted->queuePick({});
    m_scripted->queuePick({"0004"});
    PesquisaLista(m_src.get(), "CDFILIAL", "Filial", true, list);
    QCOMPARE(list, QString("0004_"));
    QCOMPARE(m_scripted->shownTexts().size(), 1);
}

void tst_Dialogs::procura_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("row");
    QTest::newRow("by name, case ignored") << 0 << "NMFILIAL"
                                           << "santos" << 2;
    QTest::newRow("next match after the current row") << 2 << "NMFILIAL"
                                                      << "santos" << 3;
    QTest::newRow("wraps to the top") << 3 << "NMFILIAL"
                                      << "santos" << 2;
    QTest::newRow("by code") << 0 << "CDFILIAL"
                             << "0004" << 3;
    QTest::newRow("not found: row stays") << 1 << "NMFILIAL"
                                          << "Recife" << 1;
}

void tst_Dialogs::procura()
{
    QFETCH(int, start);
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(int, row);
    m_ds->setData(kittest::branchPacket(branches));
    m_ds->setRecNo(start);
    m_scripted->queueFind(field, text);
    Procura(m_ds.get());
    QCOMPARE(m_ds->RecNo(), row);
}

void tst_Dialogs::mensErro()
{
    MensErro("Filial com contrato rescindido.", false);
    QVERIFY_THROWS_EXCEPTION(EAbort, MensErro("Prato deve ser informado.", true));
    QCOMPARE(m_scripted->shownTexts(), (QStringList{"Filial com contrato rescindido.", "Prato deve ser informado."}));
    QCOMPARE(m_scripted->shown().last().type, int(mtError));
}

QTEST_MAIN(tst_Dialogs)
#include "tst_dialogs.moc"
