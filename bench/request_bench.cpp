// request_bench: what one large request costs a real suite-server process: its answer time, the size of the
// answer and the server's memory, at its peak and after the call; with --hostile, what hostile requests cost it.
#include "hostilerequests.h"
#include "servermemory.h"
#include "serverprocess.h"

#include <database.h>
#include <datasets.h>
#include <schema.h>
#include <sqlrunner.h>

#include <httplib.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

using namespace suite;

namespace {

struct Options {
    QString database;
    provision::Scale scale{13, 100000, 1};
    bool hostile = false;
};

bool parse(const QStringList& args, Options& o)
{
    for (int i = 1; i < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--hostile")) {
            o.hostile = true;
        } else if (i + 1 == args.size()) {
            return false;
        } else if (args.at(i) == QLatin1String("--database")) {
            o.database = args.at(++i);
        } else if (args.at(i) == QLatin1String("--scale")) {
            const std::optional<provision::Scale> scale = provision::Scale::parse(args.at(++i));
            if (!scale)
                return false;
            o.scale = *scale;
        } else {
            return false;
        }
    }
    return !o.database.isEmpty();
}

QByteArray json(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QJsonObject destinationPacket(const QStringList& codes)
{
    QJsonArray columns;
    for (const char* name : {"IDMARCADO", "CDFILIAL"})
        columns.append(QJsonObject{{"name", name}, {"type", "string"}, {"size", 4}});
    QJsonArray rows;
    for (const QString& code : codes)
        rows.append(QJsonArray{"S", code});
    return {{"columns", columns}, {"rows", rows}};
}

// One request to a server of its own, so the peak it reports is that request's.
int measure(const QString& database, const char* name, const QString& dishes, const QString& kinds,
            const QStringList& destinations)
{
    test::ServerProcess server;
    const QString why = server.start(database);
    if (!why.isEmpty()) {
        std::fprintf(stderr, "request_bench: %s\n", qPrintable(why));
        return 1;
    }
    httplib::Client client("127.0.0.1", server.port());
    client.set_read_timeout(3600, 0);
    const auto login =
        client.Post("/login", json({{"user", "demo"}, {"password", "demo"}}).toStdString(), "application/json");
    const QString token =
        login ? QJsonDocument::fromJson(QByteArray::fromStdString(login->body)).object().value("token").toString()
              : QString();
    if (token.isEmpty()) {
        std::fprintf(stderr, "request_bench: no log-in\n");
        return 1;
    }
    const bench::ServerMemory memory(server.process().processId());
    const double before = memory.resident();
    const QByteArray body =
        json({{"server", "Rci06000.rdmIntgCentral"},
              {"method", "IntgCentral"},
              {"args", QJsonArray{"0001", dishes, kinds, destinationPacket(destinations), "", ""}}});
    QElapsedTimer timer;
    timer.start();
    const auto answer = client.Post("/call", {{"Authorization", "Bearer " + token.toStdString()}}, body.toStdString(),
                                    "application/json");
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (!answer || answer->status != 200) {
        std::fprintf(stderr, "request_bench: %s: no answer\n", name);
        return 1;
    }
    const QJsonObject reply = QJsonDocument::fromJson(QByteArray::fromStdString(answer->body)).object();
    if (reply.contains("error")) {
        std::fprintf(stderr, "request_bench: %s: %s\n", name,
                     qPrintable(reply.value("error").toObject().value("message").toString()));
        return 1;
    }
    std::printf("%s: request %.1f MB, answered in %.2f s: %lld of %lld log rows, %.1f MB; server memory %.0f MB"
                " before, peak %.0f MB, %.0f MB after\n",
                name, body.size() / 1048576.0, seconds,
                qint64(reply.value("result").toObject().value("rows").toArray().size()),
                qint64(reply.value("total").toInteger(-1)), answer->body.size() / 1048576.0, before, memory.peak(),
                memory.resident());
    std::fflush(stdout);
    return 0;
}

int run(const Options& o)
{
    if (qEnvironmentVariableIsEmpty("SUITE_BIN_DIR"))
        qputenv("SUITE_BIN_DIR", QCoreApplication::applicationDirPath().toLocal8Bit());
    const QString connection = QStringLiteral("bench");
    QStringList destinations;
    {
        QSqlDatabase db = db::openDatabase(o.database, connection);
        if (provision::hasSchema(db)) {
            std::fprintf(stderr, "request_bench: %s already holds a suite database; give a new one\n",
                         qPrintable(o.database));
            return 1;
        }
        QElapsedTimer timer;
        timer.start();
        provision::createSchema(db);
        provision::loadScale(db, o.scale);
        if (o.hostile)
            bench::HostileRequests::addConsultOperator(db);
        std::printf("database: %s, %d branches, %d dishes, %d lines per recipe, built in %.1f s\n",
                    qPrintable(o.database), o.scale.branches, o.scale.dishes, o.scale.lines,
                    timer.nsecsElapsed() / 1e9);
        QSqlQuery q = db::SqlRunner(db).run(QStringLiteral("ler as filiais"),
                                            QStringLiteral("SELECT CDFILIAL FROM FILIAL WHERE CDFILIAL <> '0001'"
                                                           " ORDER BY CDFILIAL LIMIT 12"));
        while (q.next())
            destinations << q.value(0).toString();
    }
    db::closeDatabase(connection);

    // The request of a client that lists as many dishes as the catalogue holds, none of them a dish.
    QString unknown;
    for (int i = 0; i < o.scale.dishes; ++i)
        unknown += QStringLiteral("P9%1_").arg(i, 6, 10, QLatin1Char('0'));
    // Every dish, per service: the source has per-service recipes for 20 dishes, so every other dish is observed at
    // every destination.
    QString every;
    {
        QSqlDatabase db = db::openDatabase(o.database, connection);
        QSqlQuery q = db::SqlRunner(db).run(QStringLiteral("ler os pratos"),
                                            QStringLiteral("SELECT CDFILAUXPRAT || CDPRATO FROM PRATO WHERE"
                                                           " CDNVPRATO = 3 ORDER BY CDPRATO"));
        while (q.next())
            every += q.value(0).toString() + QLatin1Char('_');
    }
    db::closeDatabase(connection);

    if (o.hostile) {
        // The dish list of a refused request is never read: a hundred keys stand for any.
        return bench::HostileRequests(o.database, destinations,
                                      every.section(QLatin1Char('_'), 0, 99) + QLatin1Char('_'))
            .run();
    }

    const QString dishesName = QString::number(o.scale.dishes);
    int status = measure(o.database,
                         qPrintable(dishesName + QStringLiteral(" unknown dishes x ") +
                                    QString::number(destinations.size()) + QStringLiteral(" destinations, FS")),
                         unknown, QStringLiteral("FS"), destinations);
    status |=
        measure(o.database, qPrintable(QStringLiteral("every dish x %1 destinations, XS").arg(destinations.size())),
                every, QStringLiteral("XS"), destinations);
    return status;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    Options options;
    if (!parse(QCoreApplication::arguments(), options)) {
        std::fprintf(stderr, "usage: request_bench --database DB [--scale BRANCHES,DISHES,LINES] [--hostile]\n"
                             "default scale 13,100000,1; DB must be new (SQLite path or postgresql:// URL)\n"
                             "--hostile: hostile requests instead of the large legitimate ones\n");
        return 2;
    }
    int status = 1;
    try {
        status = run(options);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "request_bench: %s\n", e.what());
    }
    return status;
}
