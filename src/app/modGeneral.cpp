#include "app/modGeneral.h"

#include "app/ErrorLog.h"
#include "app/GridColumns.h"
#include "app/ProgramState.h"
#include "app/Settings.h"
#include "platform/Shell.h"

#include <QDir>
#include <QHash>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>

#include <cmath>
#include <limits>

namespace folvane::modGeneral {

namespace {

bool IsBlank(const QString &path) { return TrimSpaces(path).isEmpty(); }

/// The whole width entry i gives a moved column, or nothing when the entry should leave it alone
/// (our choice for a missing entry as well).
std::optional<float> SavedWidth(const QStringList &widths, int i)
{
    if (i >= widths.size())
        return std::nullopt;
    const std::optional<double> width = SavedColumnWidth(widths[i]);
    if (!width)
        return std::nullopt;
    return static_cast<float>(RoundHalfEven(*width));
}

}  // namespace

QString TrimSpaces(const QString &text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text[first] == QLatin1Char(' '))
        ++first;
    while (last > first && text[last - 1] == QLatin1Char(' '))
        --last;
    return text.mid(first, last - first);
}

QString ValidateDir(const QString &path)
{
    QString result;
    Guarded("ValidateDir", Unit::modGeneral, [&] {
        result = path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
    });
    return result;
}

QString GetFileExt(const QString &path)
{
    QString result;
    Guarded("GetFileExt", Unit::modGeneral, [&] {
        const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
        result = dot < 0 ? path : path.mid(dot + 1);
    });
    return result;
}

QString GetFileName(const QString &path)
{
    // A trailing separator does not count: the name of "/docs/" is "docs".
    qsizetype end = path.size();
    while (end > 0 && path[end - 1] == QLatin1Char('/'))
        --end;
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'), end - 1);
    return end == 0 ? QString() : path.mid(slash + 1, end - slash - 1);
}

std::int16_t HiWord(std::int32_t value)
{
    std::int16_t result = 0;
    Guarded("HiWord", Unit::modGeneral, [&] { result = static_cast<std::int16_t>(value >> 16); });
    return result;
}

bool IsFileExist(const QString &path)
{
    if (IsBlank(path))
        return false;
    const QFileInfo info(path);
    return info.exists() && !info.isDir();
}

