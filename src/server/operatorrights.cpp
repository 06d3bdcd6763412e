#include "operatorrights.h"
#include "servererrors.h"

#include <sqlrunner.h>

#include <QSqlQuery>

namespace suite::server {

namespace {

QString branchRefusal(const QString& branch, const QString& role)
{
    return QStringLiteral("Operador sem permissão de acesso à filial %1 %2.").arg(role, branch.left(20));
}

} // namespace

OperatorRights::OperatorRights(const db::SqlRunner& sql, QString code)
    : m_sql(sql)
    , m_code(std::move(code))
{}

QString OperatorRights::profile() const
{
    return m_sql
        .value(QStringLiteral("ler o operador"),
               QStringLiteral("SELECT IDPERFIL FROM OPERADOR WHERE CDOPERADOR = :operador AND IDATIVO = 'S'"), binds())
        .toString();
}

void OperatorRights::requireActive() const
{
    if (profile().isEmpty())
        throw RequestError(401, QStringLiteral("the token's operator does not exist or is inactive"));
}

void OperatorRights::requireIntegration() const
{
    const QString p = profile();
    if (p.isEmpty())
        throw RequestError(401, QStringLiteral("the token's operator does not exist or is inactive"));
    if (p != QLatin1String("I"))
        throw ServiceError(
            QStringLiteral("O operador %1 tem perfil de consulta: pode consultar, mas não integrar receitas.")
                .arg(m_code.left(20)));
}

void OperatorRights::requireBranch(const QString& branch, const QString& role) const
{
    QVariantMap values = binds();
    values.insert(QStringLiteral(":filial"), branch);
    QSqlQuery q = m_sql.run(QStringLiteral("verificar as filiais do operador"),
                            QStringLiteral("SELECT CASE WHEN %1 THEN 1 ELSE 0 END FROM FILIAL f"
                                           " WHERE f.CDFILIAL = :filial")
                                .arg(allows(QStringLiteral("f.CDFILIAL"))),
                            values);
    const bool exists = q.next();
    const bool allowed = exists && q.value(0).toInt() == 1;
    q.finish();
    // As the desktop's own check: a code no branch has is not a matter of rights.
    if (!exists)
        throw ServiceError(QStringLiteral("Filial não cadastrada."));
    if (!allowed)
        throw ServiceError(branchRefusal(branch, role));
}

void OperatorRights::requireBranches(const QString& branches, const QString& role) const
{
    const QVariant refused = m_sql.value(QStringLiteral("verificar as filiais do operador"),
                                         QStringLiteral("SELECT MIN(b.CDFILIAL) FROM (%1) b WHERE NOT %2")
                                             .arg(branches, allows(QStringLiteral("b.CDFILIAL"))),
                                         binds());
    if (!refused.isNull())
        throw ServiceError(branchRefusal(refused.toString(), role));
}

QString OperatorRights::allows(const QString& column)
{
    // Aliases no caller uses: a caller's "o.CDFILIAL" would otherwise name this subquery's own column.
    return QStringLiteral("EXISTS (SELECT 1 FROM OPERFILI rights_fili JOIN OPERADOR rights_oper"
                          " ON rights_oper.CDOPERADOR = rights_fili.CDOPERADOR WHERE rights_fili.CDOPERADOR = :operador"
                          " AND rights_oper.IDATIVO = 'S' AND rights_fili.CDFILIAL = %1)")
        .arg(column);
}

QVariantMap OperatorRights::binds() const
{
    return {{QStringLiteral(":operador"), m_code}};
}

} // namespace suite::server
