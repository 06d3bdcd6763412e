// A "Todos" integration driven through the screen (source "0001", every branch of grouping "T"
// marked, local recipes as integration_bench takes them) against the same request sent straight to the service, on one
// benchmark database and one suite-server, in back-to-back pairs.
//   screen_bench --database NEWDB [--scale B,D,L] [--runs N]
// NEWDB: a SQLite file or a postgresql:// URL of a database that `suite-server init` may fill.
#include "benchkit.h"
#include "modulefixture.h"

#include <adoibquery.h>
#include <buttonflat.h>
#include <checkbox.h>
#include <clientdataset.h>
#include <dbgrid.h>
#include <maskedit.h>
#include <radiobutton.h>

#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

using namespace rci06000::test;

namespace {

bool initDatabase(const QString& url, const QString& scale, const QTemporaryDir& keyDir)
{
    QProcess init;
    init.setProcessChannelMode(QProcess::ForwardedChannels);
    QStringList args{QStringLiteral("init"), QStringLiteral("--database"), url, QStringLiteral("--scale"), scale};
    // A PostgreSQL database names its key; the server below makes a key of its own anyway.
    if (url.startsWith(QLatin1String("postgres")))
        args << QStringLiteral("--key-file") << keyDir.filePath(QStringLiteral("init.key"));
    init.start(qEnvironmentVariable("SUITE_BIN_DIR") + QStringLiteral("/suite-server"), args);
    return init.waitForFinished(-1) && init.exitStatus() == QProcess::NormalExit && init.exitCode() == 0;
}

} // namespace

int main(int argc, char** argv)
{
    suite::bench::preferOffscreen();
    QApplication app(argc, argv);
    if (qEnvironmentVariableIsEmpty("SUITE_BIN_DIR"))
        qputenv("SUITE_BIN_DIR", QCoreApplication::applicationDirPath().toUtf8());

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Integration through the screen against the service alone."));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("database"), QStringLiteral("new benchmark database"), QStringLiteral("DB")});
    parser.addOption({QStringLiteral("scale"), QStringLiteral("branches,dishes,lines"), QStringLiteral("B,D,L"),
                      QStringLiteral("200,2000,10")});
    parser.addOption(
        {QStringLiteral("runs"), QStringLiteral("pairs to time"), QStringLiteral("N"), QStringLiteral("3")});
    parser.process(app);
    const QString url = parser.value(QStringLiteral("database"));
    const int runs = std::max(1, parser.value(QStringLiteral("runs")).toInt());
    if (url.isEmpty())
        parser.showHelp(2);

    std::printf("creating %s at scale %s\n", qPrintable(url), qPrintable(parser.value(QStringLiteral("scale"))));
    std::fflush(stdout);
    const QTemporaryDir keyDir;
    if (!initDatabase(url, parser.value(QStringLiteral("scale")), keyDir))
        return 1;

    RecordingHost host;
    mrv::setHostServices(&host);
    mrv::setDialogs(std::make_unique<mrv::ScriptedDialogs>());
    ServerProcess server;
    if (const QString why = server.start(url); !why.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(why));
        return 1;
    }
    mrv::openSharedDatabase(url);
    mrv::LoginContext login;
    login.filiProc = QStringLiteral("0001");
    login.operador = QStringLiteral("demo");
    login.webUrl = QStringLiteral("127.0.0.1");
    login.webPort = server.port();
    login.database = url;
    login.token = mrv::TNetConnection::login(login.webUrl, login.webPort, "demo", "demo").token;
    mrv::setLoginContext(login);

    TfrmIntgCentral* form = openScreen(host);
    if (!form || !host.errors.isEmpty()) {
        std::fprintf(stderr, "the screen did not open: %s\n", qPrintable(host.errors.join('\n')));
        return 1;
    }
    // The user's choices: "Todos", both trees, local recipes, every branch of "T" marked.
    form->medCdFilial->setFocus();
    form->chbArvPadrao->setFocus();
    form->rbtTodosPrat->click();
    form->chbServico->setChecked(false);
    form->dbgFiliGrup->setFocus();
    form->dbgFiliGrupTitleClick(form->dbgFiliGrup->Column(0));
    std::printf("%d destination branches marked\n", form->cdsFiliGrup->RecordCount());

    QList<double> screenTimes, serviceTimes, ratios;
    for (int run = 0; run < runs; ++run) {
        // Fresh answers each run: a clean run leaves the second one unasked.
        auto dialogs = std::make_unique<mrv::ScriptedDialogs>();
        dialogs->queueMessage(mrv::mrYes); // "conf_op"
        dialogs->queueMessage(mrv::mrNo);  // "v_log", when the run has observations
        mrv::setDialogs(std::move(dialogs));
        QElapsedTimer timer;
        timer.start();
        form->sbtConfirma->click();
        screenTimes << timer.nsecsElapsed() / 1e9;
        if (!form->cdsLogIntCent->Active()) {
            std::fprintf(stderr, "the screen did not run the integration\n");
            return 1;
        }
        const int logRows = form->cdsLogIntCent->RecordCount();
        form->cdsLogIntCent->Close();
        if (!host.errors.isEmpty()) {
            std::fprintf(stderr, "the screen's run failed: %s\n", qPrintable(host.errors.join('\n')));
            return 1;
        }

        // The same request, straight to the service.
        QString dishes;
        const int key = form->qryPesqPratos->FieldByName(QStringLiteral("CDPESQPRAT"))->index();
        for (int row = 0; row < form->qryPesqPratos->RecordCount(); ++row)
            dishes += form->qryPesqPratos->valueAt(row, key).toString() + QLatin1Char('_');
        mrv::TNetConnection direct;
        direct.ServerName = QStringLiteral("Rci06000.rdmIntgCentral");
        direct.Host = login.webUrl;
        direct.Port = login.webPort;
        timer.restart();
        const QJsonObject answer =
            direct.call(QStringLiteral("IntgCentral"), {QStringLiteral("0001"), dishes, QStringLiteral("FX"),
                                                        form->cdsFiliGrup->Data(), QString(), QString()});
        serviceTimes << timer.nsecsElapsed() / 1e9;
        if (!answer.value(QStringLiteral("error")).isUndefined()) {
            std::fprintf(stderr, "the service's run failed\n");
            return 1;
        }
        ratios << screenTimes.last() / serviceTimes.last();
        std::printf("pair %d: screen %.2f s, service %.2f s, ratio %.2f (%d log rows)\n", run + 1, screenTimes.last(),
                    serviceTimes.last(), ratios.last(), logRows);
        std::fflush(stdout);
    }
    resetModule();
    std::printf("screen %.2f s, service %.2f s (medians of %d)\n", suite::bench::median(screenTimes),
                suite::bench::median(serviceTimes), runs);
    std::printf("screen/service ratio (median of pairs, goal <= 1.50): %.2f\n", suite::bench::median(ratios));
    return 0;
}
