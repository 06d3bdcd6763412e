// Operator, password and branch; stays open until a login succeeds or is cancelled.
#include "logindialog.h"

#include <cursorguard.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace suite::host {

namespace {

QLineEdit* makeEdit(const char* objectName, QWidget* parent)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(objectName));
    return edit;
}

} // namespace

LoginDialog::LoginDialog(const LoginService& service, QWidget* parent)
    : QDialog(parent)
    , m_service(service)
    , m_user(makeEdit("edtOperador", this))
    , m_password(makeEdit("edtSenha", this))
    , m_branch(makeEdit("edtFilial", this))
    , m_error(new QLabel(this))
{
    setObjectName(QStringLiteral("dlgLogin"));
    setWindowTitle(QStringLiteral("Suíte - Acesso"));
    m_password->setEchoMode(QLineEdit::Password);
    m_branch->setMaxLength(4);
    m_branch->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[A-Za-z0-9 ]{0,4}")), m_branch));
    connect(m_branch, &QLineEdit::textEdited, m_branch, [this](const QString& text) {
        const int cursor = m_branch->cursorPosition();
        m_branch->setText(text.toUpper());
        m_branch->setCursorPosition(cursor);
    });

    m_error->setObjectName(QStringLiteral("lblErro"));
    m_error->setWordWrap(true);
    m_error->setStyleSheet(QStringLiteral("color: #b00020;"));
    m_error->hide();

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Operador:"), m_user);
    form->addRow(QStringLiteral("&Senha:"), m_password);
    form->addRow(QStringLiteral("&Filial:"), m_branch);

    auto* server = new QLabel(QStringLiteral("Servidor: %1").arg(service.config().server.text()), this);
    server->setObjectName(QStringLiteral("lblServidor"));
    server->setStyleSheet(QStringLiteral("color: palette(mid);"));

    auto* buttons = new QDialogButtonBox(this);
    m_ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    m_ok->setObjectName(QStringLiteral("btnOK"));
    m_ok->setDefault(true);
    QPushButton* cancel = buttons->addButton(QStringLiteral("Cancelar"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("btnCancelar"));
    connect(m_ok, &QPushButton::clicked, this, &LoginDialog::tryLogin);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_error);
    layout->addWidget(server);
    layout->addWidget(buttons);
    setMinimumWidth(340);
}

void LoginDialog::setUser(const QString& user)
{
    m_user->setText(user);
}
void LoginDialog::setPassword(const QString& password)
{
    m_password->setText(password);
}
void LoginDialog::setBranch(const QString& branch)
{
    m_branch->setText(branch.toUpper());
}

void LoginDialog::showFailure(const LoginFailure& failure)
{
    m_error->setText(failure.message());
    m_error->show();
    // A wrapped message of several lines needs the dialog taller than it was shown.
    adjustSize();
    focusField(failure.field());
}

void LoginDialog::focusField(LoginFailure::Field field)
{
    switch (field) {
    case LoginFailure::Field::User:
        m_user->setFocus();
        break;
    case LoginFailure::Field::Password:
        m_password->clear();
        m_password->setFocus();
        break;
    case LoginFailure::Field::Branch:
        m_branch->setFocus();
        m_branch->selectAll();
        break;
    case LoginFailure::Field::None:
        m_ok->setFocus();
        break;
    }
}

void LoginDialog::tryLogin()
{
    m_error->hide();
    m_ok->setEnabled(false);
    try {
        const mrv::CursorGuard wait;
        m_context = m_service.login(m_user->text(), m_password->text(), m_branch->text());
    } catch (const LoginFailure& failure) {
        m_ok->setEnabled(true);
        showFailure(failure);
        return;
    }
    m_ok->setEnabled(true);
    accept();
}

} // namespace suite::host
