#include "platform/DataGridModel.h"

#include <QCollator>
#include <QGuiApplication>
#include <QLocale>
#include <QPalette>

#include <algorithm>
#include <limits>

namespace folvane {

namespace {

/// Length of the number at the start of text (after blanks), 0 when there is none.
qsizetype ParseLeadingNumber(const QString &text, double &value)
{
    const QLocale locale;
    const QString group = locale.groupSeparator();
    const QString point = locale.decimalPoint();
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text[i].isSpace())
        ++i;
    bool negative = false;
    if (i < n && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    double whole = 0;
    int digits = 0;
    while (i < n) {
        if (text[i].isDigit()) {
            whole = whole * 10 + text[i].digitValue();
            ++digits;
            ++i;
        } else if (digits > 0 && !group.isEmpty() && text.mid(i, group.size()) == group
                   && i + group.size() < n && text[i + group.size()].isDigit()) {
            i += group.size(); // digit grouping carries no value
        } else {
            break;
        }
    }
    double fraction = 0;
    int fractionDigits = 0;
    if (i < n && !point.isEmpty() && text.mid(i, point.size()) == point && i + point.size() < n
        && text[i + point.size()].isDigit()) {
        i += point.size();
        double scale = 0.1;
        while (i < n && text[i].isDigit()) {
            fraction += text[i].digitValue() * scale;
            scale /= 10;
            ++fractionDigits;
            ++i;
        }
    }
    if (digits == 0 && fractionDigits == 0)
        return 0;
    value = negative ? -(whole + fraction) : whole + fraction;
    return i;
}

enum class DateField { Day, Month, Year, Hour, Minute, Second };

struct DayHalfWord {
    QString text;
    bool pm = false;
};

struct DateFormat {
    std::vector<DateField> fields;
    bool twelveHour = false;
    std::vector<DayHalfWord> dayHalves; ///< longest first
};

/// The words a 12-hour time may end in: the default locale's, which the program writes, and the
/// English ones. In several languages AM and PM begin alike (Malay "PG" and "PTG", Latvian
/// "priekšpusdienā" and "pēcpusdienā"): the longest word the text begins with decides, never a letter.
std::vector<DayHalfWord> DayHalfWords()
{
    const QLocale locale;
    std::vector<DayHalfWord> words = {{locale.amText(), false}, {locale.pmText(), true},
                                      {QStringLiteral("AM"), false}, {QStringLiteral("PM"), true},
                                      {QStringLiteral("A"), false}, {QStringLiteral("P"), true}};
    std::erase_if(words, [](const DayHalfWord &w) { return w.text.isEmpty(); });
    std::stable_sort(words.begin(), words.end(),
                     [](const DayHalfWord &a, const DayHalfWord &b) { return a.text.size() > b.text.size(); });
    return words;
}

DateFormat ParseDateFormat(const QString &format)
{
    DateFormat result;
    const QString f = (format.isEmpty() ? QStringLiteral("dd/mm/yyyy hh:mm ampm") : format).toLower();
    bool afterHour = false;
    qsizetype i = 0;
    while (i < f.size()) {
        const QChar c = f[i];
        if (f.mid(i, 5) == u"am/pm" || f.mid(i, 4) == u"ampm" || f.mid(i, 3) == u"a/p") {
            result.twelveHour = true;
            i += f.mid(i, 5) == u"am/pm" ? 5 : f.mid(i, 4) == u"ampm" ? 4 : 3;
            continue;
        }
        qsizetype run = 1;
        while (i + run < f.size() && f[i + run] == c)
            ++run;
        switch (c.unicode()) {
        case u'd':
            if (run <= 2)
                result.fields.push_back(DateField::Day);
            break;
        case u'm':
            result.fields.push_back(afterHour && run <= 2 ? DateField::Minute : DateField::Month);
            break;
        case u'n':
            result.fields.push_back(DateField::Minute);
            break;
        case u'y':
            result.fields.push_back(DateField::Year);
            break;
        case u'h':
            result.fields.push_back(DateField::Hour);
            afterHour = true;
            break;
        case u's':
            result.fields.push_back(DateField::Second);
            break;
        default:
            break;
        }
        i += run;
    }
    if (result.twelveHour)
        result.dayHalves = DayHalfWords();
    return result;
}

Qt::Alignment ToQtAlignment(int code)
{
    static constexpr Qt::Alignment horizontal[] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight};
    static constexpr Qt::Alignment vertical[] = {Qt::AlignTop, Qt::AlignVCenter, Qt::AlignBottom};
    code = std::clamp(code, 0, 8);
    return horizontal[code / 3] | vertical[code % 3];
}

bool ReadDate(const QString &text, const DateFormat &fmt, std::int64_t &key)
{
    int day = 1, month = 1, year = 0, hour = 0, minute = 0, second = 0;
    bool hasYear = false, hasDay = false, hasMonth = false;
    qsizetype i = 0;
    const qsizetype n = text.size();
    for (const DateField field : fmt.fields) {
        while (i < n && !text[i].isDigit())
            ++i;
        if (i == n)
            return false;
        int value = 0;
        int digits = 0;
        while (i < n && text[i].isDigit() && digits < 9) {
            value = value * 10 + text[i].digitValue();
            ++digits;
            ++i;
        }
        switch (field) {
        case DateField::Day: day = value; hasDay = true; break;
        case DateField::Month: month = value; hasMonth = true; break;
        case DateField::Year: year = value; hasYear = true; break;
        case DateField::Hour: hour = value; break;
        case DateField::Minute: minute = value; break;
        case DateField::Second: second = value; break;
        }
    }
    if (!hasYear || !hasDay || !hasMonth || month < 1 || month > 12 || day < 1 || day > 31 || minute > 59
        || second > 59)
        return false;
    if (fmt.twelveHour) {
        const QStringView rest = QStringView(text).mid(i).trimmed();
        const auto word = std::find_if(fmt.dayHalves.begin(), fmt.dayHalves.end(), [&](const DayHalfWord &w) {
            return rest.startsWith(w.text, Qt::CaseInsensitive);
        });
        const bool pm = word != fmt.dayHalves.end() && word->pm;
        if (hour < 1 || hour > 12)
            return false;
        hour = hour % 12 + (pm ? 12 : 0);
    } else if (hour > 23) {
        return false;
    }
    key = ((((static_cast<std::int64_t>(year) * 12 + (month - 1)) * 31 + (day - 1)) * 24 + hour) * 60 + minute)
              * 60
          + second;
    return true;
}

/// The sort key of one data row.
struct SortKey {
    int group = 0;    ///< rows of a lower group come first whatever the direction
    double number = 0;
    std::int64_t date = 0;
    int text = -1;    ///< index of the row's collation key
};

/// Texts compare in the user's language, letters without regard to case, so "Ärger" sorts beside
/// "Arger" and not after "zero.pdf". The C locale has no language, and its collation knows neither
/// accents nor numbers: the root order of the Unicode collation tables, which English uses unchanged,
/// stands in for it. In numeric mode every run of digits compares as the number it writes.
QCollator TextCollator(bool numeric)
{
    QLocale locale;
    if (locale.language() == QLocale::C)
        locale = QLocale(QLocale::English, QLocale::UnitedStates);
    QCollator collator(locale);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(numeric);
    return collator;
}

}  // namespace

