#include "sqlrunner.h"

#include "logging.h"
#include "statementdeadline.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

namespace suite::db {

namespace {

[[noreturn]] void fail(const QString& purpose, const QSqlError& error, const StatementWatch* watch = nullptr)
{
    if (watch && watch->expired())
        throw DbError(QStringLiteral("%1: no answer from the database within %2 ms; the connection was cut")
                          .arg(purpose)
                          .arg(watch->limit().count()));
    QString detail = error.databaseText().trimmed();
    if (detail.isEmpty())
        detail = error.text().trimmed();
    throw DbError(
        QStringLiteral("%1: %2").arg(purpose, detail.isEmpty() ? QStringLiteral("unknown database error") : detail));
}

// For tests that kill a process at a known point of a run, chosen among the statements it runs. With
// SUITE_TEST_TRACE_STATEMENTS set, every statement says "ran PURPOSE" on stderr once it has run. With
// SUITE_TEST_PAUSE_AT set to PURPOSE or PURPOSE#N, the thread that has just run that statement (its N-th run in
// the process, counted from 1) says "paused at PURPOSE[#N]" on stderr and then waits, inside its transaction, until
// the process is killed. Unset (always, outside tests), nothing changes.
struct TestHooks {
    bool trace = qEnvironmentVariableIsSet("SUITE_TEST_TRACE_STATEMENTS");
    QString pauseAt = qEnvironmentVariable("SUITE_TEST_PAUSE_AT");
    QString purpose;
    int occurrence = 1;
    std::atomic<int> seen{0};

    TestHooks()
    {
        static const QRegularExpression numbered(QStringLiteral("^(.*)#(\\d+)$"));
        const QRegularExpressionMatch match = numbered.match(pauseAt);
        purpose = match.hasMatch() ? match.captured(1) : pauseAt;
        occurrence = match.hasMatch() ? match.captured(2).toInt() : 1;
    }
};

void testHooks(const QString& purpose)
{
    static TestHooks hooks;
    if (hooks.trace) {
        std::fprintf(stderr, "ran %s\n", purpose.toUtf8().constData());
        std::fflush(stderr);
    }
    if (hooks.pauseAt.isEmpty() || purpose != hooks.purpose || hooks.seen.fetch_add(1) + 1 != hooks.occurrence)
        return;
    std::fprintf(stderr, "paused at %s\n", hooks.pauseAt.toUtf8().constData());
    std::fflush(stderr);
    for (;;)
        std::this_thread::sleep_for(std::chrono::hours(1));
}

void ran(const QString& purpose, const QElapsedTimer& timer)
{
    qCDebug(lcDbSql).noquote() << timer.elapsed() << "ms" << purpose;
    testHooks(purpose);
}

} // namespace

SqlRunner::SqlRunner(QSqlDatabase db)
    : m_db(std::move(db))
    , m_dialect(dialectOf(m_db))
{}

QSqlQuery SqlRunner::run(const QString& purpose, const QString& sql, const QVariantMap& binds) const
{
    if (!binds.isEmpty()) {
        QSqlQuery query = prepare(purpose, sql);
        for (auto it = binds.cbegin(); it != binds.cend(); ++it)
            query.bindValue(it.key(), it.value());
        exec(purpose, query);
        return query;
    }
    QElapsedTimer timer;
    timer.start();
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    const StatementWatch watch(m_db);
    if (!query.exec(sql))
        fail(purpose, query.lastError(), &watch);
    ran(purpose, timer);
    return query;
}

int SqlRunner::change(const QString& purpose, const QString& sql, const QVariantMap& binds) const
{
    return run(purpose, sql, binds).numRowsAffected();
}

QVariant SqlRunner::value(const QString& purpose, const QString& sql, const QVariantMap& binds) const
{
    QSqlQuery query = run(purpose, sql, binds);
    return query.next() ? query.value(0) : QVariant();
}

qint64 SqlRunner::number(const QString& purpose, const QString& sql, const QVariantMap& binds) const
{
    return value(purpose, sql, binds).toLongLong();
}

QSqlQuery SqlRunner::prepare(const QString& purpose, const QString& sql) const
{
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    const StatementWatch watch(m_db);
    if (!query.prepare(sql))
        fail(purpose, query.lastError(), &watch);
    return query;
}

void SqlRunner::exec(const QString& purpose, QSqlQuery& query) const
{
    QElapsedTimer timer;
    timer.start();
    const StatementWatch watch(m_db);
    if (!query.exec())
        fail(purpose, query.lastError(), &watch);
    ran(purpose, timer);
}

QString SqlRunner::timestamp(const QDateTime& moment)
{
    return moment.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString SqlRunner::typed(const QString& placeholder, const QString& sqlType) const
{
    return isPostgres() ? QStringLiteral("CAST(%1 AS %2)").arg(placeholder, sqlType) : placeholder;
}

QString SqlRunner::jsonTexts(const QString& placeholder) const
{
    return isPostgres() ? QStringLiteral("SELECT value FROM json_array_elements_text(CAST(%1 AS json)) AS j(value)")
                              .arg(placeholder)
                        : QStringLiteral("SELECT value FROM json_each(%1)").arg(placeholder);
}

QString SqlRunner::literal(const QString& text) const
{
    QSqlField field(QString(), QMetaType(QMetaType::QString));
    field.setValue(text);
    return m_db.driver()->formatValue(field);
}

} // namespace suite::db
