// The integration screen's model: controls, defaults, catalogue, masks, key shortcuts.
#include "modulefixture.h"

#include <adoibquery.h>
#include <btnpesquisa.h>
#include <buttonflat.h>
#include <checkbox.h>
#include <clientdataset.h>
#include <image.h>
#include <maskedit.h>
#include <messages.h>
#include <notebook.h>
#include <panel.h>
#include <radiobutton.h>

#include <QJsonArray>
#include <QLineEdit>
#include <QSignalSpy>
#include <QStyleOptionFrame>
#include <QtTest>

using namespace rci06000::test;

namespace {

const int any = -999;

// What GetFiliGrup answers: one destination branch, not marked.
QJsonObject branchesPacket(const QString& code)
{
    auto column = [](const char* name, int size) {
        return QJsonObject{{"name", name}, {"type", "string"}, {"size", size}};
    };
    return QJsonObject{{"columns", QJsonArray{column("IDMARCADO", 1), column("CDFILIAL", 4), column("NMFILIAL", 30),
                                              column("IDCNTRRESC", 1)}},
                       {"rows", QJsonArray{QJsonArray{"N", code, "Filial Sul", "N"}}}};
}

} // namespace

class tst_IntgCentral : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void enabledBeforeAndAfterCreate_data();
    void enabledBeforeAndAfterCreate();
    void checkedDefaults();
    void geometry_data();
    void geometry();
    void groupingCodeFits();
    void tabOrderInsideOrigem();
    void catalogue_data();
    void catalogue();
    void catalogueStoredOrder();
    void typedCodes_data();
    void typedCodes();
    void branchCodeInGridIsUpperCase();
    void keyShortcutsNeedEnabledButtons_data();
    void keyShortcutsNeedEnabledButtons();
    void branchChangeResetsDependants();
    void filterSwitch_data();
    void filterSwitch();
    void markImages();

private:
    template<class T> T* control(QWidget* form, const char* name)
    {
        T* c = form->findChild<T*>(QLatin1String(name));
        if (!c)
            qWarning("no control %s", name);
        return c;
    }

    RecordingHost m_host;
    mrv::ScriptedDialogs* m_dialogs = nullptr;
    DemoBackend m_backend;
};

void tst_IntgCentral::initTestCase()
{
    mrv::setHostServices(&m_host);
    const QString why = m_backend.start();
    QVERIFY2(why.isEmpty(), qPrintable(why));
    mrv::setLoginContext(m_backend.login(m_backend.server().port()));
}

void tst_IntgCentral::init()
{
    auto dialogs = std::make_unique<mrv::ScriptedDialogs>();
    m_dialogs = dialogs.get();
    mrv::setDialogs(std::move(dialogs));
    m_host.errors.clear();
}

void tst_IntgCentral::cleanup()
{
    resetModule();
}

void tst_IntgCentral::enabledBeforeAndAfterCreate_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("before");
    QTest::addColumn<bool>("after");
    // Pickers are enabled in the model; creation switches both filters off.
    for (const char* name :
         {"sbtCiclo", "sbtPadraoServCiclo", "sbtTpPratCiclo", "rbtTodosCiclo", "rbtListaCiclo", "rbtTodosServCiclo",
          "rbtListaServCiclo", "rbtTodosTpPratCiclo", "rbtListaTpPratCiclo", "depDataInic", "depDataFina",
          "rbtTodosServ", "rbtListaServ", "rbtTodosPrato", "rbtListaPrato", "sbtPrato"})
        QTest::newRow(name) << name << true << false;
    for (const char* name : {"sbtConfirma", "sbtProcurar", "sbtServico", "edtNmFilial", "edtAgrupFilial"})
        QTest::newRow(name) << name << false << false;
    // The switches, the sub-groups and the dish scope stay usable.
    for (const char* name : {"chbCicloCard", "chbDadoCard", "grbCiclo", "grbData", "grbServ", "grbTipoPrato",
                             "sbtPesqPrat", "rbtTodosPrat", "rbtListaPrat", "medCdFilial", "medAgrupFilial"})
        QTest::newRow(name) << name << true << true;
}

void tst_IntgCentral::enabledBeforeAndAfterCreate()
{
    QFETCH(QString, name);
    QFETCH(bool, before);
    QFETCH(bool, after);
    TfrmIntgCentral form;
    QWidget* widget = form.findChild<QWidget*>(name);
    QVERIFY2(widget, qPrintable(name));
    QCOMPARE(widget->isEnabledTo(&form), before);
    form.runCreate();
    QCOMPARE(widget->isEnabledTo(&form), after);
}

