#include "search/frmMain.h"

#include "app/ErrorLog.h"
#include "app/GridColumns.h"
#include "app/ProgramInfo.h"
#include "app/ProgramState.h"
#include "app/Settings.h"
#include "app/cSizeMoveHelper.h"
#include "app/modGeneral.h"
#include "platform/DataGrid.h"
#include "platform/FolderTree.h"
#include "support/MainWindowFixture.h"
#include "support/PdfFixtures.h"
#include "support/TestEnv.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace folvane {

/// The load steps and internals the tests run one by one.
struct frmMainFrameAccess {
    static void AttachSizeMove(frmMain &w) { w.AttachSizeMove(); }
    static cSizeMoveHelper &SizeMove(frmMain &w) { return *w.m_c; }
    static void PlaceFromRegistry(frmMain &w) { w.PlaceFromRegistry(); }
    static void CreatePanes(frmMain &w) { w.CreatePanes(); }
    static void SelectStartFolder(frmMain &w) { w.SelectStartFolder(); }
    static void CheckCmdLineFiles(frmMain &w) { w.CheckCmdLineFiles(); }
    static void SetWindowState(frmMain &w) { w.SetWindowState(); }
    static void PaneAction(frmMain &w, int action, int paneId) { w.DockingPaneManager_Action(action, paneId); }
};

}  // namespace folvane

using namespace folvane;
using folvane::test::ErrorLogLines;
using folvane::test::ScopedEnv;
using folvane::test::ScriptedMsgBox;
using folvane::test::ShellRecorder;
using folvane::test::TempDir;
using Access = folvane::frmMainFrameAccess;

namespace {

struct Rect {
    std::int32_t left, top, width, height;
};

Settings &S() { return *State().objSettings; }

Rect StoredRect()
{
    return {S().LastWindowLeft(), S().LastWindowTop(), S().LastWindowWidth(), S().LastWindowHeight()};
}

void StoreRect(const Rect &r)
{
    S().setLastWindowLeft(r.left);
    S().setLastWindowTop(r.top);
    S().setLastWindowWidth(r.width);
    S().setLastWindowHeight(r.height);
}

bool SameRect(const Rect &a, const Rect &b)
{
    return a.left == b.left && a.top == b.top && a.width == b.width && a.height == b.height;
}

bool LogMentions(const QString &text)
{
    for (const QString &line : ErrorLogLines())
        if (line.contains(text))
            return true;
    return false;
}

struct Row {
    QString name;
    QString location;
};

/// Writes result rows by hand, the way a search leaves them (check state unset).
void FillRows(frmMain &w, const std::vector<Row> &rows)
{
    DataGrid &g = *w.grdSearchList;
    g.setCols(State().objGridColumns->Count());
    g.setFixedRows(1);
    g.setRows(static_cast<int>(rows.size()) + 1);
    const int nameCol = ColumnOf(ColumnKey::Name);
    const int locationCol = ColumnOf(ColumnKey::Location);
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        g.setTextMatrix(i + 1, nameCol, rows[i].name);
        g.setTextMatrix(i + 1, locationCol, rows[i].location);
    }
}

std::vector<bool> CheckedRows(const frmMain &w)
{
    const int selectionCol = ColumnOf(ColumnKey::Selection);
    std::vector<bool> out;
    for (int r = 1; r < w.grdSearchList->Rows(); ++r)
        out.push_back(w.grdSearchList->Cell(flexcpChecked, r, selectionCol).toInt() == GridCheck::Checked);
    return out;
}

/// The folder tree's selection would start a search; these tests look at the frame only.
void DetachFolderTree(frmMain &w) { w.ftvFolder->disconnect(&w); }

/// Shows the window and waits until it is the active window, as a user would find it.
void ShowActive(frmMain &w)
{
    DetachFolderTree(w);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
}

/// Closes each modal dialog that opens while it lives and remembers its parent.
class ModalCloser {
public:
    ModalCloser()
    {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (QWidget *modal = QApplication::activeModalWidget()) {
                parents.push_back(modal->parentWidget());
                modal->close();
            }
        });
        timer_.start(20);
    }
    std::vector<QWidget *> parents;

