// The Debian packages as an administrator gets them: made by cpack from this build, unpacked into a throw-away root
// and run from there with their own unit's command line and configuration; lintian and systemd-analyze read them.
#include "packagebuild.h"
#include "packagedserver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

#include <sys/stat.h>

using namespace suite::test;

namespace {

using Files = QMap<QString, QString>; // path -> "mode owner/group"

const QString kServer = QStringLiteral("suite-server");
const QString kDesktop = QStringLiteral("suite-desktop");
const QString kExecutable = QStringLiteral("-rwxr-xr-x root/root");
const QString kReadable = QStringLiteral("-rw-r--r-- root/root");

int modeOf(const QString& path)
{
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The value of `key` in "key = value" or "Key=value" lines, the first one not commented out.
QString valueOf(const QString& text, const QString& key)
{
    const QRegularExpression line(QStringLiteral("^%1\\s*=\\s*(.*)$").arg(QRegularExpression::escape(key)),
                                  QRegularExpression::MultilineOption);
    return line.match(text).captured(1).trimmed();
}

} // namespace

class tst_Package : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void holdExactlyTheirFiles_data();
    void holdExactlyTheirFiles();
    void dependOnWhatTheyLoad_data();
    void dependOnWhatTheyLoad();
    void settingsAreConffiles_data();
    void settingsAreConffiles();
    void programsFindTheirLibrariesInTheRoot_data();
    void programsFindTheirLibrariesInTheRoot();
    void serviceMakesItsDatabaseOnFirstStart();
    void firstStartReplacesNothing_data();
    void firstStartReplacesNothing();
    void desktopRunsFromTheRoot();
    void lintianFindsNoFault();
    void unitVerifies();

private:
    // The server's command line as the packaged unit runs it, its files moved into the throw-away root and its
    // address to a free loopback port.
    QStringList unitCommand(const QString& database, const QString& key) const;
    QString stateDir() const;
    QString unitText() const { return QString::fromUtf8(contentOf(m_build.inRoot(m_unit))); }

    PackageBuild m_build;
    QString m_unit; // where the server package put suite-server.service
};

void tst_Package::initTestCase()
{
    const QString why = m_build.make(qEnvironmentVariable("SUITE_CPACK"), qEnvironmentVariable("SUITE_CPACK_CONFIG"));
    QVERIFY2(why.isEmpty(), qPrintable(why));
    qInfo("cpack made %s in %.1f s", qPrintable(m_build.packages().join(QStringLiteral(", "))), m_build.cpackSeconds());
    QCOMPARE(m_build.packages(), QStringList({kDesktop, kServer}));
    const Files server = m_build.files(kServer);
    for (const QString& dir : {QStringLiteral("/lib/systemd/system"), QStringLiteral("/usr/lib/systemd/system")}) {
        if (server.contains(dir + QStringLiteral("/suite-server.service")))
            m_unit = dir + QStringLiteral("/suite-server.service");
    }
    QVERIFY2(!m_unit.isEmpty(), "the server package holds no suite-server.service");
}

QString tst_Package::stateDir() const
{
    return QStringLiteral("/var/lib/") + valueOf(unitText(), QStringLiteral("StateDirectory"));
}

QStringList tst_Package::unitCommand(const QString& database, const QString& key) const
{
    QStringList command = valueOf(unitText(), QStringLiteral("ExecStart")).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (QString& word : command) {
        if (word.startsWith(QLatin1String("/usr/")) || word.startsWith(QLatin1String("/etc/")))
            word = m_build.inRoot(word);
    }
    return command + QStringList{QStringLiteral("--database"), database,
                                 QStringLiteral("--key-file"), key,
                                 QStringLiteral("--listen"),   QStringLiteral("127.0.0.1:0")};
}

