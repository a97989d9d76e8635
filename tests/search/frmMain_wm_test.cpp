// The main window as a user meets it on a desktop: real starts of the program under a window
// manager, and the window in this process driven by real clicks and keys (run by run-with-wm).

#include "search/frmMain.h"

#include "app/GridColumns.h"
#include "app/ProgramState.h"
#include "app/Settings.h"
#include "app/modGeneral.h"
#include "app/modMasterLayout.h"
#include "platform/DataGrid.h"
#include "platform/FolderTree.h"
#include "support/MainWindowFixture.h"
#include "support/PdfFixtures.h"
#include "support/RealInput.h"
#include "support/TestEnv.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QDockWidget>
#include <QFileSystemModel>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QProcessEnvironment>
#include <QProxyStyle>
#include <QSet>
#include <QRegularExpression>
#include <QStyleOptionMenuItem>
#include <QTableView>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>

using namespace folvane;
using namespace folvane::test;

namespace {

struct OuterRect {
    std::int32_t left, top, width, height;
    bool operator==(const OuterRect &) const = default;
};

std::ostream &operator<<(std::ostream &os, const OuterRect &r)
{
    return os << r.left << "," << r.top << " " << r.width << "x" << r.height;
}

}  // namespace

QT_BEGIN_NAMESPACE
inline void PrintTo(const QRect &r, std::ostream *os)
{
    *os << r.x() << "," << r.y() << " " << r.width() << "x" << r.height();
}
QT_END_NAMESPACE

namespace {

/// Output of a command, or empty when it failed.
QString Run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(10000) || p.exitCode() != 0)
        return {};
    return QString::fromUtf8(p.readAllStandardOutput());
}

/// A home of its own for the real program: its settings are written before a start and read back
/// after it has closed.
class ProgramHome {
public:
    ProgramHome()
    {
        docs_.createFolder(QStringLiteral("empty"));
        WriteSettings([](Settings &) {});
    }

    QString storage() const { return home_.filePath(QStringLiteral("data/Quorrel Technologies/Folvane 1.1")); }

    /// Default settings, starting in an empty folder, changed by `change`.
    void WriteSettings(const std::function<void(Settings &)> &change)
    {
        WithStorage([&] {
            Settings s;
            if (!s.LoadSettings())
                s.LoadDefaultSettings();
            s.setStartupFolder(docs_.filePath(QStringLiteral("empty")));
            change(s);
        });
    }

    OuterRect StoredRect()
    {
        OuterRect r{};
        WithStorage([&] {
            Settings s;
            EXPECT_TRUE(s.LoadSettings());
            r = {s.LastWindowLeft(), s.LastWindowTop(), s.LastWindowWidth(), s.LastWindowHeight()};
        });
        return r;
    }

    /// Starts the program, waits for its main window, lets `whileOpen` look at it (the X window id
    /// given), and closes it with Ctrl+X as a user would. False when any step failed.
    bool StartAndExit(const std::function<void(const QString &windowId)> &whileOpen = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home_.path());
        env.insert(QStringLiteral("XDG_DATA_HOME"), home_.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home_.filePath(QStringLiteral("config")));
        QProcess program;
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(FOLVANE_EXE), {});
        if (!program.waitForStarted(10000)) {
            ADD_FAILURE() << "the program did not start";
            return false;
        }
        // Polled: a search can fail on a window that goes away under it. The busy box of the first
        // search may carry the same title, so the window is looked up again once it has gone.
        QString id;
        auto findWindow = [&] {
            return WaitUntil(
                [&] {
                    const QStringList found =
                        Run(QStringLiteral("xdotool"),
                            {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                             QString::number(program.processId()), QStringLiteral("--name"),
                             QStringLiteral("^Folvane 1\\.1$")})
                            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
                    id = found.size() == 1 ? found[0] : QString();
                    return !id.isEmpty();
                },
                20000);
        };
        findWindow();
        Settle(700); // the first search of the empty folder, and the window manager's placement
        findWindow();
        if (id.isEmpty()) {
            ADD_FAILURE() << "no main window; the program's output: "
                          << program.readAllStandardError().toStdString();
            program.kill();
            program.waitForFinished();
            return false;
        }
        if (whileOpen)
            whileOpen(id);
        Xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), id});
        Xdotool({QStringLiteral("key"), QStringLiteral("ctrl+x")});
        if (!program.waitForFinished(20000)) {
            ADD_FAILURE() << "Ctrl+X did not close the window";
            program.kill();
            program.waitForFinished();
            return false;
        }
        return program.exitStatus() == QProcess::NormalExit;
    }

