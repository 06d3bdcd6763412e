// Fresh databases for tests: a SQLite file in a temporary directory, or a PostgreSQL database
// of its own in the server named by SUITE_TEST_PG_URL (created here, dropped afterwards).
//
//   void tst_X::case_data() { suite::test::addDialectRows(); }
//   void tst_X::case() {
//       QFETCH(QString, dialect);
//       SUITE_TEST_DATABASE(tdb, dialect, suite::test::TestDatabase::Demo);  // QSKIPs postgres without a server
//       QSqlQuery q(tdb.db()); ...                 // or start a server with tdb.url()
//   }
#pragma once

#include "database.h"
#include "datasets.h"
#include "schema.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QUuid>

namespace suite::test {

/// The dialect rows every database test runs on.
inline QStringList dialects()
{
    return {QStringLiteral("sqlite"), QStringLiteral("postgres")};
}

/// Adds the column "dialect" and one row per dialect (for tests with no other column).
inline void addDialectRows()
{
    QTest::addColumn<QString>("dialect");
    for (const QString& d : dialects())
        QTest::newRow(qPrintable(d)) << d;
}

/// A database for one test; everything it created is removed by the destructor.
class TestDatabase {
public:
    enum Content { Empty, Schema, Demo };

    /// Why `dialect` cannot run here (empty when it can): PostgreSQL needs SUITE_TEST_PG_URL.
    static QString unavailable(const QString& dialect)
    {
        if (dialect == QLatin1String("postgres") && qEnvironmentVariableIsEmpty("SUITE_TEST_PG_URL"))
            return QStringLiteral("SUITE_TEST_PG_URL is not set: no PostgreSQL to test against");
        if (dialect != QLatin1String("postgres") && dialect != QLatin1String("sqlite"))
            return QStringLiteral("unknown dialect row \"%1\"").arg(dialect);
        return {};
    }

    explicit TestDatabase(const QString& dialect, Content content = Empty)
        : m_connection(uniqueName(QStringLiteral("testdb")))
    {
        try {
            if (dialect == QLatin1String("sqlite")) {
                if (!m_dir.isValid())
                    throw db::DbError(QStringLiteral("no temporary directory: ") + m_dir.errorString());
                m_url = m_dir.filePath(QStringLiteral("suite.db"));
            } else {
                createPostgresDatabase();
            }
            m_db = db::openDatabase(m_url, m_connection);
            if (content != Empty)
                provision::createSchema(m_db);
            if (content == Demo)
                provision::loadDemo(m_db);
        } catch (const db::DbError& e) {
            m_error = e.message();
        }
    }

    ~TestDatabase()
    {
        m_db = QSqlDatabase();
        db::closeDatabase(m_connection);
        if (m_pgName.isEmpty())
            return;
        // FORCE ends connections a test left behind (e.g. a server it killed).
        const QString admin = uniqueName(QStringLiteral("testdb-drop"));
        try {
            QSqlDatabase a = db::openDatabase(m_adminUrl, admin);
            QSqlQuery q(a);
            if (!q.exec(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(m_pgName)))
                qWarning("could not drop test database %s", qPrintable(m_pgName));
        } catch (const db::DbError& e) {
            qWarning("could not drop test database %s: %s", qPrintable(m_pgName), e.what());
        }
        db::closeDatabase(admin);
    }

    /// Names the database a new TestDatabase copies (see the constructor taking it).
    struct CopyOf {
        TestDatabase& original;
    };

    /// A new database holding what `original` holds now. PostgreSQL copies through a template, which no other
    /// session may be using: `original`'s own connection is closed for it and reopened, and no server may have
    /// it open at that moment.
    explicit TestDatabase(CopyOf from)
        : m_connection(uniqueName(QStringLiteral("testdb")))
    {
        TestDatabase& original = from.original;
        try {
            if (original.m_pgName.isEmpty()) {
                if (!m_dir.isValid())
                    throw db::DbError(QStringLiteral("no temporary directory: ") + m_dir.errorString());
                m_url = m_dir.filePath(QStringLiteral("suite.db"));
                QSqlQuery q(original.m_db);
                q.prepare(QStringLiteral("VACUUM INTO ?"));
                q.addBindValue(m_url);
                if (!q.exec())
                    throw db::DbError(QStringLiteral("copying %1: %2").arg(original.m_url, q.lastError().text()));
            } else {
                original.m_db = QSqlDatabase();
                db::closeDatabase(original.m_connection);
                QString why;
                try {
                    createPostgresDatabase(original.m_pgName);
                } catch (const db::DbError& e) {
                    why = e.message();
                }
                original.m_db = db::openDatabase(original.m_url, original.m_connection);
                if (!why.isEmpty())
                    throw db::DbError(why);
            }
            m_db = db::openDatabase(m_url, m_connection);
        } catch (const db::DbError& e) {
            m_error = e.message();
        }
    }

