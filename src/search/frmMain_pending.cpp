// TEMPORARY: placeholders for handlers not built yet. Each is replaced by its real definition in the
// file named in frmMain.h; this file goes away when the last one is gone. Nothing here may land.

#include "search/frmMain.h"

#include "app/ErrorLog.h"

#include <QFileInfo>

namespace folvane {

namespace {
[[noreturn]] void pending(const char *name)
{
    throw AppError(ErrNo::InvalidProcedureCall, QString::fromLatin1(name) + QStringLiteral(" is not built yet"));
}
}  // namespace

// ==== Load sequence, window frame, menus, keyboard (frmMain.cpp) ====

// ==== Search (frmMain_search.cpp) ====
void frmMain::MainLoadFiles(QString &, bool) { pending("MainLoadFiles"); }
void frmMain::EnableSearchControls(bool) { pending("EnableSearchControls"); }
void frmMain::LoadFiles(const QString &, bool) { pending("LoadFiles"); }
void frmMain::GenerateFilterPatternArray(const QString &, QStringList &) { pending("GenerateFilterPatternArray"); }
bool frmMain::IsFileMatchWithFilterPattern(const QString &, const QStringList &) { pending("IsFileMatchWithFilterPattern"); }
bool frmMain::IsFileMatchWithAdvOptions(const QFileInfo &) { pending("IsFileMatchWithAdvOptions"); }
bool frmMain::GetFileFindData(const QString &, QFileInfo &) { pending("GetFileFindData"); }
void frmMain::AddFileItem(const QString &, const QFileInfo &) { pending("AddFileItem"); }
std::int32_t frmMain::RoundUp(double) { pending("RoundUp"); }
QString frmMain::GetExtension(const QString &) { pending("GetExtension"); }
void frmMain::FillComboBoxes() { pending("FillComboBoxes"); }
void frmMain::chkSearchByDate_Click() { pending("chkSearchByDate_Click"); }
void frmMain::chkSearchBySize_Click() { pending("chkSearchBySize_Click"); }
void frmMain::cmdSearch_Click() { pending("cmdSearch_Click"); }
void frmMain::cboFilterPattern_Click() { pending("cboFilterPattern_Click"); }
void frmMain::ftvFolder_FolderSelected() { pending("ftvFolder_FolderSelected"); }

// ==== Result grid (frmMain_grid.cpp) ====
void frmMain::InitGridStyle() { pending("InitGridStyle"); }
void frmMain::InitFiles() { pending("InitFiles"); }
void frmMain::RefreshGrid() { pending("RefreshGrid"); }
void frmMain::grdSearchList_AfterMoveColumn(std::int32_t, std::int32_t &) { pending("grdSearchList_AfterMoveColumn"); }
void frmMain::grdSearchList_BeforeSort(std::int32_t, std::int16_t &) { pending("grdSearchList_BeforeSort"); }
void frmMain::grdSearchList_KeyDown(std::int16_t, std::int16_t) { pending("grdSearchList_KeyDown"); }
void frmMain::grdSearchList_MouseDown(std::int16_t, std::int16_t, float, float) { pending("grdSearchList_MouseDown"); }
void frmMain::grdSearchList_MouseUp(std::int16_t, std::int16_t, float, float) { pending("grdSearchList_MouseUp"); }
QString frmMain::getSelectedFileinfo() { pending("getSelectedFileinfo"); }
void frmMain::ShowStatus(const QString &) { pending("ShowStatus"); }

// ==== Check and file commands (frmMain_commands.cpp) ====
void frmMain::mnuCtxOpen_Click() { pending("mnuCtxOpen_Click"); }
void frmMain::mnuCtxOpenFolder_Click() { pending("mnuCtxOpenFolder_Click"); }
void frmMain::mnuCtxPrintFile_Click() { pending("mnuCtxPrintFile_Click"); }
void frmMain::mnuCtxSelectAll_Click() { pending("mnuCtxSelectAll_Click"); }
void frmMain::mnuCtxInvSelect_Click() { pending("mnuCtxInvSelect_Click"); }
void frmMain::mnuCtxDeSelectAll_Click() { pending("mnuCtxDeSelectAll_Click"); }
void frmMain::mnuCtxCheckSelection_Click() { pending("mnuCtxCheckSelection_Click"); }
void frmMain::mnuCtxUnCheckSelection_Click() { pending("mnuCtxUnCheckSelection_Click"); }
void frmMain::mnuCtxCheckInvertSelection_Click() { pending("mnuCtxCheckInvertSelection_Click"); }
void frmMain::CheckAllRows() { pending("CheckAllRows"); }
void frmMain::UncheckDamagedRows() { pending("UncheckDamagedRows"); }
void frmMain::UncheckAllRows() { pending("UncheckAllRows"); }
void frmMain::mnuInvSelect_Click() { pending("mnuInvSelect_Click"); }

// ==== Hand-off to the document dialogs (frmMain_handoff.cpp) ====
void frmMain::cmdCombinePdf_Click() { pending("cmdCombinePdf_Click"); }
void frmMain::cmdAppendPDFFile_Click() { pending("cmdAppendPDFFile_Click"); }
void frmMain::GetPageCount() { pending("GetPageCount"); }
void frmMain::ShowSetOrderform(std::int32_t &) { pending("ShowSetOrderform"); }

// ==== Export (frmMain_export.cpp) ====
void frmMain::cmdExport_Click() { pending("cmdExport_Click"); }

// ==== Grid event wiring (frmMain_grid.cpp) ====
void frmMain::wireGridEvents() {}

}  // namespace folvane
