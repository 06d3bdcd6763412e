#include "integrationundo.h"
#include "servererrors.h"
#include "sqlrunner.h"

#include <QDateTime>

namespace suite::server {

IntegrationUndo::IntegrationUndo(QSqlDatabase db) : m_db(std::move(db))
{
}

int IntegrationUndo::undo(qint64 run)
{
    const SqlRunner sql(m_db);
    WriteTransaction transaction(sql);
    const QVariantMap ofRun{{":nrintg", run}};
    checkRun(sql, run);
    if (sql.isPostgres()) {
        // The same locks, in the same order, as an integration into these branches takes.
        sql.run(QStringLiteral("reservar as filiais"),
                QStringLiteral("SELECT f.CDFILIAL FROM FILIAL f WHERE f.CDFILIAL IN (SELECT a.CDFILIAL FROM INTGCENTRALANT a"
                               " WHERE a.NRINTG = :nrintg) ORDER BY f.CDFILIAL FOR NO KEY UPDATE"),
                ofRun);
    }
    sql.run(QStringLiteral("preparar as tabelas de trabalho"),
            QStringLiteral("CREATE TEMP TABLE TT_DESFAZ (IDTIPORECE TEXT NOT NULL, CDFILIAL TEXT NOT NULL, CDSERVFILI TEXT"
                           " NOT NULL, CDFILAUXPRAT TEXT NOT NULL, CDPRATO TEXT NOT NULL, PRIMARY KEY (IDTIPORECE,"
                           " CDFILIAL, CDSERVFILI, CDFILAUXPRAT, CDPRATO))"));
    const int recipes = sql.change(QStringLiteral("ler as receitas da integração"),
                                   QStringLiteral("INSERT INTO TT_DESFAZ SELECT IDTIPORECE, CDFILIAL, CDSERVFILI,"
                                                  " CDFILAUXPRAT, CDPRATO FROM INTGCENTRALANT WHERE NRINTG = :nrintg"),
                                   ofRun);
    checkNoLaterRun(sql, run);
    restore(sql, run, false);
    restore(sql, run, true);
    sql.run(QStringLiteral("registrar que a integração foi desfeita"),
            QStringLiteral("UPDATE INTGCENTRAL SET DTDESFEITA = %1 WHERE NRINTG = :nrintg")
                .arg(sql.typed(QStringLiteral(":agora"), QStringLiteral("timestamp"))),
            {{":nrintg", run},
             {":agora", QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))}});
    sql.run(QStringLiteral("descartar as tabelas de trabalho"), QStringLiteral("DROP TABLE TT_DESFAZ"));
    transaction.commit();
    return recipes;
}

void IntegrationUndo::checkRun(const SqlRunner &sql, qint64 run) const
{
    QSqlQuery q = sql.run(QStringLiteral("ler a integração"),
                          QStringLiteral("SELECT DTDESFEITA FROM INTGCENTRAL WHERE NRINTG = :nrintg"), {{":nrintg", run}});
    if (!q.next())
        throw ServiceError(QStringLiteral("Integração %1 não encontrada.").arg(run));
    if (!q.value(0).isNull())
        throw ServiceError(QStringLiteral("A integração %1 já foi desfeita.").arg(run));
}

void IntegrationUndo::checkNoLaterRun(const SqlRunner &sql, qint64 run) const
{
    // Later runs' before-images are read by run number, so the look-up is into the (small) key table.
    QSqlQuery q = sql.run(QStringLiteral("procurar integrações posteriores"),
                          QStringLiteral("SELECT MIN(a.NRINTG) FROM INTGCENTRALANT a JOIN INTGCENTRAL c ON c.NRINTG = a.NRINTG"
                                         " WHERE a.NRINTG > :nrintg AND c.DTDESFEITA IS NULL AND EXISTS (SELECT 1"
                                         " FROM TT_DESFAZ t WHERE t.IDTIPORECE = a.IDTIPORECE AND t.CDFILIAL = a.CDFILIAL"
                                         " AND t.CDSERVFILI = a.CDSERVFILI AND t.CDFILAUXPRAT = a.CDFILAUXPRAT"
                                         " AND t.CDPRATO = a.CDPRATO)"),
                          {{":nrintg", run}});
    if (q.next() && !q.value(0).isNull()) {
        const qint64 later = q.value(0).toLongLong();
        throw ServiceError(QStringLiteral("A integração %1 não pode ser desfeita: a integração %2, posterior, substituiu "
                                          "receitas dela. Desfaça primeiro a %2.")
                               .arg(run)
                               .arg(later));
    }
}

void IntegrationUndo::restore(const SqlRunner &sql, qint64 run, bool perService) const
{
    const QString table = perService ? QStringLiteral("RECEITASERV") : QStringLiteral("RECEITA");
    const QString serv = perService ? QStringLiteral("CDSERVFILI, ") : QString();
    const QVariantMap binds{{":nrintg", run}, {":tipo", perService ? QStringLiteral("S") : QStringLiteral("L")}};
    sql.run(QStringLiteral("apagar as receitas da integração"),
            QStringLiteral("DELETE FROM %1 WHERE (CDFILIAL, %2CDFILAUXPRAT, CDPRATO) IN (SELECT CDFILIAL, %2CDFILAUXPRAT,"
                           " CDPRATO FROM TT_DESFAZ WHERE IDTIPORECE = :tipo)")
                .arg(table, serv),
            {{":tipo", binds.value(QStringLiteral(":tipo"))}});
    // Each before-image is a JSON array of [NRSEQ, CDARVPROD, QTPRODUTO, SGUNIDADE].
    const QString lines = sql.isPostgres()
        ? QStringLiteral("SELECT a.CDFILIAL, %1a.CDFILAUXPRAT, a.CDPRATO, CAST(j.e->>0 AS INTEGER), j.e->>1,"
                         " CAST(j.e->>2 AS NUMERIC), j.e->>3 FROM INTGCENTRALANT a CROSS JOIN LATERAL"
                         " json_array_elements(CAST(a.DSLINHAS AS json)) AS j(e)")
        : QStringLiteral("SELECT a.CDFILIAL, %1a.CDFILAUXPRAT, a.CDPRATO, json_extract(j.value, '$[0]'),"
                         " json_extract(j.value, '$[1]'), json_extract(j.value, '$[2]'), json_extract(j.value, '$[3]')"
                         " FROM INTGCENTRALANT a, json_each(a.DSLINHAS) j");
    sql.run(QStringLiteral("restaurar as receitas anteriores"),
            QStringLiteral("INSERT INTO %1 (CDFILIAL, %2CDFILAUXPRAT, CDPRATO, NRSEQ, CDARVPROD, QTPRODUTO, SGUNIDADE) %3"
                           " WHERE a.NRINTG = :nrintg AND a.IDTIPORECE = :tipo")
                .arg(table, serv, lines.arg(perService ? QStringLiteral("a.CDSERVFILI, ") : QString())),
            binds);
}

} // namespace suite::server
