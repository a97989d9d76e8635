// The folder search: the walk, the name and advanced filters, the result rows, and the option
// controls and buttons that start and cancel a search.

#include "search/frmMain.h"

#include "app/ErrorLog.h"
#include "app/GridColumns.h"
#include "app/ProgramState.h"
#include "app/Settings.h"
#include "app/modGeneral.h"
#include "platform/DataGrid.h"
#include "platform/FolderTree.h"
#include "platform/MsgBox.h"
#include "platform/PageCounters.h"
#include "platform/WildcardMatch.h"
#include "search/frmLoading.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QGroupBox>
#include <QLineEdit>
#include <QLocale>
#include <QMimeDatabase>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <QSignalBlocker>
#include <QStyle>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <filesystem>
#include <initializer_list>
#include <limits>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include <sys/stat.h>

namespace folvane {

namespace {

namespace fs = std::filesystem;
using modGeneral::ValidateDir;

const QString SearchCaption = QStringLiteral("&Search");
const QString CancelCaption = QStringLiteral("&Cancel");

AppError FolderError(int err, const QString &folder)
{
    switch (err) {
    case ENOENT:
    case ENOTDIR:
        return AppError(ErrNo::PathNotFound, QStringLiteral("Path not found: ") + folder);
    case EACCES:
    case EPERM:
        return AppError(ErrNo::PermissionDenied, QStringLiteral("Permission denied: ") + folder);
    default:
        return AppError(ErrNo::PathFileAccessError,
                        QStringLiteral("Path/File access error: ") + folder + QStringLiteral(" (") +
                            QString::fromLocal8Bit(std::generic_category().message(err)) + QLatin1Char(')'));
    }
}

/// One folder's listing: its regular files and its folders (both after following links), each in
/// byte order of their names so that a search lists the same tree the same way every time. Folder
/// names the program's text cannot hold are kept apart, to be reported instead of walked.
struct FolderListing {
    std::vector<std::string> files;
    std::vector<std::string> folders;
    std::vector<std::string> unnamedFolders;
};

/// Whether a name survives the trip through the program's text: bytes that are not UTF-8 come back
/// as U+FFFD, and the path built from the text would name another entry or none.
bool Representable(const std::string &name)
{
    return QFile::encodeName(QFile::decodeName(QByteArray::fromStdString(name))).toStdString() == name;
}

/// A name with every byte outside printable ASCII, and the backslash, written as \xhh.
QString EscapedName(const std::string &name)
{
    QString out;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7f && byte != '\\')
            out += QLatin1Char(c);
        else
            out += QStringLiteral("\\x%1").arg(byte, 2, 16, QLatin1Char('0'));
    }
    return out;
}

FolderListing ListFolder(const QString &folder)
{
    FolderListing listing;
    std::error_code ec;
    fs::directory_iterator it(fs::path(QFile::encodeName(folder).toStdString()), ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        std::string name = it->path().filename().native();
        // Links are followed; FIFOs, sockets and devices are neither, so they are never opened.
        std::error_code typeError;
        if (it->is_regular_file(typeError)) {
            // A file the program could not open again by its name is left out, like one that is gone.
            if (Representable(name))
                listing.files.push_back(std::move(name));
        } else if (it->is_directory(typeError)) {
            (Representable(name) ? listing.folders : listing.unnamedFolders).push_back(std::move(name));
        }
    }
    if (ec)
        throw FolderError(ec.value(), folder);
    std::sort(listing.files.begin(), listing.files.end());
    std::sort(listing.folders.begin(), listing.folders.end());
    std::sort(listing.unnamedFolders.begin(), listing.unnamedFolders.end());
    return listing;
}

/// A box's text read as a whole number the way the filter reads it: a number that rounds (halves to
/// even) into [min, max]; anything else is an error, which the filter turns into "no match".
std::int32_t ReadWholeNumber(const QString &text, double min, double max)
{
    const std::optional<double> n = modGeneral::TextToNumber(text);
    Require(n.has_value(), ErrNo::TypeMismatch, QStringLiteral("Type mismatch"));
    const double rounded = modGeneral::RoundHalfEven(*n);
    Require(rounded >= min && rounded <= max, ErrNo::Overflow, QStringLiteral("Overflow"));
    return static_cast<std::int32_t>(rounded);
}