DataGridModel::DataGridModel(QObject *parent) : QAbstractTableModel(parent) {}

bool DataGridModel::LeadingNumber(const QString &text, double &value)
{
    return ParseLeadingNumber(text, value) > 0;
}

bool DataGridModel::DateKey(const QString &text, const QString &format, std::int64_t &key)
{
    return ReadDate(text, ParseDateFormat(format), key);
}


// ---- structure ---------------------------------------------------------------------------------

void DataGridModel::setGridRows(int rows)
{
    rows = std::max(rows, 0);
    const int oldRows = gridRows();
    if (rows == oldRows)
        return;
    forgetSort();
    const int newView = std::max(rows - fixedRows_, 0);
    const bool headerTouched = std::min(rows, oldRows) < fixedRows_;
    auto resize = [&] {
        if (rows > oldRows) {
            if (static_cast<std::size_t>(rows) > rows_.capacity())
                rows_.reserve(std::max<std::size_t>(rows, rows_.capacity() * 2));
            while (gridRows() < rows)
                rows_.emplace_back(cols_);
        } else {
            rows_.resize(rows);
        }
    };
    if (suspended_) {
        resize();
        structureChanged_ = true;
        return;
    }
    if (newView > viewRows_) {
        beginInsertRows(QModelIndex(), viewRows_, newView - 1);
        resize();
        viewRows_ = newView;
        endInsertRows();
    } else if (newView < viewRows_) {
        beginRemoveRows(QModelIndex(), newView, viewRows_ - 1);
        resize();
        viewRows_ = newView;
        endRemoveRows();
    } else {
        resize();
    }
    if (headerTouched && cols_ > 0)
        emit headerDataChanged(Qt::Horizontal, 0, cols_ - 1);
}

