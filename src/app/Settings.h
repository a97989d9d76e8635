#pragma once
// The store of user preferences and remembered window and dialog state, mirrored in full into
// "<storage>/Settings/settings.ini" on every property write.

#include <QString>

#include <cstdint>

namespace folvane {

using Byte = std::uint8_t;
using Integer = std::int16_t;
using Long = std::int32_t;

// X(name, C++ type, kind, default) in field order, which is also the order LoadSettings reads them.
// kind: S string, B byte, I 16-bit integer, L 32-bit integer.
#define FOLVANE_SETTINGS_FIELDS(X)                                                                       \
    X(ColumnVisibility, QString, S, "1,1,1,1,1,1,1,1")                                                  \
    X(ExportLocation, QString, S, "")                                                                  \
    X(LanguageFile, Byte, B, 0)                                                                        \
    X(StartupFolder, QString, S, "")  /* the home folder; filled in at run time */                     \
    X(WindowStateFlag, Byte, B, 1)                                                                     \
    X(WindowStateValue, Byte, B, 2)                                                                    \
    X(LastWindowState, Long, L, 0)                                                                     \
    X(LastWindowLeft, Long, L, 0)                                                                      \
    X(LastWindowTop, Long, L, 0)                                                                       \
    X(LastWindowHeight, Long, L, 0)                                                                    \
    X(LastWindowWidth, Long, L, 0)                                                                     \
    X(LastGridColWidthFlag, Integer, I, 1)                                                             \
    X(LastGridColWidth, QString, S, "1800,250,700,1800,1000,1400,2000,2000")                           \
    X(ColumnReOrder, QString, S,                                                                       \
      "Name,Selection,Pages,Location,Size (In KB),Type,Created Date,Modified Date")                    \
    X(SortbyNumeric, Integer, I, 0)                                                                    \
    X(IsOpenFileAfterExport, Byte, B, 0)                                                               \
    X(PrefeOwnerPassword, QString, S, "")                                                              \
    X(PrefeUserPassword, QString, S, "")                                                               \
    X(IsOpenFolderSplitPDF, Byte, B, 0)                                                                \
    X(IsDefaultPathSplitPDF, Byte, B, 0)                                                               \
    X(DefaultPathSplitPDF, QString, S, "")                                                             \
    X(IsOpenFolderSplitTIFF, Byte, B, 0)                                                               \
    X(IsDefaultPathSplitTIFF, Byte, B, 0)                                                              \
    X(DefaultPathSplitTIFF, QString, S, "")                                                            \
    X(IsOpenFileAftCombPDF, Byte, B, 0)                                                                \
    X(IsDefaultPathCombPDF, Byte, B, 0)                                                                \
    X(DefaultPathCombPDF, QString, S, "")                                                              \
    X(IsOpenFileAftCombTIFF, Byte, B, 0)                                                               \
    X(IsDefaultPathCombTIFF, Byte, B, 0)                                                               \
    X(DefaultPathCombTIFF, QString, S, "")                                                             \
    X(IsOpenFileMConvToPDF, Byte, B, 0)                                                                \
    X(IsDefaultPathMConvToPDF, Byte, B, 0)                                                             \
    X(DefaultPathMConvToPDF, QString, S, "")                                                           \
    X(IsOpenFolderAftConvEToPDF, Byte, B, 0)                                                           \
    X(IsDefaultPathConvEToPDF, Byte, B, 0)                                                             \
    X(DefaultPathConvEToPDF, QString, S, "")                                                           \
    X(IsOpenFolderPdfInfoUpdate, Byte, B, 0)                                                           \
    X(IsDefaultPathPdfInfoUpdate, Byte, B, 0)                                                          \
    X(DefaultPathPdfInfoUpdate, QString, S, "")                                                        \
    X(IsOpenFolderAppPDf, Byte, B, 0)                                                                  \
    X(IsDefaultPathAppPDf, Byte, B, 0)                                                                 \
    X(DefaultPathAppPDf, QString, S, "")                                                               \
    X(IsOpenFolderConImgTiff, Byte, B, 0)                                                              \
    X(IsDefaultPathConImgTiff, Byte, B, 0)                                                             \
    X(DefaultPathConImgTiff, QString, S, "")                                                           \
    X(IsOpenFolderConPdfToTiff, Byte, B, 0)                                                            \
    X(IsDefaultPathConPdfToTiff, Byte, B, 0)                                                           \
    X(DefaultPathConPdfToTiff, QString, S, "")

/// One object for the whole run (State().objSettings). Reads never touch the file; every write
/// (setX) saves the whole store.
class Settings {
public:
#define FOLVANE_SETTINGS_ACCESSORS(name, type, kind, def)                                               \
    const type &name() const noexcept { return m_##name; }                                              \
    void set##name(const type &value)                                                                  \
    {                                                                                                  \
        m_##name = value;                                                                              \
        SaveSettings();                                                                                \
    }
    FOLVANE_SETTINGS_FIELDS(FOLVANE_SETTINGS_ACCESSORS)
#undef FOLVANE_SETTINGS_ACCESSORS

    /// Fills every field from the settings file; false when there is none or it cannot be read. When
    /// anything but a regular file, or a link to one, holds the file's name, that is left as it is and
    /// the settings live in memory until the next load: saves leave the name alone.
    bool LoadSettings();
    /// Writes all 48 values to the settings file: a complete new file put in place, or, where the
    /// folder takes no new file, the existing file rewritten in place. A save that fails keeps the
    /// previous file and the values in memory, and shows its reason once until a save succeeds.
    void SaveSettings();
    /// Sets every default, then saves once.
    void LoadDefaultSettings();

    QString SettingsFolderPath() const;
    QString SettingsFilePath() const;

private:
#define FOLVANE_SETTINGS_MEMBER(name, type, kind, def) type m_##name{};
    FOLVANE_SETTINGS_FIELDS(FOLVANE_SETTINGS_MEMBER)
#undef FOLVANE_SETTINGS_MEMBER

    bool keptInMemory_ = false;
    bool failureShown_ = false;
};

}  // namespace folvane
