#pragma once
// The program-wide state that start-up builds and every later unit reads, kept in one place.

#include "platform/ProgramTitle.h"

#include <QString>
#include <QStringList>

#include <array>
#include <memory>

namespace folvane {

class Settings;
class GridColumns;
class PdfPageCounter;
class TiffPageCounter;
class frmSetOrder_ComPdf;

/// Display positions of the eight result columns, refreshed by every search.
struct ColumnPositionCache {
    int Name = 0, Selection = 1, Pages = 2, Location = 3, Size = 4, Type = 5, Created = 6, Modified = 7;
};

struct ProgramState {
    ProgramState();
    ~ProgramState();
    ProgramState(const ProgramState &) = delete;
    ProgramState &operator=(const ProgramState &) = delete;

    QString StorageFolderPath; ///< no trailing separator
    QString StorageFolder;     ///< with trailing separator
    QString CmdLineFolder;
    QStringList CmdLineFiles;

    std::unique_ptr<Settings> objSettings;
    std::unique_ptr<GridColumns> objGridColumns;

    QStringList ColumnOrder;   ///< ColumnReOrder split at ","
    QStringList ColumnWidths;  ///< LastGridColWidth split at ","
    QStringList ColumnVisible; ///< ColumnVisibility split at ","

    std::array<QString, 1> FilterPatterns{QStringLiteral("*.pdf")};

    std::unique_ptr<PdfPageCounter> PdfCounter;
    std::unique_ptr<TiffPageCounter> TiffCounter;

    ColumnPositionCache ColumnPositions;

    /// The combine dialog while it is shown; null otherwise.
    frmSetOrder_ComPdf *objSetOrderForm = nullptr;
};

/// The one instance.
ProgramState &State();

/// The maker: the storage folder's second-to-last component.
inline const QString &CompanyName()
{
    static const QString name = QStringLiteral("Quorrel Technologies");
    return name;
}

}  // namespace folvane