void DataGridModel::setGridCols(int cols)
{
    cols = std::max(cols, 0);
    if (cols == cols_)
        return;
    if (sortCol_ >= cols)
        forgetSort();
    auto resize = [&] {
        for (Row &row : rows_)
            row.resize(cols);
        columns_.resize(cols);
        cols_ = cols;
        fixedCols_ = std::min(fixedCols_, cols_);
    };
    if (suspended_) {
        resize();
        structureChanged_ = true;
        return;
    }
    if (cols > viewCols_) {
        beginInsertColumns(QModelIndex(), viewCols_, cols - 1);
        resize();
        viewCols_ = cols;
        endInsertColumns();
    } else {
        beginRemoveColumns(QModelIndex(), cols, viewCols_ - 1);
        resize();
        viewCols_ = cols;
        endRemoveColumns();
    }
}

void DataGridModel::setFixedRows(int rows)
{
    rows = std::clamp(rows, 0, 1);
    if (rows == fixedRows_)
        return;
    forgetSort();
    if (suspended_) {
        fixedRows_ = rows;
        structureChanged_ = true;
        return;
    }
    beginResetModel();
    fixedRows_ = rows;
    viewRows_ = std::max(gridRows() - fixedRows_, 0);
    endResetModel();
    emit layoutReset();
}

void DataGridModel::setFixedCols(int cols)
{
    cols = std::clamp(cols, 0, cols_);
    if (cols == fixedCols_)
        return;
    fixedCols_ = cols;
    notifyAll();
}

void DataGridModel::setEditable(int mode)
{
    editable_ = std::clamp(mode, 0, 2);
}

void DataGridModel::setEditableCells(std::function<bool(int row, int col)> rule)
{
    editableCells_ = std::move(rule);
}

bool DataGridModel::cellEditable(int row, int col) const
{
    if (row < fixedRows_ || col < fixedCols_)
        return false;
    return !editableCells_ || editableCells_(row, col);
}

void DataGridModel::setSuspended(bool suspended)
{
    if (suspended == suspended_)
        return;
    suspended_ = suspended;
    if (suspended_)
        return;
    if (structureChanged_ || viewRows_ != std::max(gridRows() - fixedRows_, 0) || viewCols_ != cols_) {
        beginResetModel();
        viewRows_ = std::max(gridRows() - fixedRows_, 0);
        viewCols_ = cols_;
        structureChanged_ = false;
        endResetModel();
        emit layoutReset();
    } else {
        notifyAll();
    }
}

// ---- cells -------------------------------------------------------------------------------------

void DataGridModel::setText(int row, int col, const QString &text)
{
    rows_[row][col].text = text;
    cellsChanged(row, col, row, col);
    notifyBlock(row, col, row, col);
}

QIcon DataGridModel::picture(int row, int col) const
{
    const std::uint16_t index = rows_[row][col].picture;
    return index == 0 ? QIcon() : pictures_[index - 1];
}

QColor DataGridModel::colorAt(std::uint16_t index) const
{
    return index == 0 ? QColor() : colors_[index - 1];
}

std::uint16_t DataGridModel::colorIndex(const QColor &color)
{
    if (!color.isValid())
        return 0;
    const QRgb key = color.rgba();
    if (const auto it = colorKeys_.constFind(key); it != colorKeys_.constEnd())
        return it.value();
    if (colors_.size() >= std::numeric_limits<std::uint16_t>::max())
        return 0;
    colors_.push_back(color);
    const auto index = static_cast<std::uint16_t>(colors_.size());
    colorKeys_.insert(key, index);
    return index;
}

std::uint16_t DataGridModel::pictureIndex(const QIcon &picture)
{
    if (picture.isNull())
        return 0;
    const qint64 key = picture.cacheKey();
    if (const auto it = pictureKeys_.constFind(key); it != pictureKeys_.constEnd())
        return it.value();
    if (pictures_.size() >= std::numeric_limits<std::uint16_t>::max())
        return 0;
    pictures_.push_back(picture);
    const auto index = static_cast<std::uint16_t>(pictures_.size());
    pictureKeys_.insert(key, index);
    return index;
}

