// The export of the checked rows of the result grid.

#include "search/frmMain.h"

#include "app/ErrorLog.h"
#include "app/GridColumns.h"
#include "app/ProgramState.h"
#include "app/modGeneral.h"
#include "platform/DataGrid.h"
#include "platform/MsgBox.h"
#include "platform/OwnFile.h"
#include "search/ListWriter.h"
#include "search/dlgSave.h"

namespace folvane {

void frmMain::cmdExport_Click()
{
    Guarded("cmdExport_Click", Unit::frmMain, [&] {
        if (grdSearchList->Rows() < 2) {
            MsgBox(QStringLiteral("No Files Found"), MsgButtons::OK, MsgIcon::Information, {}, this);
            return;
        }
        const int selection = ColumnOf(ColumnKey::Selection);
        bool anyChecked = false;
        for (int r = 1; r < grdSearchList->Rows() && !anyChecked; ++r)
            anyChecked = grdSearchList->Cell(flexcpChecked, r, selection).toInt() == GridCheck::Checked;
        if (!anyChecked) {
            MsgBox(QStringLiteral("No files selected"), MsgButtons::OK, MsgIcon::Information, {}, this);
            return;
        }
        ExportGrid(*grdSearchList);
    });
}

bool frmMain::ExportGrid(DataGrid &grid)
{
    bool result = false;
    QString chosen; // the dialog's filename once it has closed
    try {
        // The list is taken before the dialog opens, as the user saw it when asking for the export.
        const QList<QStringList> lines =
            ListWriter::CheckedList(grid, ColumnOf(ColumnKey::Selection));
        // An earlier export that failed half-way may have left its scratch copy behind. Only a regular
        // file of that name is ours: a FIFO, device or link there stays, and the export needs none.
        const Outcome scratchGone = OwnFile::RemoveIfRegular(State().StorageFolderPath + QStringLiteral("/Temp.xls"));
        Require(scratchGone.ok, ErrNo::PermissionDenied, scratchGone.reason);

        dlgSave dialog(this);
        dialog.ShowModal();
        chosen = dialog.filename;
        if (chosen == dlgSave::Cancelled())
            return false;

        const QString separator = dialog.ColumnSaperator.isEmpty() ? QStringLiteral("\t") : dialog.ColumnSaperator;
        ListWriter::Save(chosen, ListWriter::Format(lines, separator));

        if (dialog.OpenFile)
            modGeneral::ExecuteFile(QStringLiteral("open"), chosen, QString(), QString(), 1);
        else
            MsgBox(chosen + QStringLiteral("Exported successfully"), MsgButtons::OK, MsgIcon::Information, {}, this);
        result = true;
    } catch (...) {
        if (chosen != dlgSave::Cancelled())
            MsgBox(QStringLiteral("Unable to export!\r\n\r\n") + CurrentErrorInfo().description, MsgButtons::OK,
                   MsgIcon::Information, {}, this);
    }
    return result;
}

}  // namespace folvane