void tst_IntgCentral::checkedDefaults()
{
    TfrmIntgCentral form;
    auto verify = [&form, this](const char* stage) {
        for (const char* name :
             {"chbArvPadrao", "chbArvLocal", "chbLocal", "chbServico", "rbtListaCiclo", "rbtListaServCiclo",
              "rbtListaTpPratCiclo", "rbtListaServ", "rbtListaPrato", "rbtListaPrat"})
            QVERIFY2(control<QAbstractButton>(&form, name)->isChecked(), qPrintable(QString("%1 %2").arg(stage, name)));
        for (const char* name : {"chbCicloCard", "chbDadoCard", "rbtTodosCiclo", "rbtTodosServCiclo",
                                 "rbtTodosTpPratCiclo", "rbtTodosServ", "rbtTodosPrato", "rbtTodosPrat"})
            QVERIFY2(!control<QAbstractButton>(&form, name)->isChecked(),
                     qPrintable(QString("%1 %2").arg(stage, name)));
    };
    verify("before creation");
    form.runCreate();
    verify("after creation");
    QCOMPARE(form.nbkFiliDest->PageIndex(), 0);
    QCOMPARE(form.nbkFiliDest->currentWidget()->objectName(), QString("pgListaFili"));
    QVERIFY(dishList(&form).isEmpty());
    QVERIFY(form.property("boPrimAtivacao").toBool());
}

void tst_IntgCentral::geometry_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("relativeTo");
    QTest::addColumn<QRect>("expected"); // parts that are `any` are not checked
    QTest::newRow("Panel2") << "Panel2"
                            << "frmIntgCentral" << QRect(0, 0, 439, 487);
    QTest::newRow("panMenu") << "panMenu"
                             << "frmIntgCentral" << QRect(439, 0, 47, 487);
    QTest::newRow("grbOrigem") << "grbOrigem"
                               << "Panel2" << QRect(0, 0, 439, 339);
    QTest::newRow("panFilial") << "panFilial"
                               << "grbOrigem" << QRect(any, any, 435, 25);
    QTest::newRow("grbCicloCard") << "grbCicloCard"
                                  << "grbOrigem" << QRect(any, 47, 427, 93);
    QTest::newRow("grbDadoCard") << "grbDadoCard"
                                 << "grbOrigem" << QRect(any, 143, 427, 93);
    QTest::newRow("grbPratos") << "grbPratos"
                               << "grbOrigem" << QRect(any, 240, 427, 93);
    QTest::newRow("grbDestino") << "grbDestino"
                                << "Panel2" << QRect(0, 340, 439, 141);
    QTest::newRow("panAgrupFilial") << "panAgrupFilial"
                                    << "grbDestino" << QRect(any, any, 435, 86);
    QTest::newRow("chbCicloCard") << "chbCicloCard"
                                  << "grbCicloCard" << QRect(11, -1, any, any);
    QTest::newRow("chbDadoCard") << "chbDadoCard"
                                 << "grbDadoCard" << QRect(11, -1, any, any);
    QTest::newRow("Panel1") << "Panel1"
                            << "panMenu" << QRect(any, 101, 48, 28);
    QTest::newRow("sbtProcurar") << "sbtProcurar"
                                 << "Panel1" << QRect(any, any, 40, 21);
    QTest::newRow("medCdFilial") << "medCdFilial"
                                 << "panFilial" << QRect(any, any, 62, any);
    QTest::newRow("edtNmFilial") << "edtNmFilial"
                                 << "panFilial" << QRect(any, any, 286, any);
    QTest::newRow("depDataInic") << "depDataInic"
                                 << "grbData" << QRect(any, any, 114, any);
    QTest::newRow("sbtPesqPrat") << "sbtPesqPrat"
                                 << "grbPrato" << QRect(any, any, 21, 21);
    QTest::newRow("medAgrupFilial") << "medAgrupFilial"
                                    << "panAgrupFili" << QRect(108, 8, any, 21);
    QTest::newRow("edtAgrupFilial") << "edtAgrupFilial"
                                    << "panAgrupFili" << QRect(any, 8, any, 21);
}