    TestDatabase(const TestDatabase&) = delete;
    TestDatabase& operator=(const TestDatabase&) = delete;

    bool isOpen() const { return m_error.isEmpty() && m_db.isOpen(); }
    QString error() const { return m_error; }
    /// The URL to give openDatabase or the server's --database.
    QString url() const { return m_url; }
    /// This object's own connection (for this thread only).
    QSqlDatabase& db() { return m_db; }

    /// A connection name no other test connection uses.
    static QString uniqueName(const QString& prefix)
    {
        static QAtomicInt counter;
        return QStringLiteral("%1-%2").arg(prefix).arg(counter.fetchAndAddRelaxed(1) + 1);
    }

private:
    // An empty database, or a copy of `templateName` (a database of this server no one is connected to).
    void createPostgresDatabase(const QString& templateName = {})
    {
        m_adminUrl = qEnvironmentVariable("SUITE_TEST_PG_URL");
        if (m_adminUrl.isEmpty())
            throw db::DbError(unavailable(QStringLiteral("postgres")));
        const QString name = QStringLiteral("suite_test_%1_%2")
                                 .arg(QCoreApplication::applicationPid())
                                 .arg(QUuid::createUuid().toString(QUuid::Id128).left(12));
        const QString admin = uniqueName(QStringLiteral("testdb-create"));
        {
            QSqlDatabase a = db::openDatabase(m_adminUrl, admin);
            QSqlQuery q(a);
            const bool ok = q.exec(templateName.isEmpty()
                                       ? QStringLiteral("CREATE DATABASE %1").arg(name)
                                       : QStringLiteral("CREATE DATABASE %1 TEMPLATE %2").arg(name, templateName));
            const QString why = q.lastError().text();
            q.finish();
            a = QSqlDatabase();
            db::closeDatabase(admin);
            if (!ok)
                throw db::DbError(QStringLiteral("creating test database %1: %2").arg(name, why));
        }
        m_pgName = name;
        QUrl url(m_adminUrl);
        url.setPath(QLatin1Char('/') + name);
        m_url = url.toString();
    }

    QTemporaryDir m_dir;
    QString m_connection;
    QString m_url;
    QString m_adminUrl;
    QString m_pgName;
    QString m_error;
    QSqlDatabase m_db;
};

/// Every local and per-service recipe line, as text, sorted: equal lists mean equal recipes.
inline QStringList allRecipeLines(QSqlDatabase& db)
{
    QStringList rows;
    for (const char* table : {"RECEITA", "RECEITASERV"}) {
        QSqlQuery q(db);
        q.exec(QStringLiteral("SELECT * FROM %1").arg(QLatin1String(table)));
        while (q.next()) {
            QStringList cells{QLatin1String(table)};
            for (int i = 0; i < q.record().count(); ++i)
                cells << q.value(i).toString();
            rows << cells.join(QLatin1Char('|'));
        }
    }
    rows.sort();
    return rows;
}

} // namespace suite::test

/// Skips the row when its dialect is unavailable, then opens `var` or fails the test.
#define SUITE_TEST_DATABASE(var, dialect, ...)                                                                         \
    do {                                                                                                               \
        const QString suiteWhy_ = suite::test::TestDatabase::unavailable(dialect);                                     \
        if (!suiteWhy_.isEmpty())                                                                                      \
            QSKIP(qPrintable(suiteWhy_));                                                                              \
    } while (false);                                                                                                   \
    suite::test::TestDatabase var(dialect __VA_OPT__(, ) __VA_ARGS__);                                                 \
    QVERIFY2(var.isOpen(), qPrintable(var.error()))
