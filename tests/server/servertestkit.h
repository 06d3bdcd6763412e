// Shared by the server tests: a small known data set, table snapshots, packets and a running server.
#pragma once

#include "httpserver.h"
#include "signingkey.h"
#include "testdb.h"
#include "tokensigner.h"

#include <password.h>

#include <httplib.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QThread>
#include <memory>
#include <thread>

namespace suite::test {

// Source "0001" and "0007"; destinations with every reason an integration can leave something unchanged.
inline const char* const kFixture[] = {
    "INSERT INTO FILIAL (CDFILIAL, NMFILIAL, IDMATRIZ, IDCNTRRESC) VALUES ('0001', 'Matriz', 'S', 'N'),"
    " ('0002', 'Filial Centro', 'N', 'N'), ('0003', 'Filial Norte', 'N', 'N'), ('0004', 'Filial Rescindida', 'N', 'S'),"
    " ('0005', 'Filial Sul', 'N', 'N'), ('0006', 'Filial Leste', 'N', 'N'), ('0007', 'Filial Oeste', 'N', 'N')",
    "INSERT INTO GRUPFILI (CDGRUPFILI, NMGRUPFILI) VALUES ('0000000001', 'Grupo A'), ('0000000002', 'Grupo B')",
    "INSERT INTO FILIGRUP (CDGRUPFILI, CDFILIAL) VALUES ('0000000001', '0002'), ('0000000001', '0003'),"
    " ('0000000001', '0004'), ('0000000002', '0001'), ('0000000002', '0005'), ('0000000002', '0006')",
    "INSERT INTO PICTURE (TPPICTURE, DSPICTURE) VALUES (1, '99.99.999')",
    "INSERT INTO TIPOPRAT (CDTIPOPRAT, NMTIPOPRAT) VALUES ('01', 'Principal'), ('02', 'Sobremesa')",
    "INSERT INTO SERVPADR (CDSERVPADR, NMSERVPADR) VALUES ('00001', 'Almoço'), ('00002', 'Jantar')",
    "INSERT INTO PRATO (CDFILAUXPRAT, CDPRATO, NMPRATO, CDNVPRATO, CDTIPOPRAT) VALUES"
    " ('P', '01', 'Pratos', 1, NULL), ('P', '0101', 'Carnes', 2, NULL), ('P', '0101001', 'Bife acebolado', 3, '01'),"
    " ('P', '0101002', 'Frango assado', 3, '01'), ('P', '0101003', 'Pudim', 3, '02'),"
    " ('0001', '0101901', 'Feijoada da casa', 3, '01'), ('0002', '0101901', 'Feijoada Centro', 3, '01'),"
    " ('0005', '0101901', 'Feijoada Sul', 3, '01'), ('0007', '0101901', 'Feijoada Oeste', 3, '01')",
    "INSERT INTO PRODUTO (CDARVPROD, NMPRODUTO, SGUNIDADE) VALUES ('0000000001', 'Arroz', 'KG'),"
    " ('0000000002', 'Feijão', 'KG'), ('0000000003', 'Cebola', 'KG'), ('0000000004', 'Leite', 'LT'),"
    " ('0000000005', 'Açúcar', 'KG'), ('0000000006', 'Carne', 'KG')",
    "INSERT INTO PRODFILI (CDFILIAL, CDARVPROD) SELECT f.CDFILIAL, p.CDARVPROD FROM FILIAL f CROSS JOIN PRODUTO p"
    " WHERE NOT (f.CDFILIAL = '0005' AND p.CDARVPROD = '0000000003')",
    "INSERT INTO SERVICO (CDFILIAL, CDSERVFILI, NMSERVICO, CDSERVPADR) SELECT CDFILIAL, '00001', 'Almoço', '00001'"
    " FROM FILIAL",
    "INSERT INTO SERVICO (CDFILIAL, CDSERVFILI, NMSERVICO, CDSERVPADR) SELECT CDFILIAL, '00002', 'Jantar', '00002'"
    " FROM FILIAL WHERE CDFILIAL <> '0006'",
    "INSERT INTO RECEITA (CDFILIAL, CDFILAUXPRAT, CDPRATO, NRSEQ, CDARVPROD, QTPRODUTO, SGUNIDADE) VALUES"
    " ('0001', 'P', '0101001', 1, '0000000001', 1.5, 'KG'), ('0001', 'P', '0101001', 2, '0000000002', 2, 'KG'),"
    " ('0001', 'P', '0101001', 3, '0000000003', 0.25, 'KG'), ('0001', 'P', '0101003', 1, '0000000004', 1, 'LT'),"
    " ('0001', 'P', '0101003', 3, '0000000005', 0.5, 'KG'), ('0001', '0001', '0101901', 1, '0000000001', 3, 'KG'),"
    " ('0001', '0001', '0101901', 2, '0000000006', 4, 'KG'),"
    " ('0002', 'P', '0101001', 1, '0000000004', 7, 'LT'), ('0002', 'P', '0101001', 2, '0000000005', 7, 'KG'),"
    " ('0002', 'P', '0101001', 3, '0000000006', 7, 'KG'), ('0002', 'P', '0101001', 4, '0000000001', 7, 'KG'),"
    " ('0002', 'P', '0101002', 1, '0000000001', 5, 'KG'), ('0002', 'P', '0101002', 2, '0000000002', 5, 'KG'),"
    " ('0002', '0002', '0101901', 1, '0000000002', 6, 'KG'), ('0003', 'P', '0101001', 1, '0000000006', 8, 'KG'),"
    " ('0005', 'P', '0101001', 1, '0000000001', 9, 'KG'), ('0005', 'P', '0101003', 1, '0000000001', 9, 'KG'),"
    " ('0005', 'P', '0101003', 2, '0000000002', 9, 'KG'),"
    " ('0006', 'P', '0101001', 1, '0000000002', 2, 'KG'),"
    " ('0007', 'P', '0101001', 1, '0000000002', 9, 'KG'), ('0007', 'P', '0101001', 2, '0000000004', 8, 'LT')",
    "INSERT INTO RECEITASERV (CDFILIAL, CDSERVFILI, CDFILAUXPRAT, CDPRATO, NRSEQ, CDARVPROD, QTPRODUTO, SGUNIDADE)"
    " VALUES ('0001', '00001', 'P', '0101001', 1, '0000000001', 1, 'KG'),"
    " ('0001', '00001', 'P', '0101001', 2, '0000000002', 1, 'KG'), ('0001', '00002', 'P', '0101001', 1, '0000000004', "
    "2, 'LT'),"
    " ('0002', '00001', 'P', '0101001', 1, '0000000006', 3, 'KG'), ('0006', '00001', 'P', '0101001', 1, '0000000005', "
    "3, 'KG'),"
    " ('0007', '00001', 'P', '0101001', 1, '0000000003', 4, 'KG')",
    "INSERT INTO CARDCICLO (CDCARDCICLO, NMCARDCICLO) VALUES ('00001', 'Ciclo de verão')",
    "INSERT INTO CARDCICLOITEM (CDCARDCICLO, NRDIA, CDSERVPADR, CDTIPOPRAT, CDFILAUXPRAT, CDPRATO) VALUES"
    " ('00001', 1, '00001', '01', 'P', '0101002')",
    "INSERT INTO CARDAPIO (CDFILIAL, DTCARDAPIO, CDSERVFILI, CDTIPOPRAT, CDFILAUXPRAT, CDPRATO) VALUES"
    " ('0001', '2026-01-10', '00001', '01', 'P', '0101001'), ('0001', '2026-02-10', '00002', '02', 'P', '0101003'),"
    " ('0001', '2026-01-11', '00001', '01', '0001', '0101901'), ('0002', '2026-01-10', '00001', '01', 'P', '0101002')",
};

inline void loadFixture(QSqlDatabase& db)
{
    for (const char* statement : kFixture) {
        QSqlQuery q(db);
        if (!q.exec(QString::fromUtf8(statement)))
            QFAIL(qPrintable(q.lastError().text()));
    }
    // One derivation per test process: the fixture's password is no secret.
    static const QString demoHash = provision::hashPassword(QStringLiteral("demo"));
    QSqlQuery op(db);
    op.prepare(QStringLiteral(
        "INSERT INTO OPERADOR (CDOPERADOR, NMOPERADOR, DSSENHA, IDATIVO) VALUES ('demo', 'Operador', ?, 'S')"));
    op.addBindValue(demoHash);
    QVERIFY2(op.exec(), qPrintable(op.lastError().text()));
    QSqlQuery rights(db);
    QVERIFY2(
        rights.exec(QStringLiteral("INSERT INTO OPERFILI (CDOPERADOR, CDFILIAL) SELECT 'demo', CDFILIAL FROM FILIAL")),
        qPrintable(rights.lastError().text()));
}

// Every row of a table (or query) as text, in a stable order: equal snapshots mean nothing changed.
inline QStringList rowsOf(QSqlDatabase& db, const QString& select)
{
    QSqlQuery q(db);
    if (!q.exec(select))
        qWarning("snapshot failed: %s", qPrintable(q.lastError().text()));
    QStringList rows;
    while (q.next()) {
        QStringList cells;
        for (int i = 0; i < q.record().count(); ++i)
            cells << (q.value(i).typeId() == QMetaType::Double ? QString::number(q.value(i).toDouble())
                                                               : q.value(i).toString());
        rows << cells.join(QLatin1Char('|'));
    }
    return rows;
}

inline QStringList recipeRows(QSqlDatabase& db, const QString& where = QStringLiteral("1 = 1"))
{
    return rowsOf(db,
                  QStringLiteral("SELECT CDFILIAL, CDFILAUXPRAT, CDPRATO, NRSEQ, CDARVPROD, CAST(QTPRODUTO AS FLOAT),"
                                 " SGUNIDADE FROM RECEITA WHERE %1 ORDER BY CDFILIAL, CDFILAUXPRAT, CDPRATO, NRSEQ")
                      .arg(where));
}

inline QStringList serviceRecipeRows(QSqlDatabase& db, const QString& where = QStringLiteral("1 = 1"))
{
    return rowsOf(db, QStringLiteral("SELECT CDFILIAL, CDSERVFILI, CDFILAUXPRAT, CDPRATO, NRSEQ, CDARVPROD,"
                                     " CAST(QTPRODUTO AS FLOAT), SGUNIDADE FROM RECEITASERV WHERE %1"
                                     " ORDER BY CDFILIAL, CDSERVFILI, CDFILAUXPRAT, CDPRATO, NRSEQ")
                          .arg(where));
}

// Everything an integration may write.
inline QStringList everythingWritten(QSqlDatabase& db)
{
    return recipeRows(db) + serviceRecipeRows(db) + rowsOf(db, QStringLiteral("SELECT COUNT(*) FROM INTGCENTRAL")) +
           rowsOf(db, QStringLiteral("SELECT COUNT(*) FROM INTGCENTRALANT"));
}

// A destination grid as the screen sends it: every branch, marked or not.
inline QJsonObject destinationPacket(const QStringList& marked, const QStringList& unmarked = {})
{
    QJsonArray columns;
    for (const auto& [name, size] : {std::pair{"IDMARCADO", 1}, {"CDFILIAL", 4}, {"NMFILIAL", 30}, {"IDCNTRRESC", 1}})
        columns.append(QJsonObject{{"name", name}, {"type", "string"}, {"size", size}});
    QJsonArray rows;
    for (const QString& code : marked)
        rows.append(QJsonArray{"S", code, "Filial " + code, "N"});
    for (const QString& code : unmarked)
        rows.append(QJsonArray{"N", code, "Filial " + code, "N"});
    return QJsonObject{{"columns", columns}, {"rows", rows}};
}

// A server of this process on a free loopback port, with a signing key of its own; stopped by the destructor.
class RunningServer {
public:
    explicit RunningServer(const QString& url, std::size_t bodyLimit = 32u * 1024u * 1024u, int threads = 4)
        : RunningServer(optionsFor(url, bodyLimit, threads))
    {}

