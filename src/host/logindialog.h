// Operator, password and branch; stays open until a login succeeds or is cancelled.
#pragma once

#include "loginservice.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace suite::host {

class LoginDialog : public QDialog {
    Q_OBJECT
public:
    explicit LoginDialog(const LoginService& service, QWidget* parent = nullptr);

    void setUser(const QString& user);
    void setPassword(const QString& password);
    void setBranch(const QString& branch);
    // Shows why a login was refused and puts the cursor where the operator should correct.
    void showFailure(const LoginFailure& failure);

    const mrv::LoginContext& context() const { return m_context; }

    // Tries the typed values; on success the dialog is accepted.
    void tryLogin();

private:
    void focusField(LoginFailure::Field field);

    const LoginService& m_service;
    mrv::LoginContext m_context;
    QLineEdit* m_user;
    QLineEdit* m_password;
    QLineEdit* m_branch;
    QLabel* m_error;
    QPushButton* m_ok;
};

} // namespace suite::host