private:
    void WithStorage(const std::function<void()> &work)
    {
        const QString savedPath = State().StorageFolderPath;
        State().StorageFolderPath = storage();
        QDir().mkpath(storage());
        work();
        State().StorageFolderPath = savedPath;
    }

    TempDir home_;
    TempDir docs_;
};

/// The frame's corner and outer size of a client window as the X server and the window manager
/// report them, in pixels.
QRect OuterOnScreen(const QString &windowId)
{
    const QString info = Run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), windowId});
    auto number = [&info](const char *label) {
        const QRegularExpressionMatch m =
            QRegularExpression(QString::fromLatin1(label) + QStringLiteral(":\\s+(-?\\d+)")).match(info);
        return m.hasMatch() ? std::optional<int>(m.captured(1).toInt()) : std::nullopt;
    };
    const std::optional<int> x = number("Absolute upper-left X"), y = number("Absolute upper-left Y");
    const std::optional<int> width = number("Width"), height = number("Height");
    const QString extents = Run(QStringLiteral("xprop"), {QStringLiteral("-id"), windowId, QStringLiteral("_NET_FRAME_EXTENTS")});
    const QRegularExpressionMatch frame =
        QRegularExpression(QStringLiteral("= (\\d+), (\\d+), (\\d+), (\\d+)")).match(extents);
    if (!x || !y || !width || !height || !frame.hasMatch())
        return {};
    const int left = frame.captured(1).toInt(), right = frame.captured(2).toInt();
    const int top = frame.captured(3).toInt(), bottom = frame.captured(4).toInt();
    return QRect(*x - left, *y - top, *width + left + right, *height + top + bottom);
}

// ---- the window rectangle across real starts --------------------------------------------------

TEST(frmMainWindowManager, AWindowNotMovedOpensAndIsStoredWhereItWasStartAfterStart)
{
    ASSERT_TRUE(WindowManagerRunning());
    ProgramHome home;
    const OuterRect stored{4500, 3000, 12000, 9000}; // 300, 200, 800 x 600 pixels
    home.WriteSettings([&](Settings &s) {
        s.setWindowStateFlag(1);
        s.setWindowStateValue(2);
        s.setLastWindowState(0);
        s.setLastWindowLeft(stored.left);
        s.setLastWindowTop(stored.top);
        s.setLastWindowWidth(stored.width);
        s.setLastWindowHeight(stored.height);
    });
    for (int start = 1; start <= 4; ++start) {
        SCOPED_TRACE(start);
        const QRect expected(300, 200, 800, 600); // the frame's corner and the outer size
        QRect onScreen;
        ASSERT_TRUE(home.StartAndExit([&](const QString &id) {
            WaitUntil([&] { return (onScreen = OuterOnScreen(id)) == expected; }, 15000);
        }));
        EXPECT_EQ(onScreen, expected);
        EXPECT_EQ(home.StoredRect(), stored);
    }
}