/// The largest size whose kilobyte figure RoundUp can still give.
constexpr std::int64_t MaxRoundUpBytes = static_cast<std::int64_t>(std::numeric_limits<std::int32_t>::max()) * 1024;

/// Size in whole kilobytes, rounded up. RoundUp's 32-bit result covers files up to 2 TiB; a larger
/// (sparse) file still gets its row and its figure instead of stopping the folder's walk.
std::int64_t SizeInKB(std::int64_t bytes)
{
    if (bytes <= MaxRoundUpBytes)
        return frmMain::RoundUp(static_cast<double>(bytes) / 1024.0);
    return (bytes + 1023) / 1024;
}

/// "###,###,##0 KB": groups of three digits joined by the locale's group separator.
QString SizeText(std::int64_t kb)
{
    const QString digits = QString::number(kb);
    const QString separator = QLocale().groupSeparator();
    QString out;
    for (qsizetype i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out += separator;
        out += digits[i];
    }
    return out + QStringLiteral(" KB");
}

/// The first punctuation mark of a locale format outside quoted text; the fallback when the format
/// has none (the C locale writes its dates with spaces and month names).
QString SeparatorOf(const QString &format, QChar fallback)
{
    bool quoted = false;
    for (const QChar c : format) {
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        else if (!quoted && !c.isLetterOrNumber() && !c.isSpace())
            return QString(c);
    }
    return QString(fallback);
}

/// "dd/mm/yyyy hh:mm ampm" with the locale's date and time separators and AM/PM texts, 12-hour clock.
QString DateText(const QDateTime &when)
{
    const QLocale locale;
    const QString dateSep = SeparatorOf(locale.dateFormat(QLocale::ShortFormat), QLatin1Char('/'));
    const QString timeSep = SeparatorOf(locale.timeFormat(QLocale::ShortFormat), QLatin1Char(':'));
    const QDate d = when.date();
    const QTime t = when.time();
    const int hour12 = t.hour() % 12 == 0 ? 12 : t.hour() % 12;
    auto two = [](int n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')); };
    return two(d.day()) + dateSep + two(d.month()) + dateSep + QStringLiteral("%1").arg(d.year(), 4, 10, QLatin1Char('0')) +
           QLatin1Char(' ') + two(hour12) + timeSep + two(t.minute()) + QLatin1Char(' ') +
           (t.hour() < 12 ? locale.amText() : locale.pmText());
}

/// Birth time where the file system keeps one, else the time of the last status change.
QDateTime CreationTime(const QFileInfo &file)
{
    const QDateTime birth = file.birthTime();
    return birth.isValid() ? birth : file.metadataChangeTime();
}

/// A setting entry such as ColumnVisibility's "1" read as a truth value.
bool ReadsAsTrue(const QString &text)
{
    if (const std::optional<double> n = modGeneral::TextToNumber(text))
        return *n != 0;
    return text.trimmed().compare(QLatin1String("True"), Qt::CaseInsensitive) == 0;
}

/// The small icon of a type, drawn once and then shared by every row of that type. Null when no
/// icon can be had; nothing is cached then, so the next file of the type tries again.
QIcon TypeIcon(QHash<QString, QIcon> &cache, const QString &type, const QMimeType &mime, const QStyle *style)
{
    if (const auto it = cache.constFind(type); it != cache.constEnd())
        return *it;
    QIcon icon = QIcon::fromTheme(mime.iconName());
    if (icon.isNull())
        icon = QIcon::fromTheme(mime.genericIconName());
    if (icon.isNull())
        icon = QFileIconProvider().icon(QAbstractFileIconProvider::File);
    if (icon.isNull() && style)
        icon = style->standardIcon(QStyle::SP_FileIcon);
    const QPixmap small = icon.isNull() ? QPixmap() : icon.pixmap(16, 16);
    if (small.isNull())
        return {};
    const QIcon cached(small);
    cache.insert(type, cached);
    return cached;
}

void SetEnabled(bool enabled, std::initializer_list<QWidget *> controls)
{
    for (QWidget *control : controls)
        control->setEnabled(enabled);
}

void FillList(QComboBox *list, const QStringList &entries)
{
    list->clear();
    list->addItems(entries);
    list->setCurrentIndex(0);
}

}  // namespace

