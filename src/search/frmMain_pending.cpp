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

// ==== Result grid (frmMain_grid.cpp) ====

// ==== Check and file commands (frmMain_commands.cpp) ====

// ==== Hand-off to the document dialogs (frmMain_handoff.cpp) ====

// ==== Export (frmMain_export.cpp) ====

// ==== Grid event wiring (frmMain_grid.cpp) ====

}  // namespace folvane
