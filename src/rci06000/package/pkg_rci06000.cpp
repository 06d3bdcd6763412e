// The package Pkg_rci06000: its entry, its exported globals and its load steps.
#include "pkg_rci06000.h"

#include "history/histintg.h"
#include "logreport/logintg.h"
#include "screen/intgcentral.h"

#include <QJsonObject>

#include <clientdataset.h>
#include <cursorguard.h>
#include <errors.h>
#include <hostservices.h>

TfrmIntgCentral* frmIntgCentral = nullptr;
bool boIdCriado = false;
QPointer<TfrmLogIntg> frmLogIntg;
QPointer<TfrmHistIntg> frmHistIntg;
bool boStCriado = false;

namespace rci06000 {

namespace {

// The form factory's screen, or nothing: a half-created screen would otherwise stay behind,
// and the next call tries again with a fresh one.
template<class T> T* createScreen()
{
    T* form = nullptr;
    try {
        mrv::CreateForm(form);
    } catch (...) {
        if (form)
            form->deleteLater();
        throw;
    }
    return form;
}

} // namespace

void IniProc()
{
    // The hourglass goes away on every way out, also when creation fails.
    mrv::CursorGuard cursor;
    if (!boIdCriado) {
        // Set before FormCreate runs (by the factory), so the creation step can read it.
        try {
            mrv::CreateForm(frmIntgCentral);
        } catch (...) {
            if (frmIntgCentral)
                frmIntgCentral->deleteLater();
            frmIntgCentral = nullptr;
            throw;
        }
        boIdCriado = true;
    }
    if (frmIntgCentral)
        frmIntgCentral->ShowNormal();
}

void CriaListServ()
{
    if (!boStCriado) {
        frmLogIntg = createScreen<TfrmLogIntg>();
        boStCriado = true;
    }
    if (frmLogIntg) {
        frmLogIntg->ShowNormal();
        frmLogIntg->ShowModal();
    }
}

void IniHistorico()
{
    mrv::CursorGuard cursor;
    if (!frmHistIntg)
        frmHistIntg = createScreen<TfrmHistIntg>();
    if (frmHistIntg)
        frmHistIntg->ShowNormal();
}

void MostraLogIntegracao(const QJsonObject& rows, const QString& title)
{
    if (boStCriado)
        throw mrv::Exception(QStringLiteral("Feche o relatório de log aberto antes de abrir outro."));
    TfrmLogIntg* form = createScreen<TfrmLogIntg>();
    frmLogIntg = form;
    boStCriado = true;
    form->cdsLogIntCent->setData(rows);
    form->ReportTitle = title;
    form->ShowNormal();
    form->ShowModal();
}

SourceModule& Cli_rci06000()
{
    // The integration screen's module keeps nothing that needs preparing or releasing.
    static SourceModule module("Cli_rci06000");
    return module;
}

SourceModule& Cli_rci06001()
{
    static SourceModule module("Cli_rci06001", [] { boStCriado = false; });
    return module;
}

void PackageLoad()
{
    // The required kit has no start-up steps of its own to run first.
    Cli_rci06000().startUp();
    Cli_rci06001().startUp();
}

void PackageUnload()
{
    Cli_rci06001().shutDown();
    Cli_rci06000().shutDown();
}

const char* PackageInfo()
{
    return R"({"name":"rci06000","title":"Integração de Receitas - Centralizada",)"
           R"("requires":["mrv"],"contains":["Pkg_rci06000","Cli_rci06000","Cli_rci06001"],)"
           R"("entries":["IniProc","CriaListServ","IniHistorico"]})";
}

} // namespace rci06000