void tst_IntgCentral::groupingCodeFits()
{
    TfrmIntgCentral* form = openScreen(m_host);
    QVERIFY(form);
    // A whole ten-digit code shows in the font in use; the row still ends where it did.
    QLineEdit* code = form->medAgrupFilial;
    code->setText("0000000002");
    QStyleOptionFrame option;
    option.initFrom(code);
    option.lineWidth = code->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, code);
    const int room = code->style()->subElementRect(QStyle::SE_LineEditContents, &option, code).width() - 2 * 2;
    const int needed = code->fontMetrics().horizontalAdvance(code->text());
    QVERIFY2(needed <= room, qPrintable(QString("%1 px of text in %2 px").arg(needed).arg(room)));
    QVERIFY(code->width() >= 78);
    QCOMPARE(form->sbtAgrupFilial->x(), code->geometry().right() + 3);
    QCOMPARE(form->edtAgrupFilial->x(), form->sbtAgrupFilial->geometry().right() + 4);
    QCOMPARE(form->edtAgrupFilial->geometry().right() + 1, 212 + 209);
}

void tst_IntgCentral::geometry()
{
    QFETCH(QString, name);
    QFETCH(QString, relativeTo);
    QFETCH(QRect, expected);
    TfrmIntgCentral* form = openScreen(m_host);
    QVERIFY(form);
    // The client area is fixed: 486 x 487.
    QCOMPARE(form->size(), QSize(486, 487));
    QCOMPARE(form->minimumSize(), form->maximumSize());
    QWidget* widget = form->findChild<QWidget*>(name);
    QWidget* base = relativeTo == "frmIntgCentral" ? form : form->findChild<QWidget*>(relativeTo);
    QVERIFY2(widget && base, qPrintable(name));
    const QPoint at = widget->mapTo(form, QPoint(0, 0)) - base->mapTo(form, QPoint(0, 0));
    if (expected.x() != any)
        QCOMPARE(at.x(), expected.x());
    if (expected.y() != any)
        QCOMPARE(at.y(), expected.y());
    if (expected.width() != any)
        QCOMPARE(widget->width(), expected.width());
    if (expected.height() != any)
        QCOMPARE(widget->height(), expected.height());
}

void tst_IntgCentral::tabOrderInsideOrigem()
{
    // Inside "Origem": the branch row, the menu data, the dishes, the menu cycle last.
    TfrmIntgCentral form;
    const QStringList firsts{"medCdFilial", "chbDadoCard", "chbArvPadrao", "chbCicloCard", "medAgrupFilial"};
    QStringList seen;
    QWidget* w = form.medCdFilial;
    for (int i = 0; i < 200 && seen.size() < firsts.size(); ++i, w = w->nextInFocusChain())
        if (firsts.contains(w->objectName()) && !seen.contains(w->objectName()))
            seen << w->objectName();
    QCOMPARE(seen, firsts);
}

void tst_IntgCentral::catalogue_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("text");
    // The screen asks for some keys in another case than they are stored under.
    QTest::newRow("PADRAO") << "PADRAO"
                            << "Padrão";
    QTest::newRow("LOCAL") << "LOCAL"
                           << "Local";
    QTest::newRow("SERVICO") << "SERVICO"
                             << "Serviço";
    QTest::newRow("Prato_nCad") << "Prato_nCad"
                                << "Não existe prato para a filial informada.";
    QTest::newRow("intg_mat") << "intg_mat"
                              << "Integração de Receitas Centralizada só pode ser realizada em modo matriz.";
    QTest::newRow("conf_op, two lines") << "CONF_OP"
                                        << "As receitas dos pratos da filial destino serão sobrepostas pelas "
                                           "respectivas receitas do prato de origem. \r\nConfirma operação?";
    QTest::newRow("key with a sign") << "PratoFin<PratoIni"
                                     << "Prato Final deve ser maior ou igual a Prato Inicial.";
    // No line for the cycle picker's empty-list key: the key itself shows.
    QTest::newRow("missing key") << "Ciclo_nCad"
                                 << "Ciclo_nCad";
}

void tst_IntgCentral::catalogue()
{
    QFETCH(QString, key);
    QFETCH(QString, text);
    TfrmIntgCentral form;
    QCOMPARE(form.msgPadrao->Msg(key), text);
}

