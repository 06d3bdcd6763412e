#include "dishsearch.h"
#include "servererrors.h"

#include <sqlrunner.h>

namespace suite::server {

using db::SqlRunner;
using wire::Packet;

Packet DishSearch::emptyResult()
{
    return Packet::ofStrings(
        {{"CDPESQPRAT", 14}, {"IDMARCADO", 1}, {"CDPRATO", 10}, {"NMPRATO", 30}, {"CDFILAUXPRAT", 10}});
}

namespace {

KeyList listArgument(const wire::Arguments& args, int index, const char* what, qsizetype maxKeys)
{
    const std::optional<KeyList> list = KeyList::read(args, index, true, maxKeys);
    if (!list)
        throw ServiceError(QStringLiteral("Lista de %1 inválida.").arg(QString::fromUtf8(what)));
    if (list->cut)
        throw ServiceError(QStringLiteral("A lista de %1 tem mais chaves do que as %2 cadastradas.")
                               .arg(QString::fromUtf8(what))
                               .arg(maxKeys));
    return *list;
}

// Adds "AND column IN (list)" for a list that is not "T"; an empty list matches nothing.
void restrictTo(const SqlRunner& sql, QString& where, QVariantMap& binds, const QString& column, const KeyList& list,
                const QString& name)
{
    if (list.all)
        return;
    const QString placeholder = QLatin1Char(':') + name;
    where += QStringLiteral(" AND %1 IN (%2)").arg(column, sql.jsonTexts(placeholder));
    binds.insert(placeholder, list.toJsonArray());
}

} // namespace

qsizetype DishSearchRequest::maxKeys(const SqlRunner& sql)
{
    return sql.number(QStringLiteral("contar as chaves dos filtros de pratos"),
                      QStringLiteral("SELECT MAX(n) FROM (SELECT COUNT(*) AS n FROM SERVICO UNION ALL SELECT COUNT(*)"
                                     " FROM TIPOPRAT UNION ALL SELECT COUNT(*) FROM CARDCICLO UNION ALL SELECT"
                                     " COUNT(*) FROM SERVPADR) AS t"));
}

DishSearchRequest DishSearchRequest::parse(const wire::Arguments& args, qsizetype maxKeys)
{
    args.expectCount(11);
    DishSearchRequest r;
    r.source = args.text(0, kMaxKeyLength);
    r.localTree = args.text(1, kMaxKeyLength);
    r.standardTree = args.text(2, kMaxKeyLength);
    // The standard tree is everyone's; the only local tree the search may read is the source's own.
    if (r.localTree != QLatin1String("X") && r.localTree != r.source)
        throw ServiceError(QStringLiteral("Árvore local de pratos inválida: \"%1\".").arg(r.localTree.left(20)));
    if (r.standardTree != QLatin1String("P") && r.standardTree != QLatin1String("X"))
        throw ServiceError(QStringLiteral("Árvore padrão de pratos inválida: \"%1\".").arg(r.standardTree.left(20)));
    r.levels = args.integer(3);
    r.services = listArgument(args, 4, "serviços", maxKeys);
    r.dishTypes = listArgument(args, 5, "tipos de prato", maxKeys);
    const std::optional<QDate> start = args.date(6);
    const std::optional<QDate> end = args.date(7);
    r.cycles = listArgument(args, 8, "ciclos", maxKeys);
    r.servicePatterns = listArgument(args, 9, "serviços padrão", maxKeys);
    r.cycleDishTypes = listArgument(args, 10, "tipos de prato do ciclo", maxKeys);
    r.menu = Period::ordered(start, end);
    return r;
}

Packet DishSearch::run(const DishSearchRequest& r) const
{
    const SqlRunner sql(m_db);
    QVariantMap binds{{":padrao", r.standardTree}, {":local", r.localTree}};
    // Level 0: the highest level the dish table holds, for a caller that does not read the dish-code picture.
    QString where = QStringLiteral("p.CDFILAUXPRAT IN (:padrao, :local) AND p.CDNVPRATO = ");
    if (r.levels > 0) {
        where += QStringLiteral(":nivel");
        binds.insert(QStringLiteral(":nivel"), r.levels);
    } else {
        where += QStringLiteral("(SELECT MAX(CDNVPRATO) FROM PRATO)");
    }

    // A filter whose lists all came empty is switched off on the screen, so it does not narrow.
    const bool menuFilter = !(r.services.isEmpty() && r.dishTypes.isEmpty());
    const bool cycleFilter = !(r.cycles.isEmpty() && r.servicePatterns.isEmpty() && r.cycleDishTypes.isEmpty());

    if (menuFilter) {
        QString menu =
            QStringLiteral("c.CDFILIAL = :origem AND c.CDFILAUXPRAT = p.CDFILAUXPRAT AND c.CDPRATO = p.CDPRATO");
        binds.insert(QStringLiteral(":origem"), r.source);
        if (r.menu.start) {
            menu += QStringLiteral(" AND c.DTCARDAPIO >= %1")
                        .arg(sql.typed(QStringLiteral(":inicio"), QStringLiteral("date")));
            binds.insert(QStringLiteral(":inicio"), r.menu.start->toString(Qt::ISODate));
        }
        if (r.menu.end) {
            menu += QStringLiteral(" AND c.DTCARDAPIO <= %1")
                        .arg(sql.typed(QStringLiteral(":fim"), QStringLiteral("date")));
            binds.insert(QStringLiteral(":fim"), r.menu.end->toString(Qt::ISODate));
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
                                         "ORDER BY p.CDPRATO, p.CDFILAUXPRAT, p.NMPRATO")
                              .arg(where),
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
