// PostgreSQL over TLS, against a throw-away cluster of its own with ssl on and a pg_hba.conf that takes TLS only:
// what connects encrypted, and what a refused certificate or a refused plain connection tells the user.
#include "database.h"
#include "dburl.h"
#include "freeport.h"
#include "testdb.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QtTest>

#include <algorithm>

#include <pwd.h>
#include <unistd.h>

using namespace suite::db;

namespace {

// The newest PostgreSQL installed, as Debian lays it out.
QString postgresBinaries()
{
    QStringList versions = QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    std::sort(versions.begin(), versions.end(),
              [](const QString& a, const QString& b) { return a.toInt() > b.toInt(); });
    for (const QString& version : std::as_const(versions)) {
        const QString bin = QStringLiteral("/usr/lib/postgresql/%1/bin").arg(version);
        if (QFileInfo(bin + QStringLiteral("/initdb")).isExecutable() &&
            QFileInfo(bin + QStringLiteral("/pg_ctl")).isExecutable())
            return bin;
    }
    return {};
}

// Runs a program to its end; the reason it failed, or empty.
QString run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        process.kill();
        process.waitForFinished();
        return QStringLiteral("%1 %2 failed: %3\n%4")
            .arg(program, arguments.join(QLatin1Char(' ')), process.errorString(),
                 QString::fromLocal8Bit(process.readAll()));
    }
    return {};
}

} // namespace

class tst_PgTls : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void connects_data();
    void connects();

private:
    QString makeCertificates();
    QString startServer();
    QString postgres(const QString& tool, const QStringList& arguments) const;
    QString url(const QString& host, QString options) const;

    QTemporaryDir m_dir;
    QString m_bin;
    int m_port = 0;
    bool m_started = false;
    uid_t m_postgresUid = 0;
    gid_t m_postgresGid = 0;
    QString m_admin;
};

