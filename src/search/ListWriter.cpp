#include "search/ListWriter.h"

#include "app/ErrorLog.h"
#include "app/GridColumns.h"
#include "platform/AtomicOutput.h"
#include "platform/DataGrid.h"

namespace folvane::ListWriter {

QList<QStringList> CheckedList(const DataGrid &grid, int checkCol)
{
    QList<int> columns;
    for (int c = 0; c < grid.Cols(); ++c) {
        if (!grid.ColHidden(c) && grid.TextMatrix(0, c) != ColumnKey::Selection)
            columns << c;
    }
    const auto line = [&](int row) {
        QStringList cells;
        cells.reserve(columns.size());
        for (const int c : columns)
            cells << grid.TextMatrix(row, c);
        return cells;
    };

    QList<QStringList> lines{line(0)};
    for (int r = 1; r < grid.Rows(); ++r) {
        // A row the search wrote and nobody checked is unset, which counts as unchecked too.
        if (grid.Cell(flexcpChecked, r, checkCol).toInt() == GridCheck::Checked)
            lines << line(r);
    }
    return lines;
}

QChar QuoteFor(const QString &sep)
{
    return sep == QLatin1String("\"") ? QLatin1Char('\'') : QLatin1Char('"');
}

QByteArray Format(const QList<QStringList> &lines, const QString &sep)
{
    const QChar quote = QuoteFor(sep);
    const QString doubled(2, quote);
    QString text;
    for (const QStringList &cells : lines) {
        for (qsizetype i = 0; i < cells.size(); ++i) {
            if (i > 0)
                text += sep;
            const QString &cell = cells[i];
            if (cell.contains(sep) || cell.contains(quote) || cell.contains(QLatin1Char('\r')) ||
                cell.contains(QLatin1Char('\n'))) {
                QString quoted = cell;
                quoted.replace(quote, doubled);
                text += quote + quoted + quote;
            } else {
                text += cell;
            }
        }
        text += QLatin1Char('\r');
    }
    return text.toUtf8();
}

void Save(const QString &path, const QByteArray &bytes)
{
    AtomicOutput file(path);
    if (!file.Opened())
        throw AppError(ErrNo::PathFileAccessError, file.Opened().reason);
    if (Outcome written = file.Write(bytes); !written)
        throw AppError(ErrNo::DeviceIoError, written.reason);
    if (Outcome committed = file.Commit(); !committed)
        throw AppError(ErrNo::DeviceIoError, committed.reason);
}

}  // namespace folvane::ListWriter
