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

/// Each line's cells joined by sep, every line ended by a carriage return, as UTF-8 without a byte
/// order mark. A cell holding sep, a double quote, CR or LF is put in double quotes with its quotes
/// doubled, so a CSV reader splits the line where the writer did.
QByteArray Format(const QList<QStringList> &lines, QChar sep);

/// Writes the bytes to path through a temporary file in the same folder that replaces the file only
/// once complete; an old file of that name stays as it was when anything fails. Raises an AppError
/// with the reason.
void Save(const QString &path, const QByteArray &bytes);

}  // namespace ListWriter
}  // namespace folvane
