#include "apihandler.h"

#include "apirequest.h"
#include "authservice.h"
#include "databaseloginfailures.h"
#include "dburl.h"
#include "heapreturn.h"
#include "intgcentralservice.h"
#include "memoryloginfailures.h"
#include "operatorrights.h"
#include "servererrors.h"
#include "serverlog.h"

#include <sqlrunner.h>

#include <QElapsedTimer>
#include <QRandomGenerator>

namespace suite::server {

namespace {

// The methods that rewrite, or try, recipes by the million.
bool isLargeWork(const QString& method)
{
    for (const char* name : {"IntgCentral", "IntgCentralPreview", "UndoIntg"}) {
        if (method.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

// Short enough to read out over the phone, random enough that two failures of a day do not share one.
QString newIncidentId()
{
    return QStringLiteral("%1").arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
}

// Every route that names a server resolves it here: /connect once per connection, and /call every time, since a
// call carries the name and the server keeps no session to remember it by.
QString servedServer(const QString& name)
{
    const std::optional<QString> server = IntgCentralService::canonicalServer(name);
    if (!server)
        throw RequestError(404, QStringLiteral("unknown server %1").arg(name.left(60)));
    return *server;
}

// Only PostgreSQL has several servers to share the count with. A SQLite database has one, which would wait on a
// run's write transaction to count a failure there.
std::unique_ptr<LoginFailures> loginFailuresOf(const ThreadConnection& connection)
{
    if (db::DbUrl::parse(connection.databaseUrl()).dialect() == db::Dialect::PostgreSQL)
        return std::make_unique<DatabaseLoginFailures>(connection);
    return std::make_unique<MemoryLoginFailures>();
}

} // namespace

ApiHandler::ApiHandler(QString databaseUrl, TokenSigner signer, Metrics& metrics, LoginLimits perOperator,
                       LoginLimits perAddress, std::chrono::milliseconds statementTimeout)
    : m_connection(std::move(databaseUrl), statementTimeout)
    , m_signer(std::move(signer))
    , m_metrics(metrics)
    , m_loginFailures(loginFailuresOf(m_connection))
    , m_throttle(*m_loginFailures, perOperator, perAddress)
{}

ApiReply ApiHandler::error(int status, const QString& message)
{
    return {status, QJsonObject{{"error", QJsonObject{{"message", message}}}}, {}};
}

ApiReply ApiHandler::internalError(const QString& route, const QString& detail)
{
    const QString id = newIncidentId();
    // One line, so that the id finds the whole story in the log.
    qCCritical(lcServer).noquote() << printable(route) << "500 internal error" << id << printable(detail.trimmed());
    return {500,
            QJsonObject{{"error", QJsonObject{{"message", QStringLiteral("internal error of the application server;"
                                                                         " its log has the details under id %1")
                                                              .arg(id)},
                                              {"id", id}}}},
            {}};
}

ApiReply ApiHandler::health()
{
    return {200, QJsonObject{{"status", "ok"}}, {}};
}

bool ApiHandler::databaseAnswers() const
{
    try {
        const db::StatementDeadline deadline(kReadyLimit);
        db::SqlRunner(m_connection.database())
            .run(QStringLiteral("verificar o banco de dados"), QStringLiteral("SELECT 1"));
        return true;
    } catch (const std::exception& e) {
        m_connection.discard();
        qCWarning(lcServer).noquote() << "ready: the database does not answer:"
                                      << printable(QString::fromUtf8(e.what()));
        return false;
    }
}

ApiReply ApiHandler::readiness(bool databaseAnswers)
{
    if (!databaseAnswers)
        return error(503, QStringLiteral("the database does not answer"));
    return {200, QJsonObject{{"status", "ready"}}, {}};
}

bool ApiHandler::wellSigned(const QString& authorization) const
{
    const QString token = bearerToken(authorization);
    return !token.isEmpty() && m_signer.verify(token, QDateTime::currentDateTimeUtc()).has_value();
}

std::optional<std::chrono::milliseconds> ApiHandler::statementLimit() const
{
    // A second more than the database's own limit, so that a database still alive ends the statement itself, and
    // says why.
    const std::chrono::milliseconds limit = m_connection.statementTimeout();
    if (limit.count() <= 0)
        return std::nullopt;
    return limit + std::chrono::seconds(1);
}

QString ApiHandler::tokenOperator(const QString& authorization) const
{
    const QString token = bearerToken(authorization);
    const std::optional<QString> op =
        token.isEmpty() ? std::nullopt : m_signer.verify(token, QDateTime::currentDateTimeUtc());
    if (!op)
        throw RequestError(401, QString::fromLatin1(kTokenRefused));
    return *op;
}

void ApiHandler::requireActive(const QString& op) const
{
    // A token outlives its operator's deactivation; the database says whether the operator still may.
    OperatorRights(db::SqlRunner(m_connection.database()), op).requireActive();
}

ApiReply ApiHandler::failed(const QString& route, const std::exception& e) const
{
    m_connection.discard();
    return internalError(route, QString::fromUtf8(e.what()));
}

ApiReply ApiHandler::login(const QByteArray& body, const QString& address) const
{
    try {
        if (body.size() > kLoginBodyLimit)
            throw RequestError(413, QStringLiteral("a log-in body holds at most %1 bytes").arg(kLoginBodyLimit));
        const LoginRequest request = LoginRequest::parse(body);
        const db::StatementDeadline deadline(statementLimit());
        const QString who = printable(request.user.left(40));
        const std::chrono::seconds wait = m_throttle.admit(request.user, address, LoginThrottle::Clock::now());
        if (wait.count() > 0) {
            qCInfo(lcServer).noquote() << "login" << who << "from" << printable(address) << "held back" << wait.count()
                                       << "s";
            m_metrics.countLoginThrottled();
            ApiReply reply = error(429, QStringLiteral("Muitas tentativas de entrada sem sucesso. Tente novamente em "
                                                       "%1 segundos.")
                                            .arg(wait.count()));
            reply.headers.append({QByteArrayLiteral("Retry-After"), QByteArray::number(qint64(wait.count()))});
            return reply;
        }
        const auto op = AuthService::authenticate(m_connection.database(), request.user, request.password);
        if (!op) {
            m_throttle.failed(request.user, address, LoginThrottle::Clock::now());
            qCInfo(lcServer).noquote() << "login" << who << "from" << printable(address) << "refused";
            return error(401, QStringLiteral("Operador ou senha inválidos."));
        }
        m_throttle.succeeded(request.user);
        const QDateTime expires = QDateTime::currentDateTimeUtc().addSecs(m_signer.lifetime().count());
        return {200,
                QJsonObject{{"token", m_signer.issue(op->code, expires)}, {"operator", op->code}, {"name", op->name}},
                {}};
    } catch (const RequestError& e) {
        return error(e.status(), e.message());
    } catch (const std::exception& e) {
        return failed(QStringLiteral("login"), e);
    }
}

ApiReply ApiHandler::connect(const QString& authorization, const QByteArray& body) const
{
    const HeapReturn heap(body.size());
    try {
        const QString op = tokenOperator(authorization);
        const QString server = servedServer(ConnectRequest::parse(body).server);
        const db::StatementDeadline deadline(statementLimit());
        requireActive(op);
        return {200, QJsonObject{{"server", server}}, {}};
    } catch (const RequestError& e) {
        return error(e.status(), e.message());
    } catch (const std::exception& e) {
        return failed(QStringLiteral("connect"), e);
    }
}

ApiReply ApiHandler::call(const QString& authorization, const QByteArray& body) const
{
    HeapReturn heap(body.size());
    QElapsedTimer timer;
    timer.start();
    QString method = QStringLiteral("-");
    QString op = QStringLiteral("-");
    QString run;
    const auto where = [&] {
        return QStringLiteral("call %1 operator %2%3 %4 ms").arg(method, op, run).arg(timer.elapsed());
    };
    // Method, operator and messages carry what the caller sent: printable() keeps each call on a line of its own.
    const auto logged = [&](const QString& outcome) {
        qCInfo(lcServer).noquote() << printable(where()) << printable(outcome);
    };
    const auto answered = [&](ApiReply reply) {
        reply.method = method;
        return reply;
    };
    try {
        op = tokenOperator(authorization);
        const CallRequest request = CallRequest::parse(body);
        method = request.method.left(60);
        if (isLargeWork(method))
            heap.markLarge();
        // A run's own statements take as long as they take: only look-ups are bounded.
        const db::StatementDeadline deadline(isLargeWork(method) ? std::nullopt : statementLimit());
        servedServer(request.server);
        requireActive(op);
        QJsonObject answer;
        {
            IntgCentralService service(m_connection.database(), op);
            const ServiceAnswer reply = service.answer(request.arguments());
            answer.insert(QStringLiteral("result"), reply.result.toJson());
            if (reply.total)
                answer.insert(QStringLiteral("total"), *reply.total);
            if (const std::optional<qint64> number = service.run()) {
                answer.insert(QStringLiteral("run"), *number);
                run = QStringLiteral(" run %1").arg(*number);
            }
            if (method.compare(QLatin1String("IntgCentral"), Qt::CaseInsensitive) == 0)
                m_metrics.countRun(service.recipesWritten());
            else if (method.compare(QLatin1String("UndoIntg"), Qt::CaseInsensitive) == 0)
                m_metrics.countUndo(service.recipesWritten());
        }
        if (isLargeWork(method)) {
            // The work's memory goes back to the system, not to this worker's next call: the connection holds its
            // work tables' pages (SQLite keeps them in memory, and keeps them after the tables are dropped) and
            // its page cache. The next call opens a connection afresh, which costs it a few milliseconds.
            m_connection.discard();
        }
        logged(QStringLiteral("ok"));
        return answered({200, answer, {}});
    } catch (const RequestError& e) {
        logged(QStringLiteral("%1 %2").arg(e.status()).arg(e.message()));
        return answered(error(e.status(), e.message()));
    } catch (const ServiceError& e) {
        logged(QStringLiteral("service error: %1").arg(e.message()));
        return answered(error(200, e.message()));
    } catch (const std::exception& e) {
        // A database that cannot be opened, a driver failure: the user did nothing wrong.
        return answered(failed(where(), e));
    }
}

} // namespace suite::server
