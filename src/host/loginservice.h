// Logs an operator in: application server, shared database, branch rights.
#pragma once

#include "hostconfig.h"

#include <errors.h>
#include <logincontext.h>

namespace suite::host {

// A refused login, with the field the operator should correct.
class LoginFailure : public mrv::Exception {
public:
    enum class Field { None, User, Password, Branch };
    LoginFailure(Field field, const QString& message)
        : mrv::Exception(message)
        , m_field(field)
    {}
    Field field() const { return m_field; }

private:
    Field m_field;
};

class LoginService {
public:
    explicit LoginService(HostConfig config);

    // The filled context; throws LoginFailure with the message for the operator.
    mrv::LoginContext login(const QString& user, const QString& password, const QString& branch) const;

    const HostConfig& config() const { return m_config; }

private:
    struct Session {
        QString token, operatorCode, operatorName;
    };
    Session requestSession(const QString& user, const QString& password) const;
    void openDatabase() const;

    HostConfig m_config;
};

} // namespace suite::host
