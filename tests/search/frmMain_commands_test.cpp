#include "search/frmMain.h"

#include "app/GridColumns.h"
#include "app/ProgramState.h"
#include "platform/CommonDialog.h"
#include "platform/DataGrid.h"
#include "support/MainWindowFixture.h"
#include "support/TestEnv.h"

#include <QFile>
#include <QLabel>
#include <QTableView>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <vector>

using namespace folvane;
using namespace folvane::test;

namespace {

const char *const Damaged = "Secured or Corrupted";

QString Summary(int files, int pages)
{
    return QStringLiteral("%1 file selected; Total Page count of PDF Files: %2").arg(files).arg(pages);
}

/// Answers the printer dialog with a printer name or a cancel, and counts how often it was shown.
class ScriptedPrinterDialog {
public:
    explicit ScriptedPrinterDialog(std::optional<QString> answer)
    {
        CommonDialog::SetPrinterAnswerer([this, answer] {
            ++shown;
            return answer;
        });
    }
    ~ScriptedPrinterDialog() { CommonDialog::SetPrinterAnswerer({}); }
    int shown = 0;
};

class CommandsTest : public MainWindowFixture {
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        w.InitFiles();
    }
    DataGrid &grid() { return *w.grdSearchList; }
    QString status() const { return w.sbPanelStatus->text(); }

    /// Checked, unchecked, damaged and checked, damaged and unchecked.
    void addFourRows()
    {
        AddResultRow(w, {"a.pdf", "10", GridCheck::Checked});
        AddResultRow(w, {"b.pdf", "20", GridCheck::Unchecked});
        AddResultRow(w, {"c.pdf", Damaged, GridCheck::Checked});
        AddResultRow(w, {"d.pdf", Damaged, GridCheck::Unchecked});
    }
    void highlight(int row1, int row2) { grid().Select(row1, ColumnOf(ColumnKey::Name), row2, ColumnOf(ColumnKey::Location)); }

    frmMain w;
};