template <typename Fn> void DataGridModel::forBlock(int row1, int col1, int row2, int col2, Fn &&fn)
{
    for (int r = row1; r <= row2; ++r) {
        Row &row = rows_[r];
        for (int c = col1; c <= col2; ++c)
            fn(row[c]);
    }
    notifyBlock(row1, col1, row2, col2);
}

void DataGridModel::setTextBlock(int row1, int col1, int row2, int col2, const QString &text)
{
    forBlock(row1, col1, row2, col2, [&](Cell &cell) { cell.text = text; });
    cellsChanged(row1, col1, row2, col2);
}

void DataGridModel::setCheckedBlock(int row1, int col1, int row2, int col2, int state)
{
    const auto value = static_cast<std::uint8_t>(std::clamp(state, 0, 2));
    forBlock(row1, col1, row2, col2, [&](Cell &cell) { cell.checked = value; });
    cellsChanged(row1, col1, row2, col2);
    emit checkStatesChanged(row1, col1, row2, col2);
}

void DataGridModel::setPictureBlock(int row1, int col1, int row2, int col2, const QIcon &picture)
{
    const std::uint16_t index = pictureIndex(picture);
    forBlock(row1, col1, row2, col2, [&](Cell &cell) { cell.picture = index; });
}

void DataGridModel::setForeColorBlock(int row1, int col1, int row2, int col2, const QColor &color)
{
    const std::uint16_t index = colorIndex(color);
    forBlock(row1, col1, row2, col2, [&](Cell &cell) { cell.fore = index; });
}

void DataGridModel::setBackColorBlock(int row1, int col1, int row2, int col2, const QColor &color)
{
    const std::uint16_t index = colorIndex(color);
    forBlock(row1, col1, row2, col2, [&](Cell &cell) { cell.back = index; });
}

bool DataGridModel::hasCheckBox(int row, int col) const
{
    if (row < fixedRows_ || col < fixedCols_)
        return false;
    return rows_[row][col].checked != GridCheck::Unset || columns_[col].dataType == GridDataType::Boolean;
}

void DataGridModel::cellsChanged(int row1, int col1, int row2, int col2)
{
    if (sortCol_ >= col1 && sortCol_ <= col2 && std::max(row1, fixedRows_) <= row2)
        forgetSort();
}

void DataGridModel::forgetSort()
{
    if (sortCol_ < 0)
        return;
    sortCol_ = -1;
    sortOrder_ = GridSort::None;
    emit sortChanged();
}

void DataGridModel::columnChanged(int col)
{
    notifyBlock(0, col, gridRows() - 1, col);
}

void DataGridModel::notifyBlock(int row1, int col1, int row2, int col2)
{
    if (suspended_ || row2 < row1 || col2 < col1)
        return;
    if (row1 < fixedRows_)
        emit headerDataChanged(Qt::Horizontal, col1, col2);
    const int first = std::max(row1, fixedRows_) - fixedRows_;
    const int last = row2 - fixedRows_;
    if (first <= last)
        emit dataChanged(index(first, col1), index(last, col2));
}

void DataGridModel::notifyAll()
{
    if (cols_ > 0)
        notifyBlock(0, 0, gridRows() - 1, cols_ - 1);
}

// ---- moves and sort ----------------------------------------------------------------------------

void DataGridModel::moveColumn(int from, int to)
{
    if (from == to)
        return;
    auto rotate = [from, to](auto &items) {
        if (from < to)
            std::rotate(items.begin() + from, items.begin() + from + 1, items.begin() + to + 1);
        else
            std::rotate(items.begin() + to, items.begin() + from, items.begin() + from + 1);
    };
    for (Row &row : rows_)
        rotate(row);
    rotate(columns_);
    if (sortCol_ >= std::min(from, to) && sortCol_ <= std::max(from, to)) {
        // The sorted column goes with its cells; the columns between shift by one.
        sortCol_ = sortCol_ == from ? to : sortCol_ + (from < to ? -1 : 1);
        emit sortChanged();
    }
    notifyBlock(0, std::min(from, to), gridRows() - 1, std::max(from, to));
}

