// The suite's MDI main window: menus of the modules, screens as MDI children, status bar.
#include "mainwindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QDialog>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>

#include <algorithm>

namespace suite::host {

namespace {

struct ModuleEntry {
    const char* menu;
    const char* title;
    const char* module; // "module", opened through IniProc, or "module:Entry"
    const char* action; // the menu entry's object name
};

// The modules this installation offers, by menu.
constexpr ModuleEntry kModuleEntries[] = {
    {"&Receitas", "Integração de Receitas - Centralizada", "rci06000", "actrci06000"},
    {"&Receitas", "Histórico de integrações", "rci06000:IniHistorico", "acthistintg"},
};

QString windowTitleFor(const mrv::LoginContext& context)
{
    const QString mode = context.moduFili ? QStringLiteral("modo filial") : QStringLiteral("modo matriz");
    return QStringLiteral("Suíte - Filial %1 %2 - Operador %3 (%4)")
        .arg(context.filiProc, context.nomeFiliProc, context.operador, mode);
}

} // namespace

namespace {

bool wantsOwnWindow(const QWidget* form)
{
    return qobject_cast<const QDialog*>(form) != nullptr || form->windowModality() != Qt::NonModal;
}

} // namespace

MainWindow::MainWindow(const mrv::LoginContext& context, QWidget* parent)
    : QMainWindow(parent)
    , m_mdi(new QMdiArea(this))
    , m_cache(new QLabel(this))
{
    setObjectName(QStringLiteral("frmPrincipal"));
    setWindowTitle(windowTitleFor(context));
    m_mdi->setObjectName(QStringLiteral("mdiArea"));
    m_mdi->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdi->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_mdi);
    buildMenus();

    auto* session = new QLabel(QStringLiteral("Servidor %1:%2").arg(context.webUrl).arg(context.webPort), this);
    session->setObjectName(QStringLiteral("lblServidor"));
    m_cache->setObjectName(QStringLiteral("lblCache"));
    statusBar()->setObjectName(QStringLiteral("stbPrincipal"));
    statusBar()->addWidget(m_cache, 1);
    statusBar()->addPermanentWidget(session);
    // Most of the screen, for a window manager that does not honour the maximised state.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        resize(screen->availableGeometry().size() * 0.9);
}

void MainWindow::buildMenus()
{
    QMenu* file = menuBar()->addMenu(QStringLiteral("&Arquivo"));
    file->setObjectName(QStringLiteral("mnuArquivo"));
    QAction* quit = file->addAction(QStringLiteral("&Sair"), this, &QWidget::close);
    quit->setObjectName(QStringLiteral("actSair"));

    for (const auto& entry : kModuleEntries) {
        const QString menuTitle = QString::fromUtf8(entry.menu);
        QMenu* menu = nullptr;
        for (QAction* existing : menuBar()->actions()) {
            if (existing->text() == menuTitle)
                menu = existing->menu();
        }
        if (menu == nullptr) {
            menu = new QMenu(menuTitle, menuBar());
            menu->setObjectName(QStringLiteral("mnu") + menuTitle.mid(1));
            menuBar()->insertMenu(nullptr, menu);
        }
        const QString module = QString::fromLatin1(entry.module);
        QAction* action = menu->addAction(QString::fromUtf8(entry.title));
        action->setObjectName(QString::fromLatin1(entry.action));
        connect(action, &QAction::triggered, this, [this, module] { emit openModuleRequested(module); });
    }

    QMenu* windows = menuBar()->addMenu(QStringLiteral("&Janela"));
    windows->setObjectName(QStringLiteral("mnuJanela"));
    windows->addAction(QStringLiteral("&Cascata"), m_mdi, &QMdiArea::cascadeSubWindows)
        ->setObjectName(QStringLiteral("actCascata"));
    windows->addAction(QStringLiteral("&Lado a lado"), m_mdi, &QMdiArea::tileSubWindows)
        ->setObjectName(QStringLiteral("actLadoALado"));
    windows->addAction(QStringLiteral("&Fechar todas"), m_mdi, &QMdiArea::closeAllSubWindows)
        ->setObjectName(QStringLiteral("actFecharTodas"));
}

void MainWindow::adoptScreen(QWidget* form)
{
    if (wantsOwnWindow(form)) {
        form->setParent(this, form->windowFlags() | Qt::Dialog);
        return;
    }
    // Where the screen placed itself is kept: the sub-window's layout would reset it.
    const QPoint place = form->pos();
    auto* sub = new QMdiSubWindow;
    sub->setWidget(form);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->setObjectName(QStringLiteral("sub_") + form->objectName());
    const bool fixedSize = form->minimumSize() == form->maximumSize() && form->minimumSize().isValid();
    if (fixedSize)
        sub->setWindowFlags(Qt::SubWindow | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                            Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    m_mdi->addSubWindow(sub);
    if (fixedSize) {
        // Without a maximise button the frame could still be dragged by its corner.
        sub->adjustSize();
        sub->setFixedSize(sub->size());
    }
    if (!place.isNull())
        sub->move(place);
    // The screen may delete itself (close action "free"); its frame goes with it.
    connect(form, &QObject::destroyed, sub, &QObject::deleteLater);
}

QList<QWidget*> MainWindow::screens() const
{
    QList<QWidget*> result;
    const auto subWindows = m_mdi->subWindowList(QMdiArea::CreationOrder);
    for (QMdiSubWindow* sub : subWindows) {
        if (sub->widget() != nullptr)
            result.append(sub->widget());
    }
    return result;
}

void MainWindow::setCacheSummary(const QString& text)
{
    m_cache->setText(text);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // Every screen gets its own close step first; one that refuses keeps the suite open.
    m_mdi->closeAllSubWindows();
    const auto remaining = m_mdi->subWindowList();
    const bool refused =
        std::any_of(remaining.cbegin(), remaining.cend(), [](const QMdiSubWindow* sub) { return sub->isVisible(); });
    if (refused)
        event->ignore();
    else
        event->accept();
}

} // namespace suite::host
