#pragma once
// Shared path, file and shell helpers, and the column-layout procedures.

#include <QString>

#include <QStringList>

#include <cstdint>
#include <optional>

namespace folvane::modGeneral {

/// Leading and trailing spaces removed (only spaces: a tab is part of the text).
QString TrimSpaces(const QString &text);
/// The path with "/" appended unless it already ends with one.
QString ValidateDir(const QString &path);
/// Text after the last "." of the whole path; the whole path when it has none.
QString GetFileExt(const QString &path);
/// Last component of the path.
QString GetFileName(const QString &path);
/// High-order 16 bits, sign kept.
std::int16_t HiWord(std::int32_t value);
/// True for an existing entry that is not a folder (after following links).
bool IsFileExist(const QString &path);
/// True for any existing entry of that name (a file too); "/" exists.
bool IsFolderExist(QString path);
/// Carries out a shell verb ("open", "Open", "Explore", "Print") on a file or folder.
void ExecuteFile(const QString &verb, const QString &file, const QString &parameters = QString(),
                 const QString &workingFolder = QString(), std::int32_t showCommand = 1);

/// Splits a saved list at sep. An empty text is a list of no entries, not of one empty entry.
QStringList SplitList(const QString &text, QChar sep = QLatin1Char(','));
/// The number a stored text spells: spaces around an optional sign, digits with an optional
/// fraction and exponent ("12", " 1.5e3 "). Empty for anything else, infinities included.
std::optional<double> TextToNumber(const QString &text);
/// Rounds to the nearest whole number, halves to the even neighbour.
double RoundHalfEven(double value);

/// The width in twips a saved width entry gives a column, or none where the entry leaves the column's
/// width alone: a negative number keeps it, and so does an entry that is no width at all (not a
/// number, or wider than the grid's 16-bit widths hold).
std::optional<double> SavedColumnWidth(const QString &entry);
/// The whole twips a column width gives the grid; none for a width the grid cannot take (negative,
/// or wider than its 16-bit widths hold), which leaves the grid's column as it is.
std::optional<int> ColumnTwips(double width);

/// Re-orders the program's column model after ColumnReOrder and applies LastGridColWidth.
void LoadGridColumns();
/// ColumnIndex of the column with exactly that key; 0 when none has it.
std::int16_t GetColumnIndexByKey(const QString &key);

}  // namespace folvane::modGeneral

namespace folvane::modMasterLayout {
/// The text up to its first NUL character.
QString TrimNull(const QString &text);
}  // namespace folvane::modMasterLayout

namespace folvane::modGetSpecialFolder {
inline constexpr std::int32_t CSIDL_DESKTOP = 0;
inline constexpr std::int32_t CSIDL_APPDATA = 26;
/// Path of a special folder (26 application data, 0 desktop), or an empty string.
QString GetSpecialfolder(std::int32_t folder);
}  // namespace folvane::modGetSpecialFolder
