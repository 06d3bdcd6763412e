#include "dishsearch.h"
#include "sqlrunner.h"

namespace suite::server {

Packet DishSearch::emptyResult()
{
    return Packet::ofStrings({{"CDPESQPRAT", 14}, {"IDMARCADO", 1}, {"CDPRATO", 10}, {"NMPRATO", 30},
                              {"CDFILAUXPRAT", 10}});
}

namespace {

// Adds "AND column IN (list)" for a list that is not "T"; an empty list matches nothing.
void restrictTo(const SqlRunner &sql, QString &where, QVariantMap &binds, const QString &column,
                const KeyList &list, const QString &name)
{
    if (list.all)
        return;
    const QString placeholder = QLatin1Char(':') + name;
    where += QStringLiteral(" AND %1 IN (%2)").arg(column, sql.jsonTexts(placeholder));
    binds.insert(placeholder, list.toJsonArray());
}

} // namespace

Packet DishSearch::run(const DishSearchRequest &r) const
{
    const SqlRunner sql(m_db);
    QVariantMap binds{{":padrao", r.standardTree}, {":local", r.localTree}, {":nivel", r.levels}};
    QString where = QStringLiteral("p.CDFILAUXPRAT IN (:padrao, :local) AND p.CDNVPRATO = :nivel");

    // A filter whose lists all came empty is switched off on the screen, so it does not narrow.
    const bool menuFilter = !(r.services.isEmpty() && r.dishTypes.isEmpty());
    const bool cycleFilter = !(r.cycles.isEmpty() && r.servicePatterns.isEmpty() && r.cycleDishTypes.isEmpty());

    if (menuFilter) {
        QString menu = QStringLiteral("c.CDFILIAL = :origem AND c.CDFILAUXPRAT = p.CDFILAUXPRAT AND c.CDPRATO = p.CDPRATO");
        binds.insert(QStringLiteral(":origem"), r.source);
        if (r.start) {
            menu += QStringLiteral(" AND c.DTCARDAPIO >= %1").arg(sql.typed(QStringLiteral(":inicio"), QStringLiteral("date")));
            binds.insert(QStringLiteral(":inicio"), r.start->toString(Qt::ISODate));
        }
        if (r.end) {
            menu += QStringLiteral(" AND c.DTCARDAPIO <= %1").arg(sql.typed(QStringLiteral(":fim"), QStringLiteral("date")));
            binds.insert(QStringLiteral(":fim"), r.end->toString(Qt::ISODate));
        }
        restrictTo(sql, menu, binds, QStringLiteral("c.CDSERVFILI"), r.services, QStringLiteral("serv"));
        restrictTo(sql, menu, binds, QStringLiteral("c.CDTIPOPRAT"), r.dishTypes, QStringLiteral("tipo"));
        where += QStringLiteral(" AND EXISTS (SELECT 1 FROM CARDAPIO c WHERE %1)").arg(menu);
    }
    if (cycleFilter) {
        QString cycle = QStringLiteral("i.CDFILAUXPRAT = p.CDFILAUXPRAT AND i.CDPRATO = p.CDPRATO");
        restrictTo(sql, cycle, binds, QStringLiteral("i.CDCARDCICLO"), r.cycles, QStringLiteral("ciclo"));
        restrictTo(sql, cycle, binds, QStringLiteral("i.CDSERVPADR"), r.servicePatterns, QStringLiteral("servpadr"));
        restrictTo(sql, cycle, binds, QStringLiteral("i.CDTIPOPRAT"), r.cycleDishTypes, QStringLiteral("tipociclo"));
        where += QStringLiteral(" AND EXISTS (SELECT 1 FROM CARDCICLOITEM i WHERE %1)").arg(cycle);
    }

    QSqlQuery q = sql.run(QStringLiteral("pesquisar os pratos"),
                          QStringLiteral("SELECT p.CDFILAUXPRAT, p.CDPRATO, p.NMPRATO FROM PRATO p WHERE %1 "
                                         "ORDER BY p.CDPRATO, p.CDFILAUXPRAT, p.NMPRATO").arg(where),
                          binds);
    Packet result = emptyResult();
    while (q.next()) {
        const QString tree = q.value(0).toString();
        const QString code = q.value(1).toString();
        result.addRow({tree + code, QStringLiteral("N"), code, q.value(2).toString(), tree});
    }
    return result;
}

} // namespace suite::server