TEST(frmMainWindowManager, ARectangleWhoseTitleBarNoScreenShowsOpensAtTheFirstStartPlace)
{
    ASSERT_TRUE(WindowManagerRunning());
    struct Case {
        const char *what;
        OuterRect stored;
    } cases[] = {
        {"beyond the right edge (a monitor since unplugged)", {30000, 3000, 12000, 9000}},
        {"above the top", {4500, -12000, 12000, 9000}},
        {"absurd values", {-2000000000, 2000000000, 12000, 9000}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ProgramHome home;
        home.WriteSettings([&](Settings &s) {
            s.setLastWindowLeft(c.stored.left);
            s.setLastWindowTop(c.stored.top);
            s.setLastWindowWidth(c.stored.width);
            s.setLastWindowHeight(c.stored.height);
        });
        // 1000 twips from the corner and 700 x 403 pixels, as on a first start.
        const QRect expected(67, 67, 700, 403);
        QRect onScreen;
        ASSERT_TRUE(home.StartAndExit([&](const QString &id) {
            WaitUntil([&] { return (onScreen = OuterOnScreen(id)) == expected; }, 15000);
        }));
        EXPECT_EQ(onScreen, expected);
        EXPECT_EQ(home.StoredRect(), (OuterRect{1005, 1005, 10500, 6045}));
    }
}

/// The available area of the screen as the window manager publishes it (desktop 0), in pixels.
QRect WorkArea()
{
    const QString text = Run(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_WORKAREA")});
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("= (\\d+), (\\d+), (\\d+), (\\d+)")).match(text);
    return m.hasMatch() ? QRect(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt(), m.captured(4).toInt())
                        : QRect();
}

TEST(frmMainWindowManager, AStoredRectangleOpensFittedIntoTheAvailableArea)
{
    ASSERT_TRUE(WindowManagerRunning());
    const QRect area = WorkArea();
    ASSERT_TRUE(area.isValid());
    struct Case {
        const char *what;
        OuterRect stored;
        QRect expected; // in the work area's coordinates
    } cases[] = {
        // 133 million pixels each way, a buffer of gigabytes had it been asked for.
        {"2,000,000,000 twips wide and high", {4500, 3000, 2000000000, 2000000000}, QRect(QPoint(0, 0), area.size())},
        {"wider than the screen", {4500, 3000, 15 * (area.width() + 500), 9000}, QRect(0, 200, area.width(), 600)},
        {"partly beyond the right and bottom edges",
         {15 * (area.width() - 300), 15 * (area.height() - 200), 12000, 9000},
         QRect(area.width() - 800, area.height() - 600, 800, 600)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ProgramHome home;
        home.WriteSettings([&](Settings &s) {
            s.setWindowStateFlag(1);
            s.setWindowStateValue(2);
            s.setLastWindowState(0);
            s.setLastWindowLeft(c.stored.left);
            s.setLastWindowTop(c.stored.top);
            s.setLastWindowWidth(c.stored.width);
            s.setLastWindowHeight(c.stored.height);
        });
        const QRect expected = c.expected.translated(area.topLeft());
        QRect onScreen;
        ASSERT_TRUE(home.StartAndExit([&](const QString &id) {
            WaitUntil([&] { return (onScreen = OuterOnScreen(id)) == expected; }, 15000);
        }));
        EXPECT_EQ(onScreen, expected);
        // What the window showed is what it stored, in twips at 96 dpi.
        EXPECT_EQ(home.StoredRect(), (OuterRect{15 * expected.x(), 15 * expected.y(), 15 * expected.width(),
                                                15 * expected.height()}));
    }

    // Smaller than the window can be, in the bottom right corner: the window has its least size, and
    // that size, title bar and buttons included, is on the screen.
    ProgramHome home;
    home.WriteSettings([&](Settings &s) {
        s.setWindowStateFlag(1);
        s.setWindowStateValue(2);
        s.setLastWindowState(0);
        s.setLastWindowLeft(15 * (area.width() - 40));
        s.setLastWindowTop(15 * (area.height() - 30));
        s.setLastWindowWidth(15);
        s.setLastWindowHeight(15);
    });
    QRect onScreen;
    auto settledInside = [&](const QString &id) {
        onScreen = OuterOnScreen(id);
        return onScreen.width() > 300 && area.contains(onScreen) && onScreen.right() == area.right()
               && onScreen.bottom() == area.bottom();
    };
    ASSERT_TRUE(home.StartAndExit([&](const QString &id) { WaitUntil([&] { return settledInside(id); }, 15000); }));
    EXPECT_TRUE(area.contains(onScreen)) << "shown at " << onScreen.x() << "," << onScreen.y() << " "
                                         << onScreen.width() << "x" << onScreen.height();
    EXPECT_EQ(onScreen.bottomRight(), area.bottomRight());
    EXPECT_EQ(home.StoredRect(), (OuterRect{15 * onScreen.x(), 15 * onScreen.y(), 15 * onScreen.width(),
                                            15 * onScreen.height()}));
}

// ---- the window in this process, under real input -------------------------------------------

Settings &S() { return *State().objSettings; }

/// The main window loaded as start-up loads it, on a folder of PDFs, in the forms' font.
class MainWindowOnDesktop : public MainWindowFixture {
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        ASSERT_TRUE(WindowManagerRunning());
        modMasterLayout::UseFormsFont();
        config_.emplace("XDG_CONFIG_HOME", configDir_.path());
        for (const char *name : {"Annual report 2025.pdf", "b.pdf", "invoice-7781.pdf", "letter.pdf", "notes.pdf",
                                 "Quarterly figures.pdf", "scan 0001.pdf"})
            MakePdf(docs.filePath(QString::fromLatin1(name)), 2);
        S().setStartupFolder(docs.path());
        S().setWindowStateFlag(0);
        // Start-up gives the model the saved widths by position.
        const QStringList widths = modGeneral::SplitList(S().LastGridColWidth());
        for (int k = 1; k <= State().objGridColumns->Count(); ++k)
            State().objGridColumns->Item(k)->ColumnWidth = widths[k - 1].toFloat();
    }
    void TearDown() override
    {
        w.reset();
        config_.reset();
        MainWindowFixture::TearDown();
    }
    /// Loads and shows the window and gives it the outer size; an empty size maximizes it.
    void Open(QSize outer)
    {
        w = std::make_unique<frmMain>();
        w->Form_Load();
        ASSERT_TRUE(ShowAndWaitForFrame(*w));
        Resize(outer);
    }
    void Resize(QSize outer)
    {
        if (outer.isEmpty()) {
            w->showMaximized();
            WaitUntil([&] { return w->isMaximized(); });
        } else {
            w->showNormal();
            const QMargins frame = w->windowHandle()->frameMargins();
            w->resize(outer.width() - frame.left() - frame.right(), outer.height() - frame.top() - frame.bottom());
            WaitUntil([&] { return w->frameGeometry().size() == outer; });
        }
        Settle(300);
    }
    DataGrid &grid() { return *w->grdSearchList; }
    QTableView &view() { return *grid().view(); }
    /// The global centre of a result cell.
    QPoint CellCenter(int row, int col)
    {
        const QRect cell = view().visualRect(view().model()->index(row - 1, col));
        return view().viewport()->mapToGlobal(cell.center());
    }

    TempDir docs;
    std::unique_ptr<frmMain> w;

private:
    TempDir configDir_;
    std::optional<ScopedEnv> config_;
};

/// Pixels in which two images of one size differ.
QRegion Difference(const QImage &a, const QImage &b)
{
    QRegion region;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y))
                region += QRect(x, y, 1, 1);
    return region;
}