void DataGridModel::moveRow(int from, int to)
{
    if (from == to)
        return;
    forgetSort();
    auto rotate = [&] {
        if (from < to)
            std::rotate(rows_.begin() + from, rows_.begin() + from + 1, rows_.begin() + to + 1);
        else
            std::rotate(rows_.begin() + to, rows_.begin() + from, rows_.begin() + from + 1);
    };
    if (suspended_) {
        rotate();
        return;
    }
    const int vFrom = from - fixedRows_;
    const int vTo = to - fixedRows_;
    beginMoveRows(QModelIndex(), vFrom, vFrom, QModelIndex(), vTo > vFrom ? vTo + 1 : vTo);
    rotate();
    endMoveRows();
}

void DataGridModel::sortRows(int col, int order)
{
    if (order < GridSort::GenericAscending || order > GridSort::NumericDescending)
        return;
    const int first = fixedRows_;
    const int count = gridRows() - first;
    if (sortCol_ != col || sortOrder_ != order) {
        sortCol_ = col;
        sortOrder_ = order;
        emit sortChanged();
    }
    if (count < 2)
        return;
    const Column &column = columns_[col];
    const bool descending = order == GridSort::GenericDescending || order == GridSort::NumericDescending;
    const bool numeric = order == GridSort::NumericAscending || order == GridSort::NumericDescending;
    // A numeric order reads the number a cell starts with, except in a text column, where it means
    // names with numbers in them: "file 2" before "file 10", "inv-9" before "inv-010".
    enum class Kind { Text, NumberAwareText, Number, Date, Check } kind = Kind::Text;
    if (column.dataType == GridDataType::Date)
        kind = Kind::Date;
    else if (column.dataType == GridDataType::Boolean)
        kind = Kind::Check;
    else if (numeric)
        kind = column.dataType == GridDataType::String ? Kind::NumberAwareText : Kind::Number;

    const DateFormat dateFormat = ParseDateFormat(column.format);
    const QCollator collator = TextCollator(kind == Kind::NumberAwareText);
    // Collation keys are built once per row: comparing them costs a fraction of a collator's compare.
    std::vector<QCollatorSortKey> texts;
    texts.reserve(count);
    auto textKey = [&](const QString &text) {
        texts.push_back(collator.sortKey(text));
        return static_cast<int>(texts.size() - 1);
    };
    std::vector<SortKey> keys(count);
    for (int i = 0; i < count; ++i) {
        const Cell &cell = rows_[first + i][col];
        SortKey &key = keys[i];
        switch (kind) {
        case Kind::Date:
            key.group = ReadDate(cell.text, dateFormat, key.date) ? 0 : 1;
            if (key.group != 0)
                key.text = textKey(cell.text);
            break;
        case Kind::Check:
            // Checked rows first when ascending, as a true value sorts below a false one.
            key.number = cell.checked == GridCheck::Checked ? 0 : 1;
            break;
        case Kind::Number:
            // Texts without a leading number ("Secured or Corrupted", empty) go after every number.
            key.group = LeadingNumber(cell.text, key.number) ? 0 : 1;
            if (key.group != 0)
                key.text = textKey(cell.text);
            break;
        case Kind::NumberAwareText:
            key.group = 1;
            key.text = textKey(cell.text);
            break;
        case Kind::Text: {
            // Whole numbers compare as numbers and come before other texts, which keeps the order total.
            const QString trimmed = cell.text.trimmed();
            const qsizetype used = ParseLeadingNumber(trimmed, key.number);
            key.group = used > 0 && used == trimmed.size() ? 0 : 1;
            if (key.group != 0)
                key.text = textKey(cell.text);
            break;
        }
        }
    }
    auto compareValue = [&](const SortKey &a, const SortKey &b) -> int {
        if (a.group != 0) // both in the text group
            return texts[a.text].compare(texts[b.text]);
        if (kind == Kind::Date)
            return a.date < b.date ? -1 : a.date > b.date ? 1 : 0;
        return a.number < b.number ? -1 : a.number > b.number ? 1 : 0;
    };
    std::vector<int> permutation(count);
    for (int i = 0; i < count; ++i)
        permutation[i] = i;
    std::stable_sort(permutation.begin(), permutation.end(), [&](int ia, int ib) {
        const SortKey &a = keys[ia];
        const SortKey &b = keys[ib];
        if (a.group != b.group)
            return a.group < b.group;
        const int c = compareValue(a, b);
        return descending ? c > 0 : c < 0;
    });

    if (!suspended_)
        emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<Row> sorted;
    sorted.reserve(count);
    for (int i = 0; i < count; ++i)
        sorted.push_back(std::move(rows_[first + permutation[i]]));
    std::move(sorted.begin(), sorted.end(), rows_.begin() + first);
    if (suspended_)
        return;
    std::vector<int> newPlace(count);
    for (int i = 0; i < count; ++i)
        newPlace[permutation[i]] = i;
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex &index : from)
        to.append(index.row() < count ? this->index(newPlace[index.row()], index.column()) : index);
    changePersistentIndexList(from, to);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