// ==== The walk ====================================================================================

void frmMain::MainLoadFiles(QString &folder, bool clearFirst)
{
    auto restoreGrid = [this] {
        grdSearchList->setRedraw(true);
        grdSearchList->setVisible(true);
        delete loading_;
        loading_ = nullptr;
    };
    auto restoreControls = [this] {
        unsetCursor();
        EnableSearchControls(true);
    };
    const QScopedValueRollback searching(searching_, true);
    const bool completed = Guarded("MainLoadFiles", Unit::frmMain, [&] {
        bCancelSearch = false;
        bCancelLoad = false;
        EnableSearchControls(false);
        setCursor(Qt::BusyCursor);
        if (folder == QLatin1String("Desktop"))
            folder = modGetSpecialFolder::GetSpecialfolder(modGetSpecialFolder::CSIDL_DESKTOP);

        ColumnPositionCache &pos = State().ColumnPositions;
        pos.Name = ColumnOf(ColumnKey::Name);
        pos.Selection = ColumnOf(ColumnKey::Selection);
        pos.Location = ColumnOf(ColumnKey::Location);
        pos.Size = ColumnOf(ColumnKey::Size);
        pos.Type = ColumnOf(ColumnKey::Type);
        pos.Created = ColumnOf(ColumnKey::Created);
        pos.Modified = ColumnOf(ColumnKey::Modified);
        pos.Pages = ColumnOf(ColumnKey::Pages);

        delete loading_;
        loading_ = new frmLoading(this);
        loading_->show();
        if (clearFirst)
            grdSearchList->setRows(1);
        QCoreApplication::processEvents();
        grdSearchList->setRedraw(false);
        grdSearchList->setVisible(false);
        visitedFolders_.clear();
        // "//", "." and ".." taken out by the text alone: links are not resolved, so the rows show
        // the folders as the user named them.
        LoadFiles(QDir::cleanPath(folder), clearFirst);
        visitedFolders_.clear();
        restoreGrid();
        if (bCancelSearch && !closeAfterSearch_)
            MsgBox(QStringLiteral("Process is terminated."), MsgButtons::OK, MsgIcon::Information, ProgramTitle(), this);
        restoreControls();
    });
    // A failed step must not leave the window locked with a hidden grid and a busy pointer.
    if (!completed) {
        restoreGrid();
        restoreControls();
    }
    // The close comes once the search has returned.
    if (closeAfterSearch_) {
        closeAfterSearch_ = false;
        QTimer::singleShot(0, this, &QWidget::close);
    }
}

void frmMain::EnableSearchControls(bool enabled)
{
    ftvFolder->setEnabled(enabled);
    ctlPaneSearchList->setEnabled(enabled);
    chkSearchSubFolder->setEnabled(enabled);
}

