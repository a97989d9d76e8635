#include "search/frmMain.h"

#include "app/ErrorLog.h"
#include "app/GridColumns.h"
#include "app/ProgramState.h"
#include "app/Settings.h"
#include "app/modGeneral.h"
#include "platform/DataGrid.h"
#include "platform/FolderTree.h"
#include "platform/PageCounters.h"
#include "platform/UpDown.h"
#include "search/frmLoading.h"
#include "support/HostilePdfs.h"
#include "support/MainWindowFixture.h"
#include "support/PdfFixtures.h"
#include "support/RenderHazards.h"
#include "support/TestEnv.h"
#include "support/Unprivileged.h"
#include "support/TiffFixtures.h"
#include "support/WithinLimits.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <set>
#include <chrono>
#include <functional>
#include <thread>

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

// Readable failure output for texts and lists of texts.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &text, std::ostream *os) { *os << '"' << text.toStdString() << '"'; }
QT_END_NAMESPACE

using namespace folvane;
using namespace folvane::test;

namespace {

/// Records which files inside one folder are opened while it lives (opens of the folder itself and
/// of subfolders are left out).
class OpenWatch {
public:
    explicit OpenWatch(const QString &folder) : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        EXPECT_GE(inotify_add_watch(fd_, QFile::encodeName(folder).constData(), IN_OPEN), 0);
    }
    ~OpenWatch() { ::close(fd_); }
    OpenWatch(const OpenWatch &) = delete;
    OpenWatch &operator=(const OpenWatch &) = delete;

    /// Names opened since the last call.
    QStringList opened()
    {
        QStringList names;
        alignas(inotify_event) char buf[8192];
        for (ssize_t n; (n = ::read(fd_, buf, sizeof buf)) > 0;) {
            for (char *p = buf; p < buf + n;) {
                const auto *e = reinterpret_cast<const inotify_event *>(p);
                if (e->len > 0 && !(e->mask & IN_ISDIR))
                    names << QFile::decodeName(e->name);
                p += sizeof(inotify_event) + e->len;
            }
        }
        return names;
    }

private:
    int fd_;
};

/// A FIFO that would block whoever opens it for reading. While the object lives, a helper thread
/// opens the writing end whenever a reader is waiting, so such a fault shows as a flag and not as a
/// test that hangs.
class FifoTrap {
public:
    explicit FifoTrap(const QString &path) : path_(QFile::encodeName(path))
    {
        EXPECT_EQ(::mkfifo(path_.constData(), 0644), 0);
        thread_ = std::thread([this] {
            while (!stop_) {
                const int fd = ::open(path_.constData(), O_WRONLY | O_NONBLOCK);
                if (fd >= 0) {
                    readerSeen_ = true;
                    ::close(fd);
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
    }
    ~FifoTrap()
    {
        stop_ = true;
        thread_.join();
    }
    bool readerSeen() const { return readerSeen_; }

private:
    QByteArray path_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> readerSeen_{false};
    std::thread thread_;
};

/// Runs action once, inside one of the search's yields, as soon as the grid holds `rows` data rows.
class WhenRows {
public:
    WhenRows(frmMain &w, int rows, std::function<void()> action)
    {
        timer_.setInterval(0);
        QObject::connect(&timer_, &QTimer::timeout, [this, &w, rows, action = std::move(action)] {
            if (w.grdSearchList->Rows() - 1 < rows)
                return;
            timer_.stop();
            fired_ = true;
            action();
        });
        timer_.start();
    }
    bool fired() const { return fired_; }

private:
    QTimer timer_;
    bool fired_ = false;
};

void SetTimes(const QString &path, const QDateTime &modified, const QDateTime &accessed = {})
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite)) << path.toStdString();
    ASSERT_TRUE(f.setFileTime(modified, QFileDevice::FileModificationTime));
    ASSERT_TRUE(f.setFileTime(accessed.isValid() ? accessed : modified, QFileDevice::FileAccessTime));
}

QStringList Sorted(QStringList list)
{
    list.sort();
    return list;
}

QStringList Reversed(QStringList list)
{
    std::reverse(list.begin(), list.end());
    return list;
}

class SearchTest : public MainWindowFixture {
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        w = std::make_unique<frmMain>();
        PrepareResultGrid(*w);
        // As the load sequence does; the tree holds no folder yet, so the list's selection searches nothing.
        w->FillComboBoxes();
        w->chkSearchByDate_Click();
        w->chkSearchBySize_Click();
        ClearErrorLog();
    }
    void TearDown() override
    {
        w.reset();
        State().FilterPatterns[0] = QStringLiteral("*.pdf");
        QLocale::setDefault(QLocale::system());
        ClearErrorLog();
    }

    /// One search as the search button runs it, of folder.
    QStringList search(const QString &folder, bool subfolders = false)
    {
        w->chkSearchSubFolder->setChecked(subfolders);
        QString f = folder;
        w->MainLoadFiles(f, true);
        return names();
    }
    QStringList names() const
    {
        QStringList out;
        for (int r = 1; r < w->grdSearchList->Rows(); ++r)
            out << at(r, ColumnKey::Name);
        return out;
    }
    QString at(int row, QLatin1StringView key) const { return w->grdSearchList->TextMatrix(row, ColumnOf(key)); }
    void setPagesVisible(bool visible)
    {
        QStringList v(8, QStringLiteral("1"));
        v[ColumnOf(ColumnKey::Pages)] = visible ? QStringLiteral("1") : QStringLiteral("0");
        State().objSettings->setColumnVisibility(v.join(QLatin1Char(',')));
    }
    /// The option lists, the pattern list included, are filled again with `pattern` as the entry.
    void usePattern(const QString &pattern)
    {
        State().FilterPatterns[0] = pattern;
        w->FillComboBoxes();
        ClearErrorLog();
    }

    TempDir tmp;
    ScriptedMsgBox box;
    std::unique_ptr<frmMain> w;
};

// ---- The walk -------------------------------------------------------------------------------------

TEST_F(SearchTest, OwnFilesComeFirstThenEachSubfolderWholeInNameOrder)
{
    tmp.createFile(QStringLiteral("top/z.pdf"));
    tmp.createFile(QStringLiteral("top/b.txt"));
    tmp.createFile(QStringLiteral("top/X.PDF"));
    tmp.createFile(QStringLiteral("top/.hidden.pdf"));
    tmp.createFile(QStringLiteral("top/a.pdf"));
    tmp.createFile(QStringLiteral("top/S/c.pdf"));
    tmp.createFile(QStringLiteral("top/S/T/d.pdf"));
    tmp.createFile(QStringLiteral("top/S/e.pdf"));
    tmp.createFile(QStringLiteral("top/R/r.pdf"));
    const QString top = tmp.filePath(QStringLiteral("top"));

    EXPECT_EQ(search(top, true), (QStringList{".hidden.pdf", "X.PDF", "a.pdf", "z.pdf", "r.pdf", "c.pdf", "e.pdf", "d.pdf"}));
    EXPECT_EQ(at(1, ColumnKey::Location), top);
    EXPECT_EQ(at(5, ColumnKey::Location), top + QStringLiteral("/R"));
    EXPECT_EQ(at(8, ColumnKey::Location), top + QStringLiteral("/S/T"));

    EXPECT_EQ(search(top, false), (QStringList{".hidden.pdf", "X.PDF", "a.pdf", "z.pdf"}));

    EXPECT_TRUE(ErrorLogLines().isEmpty()) << ErrorLogLines().join(QLatin1Char('\n')).toStdString();
}