void tst_Package::holdExactlyTheirFiles_data()
{
    QTest::addColumn<QString>("package");
    QTest::addColumn<Files>("expected");
    QTest::newRow("server") << kServer
                            << Files{{"/usr/bin/suite-server", kExecutable},
                                     {m_unit, kReadable},
                                     {"/etc/suite/server.ini", kReadable},
                                     {"/usr/share/man/man8/suite-server.8.gz", kReadable},
                                     {"/usr/share/doc/suite-server/copyright", kReadable},
                                     {"/usr/share/doc/suite-server/changelog.gz", kReadable},
                                     {"/usr/share/doc/suite-server/deploy.md", kReadable},
                                     {"/usr/share/doc/suite-server/examples/haproxy.cfg", kReadable}};
    QTest::newRow("desktop") << kDesktop
                             << Files{{"/usr/bin/suite-host", kExecutable},
                                      {"/usr/bin/suite-cli", kExecutable},
                                      {"/usr/lib/suite/libmrv.so", kReadable},
                                      {"/usr/lib/suite/libsuiteclient.so", kReadable},
                                      {"/usr/lib/suite/librci06000.so", kReadable},
                                      {"/usr/share/suite/reports/RCI060.json", kReadable},
                                      {"/usr/share/applications/suite-host.desktop", kReadable},
                                      {"/usr/share/icons/hicolor/scalable/apps/suite-host.svg", kReadable},
                                      {"/etc/suite/suite.ini", kReadable},
                                      {"/usr/share/lintian/overrides/suite-desktop", kReadable},
                                      {"/usr/share/man/man1/suite-host.1.gz", kReadable},
                                      {"/usr/share/man/man1/suite-cli.1.gz", kReadable},
                                      {"/usr/share/doc/suite-desktop/copyright", kReadable},
                                      {"/usr/share/doc/suite-desktop/changelog.gz", kReadable}};
}

void tst_Package::holdExactlyTheirFiles()
{
    QFETCH(QString, package);
    QFETCH(Files, expected);
    const Files files = m_build.files(package);
    QStringList wrong;
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        if (files.value(it.key()) != it.value())
            wrong << QStringLiteral("%1: \"%2\", expected \"%3\"").arg(it.key(), files.value(it.key()), it.value());
    }
    for (const QString& path : files.keys()) {
        if (!expected.contains(path))
            wrong << QStringLiteral("%1 should not be in %2").arg(path, package);
    }
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(QStringLiteral("; "))));
}

void tst_Package::dependOnWhatTheyLoad_data()
{
    QTest::addColumn<QString>("package");
    QTest::addColumn<QStringList>("needed");
    // Qt's SQL drivers are loaded at run time, where dpkg-shlibdeps cannot see them; the rest it finds.
    QTest::newRow("server")
        << kServer
        << QStringList{"libqt6sql6-sqlite", "libqt6sql6-psql", "libqt6core6", "libqt6sql6",         "libssl3",
                       "libsqlite3-0",      "libpq5",          "adduser",     "init-system-helpers"};
    QTest::newRow("desktop") << kDesktop
                             << QStringList{"libqt6sql6-sqlite", "libqt6sql6-psql",     "qt6-translations-l10n",
                                            "libqt6widgets6",    "libqt6printsupport6", "libqt6network6"};
}

void tst_Package::dependOnWhatTheyLoad()
{
    QFETCH(QString, package);
    QFETCH(QStringList, needed);
    QStringList names;
    for (const QString& alternatives : m_build.field(package, QStringLiteral("Depends")).split(QLatin1Char(','))) {
        for (const QString& one : alternatives.split(QLatin1Char('|')))
            names << one.trimmed().section(QLatin1Char(' '), 0, 0).section(QLatin1Char(':'), 0, 0);
    }
    for (const QString& name : needed)
        QVERIFY2(
            names.contains(name),
            qPrintable(
                QStringLiteral("%1 does not depend on %2: %3").arg(package, name, names.join(QStringLiteral(", ")))));
    QVERIFY2(!names.contains(QStringLiteral("suite-server")) && !names.contains(QStringLiteral("suite-desktop")),
             "the packages install apart: a desktop needs no server of its own, nor a server a desktop");
}

void tst_Package::settingsAreConffiles_data()
{
    QTest::addColumn<QString>("package");
    QTest::addColumn<QString>("settings");
    QTest::newRow("server") << kServer << "/etc/suite/server.ini";
    QTest::newRow("desktop") << kDesktop << "/etc/suite/suite.ini";
}

void tst_Package::settingsAreConffiles()
{
    QFETCH(QString, package);
    QFETCH(QString, settings);
    // An administrator's edits survive an upgrade only in a conffile.
    const QStringList conffiles = m_build.controlFile(package, QStringLiteral("conffiles")).split(QLatin1Char('\n'));
    QVERIFY2(conffiles.contains(settings), qPrintable(conffiles.join(QLatin1Char(' '))));
}

