// suite-cli as a script runs it: the real program against a real server and database, with the
// exit codes scripts rely on, and hostile arguments that change nothing.
#include "serverprocess.h"
#include "testdb.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using namespace suite::test;

namespace {

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

int runs(QSqlDatabase& db)
{
    QSqlQuery q(db);
    return q.exec(QStringLiteral("SELECT COUNT(*) FROM INTGCENTRAL")) && q.next() ? q.value(0).toInt() : -1;
}

} // namespace

class tst_Cli : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void scriptedSession_data() { addDialectRows(); }
    void scriptedSession();
    void hostileArguments_data();
    void hostileArguments();
    void dryRunReadsAsTheReport_data() { addDialectRows(); }
    void dryRunReadsAsTheReport();
    void sessionFileStaysPrivate_data();
    void sessionFileStaysPrivate();
    void passwordKeptOffTheCommandLine_data();
    void passwordKeptOffTheCommandLine();
    void httpsVerifiesTheServer_data();
    void httpsVerifiesTheServer();

private:
    Run cli(const QStringList& arguments, int port = 0);
    // As cli, with its own session file and environment.
    Run cliWith(const QStringList& arguments, const QString& sessionFile, const QProcessEnvironment& env, int port = 0);
    // Serves the demo database of the hostile rows, once; empty on success, else why not.
    QString startDemoServer();

    QTemporaryDir m_dir;
    ServerProcess m_server;      // the SQLite demo of the hostile rows
    ServerProcess m_httpsServer; // a demo over HTTPS, with a trial certificate for localhost
    QString m_httpsCertificate;
    std::unique_ptr<TestDatabase> m_db; // the database the running test uses
    int m_port = 0;
};

void tst_Cli::initTestCase()
{
    if (!QFile::exists(ServerProcess::binDir() + "/suite-cli"))
        QSKIP("suite-cli is not built");
    QVERIFY(m_dir.isValid());
}

Run tst_Cli::cli(const QStringList& arguments, int port)
{
    // As from cron or ssh, outside a login session: no runtime directory.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("XDG_RUNTIME_DIR");
    return cliWith(arguments, m_dir.filePath("session.json"), env, port);
}

