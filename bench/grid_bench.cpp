// The destination grid with a large grouping: the branch packet as it arrives from the
// service (JSON text) loaded into the screen's grid and painted, and a mark-all over every
// row, with the number of full refreshes each causes.
//   grid_bench [branches] [runs]      defaults: 10000 branches, 7 runs
#include "benchkit.h"
#include "screen/intgcentral.h"

#include <clientdataset.h>
#include <column.h>
#include <dbgrid.h>
#include <dialogs.h>
#include <hostservices.h>
#include <scripteddialogs.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cstdio>

namespace {

class BenchHost : public mrv::HostServices {
public:
    QWidget* mainWindow() override { return nullptr; }
    void addScreen(QWidget*) override {}
    void refreshLocalCache(const QStringList&, QWidget*, bool, const QString&) override {}
    // The screen has no server here: its first activation's failed connect is expected.
    void handleException(const QString&) override {}
    QString reportsDir() override { return {}; }
};

QByteArray branchPacket(int branches)
{
    auto column = [](const char* name, int size) {
        return QJsonObject{{"name", name}, {"type", "string"}, {"size", size}};
    };
    QJsonArray rows;
    for (int i = 0; i < branches; ++i)
        rows.append(QJsonArray{"N", QStringLiteral("%1").arg(i + 2, 4, 36, QChar('0')).toUpper(),
                               QStringLiteral("Filial %1 da rede").arg(i + 2), i % 97 == 0 ? "S" : "N"});
    const QJsonObject packet{{"columns", QJsonArray{column("IDMARCADO", 1), column("CDFILIAL", 4),
                                                    column("NMFILIAL", 30), column("IDCNTRRESC", 1)}},
                             {"rows", rows}};
    return QJsonDocument(QJsonObject{{"result", packet}}).toJson(QJsonDocument::Compact);
}

} // namespace

int main(int argc, char** argv)
{
    suite::bench::preferOffscreen();
    QApplication app(argc, argv);
    const int branches = argc > 1 ? std::max(1, atoi(argv[1])) : 10000;
    const int runs = argc > 2 ? std::max(1, atoi(argv[2])) : 7;

    BenchHost host;
    mrv::setHostServices(&host);
    mrv::setDialogs(std::make_unique<mrv::ScriptedDialogs>());
    const QByteArray wire = branchPacket(branches);

    TfrmIntgCentral form;
    form.runCreate();
    form.show();
    QCoreApplication::processEvents();
    mrv::TDBGrid* grid = form.dbgFiliGrup;

    QList<double> load, markAll, unmarkAll;
    int loadRefreshes = 0, markRefreshes = 0;
    for (int run = 0; run < runs; ++run) {
        form.cdsFiliGrup->Close();
        QCoreApplication::processEvents();

        QElapsedTimer timer;
        int before = grid->repaintCount();
        timer.start();
        const QJsonObject answer = QJsonDocument::fromJson(wire).object();
        form.cdsFiliGrup->setData(answer.value("result").toObject());
        grid->viewport()->repaint();
        load << timer.nsecsElapsed() / 1e6;
        loadRefreshes = grid->repaintCount() - before;

        form.cdsFiliGrup->setRecNo(branches / 2);
        for (QList<double>* times : {&markAll, &unmarkAll}) {
            before = grid->repaintCount();
            timer.restart();
            form.dbgFiliGrupTitleClick(grid->Column(0));
            grid->viewport()->repaint();
            *times << timer.nsecsElapsed() / 1e6;
            markRefreshes = grid->repaintCount() - before;
        }
        if (form.cdsFiliGrup->RecNo() != branches / 2) {
            std::fprintf(stderr, "the mark-all lost the current row\n");
            return 1;
        }
    }

    std::printf("destination grid, %d branches (packet %.1f KB), %d runs, medians (goal < 100 ms each)\n", branches,
                wire.size() / 1024.0, runs);
    std::printf("  load (JSON text -> data set -> painted grid): %.1f ms, %d full refresh(es)\n",
                suite::bench::median(load), loadRefreshes);
    std::printf("  mark-all: %.1f ms, unmark-all: %.1f ms, %d full refresh(es) each\n", suite::bench::median(markAll),
                suite::bench::median(unmarkAll), markRefreshes);
    return 0;
}