TEST_F(SearchTest, LocationIsTheStartFolderCleanedByItsText)
{
    tmp.createFile(QStringLiteral("t/a.pdf"));
    tmp.createFile(QStringLiteral("t/S/s.pdf"));
    tmp.createFile(QStringLiteral("t/S/T/deep.pdf"));
    // ".." after a link steps back over the link's name, not out of the folder it points to.
    ASSERT_EQ(::symlink("S/T", QFile::encodeName(tmp.filePath(QStringLiteral("t/L"))).constData()), 0);
    const QString t = tmp.filePath(QStringLiteral("t"));
    setPagesVisible(false);
    struct Case {
        QString start;
        QStringList names;
        QStringList locations;
    };
    // L and S/T are one folder, listed once under the name the walk meets first (L sorts first).
    const QStringList whole{"a.pdf", "deep.pdf", "s.pdf"};
    const QStringList wholeAt{t, t + "/L", t + "/S"};
    const Case cases[] = {
        {t, whole, wholeAt},
        {t + "//", whole, wholeAt},
        {t + "/S/..", whole, wholeAt},
        {t + "/L/..", whole, wholeAt},
        {t + "/./S//./", {"s.pdf", "deep.pdf"}, {t + "/S", t + "/S/T"}},
        {t + "/L/../S/T/", {"deep.pdf"}, {t + "/S/T"}},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(search(c.start, true), c.names) << c.start.toStdString();
        QStringList locations;
        for (int r = 1; r < w->grdSearchList->Rows(); ++r)
            locations << at(r, ColumnKey::Location);
        EXPECT_EQ(locations, c.locations) << c.start.toStdString();
    }
    EXPECT_TRUE(ErrorLogLines().isEmpty()) << ErrorLogLines().join(QLatin1Char('\n')).toStdString();
}

TEST_F(SearchTest, PatternEntriesSplitAndMatchWithoutRegardToCase)
{
    tmp.createFile(QStringLiteral("a.PDF"));
    tmp.createFile(QStringLiteral("b.tif"));
    tmp.createFile(QStringLiteral("c.txt"));
    tmp.createFile(QStringLiteral("README"));
    struct Case {
        const char *entry;
        QStringList patterns;
        QStringList listed;
    };
    const Case cases[] = {
        {"*.pdf", {"*.pdf"}, {"a.PDF"}},
        {"*.PDF;*.TIF", {"*.PDF", "*.TIF"}, {"a.PDF", "b.tif"}},
        {"*.pdf,*.txt", {"*.pdf", "*.txt"}, {"a.PDF", "c.txt"}},
        {"*.pdf,*.txt;*.tif", {"*.pdf,*.txt", "*.tif"}, {"b.tif"}},  // ";" wins over ","
        {"*.pdf; *.txt", {"*.pdf", " *.txt"}, {"a.PDF"}},            // pieces are not trimmed
        {";?.txt;", {"", "?.txt", ""}, {"c.txt"}},
        {"", {""}, {}},
        {" *.* ", {"*"}, {"README", "a.PDF", "b.tif", "c.txt"}},
    };
    for (const Case &c : cases) {
        QStringList patterns{QStringLiteral("stale")};
        w->GenerateFilterPatternArray(QString::fromLatin1(c.entry), patterns);
        EXPECT_EQ(patterns, c.patterns) << c.entry;
        usePattern(QString::fromLatin1(c.entry));
        EXPECT_EQ(search(tmp.path()), c.listed) << c.entry;
    }
    EXPECT_FALSE(w->IsFileMatchWithFilterPattern(QStringLiteral("a.pdf"), {}));
}

TEST_F(SearchTest, RoundUpAndGetExtension)
{
    const std::pair<double, std::int32_t> rounds[] = {{0, 0},   {0.001, 1}, {1, 1},   {2.5, 3},
                                                      {1.5, 2}, {-0.5, 0},  {-1.2, -1}, {2147483647.0, 2147483647}};
    for (const auto &[x, n] : rounds)
        EXPECT_EQ(frmMain::RoundUp(x), n) << x;
    EXPECT_THROW(frmMain::RoundUp(2147483647.5), AppError);

    EXPECT_EQ(frmMain::GetExtension(QStringLiteral("/docs/a.pdf")), QStringLiteral("pdf"));
    EXPECT_EQ(frmMain::GetExtension(QStringLiteral("/docs/a.tar.gz")), QStringLiteral("gz"));
    EXPECT_EQ(frmMain::GetExtension(QStringLiteral("/docs/README")), QString());
    EXPECT_EQ(frmMain::GetExtension(QStringLiteral("/docs/x.")), QString());
}

// ---- The row --------------------------------------------------------------------------------------

TEST_F(SearchTest, RowTextsSizeTypeDatesAndIcon)
{
    usePattern(QStringLiteral("*.pdf;*.txt"));
    struct SizeCase {
        const char *name;
        qint64 bytes;
        const char *text;
    };
    const SizeCase sizes[] = {
        {"s0.pdf", 0, "0 KB"},       {"s1.pdf", 1, "1 KB"},          {"s2.pdf", 1024, "1 KB"},
        {"s3.pdf", 1025, "2 KB"},    {"s4.pdf", 1536000, "1,500 KB"}, {"s5.pdf", 1073741824, "1,048,576 KB"},
    };
    for (const SizeCase &c : sizes) {
        QFile f(tmp.createFile(QString::fromLatin1(c.name)));
        ASSERT_TRUE(f.resize(c.bytes));
    }
    const QString txt = tmp.createFile(QStringLiteral("t.txt"), "x");
    SetTimes(txt, QDateTime(QDate(2021, 3, 4), QTime(13, 5, 59)));
    const QString pdf = tmp.filePath(QStringLiteral("s0.pdf"));
    SetTimes(pdf, QDateTime(QDate(2020, 12, 31), QTime(0, 30)));

    setPagesVisible(false);
    ASSERT_EQ(search(tmp.path()), (QStringList{"s0.pdf", "s1.pdf", "s2.pdf", "s3.pdf", "s4.pdf", "s5.pdf", "t.txt"}));
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(at(i + 1, ColumnKey::Size), QString::fromLatin1(sizes[i].text)) << sizes[i].name;

    EXPECT_EQ(at(1, ColumnKey::Type), QStringLiteral("pdf document"));
    EXPECT_EQ(at(7, ColumnKey::Type), QStringLiteral("plain text document"));
    EXPECT_EQ(at(1, ColumnKey::Modified), QStringLiteral("31/12/2020 12:30 AM"));
    EXPECT_EQ(at(7, ColumnKey::Modified), QStringLiteral("04/03/2021 01:05 PM"));
    QFileInfo info(txt);
    const QDateTime created = info.birthTime().isValid() ? info.birthTime() : info.metadataChangeTime();
    EXPECT_EQ(at(7, ColumnKey::Created), created.toString(QStringLiteral("dd/MM/yyyy hh:mm AP")));

    // A new row is unchecked; every row of a type shows the one cached icon.
    const int nameCol = ColumnOf(ColumnKey::Name);
    const int selCol = ColumnOf(ColumnKey::Selection);
    EXPECT_EQ(w->grdSearchList->Cell(flexcpChecked, 1, selCol).toInt(), GridCheck::Unset);
    const QIcon first = w->grdSearchList->Cell(flexcpPicture, 1, nameCol).value<QIcon>();
    ASSERT_FALSE(first.isNull());
    EXPECT_EQ(w->grdSearchList->Cell(flexcpPicture, 6, nameCol).value<QIcon>().cacheKey(), first.cacheKey());
    EXPECT_NE(w->grdSearchList->Cell(flexcpPicture, 7, nameCol).value<QIcon>().cacheKey(), first.cacheKey());
    EXPECT_EQ(Sorted(w->imlFile.keys()), (QStringList{"pdf document", "plain text document"}));

    // The separators and AM/PM texts are the locale's.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    search(tmp.path());
    EXPECT_EQ(at(5, ColumnKey::Size), QStringLiteral("1.500 KB"));
    EXPECT_EQ(at(7, ColumnKey::Modified), QStringLiteral("04.03.2021 01:05 ") + QLocale().pmText());
}