private:
    QTimer timer_;
};

/// "help.chm" beside the test program for as long as it lives.
class HelpFileBeside {
public:
    HelpFileBeside() : path_(QCoreApplication::applicationDirPath() + QStringLiteral("/help.chm"))
    {
        QFile f(path_);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    }
    ~HelpFileBeside() { QFile::remove(path_); }
    const QString &path() const { return path_; }

private:
    QString path_;
};

class frmMainFrame : public folvane::test::MainWindowFixture {
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        // Every test gets its own, empty registry stand-in.
        config_.emplace("XDG_CONFIG_HOME", configDir.path());
        ASSERT_EQ(QApplication::primaryScreen()->logicalDotsPerInchX(), 96) << "twips below assume 96 dpi";
    }
    void TearDown() override
    {
        config_.reset();
        MainWindowFixture::TearDown();
    }
    void WriteRegistry(const QByteArray &ini) const
    {
        configDir.createFile(QStringLiteral("Folvane 1.1/Folvane 1.1.ini"), ini);
    }

    TempDir configDir;

private:
    std::optional<ScopedEnv> config_;
};

// ---- window rectangle and state -------------------------------------------------------------

TEST_F(frmMainFrame, FirstPlacementComesFromTheRegistryStandIn)
{
    struct Case {
        const char *what;
        QByteArray ini; // empty: no file
        QPoint pos;
        QSize size;
    };
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    ASSERT_GE(screen.width(), 800);
    ASSERT_GE(screen.height(), 600);
    const std::vector<Case> cases = {
        {"no values: 1000 twips from the corner, 700 x 403 pixels", {}, {67, 67}, {700, 403}},
        {"stored twips",
         "[Settings]\nMainLeft=1500\nMainTop=750\nMainWidth=9750\nMainHeight=7500\n",
         {100, 50},
         {650, 500}},
        {"fractions and spaces", "[Settings]\nMainLeft=\" 757.5 \"\nMainTop=750\n", {51, 50}, {700, 403}},
        // Far beyond any screen, and beyond what an int holds in pixels.
        {"larger than the screen: fitted into its available area",
         "[Settings]\nMainLeft=1500\nMainTop=750\nMainWidth=1e30\nMainHeight=2000000000\n",
         screen.topLeft(),
         screen.size()},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(configDir.filePath(QStringLiteral("Folvane 1.1/Folvane 1.1.ini")));
        if (!c.ini.isEmpty())
            WriteRegistry(c.ini);
        frmMain w;
        Access::PlaceFromRegistry(w);
        EXPECT_EQ(w.pos(), c.pos);
        EXPECT_EQ(w.size(), c.size);
    }
}

TEST_F(frmMainFrame, ARegistryValueThatIsNoNumberEndsTheLoadThere)
{
    WriteRegistry("[Settings]\nMainLeft=abc\n");
    frmMain w;
    w.Form_Load();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Folvane 1.1"));
    EXPECT_EQ(w.dockWidgetArea(w.paneFolders), Qt::NoDockWidgetArea) << "the panes come after the rectangle";
    ASSERT_EQ(ErrorLogLines().size(), 1);
    EXPECT_TRUE(ErrorLogLines()[0].startsWith(
        QStringLiteral("Error 13 (Type mismatch) in procedure Form_Load at Line No. ")));
    EXPECT_TRUE(ErrorLogLines()[0].contains(QStringLiteral(" of Form frmMain at time")));
}