void tst_Package::programsFindTheirLibrariesInTheRoot_data()
{
    QTest::addColumn<QString>("path");
    for (const char* path :
         {"/usr/bin/suite-server", "/usr/bin/suite-host", "/usr/bin/suite-cli", "/usr/lib/suite/libmrv.so",
          "/usr/lib/suite/libsuiteclient.so", "/usr/lib/suite/librci06000.so"})
        QTest::newRow(path) << QString::fromLatin1(path);
}

void tst_Package::programsFindTheirLibrariesInTheRoot()
{
    QFETCH(QString, path);
    const QString file = m_build.inRoot(path);
    // Only $ORIGIN-relative search paths: an absolute one would reach into the build, or anywhere.
    const Ran dynamic = runProgram(QStringLiteral("readelf"), {QStringLiteral("-d"), file});
    QCOMPARE(dynamic.exitCode, 0);
    static const QRegularExpression searchPath(QStringLiteral("\\((?:RPATH|RUNPATH)\\).*\\[(.*)\\]"));
    for (auto it = searchPath.globalMatch(dynamic.out); it.hasNext();) {
        for (const QString& dir : it.next().captured(1).split(QLatin1Char(':')))
            QVERIFY2(dir.startsWith(QLatin1String("$ORIGIN")), qPrintable(path + QStringLiteral(": ") + dir));
    }
    const Ran linked = runProgram(QStringLiteral("ldd"), {file}, administratorsEnvironment());
    QCOMPARE(linked.exitCode, 0);
    QVERIFY2(!linked.out.contains(QLatin1String("not found")), qPrintable(linked.out));
    static const QRegularExpression ours(QStringLiteral("lib(?:mrv|suiteclient)\\.so => (\\S+)"));
    for (auto it = ours.globalMatch(linked.out); it.hasNext();) {
        const QString found = QFileInfo(it.next().captured(1)).canonicalFilePath();
        QVERIFY2(found.startsWith(QFileInfo(m_build.root()).canonicalFilePath() + QStringLiteral("/usr/lib/suite/")),
                 qPrintable(path + QStringLiteral(" loads ") + found));
    }
}

void tst_Package::serviceMakesItsDatabaseOnFirstStart()
{
    // The packaged settings keep the database and the key in the unit's state directory, the one place
    // ProtectSystem=strict lets the service write.
    const QString settings = QString::fromUtf8(contentOf(m_build.inRoot(QStringLiteral("/etc/suite/server.ini"))));
    const QString database = valueOf(settings, QStringLiteral("database"));
    const QString key = valueOf(settings, QStringLiteral("key-file"));
    QCOMPARE(stateDir(), QStringLiteral("/var/lib/suite-server"));
    QVERIFY2(database.startsWith(stateDir() + QLatin1Char('/')), qPrintable(database));
    QVERIFY2(key.startsWith(stateDir() + QLatin1Char('/')), qPrintable(key));
    QVERIFY(QDir().mkpath(m_build.inRoot(stateDir())));
    const QStringList command = unitCommand(m_build.inRoot(database), m_build.inRoot(key));

    QByteArray firstKey;
    {
        PackagedServer server;
        const QString why = server.start(command.first(), command.mid(1));
        QVERIFY2(why.isEmpty(), qPrintable(why));
        std::string body;
        QCOMPARE(server.get("/health", &body), 200);
        QCOMPARE(QJsonDocument::fromJson(QByteArray::fromStdString(body)).object().value("status").toString(),
                 QStringLiteral("ok"));
        QCOMPARE(server.get("/ready"), 200);
        QCOMPARE(server.stop(), 0);
        QVERIFY2(server.said().contains(QLatin1String("created the database")), qPrintable(server.said()));
        QVERIFY2(server.said().contains(QLatin1String("created the signing key")), qPrintable(server.said()));
        QCOMPARE(modeOf(m_build.inRoot(database)), 0600);
        QCOMPARE(modeOf(m_build.inRoot(key)), 0600);
        firstKey = contentOf(m_build.inRoot(key));
        QVERIFY(!firstKey.isEmpty());
    }
    const Ran check =
        runProgram(command.first(), {"check", "--database", m_build.inRoot(database)}, administratorsEnvironment());
    QVERIFY2(check.exitCode == 0, qPrintable(check.said()));

    // What the operators' work left in the database survives the next start, and so does the key.
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("package"));
        db.setDatabaseName(m_build.inRoot(database));
        QVERIFY(db.open());
        QSqlQuery insert(db);
        QVERIFY(insert.exec("INSERT INTO FILIAL (CDFILIAL, NMFILIAL) VALUES ('0001', 'Matriz')"));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("package"));
    PackagedServer again;
    const QString why = again.start(command.first(), command.mid(1));
    QVERIFY2(why.isEmpty(), qPrintable(why));
    QCOMPARE(again.get("/health"), 200);
    QCOMPARE(again.stop(), 0);
    QVERIFY2(!again.said().contains(QLatin1String("created")), qPrintable(again.said()));
    QCOMPARE(contentOf(m_build.inRoot(key)), firstKey);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("package"));
        db.setDatabaseName(m_build.inRoot(database));
        QVERIFY(db.open());
        QSqlQuery branches(db);
        QVERIFY(branches.exec("SELECT NMFILIAL FROM FILIAL WHERE CDFILIAL = '0001'") && branches.next());
        QCOMPARE(branches.value(0).toString(), QStringLiteral("Matriz"));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("package"));
}

