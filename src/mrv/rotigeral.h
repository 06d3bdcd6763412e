// Base screen of the suite: screen code, help, the right-hand button column and the
// catalogue; binds create, close, key-down (seeing every key of the screen first) and activation.
#pragma once

#include "binding.h"
#include "buttonflat.h"
#include "groupbox.h"
#include "messages.h"
#include "panel.h"

#include <QLabel>
#include <QWidget>

class QEventLoop;
class QVBoxLayout;

namespace mrv {

enum TCloseAction { caNone, caHide, caFree, caMinimize };

class TfrmRotiGeral : public QWidget, public EventBinding {
    Q_OBJECT
public:
    explicit TfrmRotiGeral(QWidget* parent = nullptr);
    ~TfrmRotiGeral() override;

    // The base creation step, then FormCreate. Exceptions propagate (the form factory's caller sees them).
    void runCreate();

    virtual void FormCreate(QObject* Sender);
    virtual void FormClose(QObject* Sender, TCloseAction& Action); // base: caFree
    virtual void FormKeyDown(QObject* Sender, int& Key, Qt::KeyboardModifiers Shift);
    virtual void FormActivate(QObject* Sender);

    // Shows the screen as a modal window and returns when it closes.
    void ShowModal();
    // Shows the screen in its normal state (also when it lives in an MDI sub-window).
    void ShowNormal();

    int HelpContext = 0;
    QString HelpFile;

    QLabel* lblCodTela;
    TGroupBox* grbDadosRel;
    TPanel* panMenu;
    TPanel* panHelp;
    TPanel* panBotoes;
    TButtonFlat* sbtConfirma;
    TButtonFlat* sbtAjuda;
    TMessages* msgPadrao;

protected:
    // Where the screen puts its own controls (left of panMenu, below grbDadosRel).
    QWidget* clientArea() const { return m_client; }
    QVBoxLayout* buttonColumn() const { return m_buttons; } // panBotoes' layout, under sbtConfirma

    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void showHelp();
    void activated();
    void watchSubWindow();

    QWidget* m_client;
    QVBoxLayout* m_buttons;
    bool m_active = false;
    bool m_watchingSubWindow = false;
    QEventLoop* m_modalLoop = nullptr;
};

} // namespace mrv