int DataGridModel::findRow(const QString &text, int startRow, int col) const
{
    for (int r = std::max(startRow, fixedRows_); r < gridRows(); ++r)
        if (rows_[r][col].text == text)
            return r;
    return -1;
}

// ---- QAbstractTableModel -----------------------------------------------------------------------

int DataGridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : viewRows_;
}

int DataGridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : viewCols_;
}

bool DataGridModel::validCell(const QModelIndex &index) const
{
    // While suspended the views may still ask for rows that no longer exist.
    return index.isValid() && gridRow(index) < gridRows() && index.column() < cols_;
}

Qt::Alignment DataGridModel::alignmentOf(int row, int col) const
{
    int code = columns_[col].alignment;
    if (code == GridAlign::General) {
        double ignored = 0;
        const QString &text = rows_[row][col].text;
        const QString trimmed = text.trimmed();
        code = !trimmed.isEmpty() && ParseLeadingNumber(trimmed, ignored) == trimmed.size() ? GridAlign::RightCenter
                                                                                             : GridAlign::LeftCenter;
    }
    return ToQtAlignment(code);
}

QVariant DataGridModel::data(const QModelIndex &index, int role) const
{
    if (!validCell(index))
        return {};
    const int row = gridRow(index);
    const int col = index.column();
    const Cell &cell = rows_[row][col];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return cell.text;
    case Qt::CheckStateRole:
        if (!hasCheckBox(row, col))
            return {};
        return cell.checked == GridCheck::Checked ? Qt::Checked : Qt::Unchecked;
    case Qt::DecorationRole:
        return cell.picture == 0 ? QVariant() : QVariant(pictures_[cell.picture - 1]);
    case Qt::ForegroundRole:
        return cell.fore == 0 ? QVariant() : QVariant(colors_[cell.fore - 1]);
    case Qt::BackgroundRole:
        if (cell.back != 0)
            return colors_[cell.back - 1];
        if (col < fixedCols_)
            return QGuiApplication::palette().button();
        return {};
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(alignmentOf(row, col));
    default:
        return {};
    }
}

bool DataGridModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!validCell(index) || !(flags(index) & (Qt::ItemIsEditable | Qt::ItemIsUserCheckable)))
        return false;
    const int row = gridRow(index);
    const int col = index.column();
    if (role == Qt::CheckStateRole && hasCheckBox(row, col)) {
        rows_[row][col].checked = value.value<Qt::CheckState>() == Qt::Checked ? GridCheck::Checked
                                                                              : GridCheck::Unchecked;
        cellsChanged(row, col, row, col);
        notifyBlock(row, col, row, col);
        emit checkStatesChanged(row, col, row, col);
        return true;
    }
    if (role == Qt::EditRole && !hasCheckBox(row, col)) {
        setText(row, col, value.toString());
        return true;
    }
    return false;
}

Qt::ItemFlags DataGridModel::flags(const QModelIndex &index) const
{
    if (!validCell(index))
        return Qt::NoItemFlags;
    const int col = index.column();
    if (col < fixedCols_)
        return Qt::ItemIsEnabled;
    Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    const int row = gridRow(index);
    if (editable_ > 0 && cellEditable(row, col))
        result |= hasCheckBox(row, col) ? Qt::ItemIsUserCheckable : Qt::ItemIsEditable;
    return result;
}

QVariant DataGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= cols_)
        return {};
    if (role == Qt::DisplayRole)
        return fixedRows_ > 0 && gridRows() > 0 ? rows_[0][section].text : QString();
    if (role == Qt::TextAlignmentRole) {
        // The header follows its column's horizontal alignment, centred vertically.
        const int code = columns_[section].alignment;
        const Qt::Alignment column = ToQtAlignment(code == GridAlign::General ? GridAlign::LeftCenter : code);
        return QVariant::fromValue((column & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter);
    }
    return {};
}

}  // namespace folvane