TEST_F(SearchTest, DatesSortByTheTimeItselfInEveryLocale)
{
    // Named so that neither the walk's name order nor an order of the texts is the order in time.
    struct File {
        const char *name;
        QDateTime modified;
    };
    const QDate day(2024, 3, 5);
    const File files[] = {
        {"k.pdf", QDateTime(day, QTime(12, 30))},           {"b.pdf", QDateTime(day, QTime(0, 0))},
        {"h.pdf", QDateTime(day.addDays(1), QTime(0, 1))},  {"e.pdf", QDateTime(day, QTime(11, 59))},
        {"a.pdf", QDateTime(day, QTime(23, 59))},           {"j.pdf", QDateTime(day, QTime(12, 0))},
        {"c.pdf", QDateTime(day, QTime(0, 30))},            {"g.pdf", QDateTime(day.addDays(-1), QTime(23, 59))},
        {"d.pdf", QDateTime(day, QTime(13, 0))},            {"f.pdf", QDateTime(day, QTime(1, 0))},
    };
    QStringList inTime;
    {
        std::vector<File> ordered(std::begin(files), std::end(files));
        std::sort(ordered.begin(), ordered.end(), [](const File &x, const File &y) { return x.modified < y.modified; });
        for (const File &f : ordered)
            inTime << QString::fromLatin1(f.name);
    }
    for (const File &f : files)
        SetTimes(tmp.createFile(QString::fromLatin1(f.name)), f.modified);

    // From ms_MY on, the words for AM and PM begin with the same letter.
    for (const char *name : {"C", "en_US", "de_DE", "zh_CN", "ms_MY", "lv_LV", "bs_BA", "lt_LT", "sr_BA", "sr_ME"}) {
        const QLocale locale(QString::fromLatin1(name));
        SCOPED_TRACE(std::string(name) + ": " + locale.amText().toStdString() + " / " + locale.pmText().toStdString());
        QLocale::setDefault(locale);
        search(tmp.path());
        const int modified = ColumnOf(ColumnKey::Modified);
        for (const auto &[order, expected] :
             {std::pair{GridSort::GenericAscending, inTime}, std::pair{GridSort::GenericDescending, Reversed(inTime)}}) {
            w->grdSearchList->Sort(modified, order);
            QStringList shown;
            for (int r = 1; r < w->grdSearchList->Rows(); ++r)
                shown << at(r, ColumnKey::Name) + QLatin1Char(' ') + at(r, ColumnKey::Modified);
            EXPECT_EQ(names(), expected) << shown.join(QLatin1Char('\n')).toStdString();
        }
    }
}

TEST_F(SearchTest, PageCountsAndDamagedFiles)
{
    usePattern(QStringLiteral("*.pdf;*.tif;*.tiff;*.txt"));
    MakePdf(tmp.filePath(QStringLiteral("a3.pdf")), 3);
    MakePdf(tmp.filePath(QStringLiteral("B1.PDF")), 1);
    tmp.createFile(QStringLiteral("c_damaged.pdf"), "%PDF-1.4 this is not a pdf");
    tmp.createFile(QStringLiteral("d_empty.pdf"));
    PdfSpec locked;
    locked.pages = 2;
    locked.userPassword = QStringLiteral("secret");
    locked.ownerPassword = QStringLiteral("owner secret");
    MakePdf(tmp.filePath(QStringLiteral("e_locked.pdf")), locked);
    MakeTiff(tmp.filePath(QStringLiteral("f0.tif")), 0);
    MakeTiff(tmp.filePath(QStringLiteral("g2.tiff")), 2);
    tmp.createFile(QStringLiteral("h_damaged.tif"), "II*\0garbage");
    tmp.createFile(QStringLiteral("i.txt"), "text");

    setPagesVisible(true);
    ASSERT_EQ(search(tmp.path()).size(), 9);
    const QStringList expected{"1", "3", "Secured or Corrupted", "Secured or Corrupted", "Secured or Corrupted",
                               "0", "2", "Secured or Corrupted", ""};
    for (int r = 1; r <= 9; ++r)
        EXPECT_EQ(at(r, ColumnKey::Pages), expected[r - 1]) << at(r, ColumnKey::Name).toStdString();

    // The preference passwords go to the counter before each count.
    State().objSettings->setPrefeUserPassword(QStringLiteral("secret"));
    search(tmp.path());
    EXPECT_EQ(at(5, ColumnKey::Name), QStringLiteral("e_locked.pdf"));
    EXPECT_EQ(at(5, ColumnKey::Pages), QStringLiteral("2"));
    EXPECT_EQ(State().PdfCounter->UserPassword(), QStringLiteral("secret"));
}

// Files made to hurt the page counter, beside sound ones: the search lists every one, the sound ones
// with their counts, the rest as damaged, and all of it within ten seconds and a gigabyte.
TEST_F(SearchTest, FilesMadeToHurtReadAsDamagedBesideSoundOnes)
{
    if (RanWithinLimits())
        return;
    MakePdf(tmp.filePath(QStringLiteral("a3.pdf")), 3);
    ASSERT_FALSE(DeepPageTreePdf(tmp.filePath(QStringLiteral("b_deep.pdf")), 50000, 0).isEmpty());
    ASSERT_FALSE(ObjectStreamBombPdf(tmp.filePath(QStringLiteral("c_bomb.pdf")), 4LL << 30).isEmpty());
    ASSERT_FALSE(XrefStreamBombPdf(tmp.filePath(QStringLiteral("d_xref.pdf")), 100LL << 20).isEmpty());
    ASSERT_FALSE(MakeHugeEmptyPdf(tmp.filePath(QStringLiteral("e_huge.pdf"))).isEmpty());
    ASSERT_FALSE(LyingCountPdf(tmp.filePath(QStringLiteral("f_lying.pdf")), 400).isEmpty());
    MakePdf(tmp.filePath(QStringLiteral("g2.pdf")), 2);

    setPagesVisible(true);
    const QStringList expected{"3", "Secured or Corrupted", "Secured or Corrupted", "Secured or Corrupted",
                               "Secured or Corrupted", "1", "2"};
    ASSERT_EQ(search(tmp.path()).size(), expected.size());
    for (int r = 1; r <= expected.size(); ++r)
        EXPECT_EQ(at(r, ColumnKey::Pages), expected[r - 1]) << at(r, ColumnKey::Name).toStdString();
    EXPECT_TRUE(ErrorLogLines().isEmpty()) << ErrorLogLines().join('\n').toStdString();
}

TEST_F(SearchTest, HiddenPagesColumnReadsNoFile)
{
    usePattern(QStringLiteral("*.pdf;*.tif"));
    MakePdf(tmp.filePath(QStringLiteral("a.pdf")), 2);
    MakeTiff(tmp.filePath(QStringLiteral("b.tif")), 1);
    State().PdfCounter->SetOwnerPassword(QStringLiteral("untouched"));
    State().objSettings->setPrefeOwnerPassword(QStringLiteral("owner"));
    OpenWatch watch(tmp.path());

    setPagesVisible(false);
    ASSERT_EQ(search(tmp.path()), (QStringList{"a.pdf", "b.tif"}));
    EXPECT_EQ(at(1, ColumnKey::Pages), QString());
    EXPECT_EQ(at(2, ColumnKey::Pages), QString());
    EXPECT_EQ(watch.opened(), QStringList());
    EXPECT_EQ(State().PdfCounter->OwnerPassword(), QStringLiteral("untouched"));

    // The same search with the column shown does read them: the watch sees opens.
    setPagesVisible(true);
    search(tmp.path());
    EXPECT_EQ(at(1, ColumnKey::Pages), QStringLiteral("2"));
    EXPECT_EQ(at(2, ColumnKey::Pages), QStringLiteral("1"));
    EXPECT_TRUE(watch.opened().contains(QStringLiteral("a.pdf")));
    EXPECT_EQ(State().PdfCounter->OwnerPassword(), QStringLiteral("owner"));
}