void frmMain::LoadFiles(const QString &folder, bool clearFirst)
{
    Guarded("LoadFiles", Unit::frmMain, [&] {
        if (bCancelSearch)
            return;

        struct stat st {};
        if (::stat(QFile::encodeName(folder).constData(), &st) != 0)
            throw FolderError(errno, folder);
        // Links may lead into a folder from many places, or in a ring: each folder is walked once,
        // under the path by which the walk first met it.
        if (!visitedFolders_.insert({st.st_dev, st.st_ino}).second)
            return;

        // Once per folder as well as per file, so that a tree of folders without a matching file
        // still lets a cancel click, a repaint or a close through.
        QCoreApplication::processEvents();
        if (bCancelSearch)
            return;

        QStringList patterns;
        const int selected = cboFilterPattern->currentIndex();
        if (selected >= 0 && selected < static_cast<int>(State().FilterPatterns.size()))
            GenerateFilterPatternArray(State().FilterPatterns[static_cast<std::size_t>(selected)], patterns);

        if (clearFirst)
            grdSearchList->setRows(1);

        const FolderListing listing = ListFolder(folder);
        const QString prefix = ValidateDir(folder);
        for (const std::string &raw : listing.files) {
            if (bCancelSearch)
                return;
            const QString name = QFile::decodeName(QByteArray::fromStdString(raw));
            const QString path = prefix + name;
            QFileInfo record;
            if (IsFileMatchWithFilterPattern(name, patterns) && IsFileMatchWithAdvOptions(QFileInfo(path)) &&
                GetFileFindData(path, record)) {
                AddFileItem(folder, record);
                if (loading_)
                    loading_->UpdateStatus(grdSearchList->Rows() - 1);
            }
            QCoreApplication::processEvents();
        }

        if (chkSearchSubFolder->isChecked()) {
            // A folder whose name the program's text cannot hold could only be reached under a
            // look-alike name that is another folder or none: it is left out, and said so once.
            for (const std::string &raw : listing.unnamedFolders) {
                const AppError skipped(ErrNo::PathFileAccessError, QStringLiteral("Path/File access error: ") + prefix +
                                                                       EscapedName(raw) +
                                                                       QStringLiteral(" (name is not valid UTF-8)"));
                LogError(FormatErrorLine(skipped.number(), skipped.description(), "LoadFiles", skipped.line(),
                                         Unit::frmMain));
            }
            for (const std::string &raw : listing.folders)
                LoadFiles(prefix + QFile::decodeName(QByteArray::fromStdString(raw)), false);
        }
    });
}

void frmMain::GenerateFilterPatternArray(const QString &entry, QStringList &patterns)
{
    Guarded("GenerateFilterPatternArray", Unit::frmMain, [&] {
        // "*.*" names every file, also one without a dot, as file patterns have always read it.
        if (entry.trimmed() == QLatin1String("*.*"))
            patterns = QStringList{QStringLiteral("*")};
        else if (entry.contains(QLatin1Char(';')))
            patterns = entry.split(QLatin1Char(';'));
        else if (entry.contains(QLatin1Char(',')))
            patterns = entry.split(QLatin1Char(','));
        else
            patterns = QStringList{entry};
    });
}

bool frmMain::IsFileMatchWithFilterPattern(const QString &name, const QStringList &patterns)
{
    bool result = false;
    Guarded("IsFileMatchWithFilterPattern", Unit::frmMain, [&] {
        result = std::any_of(patterns.begin(), patterns.end(),
                             [&](const QString &pattern) { return WildcardMatch(name, pattern); });
    });
    return result;
}

bool frmMain::IsFileMatchWithAdvOptions(const QFileInfo &file)
{
    if (!ChkUseAdvOpt->isChecked())
        return true;
    const bool byDate = chkSearchByDate->isChecked();
    const bool bySize = chkSearchBySize->isChecked();
    if (!byDate && !bySize)
        return true;
    // Any failure (a box that holds no number, a number out of range, a file that is gone) means
    // "no match", silently: the user sees the effect in the list.
    try {
        Require(file.exists(), ErrNo::FileNotFound, QStringLiteral("File not found"));
        const QDate today = QDate::currentDate();
        if (byDate) {
            QDate from, to;
            if (optInPeriod->isChecked()) {
                const std::int32_t n = ReadWholeNumber(txtInPeriod->text(), std::numeric_limits<std::int16_t>::min(),
                                                       std::numeric_limits<std::int16_t>::max());
                to = today;
                if (n > 0) {
                    Require(!arrPeriodUnit.isEmpty(), ErrNo::SubscriptOutOfRange, QStringLiteral("Subscript out of range"));
                    from = cboDateInPeriod->currentText() == arrPeriodUnit.at(0) ? today.addDays(-n) : today.addMonths(-n);
                } else {
                    from = today;
                }
            } else {
                from = dtpDateFrom->date();
                to = dtpDateTo->date();
            }
            const QString kind = cboDateRangeType->currentText();
            std::optional<QDate> day;
            if (arrDateRangeType.size() == 3 && !kind.isEmpty()) {
                if (kind == arrDateRangeType.at(0))
                    day = CreationTime(file).date();
                else if (kind == arrDateRangeType.at(1))
                    day = file.lastModified().date();
                else if (kind == arrDateRangeType.at(2))
                    day = file.lastRead().date();
            }
            if (day && (*day < from || *day > to))
                return false;
        }
        if (bySize) {
            const std::int64_t kb = SizeInKB(file.size());
            constexpr double lo = std::numeric_limits<std::int32_t>::min();
            constexpr double hi = std::numeric_limits<std::int32_t>::max();
            if (optSizeAt->isChecked()) {
                const std::int32_t v = ReadWholeNumber(txtSizeLeastMost->text(), lo, hi);
                Require(!arrLeastMost.isEmpty(), ErrNo::SubscriptOutOfRange, QStringLiteral("Subscript out of range"));
                if (cboLeastMost->currentText() == arrLeastMost.at(0) ? kb < v : kb > v)
                    return false;
            } else {
                const std::int32_t a = ReadWholeNumber(txtSizeFrom->text(), lo, hi);
                const std::int32_t b = ReadWholeNumber(txtSizeTo->text(), lo, hi);
                if (kb < a || kb > b)
                    return false;
            }
        }
        return true;
    } catch (...) {
        return false;
    }
}