TEST_F(MainWindowOnDesktop, CaptionsDatesAndCheckBoxesFitTheDefaultWidthsAndTheSortArrowCoversNoCaption)
{
    Open({1280, 1024});
    ASSERT_GE(grid().Rows(), 2);
    QHeaderView &header = *view().horizontalHeader();
    const QFontMetrics headerFont(header.font());
    const QFontMetrics cellFont(view().font());
    const int headerMargin = header.style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, &header);
    const int cellMargin = view().style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &view()) + 1;
    const QRegularExpression wholeDate(QStringLiteral("^\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d [AP]M$"));

    for (int c = 0; c < grid().Cols(); ++c) {
        const QString caption = grid().TextMatrix(0, c);
        SCOPED_TRACE(caption.toStdString());
        const int width = header.sectionSize(c);
        if (caption == QLatin1String("Selection")) {
            // The column holds only its check box, whole.
            const int box = view().style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, &view());
            EXPECT_LE(box, width - 1);
        } else {
            EXPECT_LE(headerFont.horizontalAdvance(caption) + 2 * headerMargin, width);
        }
        if (grid().ColDataType(c) == GridDataType::Date) {
            const QString date = grid().TextMatrix(1, c);
            EXPECT_TRUE(wholeDate.match(date).hasMatch()) << date.toStdString();
            EXPECT_LE(cellFont.horizontalAdvance(date) + 2 * cellMargin, width) << date.toStdString();
        }

        // The caption's ink, and what a sort arrow adds to the section: never on the caption.
        const QRect section(header.sectionViewportPosition(c), 0, width, header.height());
        auto image = [&] { return header.grab(section).toImage(); };
        const QImage plain = image();
        grid().setTextMatrix(0, c, QString());
        const QImage blank = image();
        grid().setTextMatrix(0, c, caption);
        grid().Sort(c, GridSort::GenericAscending);
        const QImage sorted = image();
        const QRect ink = Difference(plain, blank).boundingRect();
        const QRegion arrow = Difference(plain, sorted);
        ASSERT_FALSE(ink.isEmpty());
        EXPECT_FALSE(arrow.isEmpty()) << "the sorted column shows its arrow";
        EXPECT_FALSE(arrow.intersects(ink)) << "arrow " << arrow.boundingRect().top() << "-"
                                           << arrow.boundingRect().bottom() << ", caption from " << ink.top();
    }
}