TEST_F(SearchTest, HugeSparseFileGetsItsRow)
{
    const qint64 bytes = 2147483648LL * 1024 + 1;  // one byte past what a 32-bit KB figure holds
    QFile f(tmp.createFile(QStringLiteral("huge.pdf")));
    if (!f.resize(bytes))
        GTEST_SKIP() << "the file system does not allow a sparse file of 2 TiB";
    tmp.createFile(QStringLiteral("small.pdf"));
    setPagesVisible(false);
    EXPECT_EQ(search(tmp.path()), (QStringList{"huge.pdf", "small.pdf"}));
    EXPECT_EQ(at(1, ColumnKey::Size), QStringLiteral("2,147,483,649 KB"));

    w->ChkUseAdvOpt->setChecked(true);
    w->chkSearchBySize->setChecked(true);
    w->optSizeAt->setChecked(true);
    w->cboLeastMost->setCurrentIndex(0);
    w->txtSizeLeastMost->setText(QStringLiteral("100"));
    EXPECT_EQ(search(tmp.path()), QStringList{"huge.pdf"});
}

// ---- The advanced filter --------------------------------------------------------------------------

struct FilterCase {
    const char *what;
    std::function<void(frmMain &)> set;
    QStringList expect;
};

void RunFilterCases(frmMain &w, const std::vector<FilterCase> &cases, const std::function<QStringList()> &run)
{
    for (const FilterCase &c : cases) {
        w.ChkUseAdvOpt->setChecked(true);
        w.chkSearchByDate->setChecked(false);
        w.chkSearchBySize->setChecked(false);
        c.set(w);
        EXPECT_EQ(Sorted(run()), Sorted(c.expect)) << c.what;
    }
}

TEST_F(SearchTest, SizeFilterAtItsBounds)
{
    const std::pair<const char *, qint64> files[] = {
        {"s0.pdf", 0},          {"s1.pdf", 1},          {"s10.pdf", 10 * 1024},         {"s10b.pdf", 9 * 1024 + 1},
        {"s99.pdf", 99 * 1024}, {"s100.pdf", 100 * 1024}, {"s101.pdf", 100 * 1024 + 1},
    };
    for (const auto &[name, bytes] : files) {
        QFile f(tmp.createFile(QString::fromLatin1(name)));
        ASSERT_TRUE(f.resize(bytes));
    }
    setPagesVisible(false);
    const QStringList all{"s0.pdf", "s1.pdf", "s10.pdf", "s10b.pdf", "s99.pdf", "s100.pdf", "s101.pdf"};
    auto at = [](const char *leastMost, const char *v) {
        return [=](frmMain &w) {
            w.chkSearchBySize->setChecked(true);
            w.optSizeAt->setChecked(true);
            w.cboLeastMost->setCurrentText(QString::fromLatin1(leastMost));
            w.txtSizeLeastMost->setText(QString::fromLatin1(v));
        };
    };
    auto between = [](const char *a, const char *b) {
        return [=](frmMain &w) {
            w.chkSearchBySize->setChecked(true);
            w.optSizeBtn->setChecked(true);
            w.txtSizeFrom->setText(QString::fromLatin1(a));
            w.txtSizeTo->setText(QString::fromLatin1(b));
        };
    };
    const std::vector<FilterCase> cases = {
        {"advanced options off",
         [&](frmMain &w) {
             at("Least", "100")(w);
             w.ChkUseAdvOpt->setChecked(false);
         },
         all},
        {"neither date nor size", [](frmMain &) {}, all},
        {"at least 100", at("Least", "100"), {"s100.pdf", "s101.pdf"}},
        {"at most 100", at("Most", "100"), {"s0.pdf", "s1.pdf", "s10.pdf", "s10b.pdf", "s99.pdf", "s100.pdf"}},
        {"at least 99.5 reads as 100", at("Least", "99.5"), {"s100.pdf", "s101.pdf"}},
        {"between 10 and 10", between("10", "10"), {"s10.pdf", "s10b.pdf"}},
        {"between 0 and 0", between("0", "0"), {"s0.pdf"}},
        {"between 1 and 1", between("1", "1"), {"s1.pdf"}},
        {"between 100 and 10", between("100", "10"), {}},
        {"not a number", at("Least", "abc"), {}},
        {"empty box", at("Most", ""), {}},
        {"above 32 bits", at("Most", "2147483648"), {}},
        {"bound text not a number", between("1", "ten"), {}},
    };
    RunFilterCases(*w, cases, [&] { return search(tmp.path()); });
    EXPECT_TRUE(ErrorLogLines().isEmpty()) << ErrorLogLines().join(QLatin1Char('\n')).toStdString();
}

TEST_F(SearchTest, DateFilterByCalendarDay)
{
    const QDate today = QDate::currentDate();
    struct File {
        const char *name;
        QDateTime modified;
    };
    const File files[] = {
        {"t0.pdf", QDateTime(today, QTime(0, 0, 30))},
        {"t1.pdf", QDateTime(today, QTime(23, 59))},
        {"y.pdf", QDateTime(today.addDays(-1), QTime(12, 0))},
        {"d2.pdf", QDateTime(today.addDays(-2), QTime(12, 0))},
        {"m1.pdf", QDateTime(today.addMonths(-1), QTime(12, 0))},
        {"m1b.pdf", QDateTime(today.addMonths(-1).addDays(-1), QTime(23, 59))},
    };
    for (const File &f : files)
        SetTimes(tmp.createFile(QString::fromLatin1(f.name)), f.modified);
    setPagesVisible(false);  // nothing reads the files, so their access times stay as set

    enum Kind { Created = 0, Modified = 1, Accessed = 2 };
    auto inLast = [](Kind kind, const char *n, int unit) {
        return [=](frmMain &w) {
            w.chkSearchByDate->setChecked(true);
            w.cboDateRangeType->setCurrentIndex(kind);
            w.optInPeriod->setChecked(true);
            w.txtInPeriod->setText(QString::fromLatin1(n));
            w.cboDateInPeriod->setCurrentIndex(unit);
        };
    };
    auto between = [](Kind kind, QDate from, QDate to) {
        return [=](frmMain &w) {
            w.chkSearchByDate->setChecked(true);
            w.cboDateRangeType->setCurrentIndex(kind);
            w.optBtnPeriod->setChecked(true);
            w.dtpDateFrom->setDate(from);
            w.dtpDateTo->setDate(to);
        };
    };
    const QDate y = today.addDays(-1);
    const std::vector<FilterCase> cases = {
        {"last 1 day", inLast(Modified, "1", 0), {"t0.pdf", "t1.pdf", "y.pdf"}},
        {"last 2.5 days reads as 2", inLast(Modified, "2.5", 0), {"t0.pdf", "t1.pdf", "y.pdf", "d2.pdf"}},
        {"last 0 days", inLast(Modified, "0", 0), {"t0.pdf", "t1.pdf"}},
        {"last -3 days", inLast(Modified, "-3", 1), {"t0.pdf", "t1.pdf"}},
        {"last 1 month", inLast(Modified, "1", 1), {"t0.pdf", "t1.pdf", "y.pdf", "d2.pdf", "m1.pdf"}},
        {"period above 16 bits", inLast(Modified, "40000", 0), {}},
        {"period not a number", inLast(Modified, "x", 0), {}},
        {"between yesterday and yesterday", between(Modified, y, y), {"y.pdf"}},
        {"between today and today", between(Modified, today, today), {"t0.pdf", "t1.pdf"}},
        {"between from after to", between(Modified, today, y), {}},
        {"accessed last 1 day", inLast(Accessed, "1", 0), {"t0.pdf", "t1.pdf", "y.pdf"}},
        {"created today", between(Created, today, today),
         {"t0.pdf", "t1.pdf", "y.pdf", "d2.pdf", "m1.pdf", "m1b.pdf"}},
        {"created yesterday", between(Created, y, y), {}},
        {"date and size together",
         [&](frmMain &w) {
             between(Modified, y, today)(w);
             w.chkSearchBySize->setChecked(true);
             w.optSizeAt->setChecked(true);
             w.cboLeastMost->setCurrentIndex(0);
             w.txtSizeLeastMost->setText(QStringLiteral("1"));
         },
         {}},
    };
    RunFilterCases(*w, cases, [&] { return search(tmp.path()); });
}