void tst_IntgCentral::catalogueStoredOrder()
{
    TfrmIntgCentral form;
    const QStringList lines = form.msgPadrao->lines();
    QCOMPARE(lines.size(), 38);
    QStringList keys;
    for (const QString& line : lines)
        keys << line.section(QLatin1Char('|'), 0, 0);
    QCOMPARE(keys.mid(0, 4), (QStringList{"fili_inf", "filincad", "fili_contr_resc", "padrao"}));
    QCOMPARE(keys.indexOf("conf_op"), 12);
    QCOMPARE(keys.indexOf("Intg_Mat"), 29);
    QCOMPARE(keys.last(), QString("N_CAD_FILILOC"));
}

void tst_IntgCentral::typedCodes_data()
{
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::newRow("branch: lower case becomes upper") << "medCdFilial"
                                                      << "ab1"
                                                      << "AB1";
    QTest::newRow("branch: a fifth character is refused") << "medCdFilial"
                                                          << "x0012"
                                                          << "X001";
    QTest::newRow("grouping: any case, ten characters") << "medAgrupFilial"
                                                        << "abcDEfghij"
                                                        << "abcDEfghij";
    QTest::newRow("grouping: an eleventh is refused") << "medAgrupFilial"
                                                      << "0000000001X"
                                                      << "0000000001";
}

void tst_IntgCentral::typedCodes()
{
    QFETCH(QString, edit);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    TfrmIntgCentral* form = openScreen(m_host);
    QVERIFY(form);
    auto* line = form->findChild<QLineEdit*>(edit);
    line->setFocus();
    line->selectAll();
    QTest::keyClick(line, Qt::Key_Delete);
    QTest::keyClicks(line, typed);
    QCOMPARE(line->text(), shown);
}

void tst_IntgCentral::branchCodeInGridIsUpperCase()
{
    TfrmIntgCentral form;
    form.cdsFiliGrup->setData(branchesPacket("ab01"));
    QCOMPARE(form.cdsFiliGrup->FieldByName("CDFILIAL")->DisplayText(), QString("AB01"));
}

void tst_IntgCentral::keyShortcutsNeedEnabledButtons_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("Enter, confirm disabled") << int(Qt::Key_Return) << "sbtConfirma" << false;
    QTest::newRow("Enter, confirm enabled") << int(Qt::Key_Return) << "sbtConfirma" << true;
    QTest::newRow("keypad Enter, confirm enabled") << int(Qt::Key_Enter) << "sbtConfirma" << true;
    QTest::newRow("F7, find disabled") << int(Qt::Key_F7) << "sbtProcurar" << false;
    QTest::newRow("F7, find enabled") << int(Qt::Key_F7) << "sbtProcurar" << true;
}

void tst_IntgCentral::keyShortcutsNeedEnabledButtons()
{
    QFETCH(int, key);
    QFETCH(QString, button);
    QFETCH(bool, enabled);
    TfrmIntgCentral* form = openScreen(m_host);
    QVERIFY(form);
    auto* target = form->findChild<QAbstractButton*>(button);
    target->setEnabled(enabled);
    QSignalSpy clicks(target, &QAbstractButton::clicked);
    form->medCdFilial->setFocus();
    const QString before = form->medCdFilial->text();
    QTest::keyClick(form->medCdFilial, Qt::Key(key));
    QCOMPARE(clicks.count(), enabled ? 1 : 0);
    QCOMPARE(form->medCdFilial->text(), before);
}

void tst_IntgCentral::branchChangeResetsDependants()
{
    TfrmIntgCentral* form = openScreen(m_host);
    QVERIFY(form);
    pickDishes(form, m_dialogs, {"P0101001"});
    QCOMPARE(dishList(form), QString("P0101001_"));
    form->cdsFiliGrup->setData(branchesPacket("0002"));
    form->medCdFilial->setFocus();
    QTest::keyClick(form->medCdFilial, Qt::Key_End);
    QTest::keyClick(form->medCdFilial, Qt::Key_Backspace);
    QVERIFY(form->edtNmFilial->text().isEmpty());
    QVERIFY(!form->cdsFiliGrup->Active());
    // A dish list picked for the previous branch stays.
    QCOMPARE(dishList(form), QString("P0101001_"));

    // From "Todos" the first keystroke returns to "Lista" and its picker.
    form->rbtTodosPrat->click();
    QVERIFY(!form->sbtPesqPrat->isEnabled());
    QTest::keyClick(form->medCdFilial, Qt::Key_1);
    QVERIFY(form->rbtListaPrat->isChecked());
    QVERIFY(form->sbtPesqPrat->isEnabled());
}