Run tst_Cli::cliWith(const QStringList& arguments, const QString& sessionFile, const QProcessEnvironment& env, int port)
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(ServerProcess::binDir() + "/suite-cli",
                  QStringList{"--server", QStringLiteral("127.0.0.1:%1").arg(port ? port : m_port), "--session-file",
                              sessionFile, "--reports", qEnvironmentVariable("SUITE_SOURCE_DIR") + "/reports"} +
                      arguments);
    process.closeWriteChannel(); // no terminal: confirmations must come from --yes
    if (!process.waitForFinished(120000)) {
        process.kill();
        return {};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

void tst_Cli::scriptedSession()
{
    QFETCH(QString, dialect);
    SUITE_TEST_DATABASE(tdb, dialect, TestDatabase::Demo);
    ServerProcess server;
    QString why = server.start(tdb.url());
    QVERIFY2(why.isEmpty(), qPrintable(why));
    m_port = server.port();
    QSqlDatabase db = tdb.db();
    const QStringList before = allRecipeLines(db);

    QCOMPARE(cli({"login", "--user", "demo", "--password", "errada"}).exitCode, 3);
    Run r = cli({"login", "--user", "demo", "--password", "demo"});
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    QCOMPARE(QFile(m_dir.filePath("session.json")).permissions() & (QFile::ReadGroup | QFile::ReadOther),
             QFileDevice::Permissions());

    const QStringList run{"integrate", "--source", "1", "--branches", "9,13", "--dishes", "P0101001,00010101001",
                          "--kinds",   "L"};
    r = cli(QStringList{"--json"} + run + QStringList{"--dry-run"});
    QCOMPARE(r.exitCode, 1); // the local dish is not registered at the destinations
    QCOMPARE(allRecipeLines(db), before);
    QCOMPARE(runs(db), 0);
    const QJsonArray preview = QJsonDocument::fromJson(r.out.toUtf8()).object()["result"].toObject()["rows"].toArray();
    QCOMPARE(preview.size(), 4); // two recipes replaced, two observations

    r = cli(run);
    QVERIFY2(r.exitCode == 1, qPrintable(r.err));
    QVERIFY2(r.out.contains("Prato não cadastrado na filial destino"), qPrintable(r.out));
    QVERIFY(allRecipeLines(db) != before);
    QCOMPARE(runs(db), 1);

    r = cli({"--json", "history"});
    QCOMPARE(r.exitCode, 0);
    const QJsonArray history = QJsonDocument::fromJson(r.out.toUtf8()).object()["rows"].toArray();
    QCOMPARE(history.size(), 1);
    const QString number = QString::number(history.first().toArray().at(0).toInteger());
    r = cli({"--json", "log", number});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(QJsonDocument::fromJson(r.out.toUtf8()).object()["rows"].toArray().size(), 2);

    const QString csv = m_dir.filePath("log.csv");
    QCOMPARE(cli({"report", number, "--csv", csv}).exitCode, 0);
    QFile csvFile(csv);
    QVERIFY(csvFile.open(QIODevice::ReadOnly));
    QVERIFY(QString::fromUtf8(csvFile.readAll()).contains("Prato;Árvore;Nome do prato"));
    const QString pdf = m_dir.filePath("log.pdf");
    r = cli({"report", number, "--pdf", pdf, "--title", "Integração do teste"});
    QCOMPARE(r.exitCode, 0);
    QVERIFY2(r.err.isEmpty(), qPrintable(r.err)); // drawing the report asks nothing of a desktop session
    if (const QString pdftotext = QStandardPaths::findExecutable("pdftotext"); !pdftotext.isEmpty()) {
        QProcess read;
        read.start(pdftotext, {pdf, "-"});
        QVERIFY(read.waitForFinished(30000));
        const QString text = QString::fromUtf8(read.readAllStandardOutput()).normalized(QString::NormalizationForm_KC);
        QVERIFY2(text.contains("Integração do teste") && text.contains("Virado à paulista"), qPrintable(text));
    }

    // An undo wants a confirmation a script gives with --yes; without it nothing happens.
    QCOMPARE(cli({"undo", number}).exitCode, 2);
    QVERIFY(allRecipeLines(db) != before);
    r = cli({"undo", number, "--yes"});
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    QCOMPARE(allRecipeLines(db), before);
    QCOMPARE(cli({"undo", number, "--yes"}).exitCode, 3);
    QCOMPARE(runs(db), 2); // the run and its undo
}

void tst_Cli::hostileArguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("says");
    const QStringList base{"integrate", "--source", "1", "--dishes", "P0101001"};
    QTest::newRow("no command") << QStringList{} << 2 << "falta o comando";
    QTest::newRow("unknown command") << QStringList{"drop"} << 2 << "comando desconhecido";
    QTest::newRow("no destination") << base << 2 << "--grouping ou --branches";
    QTest::newRow("both dish choices") << base + QStringList{"--all", "--branches", "2"} << 2 << "--dishes ou --all";
    QTest::newRow("an impossible date") << QStringList{"integrate", "--source",   "1",    "--branches", "2", "--all",
                                                       "--from",    "31/02/2026", "--to", "01/03/2026"}
                                        << 2 << "não é uma data";
    QTest::newRow("filters without --all")
        << base + QStringList{"--branches", "2", "--cycles", "T"} << 2 << "valem com --all";
    QTest::newRow("a branch the grid does not hold")
        << base + QStringList{"--branches", "9999"} << 3 << "não disponível";
    QTest::newRow("a rescinded branch") << base + QStringList{"--branches", "10"} << 3 << "rescindido";
    QTest::newRow("SQL in a dish key")
        << QStringList{"integrate", "--source", "1", "--branches", "2", "--dishes", "P0101001');DELETE FROM RECEITA;--"}
        << 3 << "Lista de pratos inválida";
    QTest::newRow("a run number that is not one")
        << QStringList{"undo", "0", "--yes"} << 2 << "número de integração inválido";
    QTest::newRow("an unknown run") << QStringList{"log", "999"} << 3 << "não encontrada";
    QTest::newRow("a report without a file") << QStringList{"report", "1"} << 2 << "--pdf";
    QTest::newRow("an unknown source") << QStringList{"integrate", "--source", "9999",    "--branches",
                                                      "2",         "--dishes", "P0101001"}
                                       << 3 << "suite-cli: Filial não cadastrada.\n";
    QTest::newRow("an unknown source, every dish")
        << QStringList{"integrate", "--source", "9999", "--grouping", "2", "--all"} << 3
        << "suite-cli: Filial não cadastrada.\n";
    QTest::newRow("an unknown grouping") << base + QStringList{"--grouping", "99"} << 3
                                         << "Agrupamento de filiais não cadastrado: 0000000099.";
    QTest::newRow("a grouping code left empty") << base + QStringList{"--grouping", ""} << 2 << "--grouping sem código";
    QTest::newRow("a grouping of the source alone") << base + QStringList{"--grouping", "98"} << 3
                                                    << "O agrupamento 0000000098 não tem filial destino para a origem";
    QTest::newRow("a grouping of rescinded branches only")
        << base + QStringList{"--grouping", "97"} << 3 << "têm contrato rescindido (0010)";
}

