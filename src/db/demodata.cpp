#include "demodata.h"

#include "bulkinsert.h"
#include "sqlrun.h"
#include "transaction.h"

namespace suite::db {

namespace Internal {

DemoData::DemoData(QSqlDatabase& db) : m_db(db), m_random(20261201u) {}

void DemoData::load()
{
    loadBranches();
    loadOperators();
}

void DemoData::loadBranches()
{
    BulkInsert branches(m_db, QStringLiteral("FILIAL"), {QStringLiteral("CDFILIAL"), QStringLiteral("NMFILIAL"), QStringLiteral("IDMATRIZ"), QStringLiteral("IDCNTRRESC")});
    branches.add({QStringLiteral("0001"), QStringLiteral("Matriz"), QStringLiteral("S"), QStringLiteral("N")});
    branches.finish();
}

void DemoData::loadOperators()
{
    BulkInsert operators(m_db, QStringLiteral("OPERADOR"), {QStringLiteral("CDOPERADOR"), QStringLiteral("NMOPERADOR"), QStringLiteral("DSSENHA"), QStringLiteral("IDATIVO")});
    operators.add({QStringLiteral("demo"), QStringLiteral("Operador Demonstração"), hashPassword(QStringLiteral("demo")), QStringLiteral("S")});
    operators.finish();
    execStatement(m_db, QStringLiteral("INSERT INTO OPERFILI (CDOPERADOR, CDFILIAL) SELECT 'demo', CDFILIAL FROM FILIAL"),
                  QStringLiteral("allowing the demo operator on every branch"));
}

} // namespace Internal

void loadDemo(QSqlDatabase& db)
{
    Transaction transaction(db, QStringLiteral("loading demo data"));
    Internal::DemoData(db).load();
    transaction.commit();
}

} // namespace suite::db