bool IsFolderExist(QString path)
{
    if (IsBlank(path))
        return false;
    if (path == QLatin1String("/"))
        return true;
    if (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    const QFileInfo info(path);
    // An entry of that name counts, also a link whose target is gone.
    return info.exists() || info.isSymLink();
}

void ExecuteFile(const QString &verb, const QString &file, const QString &, const QString &, std::int32_t)
{
    bool done = false;
    if (verb.compare(QLatin1String("open"), Qt::CaseInsensitive) == 0)
        done = Shell::Open(file);
    else if (verb.compare(QLatin1String("explore"), Qt::CaseInsensitive) == 0)
        done = Shell::Explore(file);
    else if (verb.compare(QLatin1String("print"), Qt::CaseInsensitive) == 0)
        done = Shell::Print(file);
    // There is no open-with dialog to fall back on here: a failed request leaves a line in the log.
    if (!done)
        LogError(FormatErrorLine(ErrNo::Unknown, QStringLiteral("Unable to %1 %2").arg(verb, file),
                                 "ExecuteFile", __LINE__, Unit::modGeneral));
}

QStringList SplitList(const QString &text, QChar sep)
{
    return text.isEmpty() ? QStringList() : text.split(sep, Qt::KeepEmptyParts);
}

std::optional<double> TextToNumber(const QString &text)
{
    static const QRegularExpression number(
        QStringLiteral("^ *[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)? *$"));
    if (!number.match(text).hasMatch())
        return std::nullopt;
    bool ok = false;
    const double value = QLocale::c().toDouble(TrimSpaces(text), &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

double RoundHalfEven(double value)
{
    // The default floating-point rounding mode rounds halves to the even neighbour.
    return std::nearbyint(value);
}

std::optional<double> SavedColumnWidth(const QString &entry)
{
    const std::optional<double> n = TextToNumber(entry);
    if (!n || *n < 0 || !ColumnTwips(*n))
        return std::nullopt;
    return n;
}

std::optional<int> ColumnTwips(double width)
{
    // Checked before the conversion: a width beyond the range of int would have no defined value.
    const double rounded = RoundHalfEven(width);
    if (!(rounded >= 0 && rounded <= std::numeric_limits<std::int16_t>::max()))
        return std::nullopt;
    return static_cast<int>(rounded);
}

void LoadGridColumns()
{
    Guarded("LoadGridColumns", Unit::modGeneral, [] {
        ProgramState &st = State();
        Require(st.objSettings && st.objGridColumns, ErrNo::ObjectNotSet,
                QStringLiteral("Object variable or With block variable not set"));
        GridColumns &model = *st.objGridColumns;
        st.ColumnOrder = SplitList(st.objSettings->ColumnReOrder());
        const QStringList widths = SplitList(st.objSettings->LastGridColWidth());

        // Whether a column moves is judged by where it was shown before this call: the records'
        // ColumnIndex values go stale as soon as one column is taken out and put back.
        // (Add makes a new record, so columns are known by their keys.)
        QHash<QString, int> shownAt;
        for (const GridColumns::Ptr &column : model)
            shownAt.insert(column->ColumnKey.toCaseFolded(), column->ColumnIndex);
        auto collectionPosition = [&model](const QString &folded) {
            int position = 0;
            for (const GridColumns::Ptr &column : model) {
                if (column->ColumnKey.toCaseFolded() == folded)
                    return position;
                ++position;
            }
            return -1;
        };

        QSet<QString> placed; // keys compare without regard to case
        for (int i = 0; i < static_cast<int>(st.ColumnOrder.size()); ++i) {
            const GridColumns::Ptr column = model.Item(TrimSpaces(st.ColumnOrder[i]));
            if (!column)
                continue;
            // A key named again would pull its column away from the place its first entry gave it: it
            // is skipped like a key that names no column, and its position still counts.
            const QString folded = column->ColumnKey.toCaseFolded();
            if (placed.contains(folded))
                continue;
            placed.insert(folded);
            // Entries before i hold positions 0 to i - 1 already, so putting this one at i leaves
            // them in place.
            const bool moves = shownAt.value(folded) != i;
            if (!moves && collectionPosition(folded) == i)
                continue;

            model.Remove(column->ColumnKey);
            if (moves) {
                if (column->ColumnName == ColumnKey::Selection)
                    column->ColumnWidth = 250;
                else if (const std::optional<float> w = SavedWidth(widths, i))
                    column->ColumnWidth = *w;
            }
            // The column goes before position i + 1, or last where there is no such position. For a
            // list naming every column once that is exactly "last entry at the end"; a longer list
            // then never drops a column for want of a place, and a shorter one moves its last entry
            // to its place rather than to the end.
            const bool atEnd = i + 1 > model.Count();
            model.Add(column->ColumnKey, column->ColumnWidth, static_cast<std::int16_t>(i), column->ColumnName,
                      column->ColumnDatatype, column->ColumnKey,
                      atEnd ? std::nullopt : std::optional<ColumnRef>(i + 1));
        }
        // With an order list that names every column once this changes nothing; with any other list
        // it keeps each record's ColumnIndex equal to its place, so no two columns claim one position.
        std::int16_t position = 0;
        for (const GridColumns::Ptr &column : model)
            column->ColumnIndex = position++;
    });
}

std::int16_t GetColumnIndexByKey(const QString &key)
{
    std::int16_t result = 0;
    Guarded("GetColumnIndexByKey", Unit::modGeneral, [&] {
        Require(State().objGridColumns != nullptr, ErrNo::ObjectNotSet,
                QStringLiteral("Object variable or With block variable not set"));
        for (const GridColumns::Ptr &column : *State().objGridColumns) {
            if (column->ColumnKey == key) {
                result = column->ColumnIndex;
                return;
            }
        }
    });
    return result;
}

}  // namespace folvane::modGeneral

namespace folvane::modMasterLayout {

QString TrimNull(const QString &text)
{
    QString result;
    Guarded("TrimNull", Unit::modMasterLayout, [&] {
        const qsizetype nul = text.indexOf(QChar(0));
        result = nul < 0 ? text : text.left(nul);
    });
    return result;
}

}  // namespace folvane::modMasterLayout

namespace folvane::modGetSpecialFolder {

QString GetSpecialfolder(std::int32_t folder)
{
    QString result;
    Guarded("GetSpecialfolder", Unit::modGetSpecialFolder, [&] {
        switch (folder) {
        case CSIDL_APPDATA: {
            // A relative XDG_DATA_HOME is invalid and ignored, as the XDG base-directory rules say.
            const QString data = qEnvironmentVariable("XDG_DATA_HOME");
            const QString home = qEnvironmentVariable("HOME");
            if (QDir::isAbsolutePath(data))
                result = QDir::cleanPath(data);
            else if (QDir::isAbsolutePath(home))
                result = QDir::cleanPath(home + QStringLiteral("/.local/share"));
            break;
        }
        case CSIDL_DESKTOP:
            result = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
            break;
        default:
            break;
        }
    });
    return result;
}

}  // namespace folvane::modGetSpecialFolder
