#pragma once
// Helpers shared by the main window's hand-off and the document dialogs.

#include "docops/clsColSetOrderGrid.h"

#include <cstdint>

namespace folvane {

class DataGrid;

/// True for a typed "0" to "9" (48 to 57) or backspace (8).
inline bool IsDigitOrBackspace(const std::int16_t &KeyAscii) noexcept
{
    return (KeyAscii >= 48 && KeyAscii <= 57) || KeyAscii == 8;
}

/// A record of a grid row's "Name", "Location", "Size (In KB)", "Type", "Created Date" and
/// "Modified Date" texts, each column found by its key. PageCount and Range are the caller's, as
/// each caller reads them by its own rule.
clsColSetOrderGrid RecordOfRow(const DataGrid &grid, int row);

}  // namespace folvane