TEST_F(frmMainFrame, SetWindowStateAppliesEachPreference)
{
    const Rect stored{1500, 3000, 10500, 6000}; // 100, 200, 700 x 400 pixels
    const Rect none{0, 0, 0, 0};
    const QRect before(30, 40, 720, 450);
    const QRect moved(100, 200, 700, 400);
    struct Case {
        const char *what;
        int value;
        int lastState;
        Rect rect;
        QRect geometry;
        Qt::WindowStates state;
        bool logged;
    };
    const std::vector<Case> cases = {
        {"0: the stored rectangle, maximized", 0, 0, stored, moved, Qt::WindowMaximized, false},
        {"1: the stored rectangle, minimized", 1, 0, stored, moved, Qt::WindowMinimized, false},
        {"2: the stored rectangle in the last state, normal", 2, 0, stored, moved, Qt::WindowNoState, false},
        {"2: the stored rectangle in the last state, maximized", 2, 2, stored, moved, Qt::WindowMaximized, false},
        {"2 with nothing stored: maximized where it is", 2, 0, none, before, Qt::WindowMaximized, false},
        {"any other value: nothing", 3, 2, stored, before, Qt::WindowNoState, false},
        {"2 with a last state that is no state: moved, then logged", 2, 9, stored, moved, Qt::WindowNoState, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        folvane::test::ClearErrorLog();
        S().setWindowStateValue(static_cast<Byte>(c.value));
        S().setLastWindowState(c.lastState);
        StoreRect(c.rect);
        frmMain w;
        w.move(before.topLeft());
        w.resize(before.size());
        Access::SetWindowState(w);
        EXPECT_EQ(QRect(w.pos(), w.size()), c.geometry);
        EXPECT_EQ(w.windowState(), c.state);
        EXPECT_EQ(LogMentions(QStringLiteral("(Invalid property value) in procedure SetWindowState")), c.logged);
    }
}

TEST_F(frmMainFrame, ClosingStoresTheStateAndTheNormalRectangle)
{
    const Rect earlier{1, 2, 3, 4};
    struct Case {
        const char *what;
        Qt::WindowStates state;
        std::int32_t lastState;
        Rect rect;
    };
    const std::vector<Case> cases = {
        {"normal: state and rectangle", Qt::WindowNoState, 0, {1500, 750, 12000, 9000}},
        {"maximized: the state, the last normal rectangle kept", Qt::WindowMaximized, 2, earlier},
        {"minimized: nothing", Qt::WindowMinimized, 5, earlier},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        S().setLastWindowState(5);
        StoreRect(earlier);
        frmMain w;
        w.move(100, 50);
        w.resize(800, 600);
        w.setWindowState(c.state);
        w.Form_Unload();
        EXPECT_EQ(S().LastWindowState(), c.lastState);
        EXPECT_TRUE(SameRect(StoredRect(), c.rect));
    }
    EXPECT_TRUE(ErrorLogLines().isEmpty());
}

TEST_F(frmMainFrame, ClosingStoresTheColumnWidthsOnlyWhenAsked)
{
    for (const int flag : {1, 0}) {
        SCOPED_TRACE(flag);
        S().setLastGridColWidthFlag(static_cast<Integer>(flag));
        S().setLastGridColWidth(QStringLiteral("untouched"));
        frmMain w;
        FillRows(w, {});
        const int widths[] = {1800, 255, 705, 1800, 1005, 1500, 2010, 1995};
        for (int c = 0; c < 8; ++c)
            w.grdSearchList->setColWidth(c, widths[c]);
        w.Form_Unload();
        EXPECT_EQ(S().LastGridColWidth(),
                  flag == 1 ? QStringLiteral("1800,255,705,1800,1005,1500,2010,1995") : QStringLiteral("untouched"));
    }
}

TEST_F(frmMainFrame, ResizesAreStoredFromTheSecondActivationOn)
{
    frmMain w;
    w.move(100, 50);
    w.resize(800, 600);
    auto activate = [&] {
        QEvent e(QEvent::WindowActivate);
        QCoreApplication::sendEvent(&w, &e);
    };
    w.Form_Resize();
    activate();
    w.Form_Resize();
    EXPECT_FALSE(w.bFormLoaded);
    EXPECT_EQ(S().LastWindowWidth(), 0) << "nothing is stored while the window loads";

    activate();
    EXPECT_TRUE(w.bFormLoaded);
    w.Form_Resize();
    EXPECT_TRUE(SameRect(StoredRect(), {1500, 750, 12000, 9000}));
    activate();
    EXPECT_EQ(w.lActivateCount, 3);
    EXPECT_TRUE(w.bFormLoaded);

    // The end of a drag stores at once, loaded or not.
    frmMain fresh;
    fresh.move(30, 60);
    fresh.resize(720, 450);
    fresh.m_c_ExitSizeMove();
    EXPECT_TRUE(SameRect(StoredRect(), {450, 900, 10800, 6750}));
}

// ---- minimum size -----------------------------------------------------------------------------

TEST_F(frmMainFrame, SizingRaisesTheRectangleToTheMinimum)
{
    struct Case {
        Rect in, out;
    };
    const std::vector<Case> cases = {
        {{10, 20, 500, 300}, {10, 20, 700, 403}},
        {{10, 20, 699, 402}, {10, 20, 700, 403}},
        {{10, 20, 700, 403}, {10, 20, 700, 403}},
        {{-5, -7, 1200, 100}, {-5, -7, 1200, 403}},
        {{0, 0, 100, 900}, {0, 0, 700, 900}},
    };
    frmMain w;
    Access::AttachSizeMove(w);
    for (const Case &c : cases) {
        Rect r = c.in;
        // Through the tracker's event, as a drag raises it.
        emit Access::SizeMove(w).Sizing(r.left, r.top, r.width, r.height);
        EXPECT_TRUE(SameRect(r, c.out)) << c.in.width << "x" << c.in.height;
    }
}

TEST_F(frmMainFrame, DraggingABorderInwardStopsAtTheMinimumAndIsStoredAfterwards)
{
    frmMain w;
    w.setGeometry(100, 100, 900, 600);
    ShowActive(w);
    Access::AttachSizeMove(w);
    Access::SizeMove(w).Subclass().setQuietInterval(30);

    w.resize(500, 300);
    QCoreApplication::processEvents();
    EXPECT_GE(w.frameGeometry().width(), 700);
    EXPECT_GE(w.frameGeometry().height(), 403);

    // The drag ends after a quiet interval, and the window is stored then.
    EXPECT_TRUE(QTest::qWaitFor([&] { return S().LastWindowWidth() == w.frameGeometry().width() * 15; }))
        << "the outer rectangle";
    EXPECT_EQ(S().LastWindowState(), 0);
    EXPECT_EQ(S().LastWindowHeight(), w.frameGeometry().height() * 15);
}

// ---- panes ------------------------------------------------------------------------------------

TEST_F(frmMainFrame, PanesAreDockedAndTheOptionsPaneKeepsItsSize)
{
    frmMain w;
    w.resize(1200, 900);
    Access::CreatePanes(w);
    EXPECT_EQ(w.dockWidgetArea(w.paneFolders), Qt::LeftDockWidgetArea);
    EXPECT_EQ(w.dockWidgetArea(w.paneOptions), Qt::BottomDockWidgetArea);
    EXPECT_EQ(w.tabifiedDockWidgets(w.paneOptions), QList<QDockWidget *>{w.paneAdvSearch});

    // 100 tracking units of 1.4 pixels.
    EXPECT_EQ(w.paneOptions->minimumHeight(), 140);
    EXPECT_EQ(w.paneOptions->maximumHeight(), 140);

    DetachFolderTree(w);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    EXPECT_EQ(w.paneOptions->height(), 140);
    EXPECT_GT(w.paneSearchList->width(), 2 * w.paneFolders->width()) << "the list takes most of the width";

    // Floating, the pane keeps both sides of its tracking size; docked again, only its depth.
    w.paneOptions->setFloating(true);
    w.Form_Resize();
    EXPECT_EQ(w.paneOptions->minimumSize(), QSize(182, 140));
    EXPECT_EQ(w.paneOptions->maximumSize(), QSize(182, 140));
    w.paneOptions->setFloating(false);
    EXPECT_EQ(w.paneOptions->maximumWidth(), QWIDGETSIZE_MAX);
}

TEST_F(frmMainFrame, ActivatingAPaneMovesTheFocusToItsControl)
{
    frmMain w;
    w.resize(1000, 800);
    Access::CreatePanes(w);
    ShowActive(w);
    auto focusOn = [](QWidget *widget) {
        widget->setFocus();
        QCoreApplication::processEvents();
    };

    focusOn(w.grdSearchList);
    Access::PaneAction(w, 14, 1);
    EXPECT_TRUE(w.ftvFolder->hasFocus());

    focusOn(w.grdSearchList);
    w.cmdSearch->setText(QStringLiteral("&Cancel"));
    Access::PaneAction(w, 14, 1);
    EXPECT_TRUE(w.grdSearchList->hasFocus()) << "a running search keeps the focus where it is";
    w.cmdSearch->setText(QStringLiteral("&Search"));

    focusOn(w.ftvFolder);
    Access::PaneAction(w, 13, 3);
    EXPECT_TRUE(w.ftvFolder->hasFocus()) << "only the activation is handled";

    // A click on the list pane's title bar activates it.
    QTest::mouseClick(w.paneSearchList, Qt::LeftButton, {}, QPoint(40, 6));
    EXPECT_TRUE(w.grdSearchList->hasFocus());
}

// ---- command-line files -----------------------------------------------------------------------

TEST_F(frmMainFrame, CommandLineFilesCheckEveryRowOfTheirName)
{
    struct Case {
        const char *what;
        QString columnOrder; // empty: the default order
        QStringList files;
        std::vector<Row> rows;
        std::vector<bool> checked;
    };
    const QString defaultOrder = S().ColumnReOrder();
    const std::vector<Case> cases = {
        {"case ignored, also rows of subfolders",
         {},
         {QStringLiteral("/docs/Report.PDF"), QStringLiteral("/docs/b.pdf")},
         {{"report.pdf", "/docs"}, {"REPORT.pdf", "/docs/sub"}, {"b.pdf", "/docs/sub/deeper"}, {"c.pdf", "/docs"},
          {"report.pdf.bak", "/docs"}},
         {true, true, true, false, false}},
        {"the name only, not the folder",
         {},
         {QStringLiteral("/elsewhere/x.pdf")},
         {{"x.pdf", "/docs"}, {"y.pdf", "/elsewhere"}},
         {true, false}},
        {"columns found by key when the order differs",
         QStringLiteral("Location,Pages,Selection,Name,Size (In KB),Type,Created Date,Modified Date"),
         {QStringLiteral("/docs/a.pdf")},
         {{"a.pdf", "/docs"}, {"b.pdf", "/docs"}},
         {true, false}},
        {"no files: nothing checked", {}, {}, {{"a.pdf", "/docs"}}, {false}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        S().setColumnReOrder(c.columnOrder.isEmpty() ? defaultOrder : c.columnOrder);
        modGeneral::LoadGridColumns();
        State().CmdLineFiles = c.files;
        frmMain w;
        FillRows(w, c.rows);
        Access::CheckCmdLineFiles(w);
        EXPECT_EQ(CheckedRows(w), c.checked);
    }
}

TEST_F(frmMainFrame, TheCommandLineFolderIsUsedOnceOnly)
{
    TempDir docs;
    TempDir startup;
    frmMain w;
    DetachFolderTree(w);
    FillRows(w, {{"a.pdf", docs.path()}, {"b.pdf", docs.path()}});
    S().setStartupFolder(startup.path());
    State().CmdLineFolder = docs.path();
    State().CmdLineFiles = {docs.filePath(QStringLiteral("a.pdf"))};

    Access::SelectStartFolder(w);
    EXPECT_EQ(w.ftvFolder->SelectedPath(), docs.path());
    EXPECT_EQ(CheckedRows(w), (std::vector<bool>{true, false}));
    EXPECT_TRUE(State().CmdLineFolder.isEmpty());

    FillRows(w, {{"a.pdf", docs.path()}, {"b.pdf", docs.path()}}); // a later search's rows
    w.grdSearchList->setCell(flexcpChecked, 1, ColumnOf(ColumnKey::Selection),
                             GridCheck::Unset);
    Access::SelectStartFolder(w);
    EXPECT_EQ(w.ftvFolder->SelectedPath(), startup.path());
    EXPECT_EQ(CheckedRows(w), (std::vector<bool>{false, false}));

    State().CmdLineFolder = QStringLiteral("   ");
    Access::SelectStartFolder(w);
    EXPECT_EQ(w.ftvFolder->SelectedPath(), startup.path()) << "a folder of spaces counts as none";
    EXPECT_EQ(CheckedRows(w), (std::vector<bool>{false, false}));
}

TEST_F(frmMainFrame, AfterACommandLineStartTheStatusCountsTheCheckedFiles)
{
    TempDir docs;
    folvane::test::MakePdf(docs.filePath(QStringLiteral("a.pdf")), 2);
    folvane::test::MakePdf(docs.filePath(QStringLiteral("b.pdf")), 3);
    folvane::test::MakePdf(docs.filePath(QStringLiteral("c.pdf")), 4);
    S().setWindowStateFlag(0);
    State().CmdLineFolder = docs.path();
    State().CmdLineFiles = {docs.filePath(QStringLiteral("a.pdf")), docs.filePath(QStringLiteral("C.PDF"))};

    frmMain w;
    w.Form_Load(); // the first search, then the command-line files checked
    EXPECT_EQ(CheckedRows(w).size(), 3u);
    EXPECT_EQ(w.sbPanelStatus->text(), QStringLiteral("2 file selected; Total Page count of PDF Files: 6"));
}

// ---- menus ------------------------------------------------------------------------------------

TEST_F(frmMainFrame, HelpOpensTheHelpFileBesideTheProgramOrSaysItIsMissing)
{
    for (const bool present : {true, false}) {
        SCOPED_TRACE(present);
        std::optional<HelpFileBeside> help;
        if (present)
            help.emplace();
        ScriptedMsgBox box;
        ShellRecorder shell;
        frmMain w;
        w.mnuShowHelp_Click();
        if (present) {
            ASSERT_EQ(shell.requests().size(), 1u);
            EXPECT_EQ(shell.requests()[0].verb, Shell::Verb::Open);
            EXPECT_EQ(shell.requests()[0].target, help->path());
            EXPECT_TRUE(box.calls().empty());
        } else {
            EXPECT_TRUE(shell.requests().empty());
            ASSERT_EQ(box.calls().size(), 1u);
            EXPECT_EQ(box.calls()[0].text, QStringLiteral("Help file not found."));
            EXPECT_EQ(box.calls()[0].title, QStringLiteral("Folvane 1.1"));
            EXPECT_EQ(box.calls()[0].icon, MsgIcon::Information);
            EXPECT_EQ(box.calls()[0].buttons, MsgButtons::OK);
        }
    }
}

TEST_F(frmMainFrame, WebsiteOpensTheConfiguredAddressAndLogsAFailure)
{
    {
        ShellRecorder shell;
        frmMain w;
        w.mnuWebsite_Click();
        ASSERT_EQ(shell.requests().size(), 1u);
        EXPECT_EQ(shell.requests()[0].verb, Shell::Verb::Open);
        EXPECT_EQ(shell.requests()[0].target, WebsiteAddress());
        EXPECT_TRUE(ErrorLogLines().isEmpty());
    }
    Shell::SetInterceptor([](const Shell::Request &) { return false; });
    frmMain w;
    w.mnuWebsite_Click();
    Shell::SetInterceptor([](const Shell::Request &) { return true; });
    EXPECT_TRUE(LogMentions(QStringLiteral("in procedure mnuWebsite_Click")));
}

TEST_F(frmMainFrame, ExitClosesTheWindowAndStoresIt)
{
    frmMain w;
    w.setGeometry(100, 50, 800, 600);
    ShowActive(w);
    w.mnuexit_Click();
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(S().LastWindowState(), 0);
    EXPECT_EQ(S().LastWindowWidth(), w.frameGeometry().width() * 15) << "the outer rectangle";
}

TEST_F(frmMainFrame, PreferencesPutTheColumnsInTheirSavedOrderFirst)
{
    // Saved without the model following it, as the preferences dialog leaves it.
    S().setColumnReOrder(QStringLiteral("Location,Name,Selection,Pages,Size (In KB),Type,Created Date,Modified Date"));
    ASSERT_EQ(ColumnOf(ColumnKey::Location), 3);
    frmMain w;
    ModalCloser closer; // closes the dialog unchanged
    w.mnupreferances_Click();
    EXPECT_EQ(ColumnOf(ColumnKey::Location), 0);
    EXPECT_EQ(ColumnOf(ColumnKey::Name), 1);
    // Closed without a change: no rebuild, no new search (both would have left traces here).
    EXPECT_TRUE(ErrorLogLines().isEmpty()) << ErrorLogLines().join(QLatin1Char('\n')).toStdString();
}

TEST_F(frmMainFrame, AboutIsShownModalOwnedByTheMainWindow)
{
    frmMain w;
    ModalCloser closer;
    w.mnuAbout_Click();
    ASSERT_EQ(closer.parents.size(), 1u);
    EXPECT_EQ(closer.parents[0], &w);
}

// ---- keyboard ---------------------------------------------------------------------------------

TEST_F(frmMainFrame, MenuShortcutsWorkFromTheWindow)
{
    ScriptedMsgBox box;
    frmMain w;
    ShowActive(w);
    QTest::keyClick(w.windowHandle(), Qt::Key_H, Qt::ControlModifier);
    EXPECT_EQ(box.texts(), QStringList{QStringLiteral("Help file not found.")});
}

TEST_F(frmMainFrame, OtherKeysStillReachTheFocusedControl)
{
    frmMain w;
    w.resize(1000, 800);
    Access::CreatePanes(w);
    ShowActive(w);
    FillRows(w, {{"a.pdf", "/docs"}});
    w.txtInPeriod->setText(QStringLiteral("12"));
    w.txtInPeriod->setFocus();
    QCoreApplication::processEvents();
    QTest::keyClick(w.windowHandle(), Qt::Key_3);
    EXPECT_EQ(w.txtInPeriod->text(), QStringLiteral("123"));

    // Ctrl with Shift or Alt is not the window's: nothing is checked and nothing fails.
    w.grdSearchList->setFocus();
    QCoreApplication::processEvents();
    QTest::keyClick(w.windowHandle(), Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(w.windowHandle(), Qt::Key_A, Qt::ControlModifier | Qt::AltModifier);
    QTest::keyClick(w.windowHandle(), Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(CheckedRows(w), std::vector<bool>{false});
    EXPECT_TRUE(ErrorLogLines().isEmpty());
}

TEST_F(frmMainFrame, CtrlAAndCtrlDCheckAndUncheckAllRowsWhileTheGridHasFocus)
{
    frmMain w;
    w.resize(1000, 800);
    Access::CreatePanes(w);
    ShowActive(w);
    FillRows(w, {{"a.pdf", "/docs"}, {"b.pdf", "/docs"}, {"c.pdf", "/docs"}});
    w.grdSearchList->setFocus();
    QCoreApplication::processEvents();

    QTest::keyClick(w.windowHandle(), Qt::Key_A, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(CheckedRows(w), (std::vector<bool>{false, false, false}));
    QTest::keyClick(w.windowHandle(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(CheckedRows(w), (std::vector<bool>{true, true, true}));
    QTest::keyClick(w.windowHandle(), Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(CheckedRows(w), (std::vector<bool>{true, true, true}));
    QTest::keyClick(w.windowHandle(), Qt::Key_D, Qt::ControlModifier);
    EXPECT_EQ(CheckedRows(w), (std::vector<bool>{false, false, false}));
}

}  // namespace
