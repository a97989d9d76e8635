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

// ==== Check and file commands (frmMain_commands.cpp) ====

// ==== Hand-off to the document dialogs (frmMain_handoff.cpp) ====

// ==== Export (frmMain_export.cpp) ====
void frmMain::cmdExport_Click() { pending("cmdExport_Click"); }

// ==== Grid event wiring (frmMain_grid.cpp) ====

}  // namespace folvane
