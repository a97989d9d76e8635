#pragma once
// The exported list: the checked rows of the result grid as delimited text, written whole or not at all.

#include <QByteArray>
#include <QChar>
#include <QList>
#include <QString>
#include <QStringList>

namespace folvane {

class DataGrid;

namespace ListWriter {

/// The header row and then every row whose check state in checkCol is checked, top to bottom, with
/// the columns in display order less the hidden ones and the one headed "Selection".
QList<QStringList> CheckedList(const DataGrid &grid, int checkCol);

/// The character that quotes cells: the double quote, or the apostrophe when the separator is itself
/// a double quote (one character cannot both separate and quote).
QChar QuoteFor(const QString &sep);

/// Each line's cells joined by sep (one character, which may take two UTF-16 units), every line ended
/// by a carriage return, as UTF-8 without a byte order mark. A cell holding sep, the quote character
/// (QuoteFor), CR or LF is put in quote characters with those inside doubled, so a CSV reader given
/// the same separator and quote character splits every line back into its cells.
QByteArray Format(const QList<QStringList> &lines, const QString &sep);

/// Writes the bytes to path through an AtomicOutput: the file is replaced only once complete, and an
/// old file of that name stays as it was when anything fails. Raises an AppError with the reason.
void Save(const QString &path, const QByteArray &bytes);

}  // namespace ListWriter
}  // namespace folvane
