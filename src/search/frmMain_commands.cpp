// The result grid's context-menu commands: open, show or print the current row's file, and the
// commands that check, uncheck or invert rows.

#include "search/frmMain.h"

#include "app/ErrorLog.h"
#include "app/GridColumns.h"
#include "app/ProgramState.h"
#include "app/modGeneral.h"
#include "platform/CommonDialog.h"
#include "platform/DataGrid.h"
#include "platform/Shell.h"

namespace folvane {

namespace {

const QString Damaged = QStringLiteral("Secured or Corrupted");

/// A location that already ends in a separator (the root folder) must not give a doubled one.
QString SingleSeparators(QString path) { return path.replace(QStringLiteral("//"), QStringLiteral("/")); }

QString RowFilePath(const DataGrid &grid, int row)
{
    return SingleSeparators(grid.TextMatrix(row, ColumnOf(ColumnKey::Location)) + QLatin1Char('/')
                            + grid.TextMatrix(row, ColumnOf(ColumnKey::Name)));
}

/// Switches the grid's drawing off for a scope and back to what it was, also when the scope fails.
class RedrawOff {
public:
    explicit RedrawOff(DataGrid &grid) : grid_(grid), was_(grid.Redraw()) { grid_.setRedraw(false); }
    ~RedrawOff() { grid_.setRedraw(was_); }
    RedrawOff(const RedrawOff &) = delete;
    RedrawOff &operator=(const RedrawOff &) = delete;

private:
    DataGrid &grid_;
    bool was_;
};

/// Stores the positions of "Pages" and "Selection" afresh, as a column may have moved since the search.
ColumnPositionCache &RefreshedPositions()
{
    ColumnPositionCache &cache = State().ColumnPositions;
    cache.Pages = ColumnOf(ColumnKey::Pages);
    cache.Selection = ColumnOf(ColumnKey::Selection);
    return cache;
}

/// Sets the "Selection" cells of rows 1 to the last in one operation; false when there are not two
/// rows, in which case a whole-list command does nothing at all.
bool SetAllRows(DataGrid &grid, int state)
{
    if (grid.Rows() < 2)
        return false;
    const int selection = ColumnOf(ColumnKey::Selection);
    grid.setCell(flexcpChecked, 1, selection, grid.Rows() - 1, selection, state);
    return true;
}

/// Sets the "Selection" cells of the highlighted rows in one operation; false when none is highlighted.
bool SetHighlightedRows(DataGrid &grid, int state)
{
    const GridSelection block = grid.GetSelection();
    if (block.row1 < 0 || block.row2 < 0)
        return false;
    const int selection = ColumnOf(ColumnKey::Selection);
    grid.setCell(flexcpChecked, block.row1, selection, block.row2, selection, state);
    return true;
}

}  // namespace

// ---- file commands ----

void frmMain::mnuCtxOpen_Click()
{
    Guarded("mnuCtxOpen_Click", Unit::frmMain, [this] {
        const int row = grdSearchList->Row();
        if (row < 1)
            return;
        modGeneral::ExecuteFile(QStringLiteral("open"), RowFilePath(*grdSearchList, row), {}, {}, 1);
    });
}

void frmMain::mnuCtxOpenFolder_Click()
{
    Guarded("mnuCtxOpenFolder_Click", Unit::frmMain, [this] {
        const int row = grdSearchList->Row();
        if (row < 1)
            return;
        const QString folder = SingleSeparators(grdSearchList->TextMatrix(row, ColumnOf(ColumnKey::Location)));
        modGeneral::ExecuteFile(QStringLiteral("Open"), folder, {}, {}, 1);
    });
}

void frmMain::mnuCtxPrintFile_Click()
{
    Guarded("mnuCtxPrintFile_Click", Unit::frmMain, [this] {
        const int row = grdSearchList->Row();
        if (row < 1)
            return;
        const QString file = RowFilePath(*grdSearchList, row);
        if (!modGeneral::IsFileExist(file))
            return;
        // The dialog is the confirmation step; a cancel ends the command without a word.
        const std::optional<QString> printer = CommonDialog::ShowPrinter(this);
        if (!printer)
            return;
        Require(Shell::Print(file, *printer), ErrNo::Unknown, QStringLiteral("Unable to Print ") + file);
    });
}

// ---- whole-list check commands ----

void frmMain::mnuCtxSelectAll_Click() { CheckAllRows(); }

void frmMain::mnuCtxInvSelect_Click() { mnuInvSelect_Click(); }

void frmMain::mnuCtxDeSelectAll_Click() { UncheckAllRows(); }

void frmMain::CheckAllRows()
{
    Guarded("CheckAllRows", Unit::frmMain, [this] {
        if (!SetAllRows(*grdSearchList, GridCheck::Checked))
            return;
        UncheckDamagedRows();
        ShowStatus(getSelectedFileinfo());
    });
}

void frmMain::UncheckDamagedRows()
{
    DataGrid &grid = *grdSearchList;
    try {
        const ColumnPositionCache &cache = RefreshedPositions();
        const RedrawOff off(grid);
        for (int r = grid.FindRow(Damaged, 1, cache.Pages); r >= 0; r = grid.FindRow(Damaged, r + 1, cache.Pages))
            grid.setCell(flexcpChecked, r, cache.Selection, GridCheck::Unchecked);
    } catch (...) {
        // A failure only ends the search for damaged rows; it is neither logged nor shown.
    }
}

void frmMain::UncheckAllRows()
{
    Guarded("UncheckAllRows", Unit::frmMain, [this] {
        if (SetAllRows(*grdSearchList, GridCheck::Unchecked))
            ShowStatus(getSelectedFileinfo());
    });
}

void frmMain::mnuInvSelect_Click()
{
    Guarded("mnuInvSelect_Click", Unit::frmMain, [this] {
        DataGrid &grid = *grdSearchList;
        if (grid.Rows() < 2)
            return;
        const ColumnPositionCache &cache = RefreshedPositions();
        {
            const RedrawOff off(grid);
            for (int r = 1; r < grid.Rows(); ++r) {
                const bool uncheck = grid.TextMatrix(r, cache.Pages) == Damaged
                                     || grid.Cell(flexcpChecked, r, cache.Selection).toInt() == GridCheck::Checked;
                grid.setCell(flexcpChecked, r, cache.Selection, uncheck ? GridCheck::Unchecked : GridCheck::Checked);
            }
        }
        ShowStatus(getSelectedFileinfo());
    });
}

// ---- commands on the highlighted rows ----

void frmMain::mnuCtxCheckSelection_Click()
{
    Guarded("mnuCtxCheckSelection_Click", Unit::frmMain, [this] {
        if (SetHighlightedRows(*grdSearchList, GridCheck::Checked))
            ShowStatus(getSelectedFileinfo());
    });
}

void frmMain::mnuCtxUnCheckSelection_Click()
{
    Guarded("mnuCtxUnCheckSelection_Click", Unit::frmMain, [this] {
        if (SetHighlightedRows(*grdSearchList, GridCheck::Unchecked))
            ShowStatus(getSelectedFileinfo());
    });
}

void frmMain::mnuCtxCheckInvertSelection_Click()
{
    Guarded("mnuCtxCheckInvertSelection_Click", Unit::frmMain, [this] {
        const GridSelection block = grdSearchList->GetSelection();
        if (block.row1 < 0 || block.row2 < 0)
            return;
        ToggleCheckRows(block.row1, block.row2);
        ShowStatus(getSelectedFileinfo());
    });
}

void frmMain::ToggleCheckRows(int firstRow, int lastRow)
{
    DataGrid &grid = *grdSearchList;
    const int selection = ColumnOf(ColumnKey::Selection);
    const RedrawOff off(grid);
    for (int r = firstRow; r <= lastRow; ++r) {
        const bool checked = grid.Cell(flexcpChecked, r, selection).toInt() == GridCheck::Checked;
        grid.setCell(flexcpChecked, r, selection, checked ? GridCheck::Unchecked : GridCheck::Checked);
    }
}

}  // namespace folvane
