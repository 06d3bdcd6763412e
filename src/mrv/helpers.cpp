// Shared routines: blank texts, branch validation.
#include "helpers.h"

#include "errors.h"
#include "hostservices.h"

#include <QSqlError>
#include <QSqlQuery>

namespace mrv {

bool EmptyString(const QString& text)
{
    return text.trimmed().isEmpty();
}

QString iif(bool condition, const QString& a, const QString& b)
{
    return condition ? a : b;
}

namespace {

QSqlQuery runLookup(const QString& statement, const QVariantList& values, const QString& purpose)
{
    QSqlQuery query(sharedDatabase());
    query.setForwardOnly(true);
    if (!query.prepare(statement))
        throw Exception(QStringLiteral("Falha ao preparar %1: %2").arg(purpose, query.lastError().text()));
    for (const QVariant& value : values)
        query.addBindValue(value);
    if (!query.exec())
        throw Exception(QStringLiteral("Falha ao %1: %2").arg(purpose, query.lastError().text()));
    return query;
}

} // namespace

QString ValidaFilial(const QString& code, const QString& operador, bool checkOperator)
{
    QSqlQuery branch = runLookup(QStringLiteral("SELECT NMFILIAL FROM FILIAL WHERE CDFILIAL = ?"), {code},
                                 QStringLiteral("ler a filial"));
    if (!branch.next())
        throw Exception(QStringLiteral("Filial não cadastrada."));
    const QString name = branch.value(0).toString();

    if (checkOperator) {
        QSqlQuery rights =
            runLookup(QStringLiteral("SELECT CDFILIAL FROM OPERFILI WHERE CDOPERADOR = ? AND CDFILIAL = ?"),
                      {operador, code}, QStringLiteral("ler as filiais do operador"));
        if (!rights.next())
            throw Exception(QStringLiteral("Operador sem permissão de acesso à filial %1.").arg(code));
    }
    return name;
}

} // namespace mrv