// ---- Hostile trees --------------------------------------------------------------------------------

/// Device and inode of the file a path names, links followed.
std::pair<dev_t, ino_t> FileId(const QString &path)
{
    struct stat st {};
    EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0) << path.toStdString();
    return {st.st_dev, st.st_ino};
}

/// Device and inode of every PDF below root, links not followed: the files of the tree as it would
/// be without its links.
std::multiset<std::pair<dev_t, ino_t>> PdfsBelow(const QString &root)
{
    std::multiset<std::pair<dev_t, ino_t>> ids;
    for (const auto &e : std::filesystem::recursive_directory_iterator(QFile::encodeName(root).toStdString()))
        if (e.is_regular_file() && !e.is_symlink() && e.path().extension() == ".pdf")
            ids.insert(FileId(QFile::decodeName(QByteArray::fromStdString(e.path().native()))));
    return ids;
}

void Link(const QString &target, const QString &link)
{
    ASSERT_EQ(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(link).constData()), 0)
        << link.toStdString();
}

TEST_F(SearchTest, LinkedFoldersAreWalkedOnceEachWhereverLinksLead)
{
    // Sibling folders that each link to all the others; links up, to itself, into the tree from
    // outside and out of the tree from two places.
    constexpr int Siblings = 7;
    for (int i = 0; i < Siblings; ++i) {
        for (int f = 0; f < 3; ++f)
            tmp.createFile(QStringLiteral("top/S%1/f%1_%2.pdf").arg(i).arg(f));
        for (int j = 0; j < Siblings; ++j)
            if (j != i)
                Link(QStringLiteral("../S%1").arg(j), tmp.filePath(QStringLiteral("top/S%1/to_S%2").arg(i).arg(j)));
    }
    tmp.createFile(QStringLiteral("top/a.pdf"));
    tmp.createFile(QStringLiteral("outside/o.pdf"));
    tmp.createFile(QStringLiteral("outside/deep/d.pdf"));
    Link(QStringLiteral(".."), tmp.filePath(QStringLiteral("top/S0/up")));
    Link(QStringLiteral("."), tmp.filePath(QStringLiteral("top/S1/self")));
    Link(tmp.filePath(QStringLiteral("outside")), tmp.filePath(QStringLiteral("top/S2/out")));
    Link(tmp.filePath(QStringLiteral("outside")), tmp.filePath(QStringLiteral("top/S5/out_again")));
    Link(tmp.filePath(QStringLiteral("top/S3")), tmp.filePath(QStringLiteral("outside/back")));
    setPagesVisible(false);

    std::multiset<std::pair<dev_t, ino_t>> expected = PdfsBelow(tmp.filePath(QStringLiteral("top")));
    const std::multiset<std::pair<dev_t, ino_t>> outside = PdfsBelow(tmp.filePath(QStringLiteral("outside")));
    expected.insert(outside.begin(), outside.end());
    ASSERT_EQ(expected.size(), 24u);

    search(tmp.filePath(QStringLiteral("top")), true);
    std::multiset<std::pair<dev_t, ino_t>> listed;
    for (int r = 1; r < w->grdSearchList->Rows(); ++r)
        listed.insert(FileId(modGeneral::ValidateDir(at(r, ColumnKey::Location)) + at(r, ColumnKey::Name)));
    EXPECT_EQ(listed, expected);
    EXPECT_EQ(at(1, ColumnKey::Name), QStringLiteral("a.pdf"));
    EXPECT_TRUE(ErrorLogLines().isEmpty()) << ErrorLogLines().join(QLatin1Char('\n')).toStdString();

    // A link to a file is a name of its own and gets its row; a link to a folder is walked once.
    Link(QStringLiteral("a.pdf"), tmp.filePath(QStringLiteral("top/link.pdf")));
    search(tmp.filePath(QStringLiteral("top")), true);
    EXPECT_EQ(names().mid(0, 2), (QStringList{"a.pdf", "link.pdf"}));
    EXPECT_EQ(names().size(), 25);
}