QString tst_Cli::startDemoServer()
{
    if (m_db) {
        m_port = m_server.port();
        return {};
    }
    m_db = std::make_unique<TestDatabase>(QStringLiteral("sqlite"), TestDatabase::Demo);
    if (!m_db->isOpen())
        return m_db->error();
    QSqlQuery q(m_db->db());
    for (const char* statement :
         {"INSERT INTO GRUPFILI (CDGRUPFILI, NMGRUPFILI) VALUES ('0000000098', 'Só a matriz'),"
          " ('0000000097', 'Só rescindidas')",
          "INSERT INTO FILIGRUP (CDGRUPFILI, CDFILIAL) VALUES ('0000000098', '0001'), ('0000000097', '0010')"}) {
        if (!q.exec(QString::fromLatin1(statement)))
            return q.lastError().text();
    }
    const QString why = m_server.start(m_db->url());
    m_port = m_server.port();
    return why;
}

void tst_Cli::hostileArguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, says);
    if (!m_db) {
        const QString why = startDemoServer();
        QVERIFY2(why.isEmpty(), qPrintable(why));
        QCOMPARE(cli({"login", "--user", "demo", "--password", "demo"}).exitCode, 0);
    }
    m_port = m_server.port();
    QSqlDatabase db = m_db->db();
    const QStringList before = allRecipeLines(db);
    const Run r = cli(arguments);
    QVERIFY2(r.exitCode == exitCode, qPrintable(QString("%1: %2").arg(r.exitCode).arg(r.err)));
    QVERIFY2(r.err.contains(says), qPrintable(r.err));
    QVERIFY2(!r.err.contains("XDG_RUNTIME_DIR"), qPrintable(r.err));
    QCOMPARE(allRecipeLines(db), before);
    QCOMPARE(runs(db), 0);
    // No server at all: the script is told so, apart from a refusal.
    if (QTest::currentDataTag() == QLatin1String("an unknown run"))
        QCOMPARE(cli({"history"}, 1).exitCode, 4);
}

