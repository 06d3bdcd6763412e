// Base screen: layout of the button column, and the create/close/key/activation wiring.
#include "rotigeral.h"

#include "buttonflat.h"
#include "dialogs.h"
#include "glyphs.h"
#include "groupbox.h"
#include "messages.h"
#include "panel.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiSubWindow>
#include <QPointer>
#include <QVBoxLayout>

namespace mrv {

TfrmRotiGeral::TfrmRotiGeral(QWidget* parent)
    : QWidget(parent)
    , EventBinding(this)
    , lblCodTela(new QLabel(this))
    , grbDadosRel(new TGroupBox(QString(), this))
    , panMenu(new TPanel(this, TPanel::bvRaised))
    , panHelp(new TPanel(panMenu))
    , panBotoes(new TPanel(panMenu))
    , sbtConfirma(new TButtonFlat(glyphIcon(Glyph::Confirm), QStringLiteral("Confirmar"), panBotoes))
    , sbtAjuda(new TButtonFlat(panHelp))
    , msgPadrao(new TMessages(this))
    , m_client(new QWidget(this))
    , m_buttons(new QVBoxLayout(panBotoes))
{
    lblCodTela->setObjectName(QStringLiteral("lblCodTela"));
    grbDadosRel->setObjectName(QStringLiteral("grbDadosRel"));
    panMenu->setObjectName(QStringLiteral("panMenu"));
    panHelp->setObjectName(QStringLiteral("panHelp"));
    panBotoes->setObjectName(QStringLiteral("panBotoes"));
    sbtConfirma->setObjectName(QStringLiteral("sbtConfirma"));
    sbtAjuda->setObjectName(QStringLiteral("sbtAjuda"));
    msgPadrao->setObjectName(QStringLiteral("msgPadrao"));
    m_client->setObjectName(QStringLiteral("panCliente"));

    sbtConfirma->setEnabled(false);
    sbtConfirma->setFixedSize(40, 30);
    sbtAjuda->setText(QStringLiteral("?"));
    sbtAjuda->setToolTip(QStringLiteral("Ajuda (F1)"));
    sbtAjuda->setFixedSize(40, 24);
    connect(sbtAjuda, &QToolButton::clicked, this, [this] { invokeGuarded([this] { showHelp(); }); });

    // Screen codes are 8 characters; they must fit the 47-pixel column.
    QFont codeFont = lblCodTela->font();
    codeFont.setPixelSize(9);
    lblCodTela->setFont(codeFont);
    lblCodTela->setAlignment(Qt::AlignCenter);

    auto* helpLayout = new QVBoxLayout(panHelp);
    helpLayout->setContentsMargins(2, 2, 2, 2);
    helpLayout->addWidget(sbtAjuda, 0, Qt::AlignHCenter);

    m_buttons->setContentsMargins(2, 2, 2, 2);
    m_buttons->setSpacing(4);
    m_buttons->addWidget(sbtConfirma, 0, Qt::AlignHCenter);

    panMenu->setFixedWidth(47);
    auto* menuLayout = new QVBoxLayout(panMenu);
    menuLayout->setContentsMargins(1, 1, 1, 1);
    menuLayout->setSpacing(2);
    menuLayout->addWidget(panHelp);
    menuLayout->addWidget(panBotoes);
    menuLayout->addStretch();
    menuLayout->addWidget(lblCodTela);

    auto* left = new QVBoxLayout;
    left->setContentsMargins(0, 0, 0, 0);
    left->setSpacing(0);
    left->addWidget(grbDadosRel);
    left->addWidget(m_client, 1);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(left, 1);
    layout->addWidget(panMenu);

    // Key preview: the screen sees every key of its controls before they do.
    qApp->installEventFilter(this);
}

TfrmRotiGeral::~TfrmRotiGeral()
{
    qApp->removeEventFilter(this);
}

void TfrmRotiGeral::runCreate()
{
    FormCreate(this);
}

void TfrmRotiGeral::FormCreate(QObject*) {}

void TfrmRotiGeral::FormClose(QObject*, TCloseAction& Action)
{
    Action = caFree;
}

void TfrmRotiGeral::FormKeyDown(QObject*, int& Key, Qt::KeyboardModifiers)
{
    if (Key == Qt::Key_F1) {
        showHelp();
        Key = 0;
    }
}

void TfrmRotiGeral::FormActivate(QObject*) {}

void TfrmRotiGeral::showHelp()
{
    const QString topic = HelpContext ? QStringLiteral(" (tópico %1)").arg(HelpContext) : QString();
    dialogs().message(QStringLiteral("A ajuda da tela %1%2 não está instalada neste computador.%3")
                          .arg(lblCodTela->text(), topic,
                               HelpFile.isEmpty() ? QString() : QStringLiteral("\nArquivo: %1").arg(HelpFile)),
                      mtInformation, mbOK);
}

void TfrmRotiGeral::ShowModal()
{
    // A modal screen is a window of its own, also when the host made it an MDI child.
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget())) {
        QWidget* top = sub->window();
        sub->setWidget(nullptr);
        setParent(top, Qt::Dialog);
        sub->deleteLater();
    } else if (!isWindow()) {
        setParent(parentWidget() ? parentWidget()->window() : nullptr, Qt::Dialog);
    }
    setWindowModality(Qt::ApplicationModal);
    QPointer<TfrmRotiGeral> self(this);
    QEventLoop loop;
    connect(this, &QObject::destroyed, &loop, &QEventLoop::quit);
    m_modalLoop = &loop;
    show();
    activateWindow();
    loop.exec(QEventLoop::DialogExec);
    if (self) {
        m_modalLoop = nullptr;
        setWindowModality(Qt::NonModal);
    }
}

