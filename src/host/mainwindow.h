// The suite's MDI main window: menus of the modules, screens as MDI children, status bar.
#pragma once

#include <logincontext.h>

#include <QIcon>
#include <QMainWindow>

class QLabel;
class QMdiArea;
class QMdiSubWindow;

namespace suite::host {

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(const mrv::LoginContext& context, QWidget* parent = nullptr);

    QMdiArea* mdiArea() const { return m_mdi; }

    // Takes a new screen: an MDI child, or a window of its own for a modal one.
    void adoptScreen(QWidget* form);
    // The screens in the MDI area, in creation order.
    QList<QWidget*> screens() const;

    void setCacheSummary(const QString& text);

    // The suite's mark for its windows and MDI frames, instead of the toolkit's.

signals:
    void openModuleRequested(const QString& module);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenus();

    QMdiArea* m_mdi;
    QLabel* m_cache;
};

} // namespace suite::host