bool frmMain::GetFileFindData(const QString &fullPath, QFileInfo &record)
{
    // A fresh lookup: the file may have gone, or stopped being a regular file, since the listing.
    QFileInfo found(fullPath);
    if (!found.isFile())
        return false;
    record = found;
    return true;
}

void frmMain::AddFileItem(const QString &folder, const QFileInfo &record)
{
    if (bCancelSearch || bCancelLoad)
        return;
    const QString name = modMasterLayout::TrimNull(record.fileName());
    if (name == QLatin1String(".") || name == QLatin1String("..") || name.isEmpty())
        return;
    const QString path = ValidateDir(folder) + name;
    ProgramState &st = State();
    Require(st.objSettings != nullptr, ErrNo::ObjectNotSet, QStringLiteral("Object variable or With block variable not set"));

    // By name only: a type name must not cost a read of the file.
    const QMimeType mime = QMimeDatabase().mimeTypeForFile(name, QMimeDatabase::MatchExtension);
    const QString type = modMasterLayout::TrimNull(mime.comment()).toLower();

    grdSearchList->setRows(grdSearchList->Rows() + 1);
    const int r = grdSearchList->Rows() - 1;
    st.ColumnVisible = modGeneral::SplitList(st.objSettings->ColumnVisibility());
    const ColumnPositionCache &pos = st.ColumnPositions;

    grdSearchList->setTextMatrix(r, pos.Name, name);
    const QIcon icon = TypeIcon(imlFile, type, mime, style());
    if (!icon.isNull())
        grdSearchList->setCell(flexcpPicture, r, pos.Name, QVariant::fromValue(icon));
    grdSearchList->setTextMatrix(r, pos.Location, folder);
    grdSearchList->setTextMatrix(r, pos.Size, SizeText(SizeInKB(record.size())));
    grdSearchList->setTextMatrix(r, pos.Type, type);
    grdSearchList->setTextMatrix(r, pos.Created, DateText(CreationTime(record)));
    grdSearchList->setTextMatrix(r, pos.Modified, DateText(record.lastModified()));

    // An entry missing from a shortened visibility setting counts as hidden, not as an error that
    // would end the folder's walk.
    if (pos.Pages < 0 || pos.Pages >= st.ColumnVisible.size() || !ReadsAsTrue(st.ColumnVisible.at(pos.Pages)))
        return;
    const QString ext = GetExtension(path).toUpper();
    if (ext == QLatin1String("PDF")) {
        Require(st.PdfCounter != nullptr, ErrNo::ObjectNotSet, QStringLiteral("Object variable or With block variable not set"));
        st.PdfCounter->SetOwnerPassword(st.objSettings->PrefeOwnerPassword());
        st.PdfCounter->SetUserPassword(st.objSettings->PrefeUserPassword());
        const std::int32_t c = st.PdfCounter->PageCount(path);
        grdSearchList->setTextMatrix(r, pos.Pages, c <= 0 ? QStringLiteral("Secured or Corrupted") : QString::number(c));
    } else if (ext == QLatin1String("TIF") || ext == QLatin1String("TIFF")) {
        Require(st.TiffCounter != nullptr, ErrNo::ObjectNotSet, QStringLiteral("Object variable or With block variable not set"));
        const std::int32_t c = st.TiffCounter->PageCount(path);
        grdSearchList->setTextMatrix(r, pos.Pages, c < 0 ? QStringLiteral("Secured or Corrupted") : QString::number(c));
    }
}

