// Operator log-in against OPERADOR's password hashes.
#pragma once

#include <QSqlDatabase>
#include <optional>

namespace suite::server {

struct LoggedOperator {
    QString code;
    QString name;
};

class AuthService {
public:
    // nullopt for an unknown, inactive operator or a wrong password, with no hint which. A right password whose
    // hash is weaker than new ones gets a new hash.
    static std::optional<LoggedOperator> authenticate(QSqlDatabase db, const QString& user, const QString& password);
};

} // namespace suite::server
