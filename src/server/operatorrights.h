// What the operator of a call may do: its profile (OPERADOR.IDPERFIL) and its branches (OPERFILI), read on every
// call, so that deactivating an operator or withdrawing a branch takes effect at once.
#pragma once

#include <QString>
#include <QVariantMap>

namespace suite::db {
class SqlRunner;
}

namespace suite::server {

class OperatorRights {
public:
    OperatorRights(const db::SqlRunner& sql, QString code);

    // Throws RequestError(401) when the operator does not exist or is inactive: its token stands for no one.
    void requireActive() const;
    // requireActive, then a ServiceError when the operator may only consult.
    void requireIntegration() const;
    // Throws ServiceError "Filial não cadastrada." for a code no branch has, and one naming `branch` when the operator
    // may not use it; `role` is "de origem" or "destino".
    void requireBranch(const QString& branch, const QString& role) const;
    // The same for every branch `branches` (a SELECT of one column of branch codes) yields; names the first.
    void requireBranches(const QString& branches, const QString& role) const;

    // A condition true where `column` holds a branch the active operator of binds() may use.
    static QString allows(const QString& column);
    QVariantMap binds() const;

private:
    QString profile() const; // empty for an unknown or inactive operator

    const db::SqlRunner& m_sql;
    QString m_code;
};

} // namespace suite::server