void tst_Cli::dryRunReadsAsTheReport()
{
    QFETCH(QString, dialect);
    SUITE_TEST_DATABASE(tdb, dialect, TestDatabase::Demo);
    QSqlDatabase db = tdb.db();
    // Destination 0013 may not use one product of the source's recipe: that recipe is kept, and said so.
    QSqlQuery q(db);
    QVERIFY(q.exec("SELECT MIN(CDARVPROD) FROM RECEITA WHERE CDFILIAL = '0001' AND CDFILAUXPRAT = 'P'"
                   " AND CDPRATO = '0101001'") &&
            q.next());
    const QString product = q.value(0).toString();
    QVERIFY(!product.isEmpty());
    q.prepare("DELETE FROM PRODFILI WHERE CDFILIAL = '0013' AND CDARVPROD = ?");
    q.addBindValue(product);
    QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
    ServerProcess server;
    const QString why = server.start(tdb.url());
    QVERIFY2(why.isEmpty(), qPrintable(why));
    m_port = server.port();
    QCOMPARE(cli({"login", "--user", "demo", "--password", "demo"}).exitCode, 0);
    const QStringList before = allRecipeLines(db);

    const QStringList preview{"integrate", "--source", "1", "--dishes", "P0101001", "--kinds", "L", "--dry-run"};
    Run r = cli(preview + QStringList{"--branches", "9"});
    QVERIFY2(r.exitCode == 0, qPrintable(r.out + r.err)); // a clean preview: only what would change
    QVERIFY2(r.out.contains("0009"), qPrintable(r.out));
    QCOMPARE(cli(QStringList{"--json"} + preview + QStringList{"--branches", "9"}).exitCode, 0);

    r = cli(preview + QStringList{"--branches", "9,13"});
    QCOMPARE(r.exitCode, 1);
    // The observation in the report's words, on the row of the product it names.
    const QStringList lines = r.out.split('\n');
    const QStringList named = lines.filter(product);
    QCOMPARE(named.size(), 1);
    QVERIFY2(named.first().contains("Produto não habilitado na filial destino: receita mantida"), qPrintable(r.out));
    QVERIFY2(named.first().startsWith("0013"), qPrintable(r.out));
    QVERIFY2(lines.first().contains("Produto"), qPrintable(lines.first()));
    QCOMPARE(allRecipeLines(db), before);
    QCOMPARE(runs(db), 0);
}

void tst_Cli::sessionFileStaysPrivate_data()
{
    QTest::addColumn<bool>("linked");
    QTest::newRow("new folders under an open umask") << false;
    QTest::newRow("a link planted where the session goes") << true;
}

void tst_Cli::sessionFileStaysPrivate()
{
    QFETCH(bool, linked);
    const QString why = startDemoServer();
    QVERIFY2(why.isEmpty(), qPrintable(why));
    const QTemporaryDir dir;
    const QString file = dir.filePath("a/b/session.json");
    const QString target = dir.filePath("target");
    if (linked) {
        QVERIFY(QDir().mkpath(dir.filePath("a/b")));
        QFile planted(target);
        QVERIFY(planted.open(QIODevice::WriteOnly));
        planted.write("kept");
        planted.close();
        QVERIFY(QFile::link(target, file));
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("SUITE_PASSWORD", "demo");
    const mode_t saved = ::umask(0);
    const Run r = cliWith({"login", "--user", "demo"}, file, env);
    ::umask(saved);

    if (linked) {
        QVERIFY2(r.exitCode != 0 && r.err.contains("link simbólico"), qPrintable(r.err));
        QVERIFY(QFileInfo(file).isSymLink());
        QFile kept(target);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("kept"));
        return;
    }
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    for (const QString& folder : {dir.filePath("a"), dir.filePath("a/b")})
        QCOMPARE(QFileInfo(folder).permissions() & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser) &
                     ~(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner),
                 QFileDevice::Permissions());
    QCOMPARE(QFileInfo(file).permissions() &
                 ~(QFile::ReadUser | QFile::WriteUser | QFile::ReadOwner | QFile::WriteOwner),
             QFileDevice::Permissions());
    QCOMPARE(QDir(dir.filePath("a/b")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{"session.json"}); // no temporary file left behind
}

void tst_Cli::passwordKeptOffTheCommandLine_data()
{
    QTest::addColumn<QStringList>("arguments"); // FILE: a file holding `inFile`
    QTest::addColumn<QString>("inFile");
    QTest::addColumn<QString>("inEnvironment");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<bool>("warned");
    QTest::newRow("--password, kept for scripts") << QStringList{"--password", "demo"} << ""
                                                  << "" << 0 << true;
    QTest::newRow("--password-file") << QStringList{"--password-file", "FILE"} << "demo\n"
                                     << "" << 0 << false;
    QTest::newRow("SUITE_PASSWORD") << QStringList{} << ""
                                    << "demo" << 0 << false;
    QTest::newRow("a wrong password in the file") << QStringList{"--password-file", "FILE"} << "errada"
                                                  << "" << 3 << false;
    QTest::newRow("a password file that is not there") << QStringList{"--password-file", "/nonexistent/senha"} << ""
                                                       << "" << 2 << false;
    QTest::newRow("both on the command line and in a file")
        << QStringList{"--password", "demo", "--password-file", "FILE"} << "demo"
        << "" << 2 << false;
}

void tst_Cli::passwordKeptOffTheCommandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, inFile);
    QFETCH(QString, inEnvironment);
    QFETCH(int, exitCode);
    QFETCH(bool, warned);
    const QString why = startDemoServer();
    QVERIFY2(why.isEmpty(), qPrintable(why));
    const QTemporaryDir dir;
    const QString passwordFile = dir.filePath("senha");
    QFile file(passwordFile);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(inFile.toUtf8());
    file.close();
    arguments.replaceInStrings(QRegularExpression("^FILE$"), passwordFile);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("SUITE_PASSWORD");
    if (!inEnvironment.isEmpty())
        env.insert("SUITE_PASSWORD", inEnvironment);
    const Run r = cliWith(QStringList{"login", "--user", "demo"} + arguments, dir.filePath("session.json"), env);
    QVERIFY2(r.exitCode == exitCode, qPrintable(QString("%1: %2").arg(r.exitCode).arg(r.err)));
    QCOMPARE(r.err.contains("visível a outros usuários"), warned);
}

void tst_Cli::httpsVerifiesTheServer_data()
{
    QTest::addColumn<QStringList>("options"); // before the command: PORT and CA stand for the server's
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("says");

    QTest::newRow("its certificate as the CA file")
        << QStringList{"--server", "https://localhost:PORT", "--ca-file", "CA"} << 0 << "Sessão aberta";
    QTest::newRow("the system's store only") << QStringList{"--server", "https://localhost:PORT"} << 4
                                             << "não reconhecido: emitido por uma autoridade desconhecida.";
    QTest::newRow("asked by an address it does not name")
        << QStringList{"--server", "https://127.0.0.1:PORT", "--ca-file", "CA"} << 4
        << "não reconhecido: o certificado não é do endereço 127.0.0.1.";
    QTest::newRow("a CA file that is not there")
        << QStringList{"--server", "https://localhost:PORT", "--ca-file", "/nonexistent/ca.pem"} << 2
        << "ilegível: /nonexistent/ca.pem";
}

void tst_Cli::httpsVerifiesTheServer()
{
    QFETCH(QStringList, options);
    QFETCH(int, exitCode);
    QFETCH(QString, says);
    if (m_httpsCertificate.isEmpty()) {
        // The pair as an administrator makes it for a trial.
        const QString certificate = m_dir.filePath("localhost.crt");
        const QString key = m_dir.filePath("localhost.key");
        QProcess cert;
        cert.start(ServerProcess::program(),
                   {"cert", "--host", "localhost", "--tls-cert", certificate, "--tls-key", key});
        QVERIFY(cert.waitForFinished(60000));
        QVERIFY2(cert.exitCode() == 0, cert.readAllStandardError().constData());
        m_httpsServer.serveArguments = QStringList{"--tls-cert", certificate, "--tls-key", key};
        const QString why = m_httpsServer.startDemo();
        QVERIFY2(why.isEmpty(), qPrintable(why));
        m_httpsCertificate = certificate;
    }
    options.replaceInStrings("PORT", QString::number(m_httpsServer.port()));
    options.replaceInStrings(QRegularExpression("^CA$"), m_httpsCertificate);
    const QString session = m_dir.filePath(QStringLiteral("https-%1.json").arg(QTest::currentDataTag()));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("SUITE_PASSWORD", "demo");

    const Run r = cliWith(options + QStringList{"login", "--user", "demo"}, session, env);
    QVERIFY2(r.exitCode == exitCode, qPrintable(QString("%1: %2").arg(r.exitCode).arg(r.err)));
    QVERIFY2((r.out + r.err).contains(says), qPrintable(r.out + r.err));
    if (exitCode != 0)
        return;
    // The session keeps the CA file: the next command is verified without naming it again.
    const Run history = cliWith({"--server", options.at(1), "history"}, session, env);
    QVERIFY2(history.exitCode == 0, qPrintable(history.err));
}

QTEST_MAIN(tst_Cli)
#include "tst_cli.moc"