TEST_F(MainWindowOnDesktop, TheOptionsPaneLeavesTheGridFiveRowsAndClipsNothingInEitherTab)
{
    Open({700, 403});
    ASSERT_GE(grid().Rows(), 6);
    for (const QSize outer : {QSize(700, 403), QSize()}) {
        SCOPED_TRACE(outer.isEmpty() ? "maximized" : "700 x 403 outer");
        Resize(outer);
        const QRect fifth = view().visualRect(view().model()->index(4, 0));
        EXPECT_LE(fifth.bottom(), view().viewport()->height() - 1) << "five whole rows";

        for (QDockWidget *pane : {w->paneAdvSearch, w->paneOptions}) {
            SCOPED_TRACE(pane->windowTitle().toStdString());
            pane->raise();
            Settle(100);
            QWidget *container = pane->widget();
            ASSERT_TRUE(container->isVisible());
            for (QWidget *control : container->findChildren<QWidget *>()) {
                const bool shown = qobject_cast<QAbstractButton *>(control) || qobject_cast<QLabel *>(control)
                                   || qobject_cast<QComboBox *>(control) || qobject_cast<QLineEdit *>(control)
                                   || qobject_cast<QAbstractSpinBox *>(control) || qobject_cast<QGroupBox *>(control);
                // The parts of a composite control (an up-down's two arrows) are judged by the whole.
                const bool part = control->parentWidget()->inherits("folvane::UpDown")
                                  || control->parentWidget()->inherits("QComboBox")
                                  || control->parentWidget()->inherits("QAbstractSpinBox");
                if (!shown || part || !control->isVisibleTo(container))
                    continue;
                const QString name = control->objectName().isEmpty() ? control->metaObject()->className()
                                                                     : control->objectName();
                SCOPED_TRACE(name.toStdString());
                const QSize least = control->minimumSizeHint();
                EXPECT_GE(control->width(), least.width());
                EXPECT_GE(control->height(), least.height());
                const QRect inContainer(control->mapTo(container, QPoint(0, 0)), control->size());
                EXPECT_TRUE(container->rect().contains(inContainer));
            }
        }
    }
}

/// The text of every cell of the result rows, a row a line, cells joined by "|".
std::string AllTexts(const DataGrid &grid)
{
    QStringList rows;
    for (int r = 1; r < grid.Rows(); ++r) {
        QStringList cells;
        for (int c = 0; c < grid.Cols(); ++c)
            cells << grid.TextMatrix(r, c);
        rows << cells.join(QLatin1Char('|'));
    }
    return rows.join(QLatin1Char('\n')).toStdString();
}

TEST_F(MainWindowOnDesktop, NoKeyOrClickChangesTheTextOfAResultCell)
{
    Open({1000, 700});
    const int selection = Col("Selection");
    const int name = Col("Name");
    const std::string before = AllTexts(grid());
    ASSERT_FALSE(before.empty());

    // A click on a check box, then the cursor moved off it and typing, as a user did.
    ASSERT_TRUE(ClickAt(CellCenter(1, selection)));
    EXPECT_EQ(grid().Cell(flexcpChecked, 1, selection).toInt(), GridCheck::Checked);
    const struct {
        const char *what;
        QStringList keys;
    } moves[] = {
        {"left onto the name", {"Left"}},
        {"down, then left", {"Down", "Left"}},
        {"right onto the pages", {"Right"}},
        {"F2 on the check box", {"F2"}},
    };
    for (const auto &move : moves) {
        SCOPED_TRACE(move.what);
        ASSERT_TRUE(ClickAt(CellCenter(1, selection)));
        ASSERT_TRUE(PressKeys(move.keys));
        ASSERT_TRUE(TypeText(QStringLiteral("zz")));
        ASSERT_TRUE(PressKeys({QStringLiteral("Return")}));
        EXPECT_EQ(AllTexts(grid()), before);
    }
    // A double click on a name, and typing there.
    const QPoint nameCell = CellCenter(2, name);
    ASSERT_TRUE(Xdotool({QStringLiteral("mousemove"), QString::number(nameCell.x()), QString::number(nameCell.y()),
                         QStringLiteral("click"), QStringLiteral("--repeat"), QStringLiteral("2"), QStringLiteral("1")}));
    Settle();
    ASSERT_TRUE(TypeText(QStringLiteral("zz")));
    ASSERT_TRUE(PressKeys({QStringLiteral("Return")}));
    EXPECT_EQ(AllTexts(grid()), before);
    // The check boxes still change under the mouse.
    ASSERT_TRUE(ClickAt(CellCenter(2, selection)));
    EXPECT_EQ(grid().Cell(flexcpChecked, 2, selection).toInt(), GridCheck::Checked);
}

