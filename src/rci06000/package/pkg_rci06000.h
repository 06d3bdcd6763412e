// The package Pkg_rci06000: its entry, its exported globals and its load steps.
#pragma once

#include "sourcemodule.h"

#include <QPointer>
#include <QtGlobal>

class TfrmIntgCentral;
class TfrmLogIntg;
class TfrmHistIntg;
class QJsonObject;

// Exported by name so the host can see the single instances and their flags.
extern Q_DECL_EXPORT TfrmIntgCentral* frmIntgCentral; // the live integration screen, or null
extern Q_DECL_EXPORT bool boIdCriado;                 // the screen was created during this load
// Guarded: it empties itself when the report screen is destroyed, so it never dangles.
extern Q_DECL_EXPORT QPointer<TfrmLogIntg> frmLogIntg;   // the last log report screen
extern Q_DECL_EXPORT bool boStCriado;                    // a log report screen exists
extern Q_DECL_EXPORT QPointer<TfrmHistIntg> frmHistIntg; // the history of integrations, while open

namespace rci06000 {

// Opens the integration screen, or brings the existing one back in its normal state.
void IniProc();
// Shows the log report of the integration screen's last run, modally.
void CriaListServ();
// Opens the history of integrations, or brings the open one back.
void IniHistorico();
// The log report over other rows (a past run's), with a title; modal, as CriaListServ.
void MostraLogIntegracao(const QJsonObject& rows, const QString& title);

// The package's source modules, in the order loading starts them.
SourceModule& Cli_rci06000();
SourceModule& Cli_rci06001();

// The host's package entry points.
void PackageLoad();
void PackageUnload();
const char* PackageInfo(); // JSON: name, title, required packages, contained modules, entries

} // namespace rci06000
