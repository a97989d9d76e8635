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
void frmMain::Form_Load() { pending("Form_Load"); }
void frmMain::Form_Activate() { pending("Form_Activate"); }
void frmMain::Form_Resize() { pending("Form_Resize"); }
void frmMain::Form_Unload() { pending("Form_Unload"); }
void frmMain::Form_KeyDown(int, int) { pending("Form_KeyDown"); }
void frmMain::m_c_Sizing(std::int32_t &, std::int32_t &, std::int32_t &, std::int32_t &) { pending("m_c_Sizing"); }
void frmMain::m_c_ExitSizeMove() { pending("m_c_ExitSizeMove"); }
void frmMain::mnupreferances_Click() { pending("mnupreferances_Click"); }
void frmMain::mnuExport_Click() { pending("mnuExport_Click"); }
void frmMain::mnuexit_Click() { pending("mnuexit_Click"); }
void frmMain::mnuWebsite_Click() { pending("mnuWebsite_Click"); }
void frmMain::mnuShowHelp_Click() { pending("mnuShowHelp_Click"); }
void frmMain::mnuAbout_Click() { pending("mnuAbout_Click"); }

// ==== Search (frmMain_search.cpp) ====

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