// PostgreSQL refuses to run as root: then its files are the postgres user's, and it runs as that user.
QString tst_PgTls::postgres(const QString& tool, const QStringList& arguments) const
{
    const QString program = m_bin + QLatin1Char('/') + tool;
    if (::geteuid() != 0)
        return run(program, arguments);
    return run(QStringLiteral("runuser"),
               QStringList{QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--"), program} +
                   arguments);
}

QString tst_PgTls::makeCertificates()
{
    const QString openssl = QStandardPaths::findExecutable(QStringLiteral("openssl"));
    if (openssl.isEmpty())
        return QStringLiteral("the openssl program is missing (Debian: openssl)");
    const QDir dir(m_dir.path());
    const QStringList ecKey{QStringLiteral("-newkey"), QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                            QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes")};
    for (const QString& ca : {QStringLiteral("ca"), QStringLiteral("otherca")}) {
        const QString problem =
            run(openssl, QStringList{QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-new")} + ecKey +
                             QStringList{QStringLiteral("-keyout"), dir.filePath(ca + QStringLiteral(".key")),
                                         QStringLiteral("-out"), dir.filePath(ca + QStringLiteral(".crt")),
                                         QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                                         QStringLiteral("/CN=suite test ") + ca});
        if (!problem.isEmpty())
            return problem;
    }
    // Made out to 127.0.0.1 alone: "localhost" reaches the same server under a name the certificate lacks.
    QFile extensions(dir.filePath(QStringLiteral("server.ext")));
    if (!extensions.open(QIODevice::WriteOnly) || extensions.write("subjectAltName=IP:127.0.0.1\n") < 0)
        return extensions.errorString();
    extensions.close();
    QString problem =
        run(openssl, QStringList{QStringLiteral("req"), QStringLiteral("-new")} + ecKey +
                         QStringList{QStringLiteral("-keyout"), dir.filePath(QStringLiteral("server.key")),
                                     QStringLiteral("-out"), dir.filePath(QStringLiteral("server.csr")),
                                     QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1")});
    if (problem.isEmpty()) {
        problem =
            run(openssl, {QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"),
                          dir.filePath(QStringLiteral("server.csr")), QStringLiteral("-CA"),
                          dir.filePath(QStringLiteral("ca.crt")), QStringLiteral("-CAkey"),
                          dir.filePath(QStringLiteral("ca.key")), QStringLiteral("-CAcreateserial"),
                          QStringLiteral("-out"), dir.filePath(QStringLiteral("server.crt")), QStringLiteral("-days"),
                          QStringLiteral("2"), QStringLiteral("-extfile"), extensions.fileName()});
    }
    if (!problem.isEmpty())
        return problem;
    // The same CA under a path that needs quoting in libpq's connection string.
    if (!dir.mkdir(QStringLiteral("ca dir")) ||
        !QFile::copy(dir.filePath(QStringLiteral("ca.crt")), dir.filePath(QStringLiteral("ca dir/it's \\ ca.crt"))))
        return QStringLiteral("cannot copy the CA file");
    QFile notPem(dir.filePath(QStringLiteral("notpem.crt")));
    if (!notPem.open(QIODevice::WriteOnly) || notPem.write("not a certificate\n") < 0)
        return notPem.errorString();
    return {};
}

QString tst_PgTls::startServer()
{
    const QDir dir(m_dir.path());
    const QString data = dir.filePath(QStringLiteral("data"));
    if (::geteuid() == 0) {
        const passwd* user = ::getpwnam("postgres");
        if (!user)
            return QStringLiteral("running as root without a postgres user to run PostgreSQL as");
        m_postgresUid = user->pw_uid;
        m_postgresGid = user->pw_gid;
        for (const QString& path : {dir.path(), dir.filePath(QStringLiteral("server.key"))}) {
            if (::chown(QFile::encodeName(path).constData(), m_postgresUid, m_postgresGid) != 0)
                return QStringLiteral("cannot give %1 to the postgres user").arg(path);
        }
    }
    QString problem =
        postgres(QStringLiteral("initdb"), {QStringLiteral("-D"), data, QStringLiteral("-A"), QStringLiteral("trust"),
                                            QStringLiteral("-U"), QStringLiteral("postgres"), QStringLiteral("-E"),
                                            QStringLiteral("UTF8"), QStringLiteral("--locale=C.UTF-8")});
    if (!problem.isEmpty())
        return problem;
    // Over the network, TLS or nothing.
    QFile hba(data + QStringLiteral("/pg_hba.conf"));
    if (!hba.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        hba.write("local all all trust\nhostssl all all 127.0.0.1/32 trust\n") < 0)
        return hba.errorString();
    hba.close();
    m_port = suite::test::freeLoopbackPort();
    const QString options =
        QStringLiteral("-p %1 -k %2 -c listen_addresses=127.0.0.1 -c fsync=off -c ssl=on -c ssl_cert_file=%3 "
                       "-c ssl_key_file=%4")
            .arg(m_port)
            .arg(dir.path(), dir.filePath(QStringLiteral("server.crt")), dir.filePath(QStringLiteral("server.key")));
    problem = postgres(QStringLiteral("pg_ctl"),
                       {QStringLiteral("-D"), data, QStringLiteral("-l"), dir.filePath(QStringLiteral("log")),
                        QStringLiteral("-w"), QStringLiteral("-o"), options, QStringLiteral("start")});
    if (!problem.isEmpty()) {
        QFile log(dir.filePath(QStringLiteral("log")));
        return problem + (log.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(log.readAll()) : QString());
    }
    m_started = true;
    return {};
}

QString tst_PgTls::url(const QString& host, QString options) const
{
    options.replace(QLatin1String("%DIR%"), QString::fromLatin1(QUrl::toPercentEncoding(m_dir.path(), "/")));
    return QStringLiteral("postgresql://postgres@%1:%2/postgres?%3").arg(host).arg(m_port).arg(options);
}

void tst_PgTls::initTestCase()
{
    m_bin = postgresBinaries();
    if (m_bin.isEmpty())
        QSKIP("no PostgreSQL server binaries under /usr/lib/postgresql/*/bin (Debian: postgresql)");
    QVERIFY2(m_dir.isValid(), qPrintable(m_dir.errorString()));
    QString problem = makeCertificates();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    problem = startServer();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));

    // The one who asks each tested connection's backend whether it is encrypted.
    m_admin = suite::test::TestDatabase::uniqueName(QStringLiteral("tlsadmin"));
    QSqlDatabase admin;
    try {
        admin = openDatabase(
            url(QStringLiteral("127.0.0.1"), QStringLiteral("sslmode=verify-full&sslrootcert=%DIR%/ca.crt")), m_admin);
    } catch (const DbError& e) {
        QFAIL(e.what());
    }
    QSqlQuery role(admin);
    QVERIFY2(role.exec(QStringLiteral("CREATE ROLE %1").arg(QLatin1String(kReaderRole))),
             qPrintable(role.lastError().text()));
}

void tst_PgTls::cleanupTestCase()
{
    closeDatabase(m_admin);
    if (m_started) {
        postgres(QStringLiteral("pg_ctl"), {QStringLiteral("-D"), m_dir.filePath(QStringLiteral("data")),
                                            QStringLiteral("-m"), QStringLiteral("immediate"), QStringLiteral("stop")});
    }
}

void tst_PgTls::connects_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("options");
    QTest::addColumn<bool>("reader");
    QTest::addColumn<QStringList>("refusal"); // empty: it connects encrypted
    const QStringList connects;
    QTest::newRow("verify-full with its CA, by the address it names")
        << "127.0.0.1"
        << "sslmode=verify-full&sslrootcert=%DIR%/ca.crt" << false << connects;
    QTest::newRow("the desktop's reader, verify-full")
        << "127.0.0.1"
        << "sslmode=verify-full&sslrootcert=%DIR%/ca.crt" << true << connects;
    QTest::newRow("CA file under a path with a blank, a quote and a backslash")
        << "127.0.0.1"
        << "sslmode=verify-full&sslrootcert=%DIR%/ca%20dir/it's%20%5C%20ca.crt" << false << connects;
    QTest::newRow("verify-ca does not check the name")
        << "localhost"
        << "sslmode=verify-ca&sslrootcert=%DIR%/ca.crt" << false << connects;
    QTest::newRow("require without a CA file") << "127.0.0.1"
                                               << "sslmode=require" << false << connects;
    QTest::newRow("another CA")
        << "127.0.0.1"
        << "sslmode=verify-full&sslrootcert=%DIR%/otherca.crt" << false
        << QStringList{"the TLS certificate of the database server 127.0.0.1:%PORT% was refused: it is not signed by "
                       "the CA of %DIR%/otherca.crt",
                       "(libpq: ", "certificate verify failed"};
    QTest::newRow("a name the certificate lacks")
        << "localhost"
        << "sslmode=verify-full&sslrootcert=%DIR%/ca.crt" << true
        << QStringList{"the TLS certificate of the database server localhost:%PORT% was refused: it is not made out to "
                       "the name \"localhost\"",
                       "does not match host name \"localhost\""};
    QTest::newRow("plain text to a server that takes TLS only")
        << "127.0.0.1"
        << "sslmode=disable" << false
        << QStringList{"the database server 127.0.0.1:%PORT% accepts this user and database over TLS only",
                       "no encryption"};
    QTest::newRow("CA file that holds no certificate")
        << "127.0.0.1"
        << "sslmode=verify-full&sslrootcert=%DIR%/notpem.crt" << false
        << QStringList{"checks the database server 127.0.0.1:%PORT% against a CA file, and %DIR%/notpem.crt cannot be "
                       "read as one"};
}

void tst_PgTls::connects()
{
    QFETCH(QString, host);
    QFETCH(QString, options);
    QFETCH(bool, reader);
    QFETCH(QStringList, refusal);
    const QString name = suite::test::TestDatabase::uniqueName(QStringLiteral("tls"));
    const auto cleanup = qScopeGuard([&name] { closeDatabase(name); });
    const Access access = reader ? Access::ReadOnly : Access::ReadWrite;
    if (!refusal.isEmpty()) {
        try {
            openDatabase(url(host, options), name, access);
            QFAIL("a connection TLS should have refused was opened");
        } catch (const DbError& e) {
            QVERIFY2(e.message().startsWith(
                         QStringLiteral("cannot open postgresql://postgres@%1:%2/postgres?").arg(host).arg(m_port)),
                     e.what());
            for (QString part : std::as_const(refusal)) {
                part.replace(QLatin1String("%PORT%"), QString::number(m_port))
                    .replace(QLatin1String("%DIR%"), m_dir.path());
                QVERIFY2(e.message().contains(part),
                         qPrintable(QStringLiteral("no \"%1\" in: %2").arg(part, e.message())));
            }
        }
        QVERIFY(!QSqlDatabase::contains(name));
        return;
    }

    QSqlDatabase db;
    try {
        db = openDatabase(url(host, options), name, access);
    } catch (const DbError& e) {
        QFAIL(e.what());
    }
    QSqlQuery statement(db);
    QVERIFY2(statement.exec(QStringLiteral("SELECT pg_backend_pid(), current_user")) && statement.next(),
             qPrintable(statement.lastError().text()));
    const int pid = statement.value(0).toInt();
    QCOMPARE(statement.value(1).toString(), reader ? QString::fromLatin1(kReaderRole) : QStringLiteral("postgres"));
    statement.finish();

    QSqlQuery encrypted(QSqlDatabase::database(m_admin, false));
    QVERIFY(encrypted.prepare(QStringLiteral("SELECT ssl FROM pg_stat_ssl WHERE pid = ?")));
    encrypted.addBindValue(pid);
    QVERIFY2(encrypted.exec() && encrypted.next(), qPrintable(encrypted.lastError().text()));
    QVERIFY2(encrypted.value(0).toBool(), "the connection is not encrypted");
}

QTEST_GUILESS_MAIN(tst_PgTls)
#include "tst_pgtls.moc"