TEST_F(CommandsTest, CheckCommandsOnDamagedRows)
{
    struct Case {
        const char *what;
        std::function<void(frmMain &)> command;
        int row1, row2; ///< the highlighted block
        std::vector<int> after;
        QString status;
    } cases[] = {
        {"Select All", &frmMain::mnuCtxSelectAll_Click, 1, 1, {1, 1, 2, 2}, Summary(2, 30)},
        {"Invert Selection", &frmMain::mnuCtxInvSelect_Click, 1, 1, {2, 1, 2, 2}, Summary(1, 20)},
        {"Deselect All", &frmMain::mnuCtxDeSelectAll_Click, 1, 1, {2, 2, 2, 2}, Summary(0, 0)},
        {"Check Selection", &frmMain::mnuCtxCheckSelection_Click, 1, 4, {1, 1, 1, 1}, Summary(4, 30)},
        {"UnCheck Selection", &frmMain::mnuCtxUnCheckSelection_Click, 1, 4, {2, 2, 2, 2}, Summary(0, 0)},
        {"UnCheck Selection of two", &frmMain::mnuCtxUnCheckSelection_Click, 1, 2, {2, 2, 1, 2}, Summary(1, 0)},
        {"Invert Check Selection", &frmMain::mnuCtxCheckInvertSelection_Click, 1, 4, {2, 1, 2, 1}, Summary(2, 20)},
        {"Invert Check Selection of two", &frmMain::mnuCtxCheckInvertSelection_Click, 2, 3, {1, 1, 2, 2},
         Summary(2, 30)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        w.InitFiles();
        addFourRows();
        highlight(c.row1, c.row2);
        w.ShowStatus("before");
        c.command(w);
        EXPECT_EQ(CheckStates(w), c.after);
        EXPECT_EQ(status(), c.status);
    }
    EXPECT_TRUE(ErrorLogLines().isEmpty());
}

TEST_F(CommandsTest, AllRowsGetCheckedInOneOperationThenTheDamagedOnesUnchecked)
{
    addFourRows();
    AddResultRow(w, {"e.pdf", "1"}); // never touched by a check command yet
    std::vector<std::pair<int, int>> changes;
    QObject::connect(grid().view()->model(), &QAbstractItemModel::dataChanged,
                     [&](const QModelIndex &from, const QModelIndex &to) { changes.emplace_back(from.row(), to.row()); });
    w.CheckAllRows();
    EXPECT_EQ(CheckStates(w), std::vector<int>({1, 1, 2, 2, 1}));
    // One block for every row, then the damaged rows in one repaint with drawing off.
    ASSERT_GE(changes.size(), 1u);
    EXPECT_EQ(changes[0], std::make_pair(0, 4));
    EXPECT_TRUE(grid().Redraw());
}

TEST_F(CommandsTest, CommandsOnAnEmptyListOrWithoutHighlightDoNothing)
{
    using Command = void (frmMain::*)();
    const Command wholeList[] = {&frmMain::mnuCtxSelectAll_Click, &frmMain::mnuCtxInvSelect_Click,
                                 &frmMain::mnuCtxDeSelectAll_Click};
    w.ShowStatus("as it was");
    for (Command c : wholeList)
        (w.*c)();
    EXPECT_EQ(status(), "as it was");

    // Nothing highlighted: the block commands leave the rows alone.
    AddResultRow(w, {"a.pdf", "3", GridCheck::Unchecked});
    AddResultRow(w, {"b.pdf", "4", GridCheck::Checked});
    ASSERT_EQ(grid().GetSelection().row1, -1);
    for (Command c : {&frmMain::mnuCtxCheckSelection_Click, &frmMain::mnuCtxUnCheckSelection_Click,
                      &frmMain::mnuCtxCheckInvertSelection_Click})
        (w.*c)();
    EXPECT_EQ(CheckStates(w), std::vector<int>({2, 1}));
    EXPECT_EQ(status(), "as it was");
    EXPECT_TRUE(ErrorLogLines().isEmpty());
}

TEST_F(CommandsTest, CommandsFollowMovedAndSortedColumns)
{
    // The user drags "Pages" to the front and "Selection" to the far right.
    grid().setColPosition(ColumnOf(ColumnKey::Pages), 0);
    std::int32_t to = 0;
    w.grdSearchList_AfterMoveColumn(2, to);
    grid().setColPosition(ColumnOf(ColumnKey::Selection), 7);
    to = 7;
    w.grdSearchList_AfterMoveColumn(2, to);
    ASSERT_EQ(ColumnOf(ColumnKey::Pages), 0);
    ASSERT_EQ(ColumnOf(ColumnKey::Selection), 7);

    AddResultRow(w, {"small.pdf", "2", GridCheck::Unchecked});
    AddResultRow(w, {"broken.pdf", Damaged, GridCheck::Checked});
    AddResultRow(w, {"large.pdf", "300", GridCheck::Unchecked});
    AddResultRow(w, {"medium.pdf", "40", GridCheck::Checked});
    grid().Sort(ColumnOf(ColumnKey::Pages), GridSort::NumericDescending);
    QStringList sorted;
    for (int r = 1; r < grid().Rows(); ++r)
        sorted << grid().TextMatrix(r, ColumnOf(ColumnKey::Name));
    ASSERT_EQ(sorted, QStringList({"large.pdf", "medium.pdf", "small.pdf", "broken.pdf"}));
    auto states = [this] {
        std::map<QString, int> byName;
        for (int r = 1; r < grid().Rows(); ++r)
            byName[grid().TextMatrix(r, ColumnOf(ColumnKey::Name))] = grid().Cell(flexcpChecked, r, ColumnOf(ColumnKey::Selection)).toInt();
        return byName;
    };

    highlight(1, 2);
    w.mnuCtxCheckInvertSelection_Click();
    EXPECT_EQ(states(), (std::map<QString, int>{{"large.pdf", 1}, {"medium.pdf", 2}, {"small.pdf", 2}, {"broken.pdf", 1}}));
    EXPECT_EQ(status(), Summary(2, 300));

    highlight(3, 4);
    w.mnuCtxCheckSelection_Click();
    EXPECT_EQ(states(), (std::map<QString, int>{{"large.pdf", 1}, {"medium.pdf", 2}, {"small.pdf", 1}, {"broken.pdf", 1}}));

    // The search's cache still holds the default places; the command stores the new ones first.
    ASSERT_EQ(State().ColumnPositions.Pages, 2);
    w.mnuCtxInvSelect_Click();
    EXPECT_EQ(State().ColumnPositions.Pages, 0);
    EXPECT_EQ(State().ColumnPositions.Selection, 7);
    EXPECT_EQ(states(), (std::map<QString, int>{{"large.pdf", 2}, {"medium.pdf", 1}, {"small.pdf", 2}, {"broken.pdf", 2}}));
    EXPECT_EQ(status(), Summary(1, 40));

    State().ColumnPositions = ColumnPositionCache{};
    w.mnuCtxSelectAll_Click();
    EXPECT_EQ(State().ColumnPositions.Pages, 0);
    EXPECT_EQ(states(), (std::map<QString, int>{{"large.pdf", 1}, {"medium.pdf", 1}, {"small.pdf", 1}, {"broken.pdf", 2}}));
    EXPECT_EQ(status(), Summary(3, 342));
}

TEST_F(CommandsTest, OpenAndShowFolderAskTheShellForTheCurrentRow)
{
    ShellRecorder shell;
    w.mnuCtxOpen_Click(); // no rows, no current row
    w.mnuCtxOpenFolder_Click();
    EXPECT_TRUE(shell.requests().empty());

    AddResultRow(w, {"a b.pdf", "1", 0, "/docs/reports"});
    AddResultRow(w, {"root.pdf", "1", 0, "/"});
    struct Case {
        int row;
        std::function<void(frmMain &)> command;
        const char *target;
    } cases[] = {
        {1, &frmMain::mnuCtxOpen_Click, "/docs/reports/a b.pdf"},
        {2, &frmMain::mnuCtxOpen_Click, "/root.pdf"},
        {1, &frmMain::mnuCtxOpenFolder_Click, "/docs/reports"},
        {2, &frmMain::mnuCtxOpenFolder_Click, "/"},
    };
    for (const Case &c : cases) {
        grid().setRow(c.row);
        c.command(w);
        ASSERT_FALSE(shell.requests().empty());
        EXPECT_EQ(shell.requests().back().verb, Shell::Verb::Open);
        EXPECT_EQ(shell.requests().back().target, QString::fromLatin1(c.target));
    }
    EXPECT_EQ(shell.requests().size(), 4u);
}

TEST_F(CommandsTest, PrintConfirmsWithThePrinterDialogAndPrintsThere)
{
    TempDir dir;
    dir.createFile("here.pdf", "%PDF-1.4");
    const QString gone = dir.createFile("gone.pdf", "%PDF-1.4");
    AddResultRow(w, {"here.pdf", "1", 0, dir.path()});
    AddResultRow(w, {"gone.pdf", "1", 0, dir.path()});
    ASSERT_TRUE(QFile::remove(gone)); // deleted after the search listed it
    ShellRecorder shell;
    {
        ScriptedPrinterDialog dialog(QStringLiteral("Office"));
        grid().setRow(2);
        w.mnuCtxPrintFile_Click();
        EXPECT_EQ(dialog.shown, 0);
        EXPECT_TRUE(shell.requests().empty());

        grid().setRow(1);
        w.mnuCtxPrintFile_Click();
        EXPECT_EQ(dialog.shown, 1);
        ASSERT_EQ(shell.requests().size(), 1u);
        EXPECT_EQ(shell.requests()[0].verb, Shell::Verb::Print);
        EXPECT_EQ(shell.requests()[0].target, dir.filePath("here.pdf"));
        EXPECT_EQ(shell.requests()[0].printer, "Office");
    }
    {
        ScriptedPrinterDialog cancelled(std::nullopt);
        w.mnuCtxPrintFile_Click();
        EXPECT_EQ(cancelled.shown, 1);
        EXPECT_EQ(shell.requests().size(), 1u);
    }
    EXPECT_TRUE(ErrorLogLines().isEmpty());
}

}  // namespace