TEST_F(MainWindowOnDesktop, TheStatusCountsTheCheckedRowsAfterSpaceAndAfterAClick)
{
    Open({1000, 700});
    ASSERT_GE(grid().Rows(), 6);
    const QString prefix = QStringLiteral(" file selected; Total Page count of PDF Files: ");
    auto statusReads = [&](int files) {
        const QString expected = QString::number(files) + prefix + QString::number(2 * files); // 2 pages each
        return WaitUntil([&] { return w->sbPanelStatus->text() == expected; }, 3000);
    };
    const int name = Col("Name");
    const int selection = Col("Selection");

    // Rows 2 to 4 highlighted with a click and a shift-click, then Space.
    ASSERT_TRUE(ClickAt(CellCenter(2, name)));
    const QPoint last = CellCenter(4, name);
    ASSERT_TRUE(Xdotool({QStringLiteral("keydown"), QStringLiteral("shift"), QStringLiteral("mousemove"),
                         QString::number(last.x()), QString::number(last.y()), QStringLiteral("click"),
                         QStringLiteral("1"), QStringLiteral("keyup"), QStringLiteral("shift")}));
    ASSERT_TRUE(WaitUntil([&] { return grid().GetSelection().row2 == 4; }));
    ASSERT_TRUE(PressKeys({QStringLiteral("space")}));
    EXPECT_EQ(CheckStates(*w).at(2), GridCheck::Checked);
    EXPECT_TRUE(statusReads(3)) << w->sbPanelStatus->text().toStdString();

    // A click on another row's box, then Space on the three rows again.
    ASSERT_TRUE(ClickAt(CellCenter(6, selection)));
    EXPECT_TRUE(statusReads(4)) << w->sbPanelStatus->text().toStdString();
    ASSERT_TRUE(ClickAt(CellCenter(2, name)));
    ASSERT_TRUE(Xdotool({QStringLiteral("keydown"), QStringLiteral("shift"), QStringLiteral("mousemove"),
                         QString::number(last.x()), QString::number(last.y()), QStringLiteral("click"),
                         QStringLiteral("1"), QStringLiteral("keyup"), QStringLiteral("shift")}));
    ASSERT_TRUE(WaitUntil([&] { return grid().GetSelection().row2 == 4; }));
    ASSERT_TRUE(PressKeys({QStringLiteral("space")}));
    EXPECT_TRUE(statusReads(1)) << w->sbPanelStatus->text().toStdString();
}

