// Operator log-in and the token secret kept in CONFIGSERV.
#pragma once

#include "tokensigner.h"

#include <QSqlDatabase>
#include <optional>

namespace suite::server {

struct LoggedOperator {
    QString code;
    QString name;
};

class AuthService {
public:
    // The signing secret, created and stored on first use so every server process shares it.
    static QByteArray loadOrCreateSecret(QSqlDatabase db);

    // nullopt for an unknown, inactive operator or a wrong password, with no hint which.
    static std::optional<LoggedOperator> authenticate(QSqlDatabase db, const QString& user, const QString& password);
};

} // namespace suite::server