std::int32_t frmMain::RoundUp(double x)
{
    const double n = modGeneral::RoundHalfEven(x);
    const double result = x <= n ? n : n + 1;
    if (!(result >= std::numeric_limits<std::int32_t>::min() && result <= std::numeric_limits<std::int32_t>::max()))
        throw AppError(ErrNo::Overflow, QStringLiteral("Overflow"));
    return static_cast<std::int32_t>(result);
}

QString frmMain::GetExtension(const QString &path)
{
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : path.mid(dot + 1);
}

// ==== Options and search start =====================================================================

void frmMain::FillComboBoxes()
{
    Guarded("FillComboBoxes", Unit::frmMain, [&] {
        arrDateRangeType = {QStringLiteral("Files Created"), QStringLiteral("Files Modified"),
                            QStringLiteral("Files Last Accessed")};
        arrPeriodUnit = {QStringLiteral("Day(s)"), QStringLiteral("Month(s)")};
        arrLeastMost = {QStringLiteral("Least"), QStringLiteral("Most")};

        {
            const QSignalBlocker quiet(cboFilterPattern);
            cboFilterPattern->clear();
            for (const QString &pattern : State().FilterPatterns)
                cboFilterPattern->addItem(pattern);
            cboFilterPattern->setCurrentIndex(-1);
        }
        // The program's selection of the entry is the list's click, which searches the tree's folder
        // once it holds one.
        cboFilterPattern->setCurrentIndex(0);

        FillList(cboDateRangeType, arrDateRangeType);
        FillList(cboDateInPeriod, arrPeriodUnit);
        FillList(cboLeastMost, arrLeastMost);
    });
}

void frmMain::chkSearchByDate_Click()
{
    Guarded("chkSearchByDate_Click", Unit::frmMain, [&] {
        SetEnabled(chkSearchByDate->isChecked(), {fraDate, optInPeriod, optBtnPeriod});
    });
}

void frmMain::chkSearchBySize_Click()
{
    Guarded("chkSearchBySize_Click", Unit::frmMain, [&] {
        SetEnabled(chkSearchBySize->isChecked(), {fraSize, optSizeAt, optSizeBtn});
    });
}

void frmMain::cmdSearch_Click()
{
    Guarded("cmdSearch_Click", Unit::frmMain, [&] {
        if (cmdSearch->text() == SearchCaption) {
            bCancelSearch = false;
            cmdSearch->setText(CancelCaption);
            bCancelSearch = false;
            bCancelLoad = false;
            // The whole search runs here; a click during one of its yields arrives below as a cancel.
            QString folder = ftvFolder->SelectedPath();
            MainLoadFiles(folder, true);
            cmdSearch->setText(SearchCaption);
        } else {
            bCancelSearch = true;
            bCancelLoad = true;
            grdSearchList->setRedraw(true);
            grdSearchList->setVisible(true);
        }
        Require(State().objSettings != nullptr, ErrNo::ObjectNotSet,
                QStringLiteral("Object variable or With block variable not set"));
        grdSearchList->setExplorerBar(State().objSettings->SortbyNumeric() != 0 ? 3 : 1);
        ShowStatus(getSelectedFileinfo());
    });
}

void frmMain::cboFilterPattern_Click()
{
    // While the window loads, the list's entry is selected before the start folder is: the tree
    // holds no folder yet, and the first search is the one that selecting the start folder runs.
    if (ftvFolder->SelectedPath().isEmpty())
        return;
    if (cmdSearch->text() == SearchCaption)
        cmdSearch_Click();
}

void frmMain::ftvFolder_FolderSelected()
{
    if (cmdSearch->text() == SearchCaption)
        cmdSearch_Click();
    // The status text's own failure must not escape into the tree's signal.
    Guarded("ftvFolder_FolderSelected", Unit::frmMain, [&] { ShowStatus(getSelectedFileinfo()); });
}

}  // namespace folvane
