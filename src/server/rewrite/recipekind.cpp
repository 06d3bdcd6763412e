#include "recipekind.h"

namespace suite::server {

QString RecipeKind::serviceColumn(const char* alias) const
{
    if (!perService)
        return {};
    return alias ? QStringLiteral("%1.CDSERVFILI, ").arg(QLatin1String(alias)) : QStringLiteral("CDSERVFILI, ");
}

QString RecipeKind::trailingServiceColumn() const
{
    return perService ? QStringLiteral(", CDSERVFILI") : QString();
}

QString RecipeKind::serviceOrEmpty(const char* alias) const
{
    return perService ? QStringLiteral("%1.CDSERVFILI").arg(QLatin1String(alias)) : QStringLiteral("''");
}

QString RecipeKind::sameService(const char* a, const char* b) const
{
    return perService ? QStringLiteral(" AND %1.CDSERVFILI = %2.CDSERVFILI").arg(QLatin1String(a), QLatin1String(b))
                      : QString();
}

QString RecipeKind::columns() const
{
    return QStringLiteral("CDFILIAL, %1CDFILAUXPRAT, CDPRATO, NRSEQ, CDARVPROD, "
                          "QTPRODUTO, SGUNIDADE")
        .arg(serviceColumn());
}

} // namespace suite::server