TEST_F(MainWindowOnDesktop, ANewSearchLeavesNoSortArrowAndTheNextClickSortsAscending)
{
    Open({1000, 700});
    ASSERT_GE(grid().Rows(), 6);
    QHeaderView &header = *view().horizontalHeader();
    const int name = Col("Name");
    auto headerImage = [&] { return header.grab().toImage(); };
    auto names = [&] {
        QStringList texts;
        for (int r = 1; r < grid().Rows(); ++r)
            texts << grid().TextMatrix(r, name);
        return texts;
    };
    const QImage unsorted = headerImage();
    const QStringList walkOrder = names();
    QStringList ascending = walkOrder;
    std::sort(ascending.begin(), ascending.end(),
              [](const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    ASSERT_NE(walkOrder, ascending) << "the walk's order must differ from the sorted one to tell them apart";
    QStringList descending = ascending;
    std::reverse(descending.begin(), descending.end());

    const QPoint nameHeader =
        header.viewport()->mapToGlobal(QPoint(header.sectionViewportPosition(name) + header.sectionSize(name) / 2,
                                              header.height() / 2));
    ASSERT_TRUE(ClickAt(nameHeader));
    ASSERT_TRUE(WaitUntil([&] { return names() == ascending; }));
    // A little aside, so the second click is not taken for a double click.
    ASSERT_TRUE(ClickAt(nameHeader + QPoint(12, 0)));
    ASSERT_TRUE(WaitUntil([&] { return names() == descending; }));
    // The pointer leaves the header, so no section is drawn as hovered.
    ASSERT_TRUE(ClickWidget(*w->cmdSearch, w->cmdSearch->rect().center()));
    ASSERT_TRUE(WaitUntil([&] { return w->cmdSearch->text() == QLatin1String("&Search") && names() == walkOrder; }));
    EXPECT_TRUE(WaitUntil([&] { return headerImage() == unsorted; })) << "the header still shows an arrow";

    ASSERT_TRUE(ClickAt(nameHeader));
    EXPECT_TRUE(WaitUntil([&] { return names() == ascending; })) << names().join(" | ").toStdString();
}

TEST_F(MainWindowOnDesktop, CtrlAAndCtrlDEditTheTextBoxThatHasTheKeyboardAndCheckTheRowsElsewhere)
{
    Open({1000, 700});
    const std::size_t rows = static_cast<std::size_t>(grid().Rows() - 1);
    ASSERT_GE(rows, 2u);
    const std::vector<int> allChecked(rows, GridCheck::Checked);
    const std::vector<int> allUnchecked(rows, GridCheck::Unchecked);
    // The date and size options are enabled as a user enables them, with their check boxes.
    w->paneAdvSearch->raise();
    Settle();
    for (QCheckBox *option : {w->chkSearchByDate, w->chkSearchBySize}) {
        ASSERT_TRUE(ClickWidget(*option, QPoint(8, option->height() / 2)));
        ASSERT_TRUE(WaitUntil([&] { return option->isChecked(); }));
    }
    w->mnuCtxSelectAll_Click();
    ASSERT_EQ(CheckStates(*w), allChecked);

    const struct {
        const char *what;
        QWidget *box;
        QLineEdit *text;
    } boxes[] = {
        {"the size box", w->txtSizeLeastMost, w->txtSizeLeastMost},
        {"the period box", w->txtInPeriod, w->txtInPeriod},
        {"a date picker", w->dtpDateFrom, w->dtpDateFrom->findChild<QLineEdit *>()},
    };
    for (const auto &b : boxes) {
        SCOPED_TRACE(b.what);
        ASSERT_NE(b.text, nullptr);
        ASSERT_TRUE(ClickWidget(*b.box, QPoint(b.box->width() / 4, b.box->height() / 2)));
        ASSERT_TRUE(WaitUntil([&] { return QApplication::focusWidget() == b.box; }));
        const QString text = b.text->text();
        ASSERT_FALSE(text.isEmpty());
        b.text->deselect();
        ASSERT_TRUE(PressKeys({QStringLiteral("ctrl+a")}));
        EXPECT_TRUE(WaitUntil([&] { return b.text->selectedText() == text; })) << "the box's text is selected";
        ASSERT_TRUE(PressKeys({QStringLiteral("ctrl+d")}));
        Settle();
        EXPECT_EQ(CheckStates(*w), allChecked) << "no row changed";
    }

    // Anywhere else the keys are the window's commands.
    ASSERT_TRUE(ClickAt(CellCenter(1, Col("Name"))));
    ASSERT_TRUE(PressKeys({QStringLiteral("ctrl+d")}));
    EXPECT_TRUE(WaitUntil([&] { return CheckStates(*w) == allUnchecked; }));
    ASSERT_TRUE(PressKeys({QStringLiteral("ctrl+a")}));
    EXPECT_TRUE(WaitUntil([&] { return CheckStates(*w) == allChecked; }));
}

/// Records the text of every menu item the style is asked to draw: what the user sees, the
/// shortcut column included (Qt hands it over after a tab).
class MenuItemRecorder : public QProxyStyle {
public:
    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget) const override
    {
        if (element == CE_MenuItem)
            if (const auto *item = qstyleoption_cast<const QStyleOptionMenuItem *>(option);
                item && item->menuItemType != QStyleOptionMenuItem::Separator)
                drawn.insert(item->text);
        QProxyStyle::drawControl(element, option, painter, widget);
    }
    mutable QSet<QString> drawn;
};

TEST_F(MainWindowOnDesktop, MenuItemsShowTheirCaptionsOnceAndTheirKeysWork)
{
    Open({1000, 700});
    struct Menu {
        const char *keys;
        QMenu *menu;
    } menus[] = {{"alt+e", w->mnuEdit}, {"alt+h", w->mnuhelp}};
    for (const Menu &m : menus) {
        SCOPED_TRACE(m.keys);
        auto *recorder = new MenuItemRecorder; // the menu owns the style it is given
        recorder->setParent(m.menu);
        m.menu->setStyle(recorder);
        ASSERT_TRUE(PressKeys({QString::fromLatin1(m.keys)}));
        ASSERT_TRUE(WaitUntil([&] { return m.menu->isVisible(); }));
        QSet<QString> captions;
        for (QAction *action : m.menu->actions())
            if (!action->isSeparator())
                captions.insert(action->text());
        ASSERT_TRUE(WaitUntil([&] { return recorder->drawn.size() >= captions.size(); }));
        EXPECT_EQ(recorder->drawn, captions) << "each item drawn as its caption, nothing beside it; drawn: "
                                             << QStringList(recorder->drawn.values()).join(" | ").toStdString();
        ASSERT_TRUE(PressKeys({QStringLiteral("Escape"), QStringLiteral("Escape")}));
    }

    // The keys, pressed on the window.
    ScriptedMsgBox box;
    ShellRecorder shell;
    ASSERT_TRUE(PressKeys({QStringLiteral("ctrl+h")}));
    EXPECT_EQ(box.texts(), QStringList{QStringLiteral("Help file not found.")});
    ASSERT_TRUE(PressKeys({QStringLiteral("ctrl+e")}));
    EXPECT_EQ(box.texts().value(1), QStringLiteral("No files selected")) << "the export ran";
    ASSERT_TRUE(PressKeys({QStringLiteral("ctrl+w")}));
    EXPECT_EQ(shell.requests().size(), 1u) << "the web site was opened";

    QString modalClass; // the dialog lives only while it is shown
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            modalClass = QString::fromLatin1(modal->metaObject()->className());
            modal->close();
        }
    });
    closer.start(50);
    ASSERT_TRUE(PressKeys({QStringLiteral("ctrl+p")}));
    WaitUntil([&] { return !modalClass.isEmpty(); });
    EXPECT_EQ(modalClass, QStringLiteral("folvane::frmPreferences"));
    closer.stop();
    Settle();

    ASSERT_TRUE(PressKeys({QStringLiteral("ctrl+x")}));
    EXPECT_TRUE(WaitUntil([&] { return !w->isVisible(); })) << "Exit closed the window";
}