TEST_F(SearchTest, FolderNamesThatAreNotUtf8AreLeftOutAndLoggedOnce)
{
    const QByteArray top = QFile::encodeName(tmp.createFolder(QStringLiteral("top")));
    tmp.createFile(QStringLiteral("top/a.pdf"));
    // A Latin-1 name, and a name whose stand-in character U+FFFD is the name of another folder.
    const QByteArray latin1 = top + "/caf\xe9";
    const QByteArray bad = top + "/\xff";
    for (const QByteArray &folder : {latin1, bad}) {
        ASSERT_EQ(::mkdir(folder.constData(), 0755), 0);
        const int fd = ::open((folder + "/hidden.pdf").constData(), O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(fd, 0);
        ::close(fd);
    }
    tmp.createFile(QStringLiteral("top/\uFFFD/twin.pdf"));
    tmp.createFile(QStringLiteral("top/ok/b.pdf"));
    setPagesVisible(false);

    EXPECT_EQ(search(tmp.filePath(QStringLiteral("top")), true), (QStringList{"a.pdf", "b.pdf", "twin.pdf"}));
    QStringList log = ErrorLogLines();
    ASSERT_EQ(log.size(), 2) << log.join(QLatin1Char('\n')).toStdString();
    log.sort();
    const QString prefix = QStringLiteral("Error 75 (Path/File access error: ") + tmp.filePath(QStringLiteral("top/"));
    EXPECT_TRUE(log[0].startsWith(prefix + QStringLiteral("\\xff (name is not valid UTF-8)) in procedure LoadFiles")))
        << log[0].toStdString();
    EXPECT_TRUE(log[1].startsWith(prefix + QStringLiteral("caf\\xe9 (name is not valid UTF-8)) in procedure LoadFiles")))
        << log[1].toStdString();

    // Without subfolders nothing below the top folder is looked at, so nothing is said.
    ClearErrorLog();
    EXPECT_EQ(search(tmp.filePath(QStringLiteral("top")), false), QStringList{"a.pdf"});
    EXPECT_TRUE(ErrorLogLines().isEmpty());
    // The temporary folder's clean-up cannot name them either.
    for (const QByteArray &folder : {latin1, bad}) {
        ::unlink((folder + "/hidden.pdf").constData());
        ::rmdir(folder.constData());
    }
}

TEST_F(SearchTest, HostileNamesAndSpecialFiles)
{
    usePattern(QStringLiteral("*"));
    tmp.createFile(QStringLiteral("a*b.pdf"));
    tmp.createFile(QStringLiteral("q?.pdf"));
    tmp.createFile(QStringLiteral("[x].pdf"));
    tmp.createFile(QStringLiteral("new\nline.pdf"));
    tmp.createFolder(QStringLiteral("dir.pdf"));
    const QByteArray bad = QFile::encodeName(tmp.path()) + "/bad\xff\xfe.pdf";
    const int fd = ::open(bad.constData(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ::close(fd);
    ASSERT_EQ(::symlink("nowhere.pdf", QFile::encodeName(tmp.filePath(QStringLiteral("dangling.pdf"))).constData()), 0);
    OpenWatch watch(tmp.path());
    setPagesVisible(true);  // a FIFO handed to a counter would be opened
    {
        FifoTrap fifo(tmp.filePath(QStringLiteral("x.pdf")));
        EXPECT_EQ(search(tmp.path()), (QStringList{"[x].pdf", "a*b.pdf", "new\nline.pdf", "q?.pdf"}));
        EXPECT_FALSE(fifo.readerSeen());
    }
    EXPECT_FALSE(watch.opened().contains(QStringLiteral("x.pdf")));
    EXPECT_EQ(at(3, ColumnKey::Pages), QStringLiteral("Secured or Corrupted"));  // empty, yet a PDF by name
    EXPECT_TRUE(ErrorLogLines().isEmpty()) << ErrorLogLines().join(QLatin1Char('\n')).toStdString();
    ::unlink(bad.constData());  // the temporary folder's clean-up cannot name it either
}

TEST_F(SearchTest, VanishedFileAndFolderAreSkippedAndTheWalkGoesOn)
{
    tmp.createFile(QStringLiteral("a.pdf"));
    tmp.createFile(QStringLiteral("b.pdf"));
    tmp.createFile(QStringLiteral("c.pdf"));
    tmp.createFile(QStringLiteral("S1/s1.pdf"));
    tmp.createFile(QStringLiteral("S2/s2.pdf"));
    setPagesVisible(false);
    // After the folder was listed and its first row written, one file and one subfolder go.
    WhenRows gone(*w, 1, [&] {
        QFile::remove(tmp.filePath(QStringLiteral("b.pdf")));
        QDir(tmp.filePath(QStringLiteral("S1"))).removeRecursively();
    });
    EXPECT_EQ(search(tmp.path(), true), (QStringList{"a.pdf", "c.pdf", "s2.pdf"}));
    EXPECT_TRUE(gone.fired());
    const QStringList log = ErrorLogLines();
    ASSERT_EQ(log.size(), 1) << log.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(log[0].contains(QStringLiteral("in procedure LoadFiles"))) << log[0].toStdString();
    EXPECT_TRUE(log[0].contains(QStringLiteral("S1"))) << log[0].toStdString();
    EXPECT_TRUE(box.calls().empty());
}

TEST_F(SearchTest, UnreadableFolderIsLoggedAndSkipped)
{
    if (test::RanUnprivileged()) // folder permissions do not stop root
        return;
    tmp.createFile(QStringLiteral("locked/l.pdf"));
    tmp.createFile(QStringLiteral("open/o.pdf"));
    ASSERT_EQ(::chmod(QFile::encodeName(tmp.filePath(QStringLiteral("locked"))).constData(), 0), 0);
    setPagesVisible(false);
    EXPECT_EQ(search(tmp.path(), true), QStringList{"o.pdf"});
    ::chmod(QFile::encodeName(tmp.filePath(QStringLiteral("locked"))).constData(), 0755);
    ASSERT_EQ(ErrorLogLines().size(), 1);
    EXPECT_TRUE(ErrorLogLines()[0].startsWith(QStringLiteral("Error 70 ")));
}

TEST_F(SearchTest, MissingTopFolderGivesAnEmptyListAndOneLogLine)
{
    w->grdSearchList->setRows(4);
    EXPECT_EQ(search(tmp.filePath(QStringLiteral("missing")), true), QStringList());
    const QStringList log = ErrorLogLines();
    ASSERT_EQ(log.size(), 1);
    EXPECT_TRUE(log[0].startsWith(QStringLiteral("Error 76 "))) << log[0].toStdString();
    EXPECT_TRUE(log[0].contains(QStringLiteral("in procedure LoadFiles at Line No."))) << log[0].toStdString();
    EXPECT_TRUE(box.calls().empty());
    EXPECT_TRUE(w->ftvFolder->isEnabled());
}

TEST_F(SearchTest, DesktopMeansTheDesktopFolder)
{
    const QString desktop = tmp.createFolder(QStringLiteral("home/Desktop"));
    tmp.createFile(QStringLiteral("home/Desktop/d.pdf"));
    tmp.createFile(QStringLiteral("home/Desktop/inner/i.pdf"));
    const ScopedEnv home("HOME", tmp.filePath(QStringLiteral("home")));
    const ScopedEnv config("XDG_CONFIG_HOME", tmp.filePath(QStringLiteral("config")));
    setPagesVisible(false);
    QString folder = QStringLiteral("Desktop");
    w->chkSearchSubFolder->setChecked(false);
    w->MainLoadFiles(folder, true);
    EXPECT_EQ(folder, desktop);
    EXPECT_EQ(names(), QStringList{"d.pdf"});
    EXPECT_EQ(at(1, ColumnKey::Location), desktop);
}

// ---- Options and search start ---------------------------------------------------------------------

TEST_F(SearchTest, OptionControlsStartAsTheWindowOpens)
{
    frmMain &m = *w;
    EXPECT_TRUE(m.cboFilterPattern->isHidden());
    EXPECT_TRUE(m.lblFilter->isHidden());
    EXPECT_EQ(m.lblFilter->text(), QStringLiteral("F&ilter"));
    EXPECT_EQ(m.cboFilterPattern->count(), 1);
    EXPECT_EQ(m.cboFilterPattern->currentText(), QStringLiteral("*.pdf"));
    auto entries = [](QComboBox *c) {
        QStringList out;
        for (int i = 0; i < c->count(); ++i)
            out << c->itemText(i);
        return out;
    };
    EXPECT_EQ(entries(m.cboDateRangeType), (QStringList{"Files Created", "Files Modified", "Files Last Accessed"}));
    EXPECT_EQ(entries(m.cboDateInPeriod), (QStringList{"Day(s)", "Month(s)"}));
    EXPECT_EQ(entries(m.cboLeastMost), (QStringList{"Least", "Most"}));
    EXPECT_EQ(m.arrDateRangeType, entries(m.cboDateRangeType));
    EXPECT_EQ(m.arrPeriodUnit, entries(m.cboDateInPeriod));
    EXPECT_EQ(m.arrLeastMost, entries(m.cboLeastMost));
    for (QComboBox *c : {m.cboDateRangeType, m.cboDateInPeriod, m.cboLeastMost}) {
        EXPECT_EQ(c->currentIndex(), 0);
        EXPECT_FALSE(c->isEditable());
    }
    EXPECT_EQ(m.chkSearchSubFolder->text(), QStringLiteral("Include S&ubfolder"));
    EXPECT_EQ(m.ChkUseAdvOpt->text(), QStringLiteral("Use advance search options"));
    EXPECT_EQ(m.chkSearchByDate->text(), QStringLiteral("&Date"));
    EXPECT_EQ(m.chkSearchBySize->text(), QStringLiteral("Si&ze"));
    for (QCheckBox *c : {m.chkSearchSubFolder, m.ChkUseAdvOpt, m.chkSearchByDate, m.chkSearchBySize})
        EXPECT_FALSE(c->isChecked()) << c->text().toStdString();
    EXPECT_TRUE(m.optBtnPeriod->isChecked());
    EXPECT_FALSE(m.optInPeriod->isChecked());
    EXPECT_TRUE(m.optSizeAt->isChecked());
    EXPECT_FALSE(m.optSizeBtn->isChecked());
    EXPECT_EQ(m.dtpDateFrom->date(), QDate::currentDate());
    EXPECT_EQ(m.dtpDateTo->date(), QDate::currentDate());
    for (QWidget *c : std::initializer_list<QWidget *>{m.fraDate, m.optInPeriod, m.optBtnPeriod, m.fraSize, m.optSizeAt,
                                                      m.optSizeBtn})
        EXPECT_FALSE(c->isEnabled());
    for (QLineEdit *box : {m.txtInPeriod, m.txtSizeLeastMost, m.txtSizeFrom, m.txtSizeTo})
        EXPECT_EQ(box->text(), QStringLiteral("999"));
    for (UpDown *u : {m.updInPeriod, m.updSizeLeastMost, m.updSizeFrom, m.updSizeTo})
        EXPECT_EQ(u->maximum(), 9999999);
    EXPECT_EQ(m.cmdSearch->text(), QStringLiteral("&Search"));
}

TEST_F(SearchTest, FilterBoxesEnableTheirOptions)
{
    struct Case {
        QCheckBox *box;
        std::vector<QWidget *> controls;
        std::vector<QWidget *> others;
    };
    const Case cases[] = {
        {w->chkSearchByDate, {w->fraDate, w->optInPeriod, w->optBtnPeriod}, {w->fraSize, w->optSizeAt, w->optSizeBtn}},
        {w->chkSearchBySize, {w->fraSize, w->optSizeAt, w->optSizeBtn}, {w->fraDate, w->optInPeriod, w->optBtnPeriod}},
    };
    for (const Case &c : cases) {
        c.box->click();
        for (QWidget *x : c.controls)
            EXPECT_TRUE(x->isEnabled()) << c.box->text().toStdString();
        for (QWidget *x : c.others)
            EXPECT_FALSE(x->isEnabled()) << c.box->text().toStdString();
        c.box->click();
        for (QWidget *x : c.controls)
            EXPECT_FALSE(x->isEnabled()) << c.box->text().toStdString();
    }
    EXPECT_TRUE(ErrorLogLines().isEmpty());
}

TEST_F(SearchTest, SecondClickCancelsKeepingTheRowsFound)
{
    for (int f = 0; f < 3; ++f)
        for (int i = 0; i < 10; ++i)
            tmp.createFile(QStringLiteral("F%1/f%1_%2.pdf").arg(f).arg(i, 2, 10, QLatin1Char('0')));
    setPagesVisible(false);
    w->chkSearchSubFolder->setChecked(true);
    w->ftvFolder->setSelectedPath(tmp.path());  // searches the whole tree once
    ASSERT_EQ(names().size(), 30);

    struct During {
        QString caption;
        bool treeEnabled, paneEnabled, subfolderEnabled, gridVisible, busyBoxShown;
        Qt::CursorShape cursor;
    } during{};
    WhenRows cancel(*w, 13, [&] {
        during = {w->cmdSearch->text(),
                  w->ftvFolder->isEnabled(),
                  w->ctlPaneSearchList->isEnabled(),
                  w->chkSearchSubFolder->isEnabled(),
                  w->grdSearchList->Visible(),
                  w->findChild<frmLoading *>() && w->findChild<frmLoading *>()->isVisible(),
                  w->cursor().shape()};
        w->cmdSearch->click();
        // The cancel click returns at once, with the grid shown again, while the walk still runs.
        EXPECT_TRUE(w->grdSearchList->Visible());
        EXPECT_TRUE(w->grdSearchList->Redraw());
        EXPECT_EQ(w->cmdSearch->text(), QStringLiteral("&Cancel"));
    });
    w->cmdSearch->click();
    ASSERT_TRUE(cancel.fired());

    EXPECT_EQ(during.caption, QStringLiteral("&Cancel"));
    EXPECT_FALSE(during.treeEnabled);
    EXPECT_FALSE(during.paneEnabled);
    EXPECT_FALSE(during.subfolderEnabled);
    EXPECT_FALSE(during.gridVisible);
    EXPECT_TRUE(during.busyBoxShown);
    EXPECT_EQ(during.cursor, Qt::BusyCursor);

    // The walk stopped before the next file: the rows found stay, in walk order.
    QStringList first13;
    for (int i = 0; i < 13; ++i)
        first13 << QStringLiteral("f%1_%2.pdf").arg(i / 10).arg(i % 10, 2, 10, QLatin1Char('0'));
    EXPECT_EQ(names(), first13);
    EXPECT_EQ(box.texts(), QStringList{"Process is terminated."});
    EXPECT_EQ(box.calls()[0].title, QStringLiteral("Folvane 1.1"));
    EXPECT_EQ(box.calls()[0].icon, MsgIcon::Information);
    EXPECT_EQ(w->cmdSearch->text(), QStringLiteral("&Search"));
    EXPECT_TRUE(w->ftvFolder->isEnabled());
    EXPECT_TRUE(w->ctlPaneSearchList->isEnabled());
    EXPECT_TRUE(w->chkSearchSubFolder->isEnabled());
    EXPECT_TRUE(w->grdSearchList->Visible());
    EXPECT_EQ(w->cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(w->findChild<frmLoading *>(), nullptr);
    EXPECT_TRUE(w->bCancelSearch);
    EXPECT_TRUE(w->bCancelLoad);

    // The next search starts afresh and lists everything again.
    w->cmdSearch->click();
    EXPECT_EQ(names().size(), 30);
    EXPECT_FALSE(w->bCancelSearch);
    EXPECT_EQ(box.calls().size(), 1u);
}

TEST_F(SearchTest, CancelDuringAWalkOfEmptyFoldersEntersNoFurtherFolder)
{
    // Folders without a single file: only the walk's own per-folder yield lets the click through.
    constexpr int Folders = 300;
    const QString top = tmp.createFolder(QStringLiteral("top"));
    const int fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(fd, 0);
    for (int i = 0; i < Folders; ++i) {
        const QString folder = tmp.createFolder(QStringLiteral("top/e%1").arg(i, 3, 10, QLatin1Char('0')));
        ASSERT_GE(inotify_add_watch(fd, QFile::encodeName(folder).constData(), IN_OPEN | IN_ONLYDIR), 0);
    }
    // Watch descriptors of the folders opened (entered) since the last call.
    auto entered = [fd] {
        std::set<int> folders;
        alignas(inotify_event) char buf[8192];
        for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;)
            for (char *p = buf; p < buf + n; p += sizeof(inotify_event) + reinterpret_cast<inotify_event *>(p)->len)
                folders.insert(reinterpret_cast<inotify_event *>(p)->wd);
        return folders;
    };
    w->chkSearchSubFolder->setChecked(true);
    w->ftvFolder->setSelectedPath(top);  // searches the whole tree once
    ASSERT_EQ(entered().size(), std::size_t{Folders});

    std::size_t before = 0;
    QTimer poll;
    poll.setInterval(0);
    std::set<int> seen;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        const std::set<int> now = entered();
        seen.insert(now.begin(), now.end());
        if (seen.size() < 20)
            return;
        poll.stop();
        before = seen.size();
        w->cmdSearch->click();
    });
    poll.start();
    w->cmdSearch->click();

    ASSERT_GE(before, 20u) << "the walk never yielded between folders";
    EXPECT_EQ(entered(), std::set<int>());
    EXPECT_LT(before, std::size_t{Folders});
    EXPECT_EQ(box.texts(), QStringList{"Process is terminated."});
    EXPECT_EQ(w->cmdSearch->text(), QStringLiteral("&Search"));
    EXPECT_TRUE(w->ftvFolder->isEnabled());
    ::close(fd);
}

TEST_F(SearchTest, ImmediateSecondClickCancelsBeforeAnyFile)
{
    tmp.createFile(QStringLiteral("a.pdf"));
    tmp.createFile(QStringLiteral("b.pdf"));
    w->ftvFolder->setSelectedPath(tmp.path());
    ASSERT_EQ(names().size(), 2);
    QTimer::singleShot(0, w->cmdSearch, &QPushButton::click);  // lands in the search's first yield
    w->cmdSearch->click();
    EXPECT_EQ(names(), QStringList());
    EXPECT_EQ(box.texts(), QStringList{"Process is terminated."});
    EXPECT_EQ(w->cmdSearch->text(), QStringLiteral("&Search"));
}

TEST_F(SearchTest, ClosingTheWindowDuringASearchEndsTheSearchThenTheWindow)
{
    for (int i = 0; i < 40; ++i)
        tmp.createFile(QStringLiteral("%1.pdf").arg(i, 2, 10, QLatin1Char('0')));
    // Built as start-up builds it: the window deletes itself once closed.
    QPointer<frmMain> window = new frmMain;
    window->setAttribute(Qt::WA_DeleteOnClose);
    PrepareResultGrid(*window);
    window->FillComboBoxes();
    window->ftvFolder->setSelectedPath(tmp.path());
    ASSERT_EQ(window->grdSearchList->Rows() - 1, 40);

    bool closedDuringSearch = false;
    WhenRows close(*window, 5, [&] { closedDuringSearch = window->close(); });
    window->cmdSearch->click();
    ASSERT_TRUE(close.fired());

    // The walk stopped at its next test, without the cancel message, and the window stayed whole
    // until the search had returned; then it closes.
    ASSERT_FALSE(window.isNull());
    EXPECT_FALSE(closedDuringSearch);
    EXPECT_LT(window->grdSearchList->Rows() - 1, 40);
    EXPECT_TRUE(box.calls().empty());
    for (int i = 0; i < 10 && window; ++i) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    EXPECT_TRUE(window.isNull());
    EXPECT_TRUE(box.calls().empty());
}

TEST_F(SearchTest, PatternClickAndFolderSelectionDuringASearchStartNothing)
{
    for (int i = 0; i < 6; ++i)
        tmp.createFile(QStringLiteral("one/%1.pdf").arg(i));
    tmp.createFile(QStringLiteral("two/other.pdf"));
    setPagesVisible(false);
    w->ftvFolder->setSelectedPath(tmp.filePath(QStringLiteral("one")));
    ASSERT_EQ(names().size(), 6);

    WhenRows meddle(*w, 2, [&] {
        w->cboFilterPattern->setCurrentIndex(-1);
        w->cboFilterPattern->setCurrentIndex(0);  // the list's click
        w->ftvFolder->setSelectedPath(tmp.filePath(QStringLiteral("two")));
    });
    w->ftvFolder->setSelectedPath(tmp.filePath(QStringLiteral("one")));
    ASSERT_TRUE(meddle.fired());
    EXPECT_EQ(names(), (QStringList{"0.pdf", "1.pdf", "2.pdf", "3.pdf", "4.pdf", "5.pdf"}));
    EXPECT_TRUE(box.calls().empty());
    EXPECT_EQ(w->cmdSearch->text(), QStringLiteral("&Search"));
}

TEST_F(SearchTest, IdlePatternClickAndFolderSelectionSearch)
{
    tmp.createFile(QStringLiteral("one/a.pdf"));
    tmp.createFile(QStringLiteral("two/b.pdf"));
    tmp.createFile(QStringLiteral("two/c.pdf"));
    w->ftvFolder->setSelectedPath(tmp.filePath(QStringLiteral("one")));
    EXPECT_EQ(names(), QStringList{"a.pdf"});
    w->ftvFolder->setSelectedPath(tmp.filePath(QStringLiteral("two")));
    EXPECT_EQ(names(), (QStringList{"b.pdf", "c.pdf"}));

    // The list's click searches the tree's folder again, with the grid cleared first.
    tmp.createFile(QStringLiteral("two/d.pdf"));
    w->cboFilterPattern->setCurrentIndex(-1);
    w->cboFilterPattern->setCurrentIndex(0);
    EXPECT_EQ(names(), (QStringList{"b.pdf", "c.pdf", "d.pdf"}));

    // Filling the lists selects the pattern entry, which searches as well.
    tmp.createFile(QStringLiteral("two/e.pdf"));
    w->FillComboBoxes();
    EXPECT_EQ(names(), (QStringList{"b.pdf", "c.pdf", "d.pdf", "e.pdf"}));
    EXPECT_TRUE(box.calls().empty());
}

TEST_F(SearchTest, ExplorerBarFollowsSortbyNumeric)
{
    tmp.createFile(QStringLiteral("a.pdf"));
    w->ftvFolder->setSelectedPath(tmp.path());
    for (const auto &[setting, mode] : std::initializer_list<std::pair<std::int16_t, int>>{{0, 1}, {1, 3}, {-7, 3}}) {
        State().objSettings->setSortbyNumeric(setting);
        w->grdSearchList->setExplorerBar(0);
        w->cmdSearch_Click();
        EXPECT_EQ(w->grdSearchList->ExplorerBar(), mode) << setting;

        // The cancel click sets it too.
        w->grdSearchList->setExplorerBar(0);
        WhenRows cancel(*w, 0, [&] {
            w->cmdSearch_Click();
            EXPECT_EQ(w->grdSearchList->ExplorerBar(), mode) << setting;
        });
        w->cmdSearch_Click();
        EXPECT_TRUE(cancel.fired());
    }
}

TEST_F(SearchTest, ControlsComeBackAfterAFailureInsideTheSearch)
{
    tmp.createFile(QStringLiteral("a.pdf"));
    w->ftvFolder->setSelectedPath(tmp.path());
    ClearErrorLog();
    // The terminated message fails to show: the search's own step raises an error.
    SetMsgBoxAnswerer([](const MsgBoxCall &) -> MsgResult {
        throw AppError(ErrNo::Unknown, QStringLiteral("box failed"));
    });
    WhenRows cancel(*w, 0, [&] { w->cmdSearch->click(); });
    w->cmdSearch->click();
    SetMsgBoxAnswerer([](const MsgBoxCall &) { return MsgResult::OK; });

    ASSERT_TRUE(cancel.fired());
    const QStringList log = ErrorLogLines();
    const QStringList failed = log.filter(QStringLiteral("in procedure MainLoadFiles at Line No."));
    ASSERT_EQ(failed.size(), 1) << log.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(failed[0].startsWith(QStringLiteral("Error 440 (box failed)"))) << failed[0].toStdString();
    EXPECT_EQ(w->cmdSearch->text(), QStringLiteral("&Search"));
    EXPECT_TRUE(w->ftvFolder->isEnabled());
    EXPECT_TRUE(w->ctlPaneSearchList->isEnabled());
    EXPECT_TRUE(w->chkSearchSubFolder->isEnabled());
    EXPECT_TRUE(w->grdSearchList->Visible());
    EXPECT_TRUE(w->grdSearchList->Redraw());
    EXPECT_EQ(w->cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(w->findChild<frmLoading *>(), nullptr);
}

}  // namespace
