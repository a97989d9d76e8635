#pragma once
// Helpers shared by the main window's hand-off and the document dialogs.

#include "docops/clsColSetOrderGrid.h"

class QWidget;

namespace folvane {
class DataGrid;
class GridColumns;
}

namespace folvane::modDocOps {

/// True for a typed character code of "0" to "9" (48 to 57) or backspace (8).
bool IsDigitOrBackspace(int keyAscii);

/// A record of a grid row's "Name", "Location", "Size (In KB)", "Type", "Created Date" and
/// "Modified Date" texts, each column found by its key. PageCount and Range are the caller's, as
/// each caller reads them by its own rule.
clsColSetOrderGrid RecordOfRow(const DataGrid &grid, int row);

/// Sets a document dialog's grid up from the column model: the model's columns at their positions
/// with their widths, types and formats, "Type", "Size (In KB)" and "Modified Date" hidden, the
/// visibility list applied, and the "Range" column at index Count, rangeWidth twips wide, always shown.
void SetUpDocumentGrid(DataGrid &grid, const GridColumns &model, int rangeWidth);

/// Widens a document dialog about to open so every shown column of its grid is in sight, the
/// "Range" column included, up to the available width of its screen; never narrows it. A stretched
/// last column counts with the width its caption needs.
void WidenToShowColumns(QWidget &dialog, const DataGrid &grid);

/// Gives a document dialog no default button, so Enter in a text box presses nothing, while Enter
/// on a focused button still presses that button, as the user chose it.
void UseNoDefaultButton(QWidget &dialog);

}  // namespace folvane::modDocOps