void tst_Package::firstStartReplacesNothing_data()
{
    QTest::addColumn<QString>("found"); // what is at the database's path before the start
    QTest::addColumn<bool>("serves");
    QTest::newRow("a file that is no database") << "text" << false;
    QTest::newRow("a key, no database") << "key only" << true;
}

void tst_Package::firstStartReplacesNothing()
{
    QFETCH(QString, found);
    QFETCH(bool, serves);
    const QString dir =
        m_build.scratch(QStringLiteral("replaces-nothing-") +
                        QString::fromUtf8(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('-')));
    const QString database = dir + QStringLiteral("/suite.db");
    const QString key = database + QStringLiteral(".key");
    const QByteArray text("the operators' notes, not a database\n");
    const QStringList command = unitCommand(database, key);
    if (found == QLatin1String("text")) {
        QFile file(database);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(text) == text.size());
    } else {
        const Ran made = runProgram(command.first(), {"key", "--key-file", key}, administratorsEnvironment());
        QVERIFY2(made.exitCode == 0, qPrintable(made.said()));
    }
    const QByteArray keyBefore = contentOf(key);

    PackagedServer server;
    const QString why = server.start(command.first(), command.mid(1));
    QCOMPARE(why.isEmpty(), serves);
    if (serves)
        QCOMPARE(server.get("/health"), 200);
    server.stop();
    if (found == QLatin1String("text"))
        QCOMPARE(contentOf(database), text);
    if (!keyBefore.isEmpty())
        QCOMPARE(contentOf(key), keyBefore);
    // Nothing half-made left beside it.
    const QStringList left = QDir(dir).entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& name : left)
        QVERIFY2(!name.contains(QLatin1String(".new-")), qPrintable(name));
}

