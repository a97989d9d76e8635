#include "docops/modDocOps.h"

#include "app/modGeneral.h"
#include "platform/DataGrid.h"

namespace folvane::modDocOps {

bool IsDigitOrBackspace(int keyAscii) { return (keyAscii >= 48 && keyAscii <= 57) || keyAscii == 8; }

clsColSetOrderGrid RecordOfRow(const DataGrid &grid, int row)
{
    auto text = [&](const char *key) {
        return grid.TextMatrix(row, modGeneral::GetColumnIndexByKey(QString::fromLatin1(key)));
    };
    clsColSetOrderGrid record;
    record.filename = text("Name");
    record.FileLocation = text("Location");
    record.FileSize = text("Size (In KB)");
    record.FileType = text("Type");
    record.FileCreDate = text("Created Date");
    record.FileModDate = text("Modified Date");
    return record;
}

}  // namespace folvane::modDocOps