void TfrmRotiGeral::ShowNormal()
{
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget())) {
        sub->showNormal();
        sub->setFocus();
    }
    if (isWindow())
        showNormal();
    else
        show();
}

void TfrmRotiGeral::closeEvent(QCloseEvent* event)
{
    TCloseAction action = caHide;
    if (!invokeGuarded([&] { FormClose(this, action); }) || action == caNone) {
        event->ignore();
        return;
    }
    if (action == caMinimize) {
        event->ignore();
        if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
            sub->showMinimized();
        else
            showMinimized();
        return;
    }
    event->accept();
    if (m_modalLoop)
        m_modalLoop->quit();
    if (action == caFree) {
        // Later, never under the caller's feet: the screen may be closing itself from
        // inside FormCreate or one of its own operations.
        if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
            sub->deleteLater();
        else
            deleteLater();
    }
}

void TfrmRotiGeral::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isWindow()) {
        if (isActiveWindow() && !m_active)
            activated();
        m_active = isActiveWindow();
    }
}

void TfrmRotiGeral::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    watchSubWindow();
}

void TfrmRotiGeral::watchSubWindow()
{
    auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget());
    if (!sub || m_watchingSubWindow)
        return;
    m_watchingSubWindow = true;
    connect(sub, &QMdiSubWindow::windowStateChanged, this, [this](Qt::WindowStates before, Qt::WindowStates now) {
        const bool was = before & Qt::WindowActive;
        const bool is = now & Qt::WindowActive;
        if (is && !was)
            activated();
        m_active = is;
    });
    if (sub->windowState() & Qt::WindowActive) {
        m_active = true;
        activated();
    }
}

void TfrmRotiGeral::activated()
{
    invokeGuarded([this] { FormActivate(this); });
}

bool TfrmRotiGeral::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return false;
    auto* widget = static_cast<QWidget*>(watched);
    // Only the first delivery of a key (to the focus widget) counts; the copies that
    // propagate to the parents are the same key.
    QWidget* focus = QApplication::focusWidget();
    if (widget != (focus ? focus : QApplication::activeWindow()))
        return false;
    if (widget != this && !isAncestorOf(widget))
        return false;
    auto* keyEvent = static_cast<QKeyEvent*>(event);
    int key = keyEvent->key();
    const bool done = invokeGuarded([&] { FormKeyDown(this, key, keyEvent->modifiers()); });
    return !done || key == 0;
}

} // namespace mrv