    explicit RunningServer(server::ServerOptions options)
    {
        options.port = 0;
        if (options.keyFile.isEmpty()) {
            options.keyFile = m_keyDir.filePath(QStringLiteral("server.key"));
            server::createSigningKey(options.keyFile);
        }
        m_keyFile = options.keyFile;
        m_server = std::make_unique<server::HttpServer>(options);
        m_port = m_server->bind();
        m_thread = std::thread([this] { m_server->serve(); });
        for (int i = 0; i < 500 && !m_server->isRunning(); ++i)
            QThread::msleep(10);
    }
    ~RunningServer()
    {
        m_server->stop();
        m_thread.join();
    }
    int port() const { return m_port; }
    bool isRunning() const { return m_server->isRunning(); }
    QString keyFile() const { return m_keyFile; }
    // Signs as the server does, for tokens a client could not have been given.
    server::TokenSigner signer() const { return server::TokenSigner(server::readSigningKey(m_keyFile)); }

    static server::ServerOptions optionsFor(const QString& url, std::size_t bodyLimit = 32u * 1024u * 1024u,
                                            int threads = 4)
    {
        server::ServerOptions o;
        o.databaseUrl = url;
        o.bodyLimit = bodyLimit;
        o.threads = threads;
        return o;
    }

private:
    QTemporaryDir m_keyDir;
    QString m_keyFile;
    std::unique_ptr<server::HttpServer> m_server;
    std::thread m_thread;
    int m_port = 0;
};

struct HttpAnswer {
    int status = 0; // 0: no answer
    QJsonObject body;
    httplib::Headers headers;
};

// A blocking client for one request; a fresh connection each time, as independent callers would use.
inline HttpAnswer post(int port, const std::string& path, const QByteArray& body, const QString& token = {})
{
    httplib::Client client("127.0.0.1", port);
    client.set_read_timeout(300, 0);
    httplib::Headers headers;
    if (!token.isEmpty())
        headers.emplace("Authorization", "Bearer " + token.toStdString());
    const auto result =
        client.Post(path.c_str(), headers, body.constData(), std::size_t(body.size()), "application/json");
    if (!result)
        return {};
    return {result->status, QJsonDocument::fromJson(QByteArray::fromStdString(result->body)).object(), result->headers};
}

inline QByteArray json(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

inline QString login(int port, const QString& user = QStringLiteral("demo"),
                     const QString& password = QStringLiteral("demo"))
{
    return post(port, "/login", json({{"user", user}, {"password", password}})).body.value("token").toString();
}

inline QByteArray callBody(const QString& method, const QJsonArray& args)
{
    return json({{"server", "Rci06000.rdmIntgCentral"}, {"method", method}, {"args", args}});
}

} // namespace suite::test
