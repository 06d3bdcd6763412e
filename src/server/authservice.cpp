#include "authservice.h"

#include <password.h>
#include <sqlrunner.h>

#include <QRandomGenerator>

namespace suite::server {

static const QString kSecretKey = QStringLiteral("TOKEN_SECRET");

QByteArray AuthService::loadOrCreateSecret(QSqlDatabase db)
{
    const db::SqlRunner sql(db);
    QByteArray fresh(32, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(fresh.data()), fresh.size() / 4);
    // Two servers starting together both insert; the first wins and both read the winner.
    sql.run(
        QStringLiteral("gravar a chave de assinatura"),
        QStringLiteral("INSERT INTO CONFIGSERV (CDCHAVE, VLCHAVE) VALUES (:k, :v) ON CONFLICT (CDCHAVE) DO NOTHING"),
        {{":k", kSecretKey}, {":v", QString::fromLatin1(fresh.toHex())}});
    QSqlQuery q = sql.run(QStringLiteral("ler a chave de assinatura"),
                          QStringLiteral("SELECT VLCHAVE FROM CONFIGSERV WHERE CDCHAVE = :k"), {{":k", kSecretKey}});
    if (!q.next())
        throw db::DbError(QStringLiteral("ler a chave de assinatura: ausente em CONFIGSERV"));
    return QByteArray::fromHex(q.value(0).toString().toLatin1());
}

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
    const bool passwordOk = provision::verifyPassword(password, q.value(1).toString());
    if (!passwordOk || q.value(2).toString() != QLatin1String("S"))
        return std::nullopt;
    return op;
}

} // namespace suite::server