void tst_Package::desktopRunsFromTheRoot()
{
    const QString demo = m_build.scratch(QStringLiteral("demo")) + QStringLiteral("/demo.db");
    const QString serverProgram = m_build.inRoot(QStringLiteral("/usr/bin/suite-server"));
    const Ran init = runProgram(serverProgram, {"init", "--database", demo, "--demo"}, administratorsEnvironment());
    QVERIFY2(init.exitCode == 0, qPrintable(init.said()));
    PackagedServer server;
    const QStringList command = unitCommand(demo, demo + QStringLiteral(".key"));
    const QString why = server.start(command.first(), command.mid(1));
    QVERIFY2(why.isEmpty(), qPrintable(why));
    const QString address = QStringLiteral("127.0.0.1:%1").arg(server.port());
    QProcessEnvironment env = administratorsEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("SUITE_PASSWORD"), QStringLiteral("demo"));
    const QString work = m_build.scratch(QStringLiteral("desktop-work")); // no suite.ini here

    // The menu entry's command, with the packaged settings: the module must load from the installed layout.
    const QString desktopEntry =
        QString::fromUtf8(contentOf(m_build.inRoot(QStringLiteral("/usr/share/applications/suite-host.desktop"))));
    QStringList host = valueOf(desktopEntry, QStringLiteral("Exec")).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QVERIFY2(!host.isEmpty() && QFileInfo(host.first()).isRelative(), "Exec names the program found on PATH");
    host.first() = m_build.inRoot(QStringLiteral("/usr/bin/") + host.first());
    for (QString& word : host) {
        if (word.startsWith(QLatin1String("/etc/")))
            word = m_build.inRoot(word);
    }
    const QString dump = work + QStringLiteral("/ui.json");
    const Ran shown = runProgram(host.first(),
                                 host.mid(1) + QStringList{"--server", address, "--database", demo, "--user", "demo",
                                                           "--branch", "0001", "--open", "rci06000", "--dump-ui", dump},
                                 env, work);
    QVERIFY2(shown.exitCode == 0, qPrintable(shown.said()));
    QStringList windows;
    for (const QJsonValue& window : QJsonDocument::fromJson(contentOf(dump)).object().value("windows").toArray())
        windows << window.toObject().value("objectName").toString();
    QVERIFY2(windows.contains(QStringLiteral("frmIntgCentral")), qPrintable(windows.join(QLatin1Char(' '))));

    // suite-cli words its tables with the packaged report definition.
    const QString cli = m_build.inRoot(QStringLiteral("/usr/bin/suite-cli"));
    const QStringList common{"--server", address, "--session-file", work + QStringLiteral("/session.json")};
    const Ran login = runProgram(cli, common + QStringList{"login", "--user", "demo"}, env, work);
    QVERIFY2(login.exitCode == 0, qPrintable(login.said()));
    const Ran preview = runProgram(cli,
                                   common + QStringList{"integrate", "--source", "1", "--branches", "9,13", "--dishes",
                                                        "P0101001,00010101001", "--kinds", "L", "--dry-run"},
                                   env, work);
    QVERIFY2(preview.exitCode == 1, qPrintable(preview.said())); // the local dish is not at the destinations
    QVERIFY2(preview.out.contains(QStringLiteral("Prato não cadastrado na filial destino")), qPrintable(preview.out));
}

void tst_Package::lintianFindsNoFault()
{
    // Errors and warnings alike: a warning that stays is overridden in the package, with its reason.
    const Ran lintian =
        runProgram(QStringLiteral("lintian"), {"--tag-display-limit", "0", m_build.deb(kServer), m_build.deb(kDesktop)},
                   {}, {}, 300000);
    QVERIFY2(lintian.exitCode >= 0, qPrintable("lintian did not run: " + lintian.err));
    QStringList faults;
    for (const QString& line : lintian.said().split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (line.startsWith(QLatin1String("E: ")) || line.startsWith(QLatin1String("W: ")))
            faults << line;
    }
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
    QCOMPARE(lintian.exitCode, 0);
}

void tst_Package::unitVerifies()
{
    // systemd-analyze checks that ExecStart's program exists: a copy of the unit names the unpacked one, and reads
    // the system's targets as an installed unit would. It reports a bad line and still ends with 0, so any line
    // naming the unit fails.
    QString unit = unitText();
    unit.replace(QStringLiteral("ExecStart=/usr/"),
                 QStringLiteral("ExecStart=") + m_build.inRoot(QStringLiteral("/usr/")));
    const QString copy = m_build.scratch(QStringLiteral("unit")) + QStringLiteral("/suite-server.service");
    QFile file(copy);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(unit.toUtf8()) == unit.toUtf8().size());
    file.close();
    const Ran verified = runProgram(QStringLiteral("systemd-analyze"), {"verify", "--man=no", copy});
    QVERIFY2(verified.exitCode == 0 && !verified.said().contains(QLatin1String("suite-server.service")),
             qPrintable(verified.said()));

    // Its hardening, as systemd rates it (0 the best, 10 the worst; this unit rates 1.4): 2 at most.
    const Ran security =
        runProgram(QStringLiteral("systemd-analyze"), {"security", "--offline=yes", "--threshold=20", copy});
    QVERIFY2(security.exitCode == 0, qPrintable(security.said()));
    for (const char* hardening :
         {"NoNewPrivileges=yes", "ProtectSystem=strict", "ProtectHome=yes", "PrivateTmp=yes", "PrivateDevices=yes",
          "CapabilityBoundingSet=\n", "SystemCallFilter=@system-service", "UMask=0077", "User=suite-server"})
        QVERIFY2(unit.contains(QLatin1String(hardening)), hardening);
}

QTEST_GUILESS_MAIN(tst_Package)
#include "tst_package.moc"