void tst_IntgCentral::filterSwitch_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("todos"); // "Todos" options selected before switching on
    QTest::addColumn<QStringList>("enabledWhenOn");
    QTest::addColumn<QStringList>("disabledWhenOn");
    const QStringList dataInputs{"depDataInic",  "depDataFina",   "rbtTodosServ",
                                 "rbtListaServ", "rbtTodosPrato", "rbtListaPrato"};
    const QStringList cycleOptions{"rbtTodosCiclo",     "rbtListaCiclo",       "rbtTodosServCiclo",
                                   "rbtListaServCiclo", "rbtTodosTpPratCiclo", "rbtListaTpPratCiclo"};
    QTest::newRow("data, all lists") << "chbDadoCard" << QStringList{}
                                     << dataInputs + QStringList{"sbtServico", "sbtPrato"} << QStringList{};
    QTest::newRow("data, all services") << "chbDadoCard" << QStringList{"rbtTodosServ"}
                                        << dataInputs + QStringList{"sbtPrato"} << QStringList{"sbtServico"};
    QTest::newRow("cycle, all lists") << "chbCicloCard" << QStringList{}
                                      << cycleOptions + QStringList{"sbtCiclo", "sbtPadraoServCiclo", "sbtTpPratCiclo"}
                                      << QStringList{};
    QTest::newRow("cycle, all cycles") << "chbCicloCard" << QStringList{"rbtTodosCiclo"}
                                       << cycleOptions + QStringList{"sbtPadraoServCiclo", "sbtTpPratCiclo"}
                                       << QStringList{"sbtCiclo"};
}

void tst_IntgCentral::filterSwitch()
{
    QFETCH(QString, filter);
    QFETCH(QStringList, todos);
    QFETCH(QStringList, enabledWhenOn);
    QFETCH(QStringList, disabledWhenOn);
    TfrmIntgCentral form;
    form.runCreate();
    for (const QString& name : todos)
        form.findChild<QAbstractButton*>(name)->setChecked(true);
    auto* box = form.findChild<QAbstractButton*>(filter);

    for (bool on : {true, false}) {
        // Switched on with a picked list, switched off from "Todos".
        if (on) {
            pickDishes(&form, m_dialogs, {"P0101001"});
            QCOMPARE(dishList(&form), QString("P0101001_"));
        } else {
            form.rbtTodosPrat->setChecked(true);
        }
        box->click();
        QCOMPARE(box->isChecked(), on);
        for (const QString& name : enabledWhenOn)
            QVERIFY2(form.findChild<QWidget*>(name)->isEnabledTo(&form) == on, qPrintable(name));
        for (const QString& name : disabledWhenOn)
            QVERIFY2(!form.findChild<QWidget*>(name)->isEnabledTo(&form), qPrintable(name));
        // Every switch returns the dish scope to an empty "Lista"; the options stay as they were.
        QVERIFY(form.rbtListaPrat->isChecked());
        QVERIFY(dishList(&form).isEmpty());
        for (const QString& name : todos)
            QVERIFY(form.findChild<QAbstractButton*>(name)->isChecked());
    }
}

void tst_IntgCentral::markImages()
{
    TfrmIntgCentral form;
    const QImage check = form.imgCheck->picture().toImage();
    const QImage uncheck = form.imgUncheck->picture().toImage();
    QCOMPARE(check.size(), QSize(16, 16));
    QCOMPARE(uncheck.size(), QSize(16, 16));
    QVERIFY(!form.imgCheck->isVisibleTo(&form));
    QVERIFY(!form.imgUncheck->isVisibleTo(&form));
    auto blackInside = [](const QImage& image) {
        int count = 0;
        for (int y = 4; y < 13; ++y)
            for (int x = 4; x < 13; ++x)
                count += image.pixelColor(x, y) == QColor(Qt::black) ? 1 : 0;
        return count;
    };
    QVERIFY(blackInside(check) > 4);   // the tick
    QCOMPARE(blackInside(uncheck), 0); // an empty white box
    QCOMPARE(uncheck.pixelColor(8, 8), QColor(Qt::white));
    // The olive background is the transparent colour.
    const QColor corner = uncheck.pixelColor(0, 0);
    QVERIFY(corner.alpha() == 0 || corner == QColor(128, 128, 0));
}

QTEST_MAIN(tst_IntgCentral)
#include "tst_intgcentral.moc"
