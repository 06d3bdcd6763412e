// Time from IniProc to the end of the integration screen's first activation (connected,
// source branch preset, dish-code masks set), against a loopback suite-server.
//   startup_bench [runs]        SUITE_BIN_DIR must point at the directory of suite-server.
#include "benchkit.h"
#include "modulefixture.h"

#include <adoibquery.h>
#include <clientdataset.h>

#include <QElapsedTimer>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <algorithm>
#include <cstdio>

using namespace rci06000::test;

namespace {

bool firstActivationDone(const TfrmIntgCentral* form, const RecordingHost& host)
{
    return !host.errors.isEmpty() ||
           !form->cdsPesqPratoDadoCard->FieldByName(QStringLiteral("CDPRATO"))->EditMask.isEmpty();
}

} // namespace

int main(int argc, char** argv)
{
    suite::bench::preferOffscreen();
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 20;

    RecordingHost host;
    mrv::setHostServices(&host);
    mrv::setDialogs(std::make_unique<mrv::ScriptedDialogs>());
    DemoBackend backend;
    if (const QString why = backend.start(); !why.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(why));
        return 1;
    }
    mrv::setLoginContext(backend.login(backend.server().port()));

    // In the host the main window and the login dialog are up before any module opens,
    // so the toolkit's fonts and style are loaded already.
    {
        auto* layout = new QFormLayout(host.main);
        layout->addRow(new QLabel(QStringLiteral("Operador")), new QLineEdit);
        host.main->show();
        QCoreApplication::processEvents();
    }

    QList<double> times;
    QList<double> creation;
    for (int run = 0; run < runs; ++run) {
        resetModule();
        QElapsedTimer timer;
        timer.start();
        rci06000::IniProc();
        creation << timer.nsecsElapsed() / 1e6;
        TfrmIntgCentral* form = frmIntgCentral;
        while (!firstActivationDone(form, host))
            QCoreApplication::processEvents();
        times << timer.nsecsElapsed() / 1e6;
        if (!host.errors.isEmpty()) {
            std::fprintf(stderr, "first activation failed: %s\n", qPrintable(host.errors.join('\n')));
            return 1;
        }
    }
    resetModule();

    const double first = times.first();
    QList<double> warm = times.mid(1);
    std::sort(warm.begin(), warm.end());
    std::printf("IniProc -> end of first activation, %d runs (goal < 150 ms)\n", runs);
    std::printf("  first run (cold): %.1f ms, of which IniProc itself %.1f ms\n", first, creation.first());
    if (!warm.isEmpty()) {
        QList<double> warmCreation = creation.mid(1);
        std::sort(warmCreation.begin(), warmCreation.end());
        std::printf("  later runs: median %.1f ms (IniProc itself %.1f ms), min %.1f ms, max %.1f ms\n",
                    warm[warm.size() / 2], warmCreation[warmCreation.size() / 2], warm.first(), warm.last());
    }
    return 0;
}
