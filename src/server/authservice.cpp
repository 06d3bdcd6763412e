#include "authservice.h"
#include "serverlog.h"

#include <password.h>
#include <sqlrunner.h>

namespace suite::server {

namespace {

// Best effort: a login that cannot store the stronger hash (a long run holding SQLite's write lock past the busy
// timeout) still succeeds, and the next one tries again.
void rehash(const db::SqlRunner& sql, const QString& user, const QString& password, const QString& stored)
{
    try {
        // Only over the hash just checked, so that a password changed meanwhile is not put back.
        sql.run(QStringLiteral("fortalecer o hash da senha"),
                QStringLiteral("UPDATE OPERADOR SET DSSENHA = :novo WHERE CDOPERADOR = :u AND DSSENHA = :antigo"),
                {{":novo", provision::hashPassword(password)}, {":u", user}, {":antigo", stored}});
    } catch (const db::DbError& e) {
        qCWarning(lcServer).noquote() << "login" << printable(user.left(40))
                                      << "kept its older password hash:" << printable(e.message());
    }
}

} // namespace

std::optional<LoggedOperator> AuthService::authenticate(QSqlDatabase db, const QString& user, const QString& password)
{
    const db::SqlRunner sql(db);
    QSqlQuery q = sql.run(QStringLiteral("ler o operador"),
                          QStringLiteral("SELECT NMOPERADOR, DSSENHA, IDATIVO FROM OPERADOR WHERE CDOPERADOR = :u"),
                          {{":u", user}});
    if (!q.next()) {
        // Spend the same hashing time as for a known operator.
        static const QString dummy = provision::hashPassword(QStringLiteral("-"));
        provision::verifyPassword(password, dummy);
        return std::nullopt;
    }
    const LoggedOperator op{user, q.value(0).toString()};
    const QString stored = q.value(1).toString();
    const bool active = q.value(2).toString() == QLatin1String("S");
    q.finish();
    if (!provision::verifyPassword(password, stored) || !active)
        return std::nullopt;
    if (provision::needsRehash(stored))
        rehash(sql, user, password, stored);
    return op;
}

} // namespace suite::server