TEST_F(MainWindowOnDesktop, AFolderChosenWithTheArrowKeysLeavesTheKeyboardOnTheTree)
{
    for (const char *folder : {"sub1", "sub2", "sub3"}) {
        docs.createFolder(QString::fromLatin1(folder));
        MakePdf(docs.filePath(QString::fromLatin1(folder) + QStringLiteral("/x.pdf")), 1);
    }
    S().setStartupFolder(docs.filePath(QStringLiteral("sub1")));
    Open({1000, 700});
    FolderTree &tree = *w->ftvFolder;
    auto *model = static_cast<QFileSystemModel *>(tree.model());
    // The tree lists folders in the background; the siblings must be there for the arrow keys.
    ASSERT_TRUE(WaitUntil([&] { return model->rowCount(model->index(docs.path())) == 3; }));
    // The keyboard goes to the tree as a click on the chosen folder would give it; a real click could
    // land on another row, since tests beside this one add and remove folders in the same parent.
    tree.setFocus(Qt::MouseFocusReason);
    ASSERT_TRUE(WaitUntil([&] { return QApplication::focusWidget() == &tree; }));
    ASSERT_EQ(tree.SelectedPath(), docs.filePath(QStringLiteral("sub1")));
    ASSERT_EQ(QApplication::focusWidget(), &tree);
    for (const char *next : {"sub2", "sub3"}) {
        SCOPED_TRACE(next);
        ASSERT_TRUE(PressKeys({QStringLiteral("Down")}));
        ASSERT_TRUE(WaitUntil([&] { return w->cmdSearch->text() == QLatin1String("&Search"); }));
        Settle(300);
        EXPECT_EQ(tree.SelectedPath(), docs.filePath(QString::fromLatin1(next))) << "the key reached the tree";
        EXPECT_EQ(QApplication::focusWidget(), &tree);
    }
}

}  // namespace
