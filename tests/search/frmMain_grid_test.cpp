#include "search/frmMain.h"

#include "app/GridColumns.h"
#include "app/ProgramState.h"
#include "app/Settings.h"
#include "app/modGeneral.h"
#include "platform/DataGrid.h"
#include "platform/FolderTree.h"
#include "support/MainWindowFixture.h"
#include "support/RealInput.h"
#include "support/TestEnv.h"

#include <QAbstractItemModel>
#include <QDockWidget>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

using namespace folvane;
using namespace folvane::test;

namespace {

const char *const DefaultOrder = "Name,Selection,Pages,Location,Size (In KB),Type,Created Date,Modified Date";

class GridTest : public MainWindowFixture {
protected:
    Settings &settings() { return *State().objSettings; }
    DataGrid &grid() { return *w.grdSearchList; }

    QStringList headers()
    {
        QStringList texts;
        for (int c = 0; c < grid().Cols(); ++c)
            texts << grid().TextMatrix(0, c);
        return texts;
    }
    std::vector<bool> hidden()
    {
        std::vector<bool> result;
        for (int c = 0; c < grid().Cols(); ++c)
            result.push_back(grid().ColHidden(c));
        return result;
    }
    void setChecks(const std::vector<int> &states)
    {
        for (int r = 1; r < grid().Rows(); ++r)
            grid().setCell(flexcpChecked, r, ColumnOf(ColumnKey::Selection), states[r - 1]);
    }

    frmMain w;
};

TEST_F(GridTest, SetUpFollowsTheReorderedModel)
{
    w.InitFiles();
    AddResultRow(w, {"left over.pdf", "1"});
    settings().setColumnReOrder("Pages,Name,Selection,Location,Size (In KB),Type,Created Date,Modified Date");
    settings().setLastGridColWidth("900,1700,250,1800,1000,1400,2000,2000");
    settings().setColumnVisibility("1,1,1,0,1,1,1,0");
    w.InitFiles();

    EXPECT_EQ(headers().join(','), settings().ColumnReOrder());
    EXPECT_EQ(grid().Rows(), 1); // rows of an earlier list are gone
    EXPECT_EQ(grid().FixedRows(), 1);
    EXPECT_EQ(grid().FixedCols(), 0);
    EXPECT_EQ(grid().Editable(), 0);
    EXPECT_EQ(grid().ExplorerBar(), 2);
    // The saved widths of the moved columns, the model's own for the others.
    EXPECT_EQ(grid().ColWidth(0), 900);
    EXPECT_EQ(grid().ColWidth(1), 1700);
    EXPECT_EQ(grid().ColWidth(2), 250);
    EXPECT_EQ(grid().ColWidth(3), 1800);

    struct Expect {
        QLatin1StringView key;
        int type;
        int alignment;
        const char *format;
    } expected[] = {
        {ColumnKey::Pages, GridDataType::Decimal, GridAlign::RightCenter, ""},
        {ColumnKey::Name, GridDataType::String, GridAlign::LeftCenter, ""},
        {ColumnKey::Selection, GridDataType::Boolean, GridAlign::LeftCenter, ""},
        {ColumnKey::Size, GridDataType::Decimal, GridAlign::RightCenter, ""},
        {ColumnKey::Created, GridDataType::Date, GridAlign::LeftCenter, "dd/mm/yyyy hh:mm ampm"},
        {ColumnKey::Modified, GridDataType::Date, GridAlign::LeftCenter, "dd/mm/yyyy hh:mm ampm"},
    };
    for (const Expect &e : expected) {
        SCOPED_TRACE(e.key.data());
        EXPECT_EQ(grid().ColDataType(ColumnOf(e.key)), e.type);
        EXPECT_EQ(grid().ColAlignment(ColumnOf(e.key)), e.alignment);
        EXPECT_EQ(grid().ColFormat(ColumnOf(e.key)), QString::fromLatin1(e.format));
    }
    EXPECT_EQ(hidden(), std::vector<bool>({false, false, false, true, false, false, false, true}));
}

TEST_F(GridTest, RefreshGridKeepsTheRowsAndAppliesChangedPreferences)
{
    w.InitFiles();
    AddResultRow(w, {"a.pdf", "3", GridCheck::Checked});
    AddResultRow(w, {"b.pdf", "Secured or Corrupted", GridCheck::Unchecked});

    settings().setColumnReOrder("Name,Pages,Selection,Location,Size (In KB),Type,Created Date,Modified Date");
    settings().setLastGridColWidth("2000,700,250,1800,1000,1400,2100,2200");
    settings().setColumnVisibility("1,0,1,1,1,1,0,1");
    w.RefreshGrid();

    EXPECT_EQ(headers().join(','), settings().ColumnReOrder());
    ASSERT_EQ(grid().Rows(), 3);
    // The cells moved with their columns.
    EXPECT_EQ(grid().TextMatrix(1, 1), "3");
    EXPECT_EQ(grid().TextMatrix(2, 1), "Secured or Corrupted");
    EXPECT_EQ(grid().Cell(flexcpChecked, 1, 2).toInt(), GridCheck::Checked);
    EXPECT_EQ(grid().ColDataType(1), GridDataType::Decimal);
    EXPECT_EQ(grid().ColAlignment(1), GridAlign::RightCenter);
    EXPECT_EQ(grid().ColWidth(0), 2000);
    EXPECT_EQ(grid().ColWidth(6), 2100);
    EXPECT_EQ(grid().ColWidth(7), 2200);
    EXPECT_EQ(hidden(), std::vector<bool>({false, true, false, false, false, false, true, false}));

    // A shorter list leaves the columns past its end as they were.
    settings().setColumnVisibility("0");
    w.RefreshGrid();
    EXPECT_EQ(hidden(), std::vector<bool>({true, true, false, false, false, false, true, false}));
    settings().setColumnVisibility("1,1,1,1,1,1,1,1");
    w.RefreshGrid();
    EXPECT_EQ(hidden(), std::vector<bool>(8, false));
    EXPECT_TRUE(ErrorLogLines().isEmpty());
}

TEST_F(GridTest, ASavedWidthThatIsNoWidthKeepsTheColumnsWidth)
{
    w.InitFiles();
    // A negative entry keeps the width, as does one that no column can be as wide as.
    settings().setLastGridColWidth("2000,-1,700,1e30,1000,1400,2000,2000");
    w.RefreshGrid();
    EXPECT_EQ(headers().join(','), DefaultOrder);
    EXPECT_EQ(grid().ColWidth(0), 2000);
    EXPECT_EQ(grid().ColWidth(ColumnOf(ColumnKey::Selection)), 250);
    EXPECT_EQ(grid().ColWidth(ColumnOf(ColumnKey::Location)), 1800);
    EXPECT_EQ(grid().ColDataType(ColumnOf(ColumnKey::Selection)), GridDataType::Boolean);
    EXPECT_TRUE(ErrorLogLines().isEmpty());
}

TEST_F(GridTest, EverySavedOrderIsShownWithItsWidthsAndVisibilityAndBackToTheDefault)
{
    // Widths and visibility are stored by display position: entry p must land on the column the
    // saved order puts at p. The set-up takes the default model to each order, and re-applying the
    // model takes it back.
    const StorageInMemory storage;
    const QStringList defaultOrder = QString(DefaultOrder).split(',');
    const QString widths = "1000,1001,1002,1003,1004,1005,1006,1007";
    const QString visibility = "1,0,1,1,0,1,1,0";
    settings().setLastGridColWidth(widths);
    settings().setColumnVisibility(visibility);
    auto shows = [&](const QStringList &order, bool selectionMoved) {
        if (headers() != order)
            return false;
        for (int p = 0; p < order.size(); ++p) {
            const int width = order[p] == ColumnKey::Selection && selectionMoved ? 250 : 1000 + p;
            if (modGeneral::GetColumnIndexByKey(order[p]) != p || grid().ColWidth(p) != width
                || grid().ColHidden(p) != (visibility.split(',')[p] != "1"))
                return false;
        }
        return true;
    };
    int wrong = 0;
    QString firstWrong;
    ForEachOrderOfTheDefaultColumns([&](const QStringList &order) {
        settings().setColumnReOrder(order.join(','));
        w.InitFiles();
        bool right = shows(order, order.indexOf(ColumnKey::Selection) != 1);
        settings().setColumnReOrder(DefaultOrder);
        w.RefreshGrid(); // gives every column its saved width, "Selection" too
        right = right && shows(defaultOrder, false);
        if (!right && wrong++ == 0)
            firstWrong = order.join(',');
    });
    EXPECT_EQ(wrong, 0) << "first wrong order: " << firstWrong.toStdString();
    EXPECT_TRUE(ErrorLogLines().isEmpty());
}

TEST_F(GridTest, AMovedColumnIsStoredWithItsWidthAndVisibility)
{
    struct Case {
        int from, to;
        const char *order, *widths, *visibility;
    } cases[] = {
        {2, 0, "Pages,Name,Selection,Location,Size (In KB),Type,Created Date,Modified Date", "3,1,2,4,5,6,7,8",
         "1,1,0,1,1,1,1,0"},
        {0, 2, "Selection,Pages,Name,Location,Size (In KB),Type,Created Date,Modified Date", "2,3,1,4,5,6,7,8",
         "0,1,1,1,1,1,1,0"},
        {7, 3, "Name,Selection,Pages,Modified Date,Location,Size (In KB),Type,Created Date", "1,2,3,8,4,5,6,7",
         "1,0,1,0,1,1,1,1"},
    };
    const QLatin1StringView keys[] = {ColumnKey::Name, ColumnKey::Selection, ColumnKey::Pages, ColumnKey::Location,
                                      ColumnKey::Size,  ColumnKey::Type,      ColumnKey::Created, ColumnKey::Modified};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.order);
        settings().setColumnReOrder(DefaultOrder);
        settings().setLastGridColWidth("1,2,3,4,5,6,7,8");
        settings().setColumnVisibility("1,0,1,1,1,1,1,0");
        w.InitFiles();
        // The grid has moved the column itself before it reports the move.
        grid().setColPosition(c.from, c.to);
        emit grid().AfterMoveColumn(c.from, c.to);

        EXPECT_EQ(settings().ColumnReOrder(), QString::fromLatin1(c.order));
        EXPECT_EQ(settings().LastGridColWidth(), QString::fromLatin1(c.widths));
        EXPECT_EQ(settings().ColumnVisibility(), QString::fromLatin1(c.visibility));
        EXPECT_EQ(State().ColumnWidths.join(','), QString::fromLatin1(c.widths));
        EXPECT_EQ(State().ColumnVisible.join(','), QString::fromLatin1(c.visibility));
        // The model follows: every key at its new place, every width still its own.
        for (int i = 0; i < 8; ++i) {
            const GridColumns::Ptr column = State().objGridColumns->Item(QString(keys[i]));
            EXPECT_EQ(column->ColumnIndex, QString::fromLatin1(c.order).split(',').indexOf(keys[i])) << keys[i].data();
            if (column->ColumnKey != ColumnKey::Selection) {
                EXPECT_EQ(column->ColumnWidth, i + 1) << keys[i].data();
            }
        }
    }
    EXPECT_TRUE(ErrorLogLines().isEmpty());
}

TEST_F(GridTest, AColumnDroppedOnItsOwnPlaceStoresNothing)
{
    w.InitFiles();
    settings().setColumnReOrder("as it was");
    std::int32_t position = 3;
    w.grdSearchList_AfterMoveColumn(3, position);
    EXPECT_EQ(settings().ColumnReOrder(), "as it was");
    EXPECT_EQ(settings().LastGridColWidth(), "1800,250,700,1800,1000,1400,2000,2000");
}

TEST_F(GridTest, AFailedMoveKeepsTheNewOrderWithTheOldWidthsAndVisibility)
{
    w.InitFiles();
    settings().setLastGridColWidth("1,2,3");
    grid().setColPosition(0, 5);
    std::int32_t position = 5;
    w.grdSearchList_AfterMoveColumn(0, position);
    EXPECT_EQ(settings().ColumnReOrder(), headers().join(','));
    EXPECT_EQ(settings().LastGridColWidth(), "1,2,3");
    EXPECT_EQ(settings().ColumnVisibility(), "1,1,1,1,1,1,1,1");
    const QStringList log = ErrorLogLines();
    ASSERT_EQ(log.size(), 1);
    EXPECT_TRUE(log[0].contains(") in procedure grdSearchList_AfterMoveColumn at Line No. ")) << log[0].toStdString();
    EXPECT_TRUE(log[0].contains(" of Form frmMain at time")) << log[0].toStdString();
}

TEST_F(GridTest, SortRulesByKeyAndSortbyNumeric)
{
    // Columns away from their default places: the rules go by key, not by position.
    settings().setColumnReOrder("Pages,Size (In KB),Location,Name,Selection,Type,Created Date,Modified Date");
    w.InitFiles();
    struct Case {
        QLatin1StringView key;
        int sortByNumeric;
        int order, expected;
    } cases[] = {
        {ColumnKey::Name, 1, 1, 3}, {ColumnKey::Name, 1, 2, 3}, {ColumnKey::Name, 1, 3, 3}, {ColumnKey::Name, 1, 4, 4},
        {ColumnKey::Name, 0, 1, 1}, {ColumnKey::Name, 0, 2, 2}, {ColumnKey::Name, 0, 3, 1}, {ColumnKey::Name, 0, 4, 1},
        {ColumnKey::Pages, 0, 1, 3}, {ColumnKey::Pages, 0, 2, 3}, {ColumnKey::Pages, 0, 4, 4}, {ColumnKey::Pages, 1, 1, 3},
        {ColumnKey::Size, 0, 2, 3}, {ColumnKey::Size, 1, 4, 4},
        {ColumnKey::Location, 1, 1, 1}, {ColumnKey::Location, 0, 3, 3}, {ColumnKey::Created, 1, 2, 2}, {ColumnKey::Selection, 0, 4, 4},
    };
    for (const Case &c : cases) {
        settings().setSortbyNumeric(static_cast<std::int16_t>(c.sortByNumeric));
        // Through the grid's event, as a header click raises it.
        int order = c.order;
        emit grid().BeforeSort(ColumnOf(c.key), order);
        EXPECT_EQ(order, c.expected) << c.key.data() << " SortbyNumeric " << c.sortByNumeric << " order " << c.order;
    }
}

TEST_F(GridTest, SpaceTogglesEveryRowOfTheSelectedBlock)
{
    struct Case {
        std::vector<int> before;
        int row1, row2;
        std::vector<int> after;
    } cases[] = {
        {{1, 2, 1, 1}, 1, 3, {2, 1, 2, 1}},
        {{0, 1, 2, 0}, 1, 4, {1, 2, 1, 1}}, // an unset box counts as unchecked
        {{1, 1, 2, 2}, 3, 3, {1, 1, 1, 2}},
    };
    for (const Case &c : cases) {
        w.InitFiles();
        for (int i = 0; i < 4; ++i)
            AddResultRow(w, {QStringLiteral("f%1.pdf").arg(i), "1", c.before[i]});
        w.ShowStatus("before");
        // The block's columns do not matter.
        grid().Select(c.row1, ColumnOf(ColumnKey::Name), c.row2, ColumnOf(ColumnKey::Pages));
        w.grdSearchList_KeyDown(32, 1);
        EXPECT_EQ(CheckStates(w), c.after) << c.row1 << "-" << c.row2;
        // The summary counts the rows as they are now: every file has one page.
        const auto checked = std::count(c.after.begin(), c.after.end(), GridCheck::Checked);
        EXPECT_EQ(w.sbPanelStatus->text(), QStringLiteral("%1 file selected; Total Page count of PDF Files: %1").arg(checked));
        w.grdSearchList_KeyDown(65, 0);
        EXPECT_EQ(CheckStates(w), c.after);
    }
}

TEST_F(GridTest, SpaceWithoutASelectionChangesNothing)
{
    w.InitFiles();
    AddResultRow(w, {"a.pdf", "1", GridCheck::Checked});
    AddResultRow(w, {"b.pdf", "1"});
    ASSERT_EQ(grid().GetSelection().row1, -1);
    w.grdSearchList_KeyDown(32, 0);
    EXPECT_EQ(CheckStates(w), std::vector<int>({1, 0}));
}

TEST_F(GridTest, SpaceKeyIsConsumedAfterTheToggle)
{
    w.InitFiles();
    for (int i = 0; i < 3; ++i)
        AddResultRow(w, {QStringLiteral("f%1.pdf").arg(i), "1", GridCheck::Unchecked});
    // Editable by mouse, with the cursor on a check box: the table would flip it a second time.
    grid().setEditable(2);
    grid().Select(1, ColumnOf(ColumnKey::Selection), 3, ColumnOf(ColumnKey::Selection));
    QTest::keyClick(grid().view(), Qt::Key_Space);
    EXPECT_EQ(CheckStates(w), std::vector<int>({1, 1, 1}));
    int keyCode = 32;
    emit grid().KeyDown(keyCode, 0);
    EXPECT_EQ(keyCode, 0);
    EXPECT_EQ(CheckStates(w), std::vector<int>({2, 2, 2}));
    keyCode = 40;
    emit grid().KeyDown(keyCode, 0);
    EXPECT_EQ(keyCode, 40); // other keys go on to the table
}

TEST_F(GridTest, TheStatusFollowsEveryChangeOfCheckStatesWhateverMadeIt)
{
    const QString prefix = QStringLiteral(" file selected; Total Page count of PDF Files: ");
    struct Case {
        const char *what;
        std::vector<int> before; // check states of the rows of 10, 20 and 40 pages
        std::function<void()> change;
        QString expected;
    };
    const std::vector<Case> cases = {
        {"a block checked by code", {0, 0, 0},
         [&] { grid().setCell(flexcpChecked, 1, ColumnOf(ColumnKey::Selection), 2, ColumnOf(ColumnKey::Selection), GridCheck::Checked); },
         "2" + prefix + "30"},
        {"the Space key on highlighted rows", {1, 1, 0},
         [&] {
             grid().Select(2, ColumnOf(ColumnKey::Name), 3, ColumnOf(ColumnKey::Name));
             QTest::keyClick(grid().view(), Qt::Key_Space);
         },
         "2" + prefix + "50"},
        {"a box flipped in the table", {0, 0, 0},
         [&] {
             grid().setEditable(2);
             QAbstractItemModel *model = grid().view()->model();
             model->setData(model->index(2, ColumnOf(ColumnKey::Selection)), Qt::Checked, Qt::CheckStateRole);
         },
         "1" + prefix + "40"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        w.InitFiles();
        AddResultRow(w, {"a.pdf", "10", c.before[0]});
        AddResultRow(w, {"b.pdf", "20", c.before[1]});
        AddResultRow(w, {"c.pdf", "40", c.before[2]});
        QCoreApplication::processEvents();
        w.ShowStatus("old");
        c.change();
        EXPECT_TRUE(WaitUntil([&] { return w.sbPanelStatus->text() == c.expected; }, 2000))
            << w.sbPanelStatus->text().toStdString();
    }
}

TEST_F(GridTest, StatusSummaryOfTheCheckedRows)
{
    const QString prefix = QStringLiteral(" file selected; Total Page count of PDF Files: ");
    struct Case {
        const char *what;
        std::vector<ResultRow> rows;
        QString expected;
    } cases[] = {
        {"nothing checked", {{"a.pdf", "4", 2}, {"b.pdf", "5", 0}}, "0" + prefix + "0"},
        {"three files", {{"a.pdf", "10", 1}, {"b.pdf", "20", 1}, {"x.pdf", "99", 2}, {"c.pdf", "12", 1}},
         "3" + prefix + "42"},
        {"damaged and empty pages", {{"a.pdf", "Secured or Corrupted", 1}, {"b.pdf", "", 1}, {"c.pdf", "5", 1}},
         "3" + prefix + "5"},
        {"other types count as files only", {{"notes.txt", "7", 1}, {"scan.tif", "3", 1}, {"A.PDF", "4", 1}},
         "3" + prefix + "4"},
        {"a name without extension", {{"README", "6", 1}, {"my.pdf.bak", "2", 1}}, "2" + prefix + "0"},
        {"a page count too large fails", {{"a.pdf", "1", 1}, {"b.pdf", "1e12", 1}}, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ClearErrorLog();
        w.InitFiles();
        for (const ResultRow &row : c.rows)
            AddResultRow(w, row);
        EXPECT_EQ(w.getSelectedFileinfo(), c.expected);
        EXPECT_EQ(ErrorLogLines().size(), c.expected.isEmpty() ? 1 : 0);
        // A mouse release over the grid shows it; an empty summary reads "Status".
        w.sbPanelStatus->setText("old");
        w.grdSearchList_MouseUp(1, 0, 5, 5);
        EXPECT_EQ(w.sbPanelStatus->text(), c.expected.isEmpty() ? "Status" : c.expected);
    }
    w.ShowStatus("");
    EXPECT_EQ(w.sbPanelStatus->text(), "Status");
    w.ShowStatus("x");
    EXPECT_EQ(w.sbPanelStatus->text(), "x");
}

/// The window on screen, so the mouse reaches the grid.
class GridMouseTest : public GridTest {
protected:
    void SetUp() override
    {
        GridTest::SetUp();
        // The folder tree would start a search when shown; that is not what these tests are about.
        w.ftvFolder->blockSignals(true);
        w.addDockWidget(Qt::RightDockWidgetArea, w.paneSearchList);
        w.resize(1000, 600);
        w.InitFiles();
        AddResultRow(w, {"a.pdf", "3", GridCheck::Unchecked});
        AddResultRow(w, {"b.pdf", "4", GridCheck::Unchecked});
        w.PopupMenu = [this](QMenu *menu, const QPoint &at) { popups.emplace_back(menu, at); };
        w.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    }
    QTableView *view() { return grid().view(); }
    QHeaderView *header() { return view()->horizontalHeader(); }
    QPoint cellCenter(int row, int col) { return view()->visualRect(view()->model()->index(row - 1, col)).center(); }
    QPoint headerCenter(int col)
    {
        return QPoint(header()->sectionViewportPosition(col) + header()->sectionSize(col) / 2, header()->height() / 2);
    }

    std::vector<std::pair<QMenu *, QPoint>> popups;
};

TEST_F(GridMouseTest, RightClickOpensTheMenuOverResultCellsOnly)
{
    QTest::mouseClick(header()->viewport(), Qt::RightButton, {}, headerCenter(ColumnOf(ColumnKey::Pages)));
    EXPECT_TRUE(popups.empty());
    QTest::mouseClick(view()->viewport(), Qt::RightButton, {}, QPoint(5, view()->viewport()->height() - 3));
    EXPECT_TRUE(popups.empty());

    const QPoint at = cellCenter(2, ColumnOf(ColumnKey::Location));
    QTest::mouseClick(view()->viewport(), Qt::RightButton, {}, at);
    ASSERT_EQ(popups.size(), 1u);
    EXPECT_EQ(popups[0].first, w.mnuCtxMenu);
    EXPECT_EQ(popups[0].second, view()->viewport()->mapToGlobal(at));
    EXPECT_EQ(grid().Row(), 2); // the file commands then act on the clicked row
    EXPECT_EQ(grid().Editable(), 0);
}

TEST_F(GridMouseTest, OnlyTheCheckBoxesChangeUnderTheMouse)
{
    QTest::mouseClick(view()->viewport(), Qt::LeftButton, {}, cellCenter(2, ColumnOf(ColumnKey::Selection)));
    EXPECT_EQ(grid().Editable(), 2);
    EXPECT_EQ(CheckStates(w), std::vector<int>({2, 1}));
    // The release shows the summary with the click counted.
    QCoreApplication::processEvents();
    EXPECT_EQ(w.sbPanelStatus->text(), "1 file selected; Total Page count of PDF Files: 4");

    QTest::mouseClick(view()->viewport(), Qt::RightButton, {}, cellCenter(1, ColumnOf(ColumnKey::Selection)));
    EXPECT_EQ(grid().Editable(), 0);
    EXPECT_EQ(CheckStates(w), std::vector<int>({2, 1}));

    QTest::mouseClick(view()->viewport(), Qt::LeftButton, {}, cellCenter(1, ColumnOf(ColumnKey::Name)));
    EXPECT_EQ(grid().Editable(), 0);
    QTest::mouseDClick(view()->viewport(), Qt::LeftButton, {}, cellCenter(1, ColumnOf(ColumnKey::Name)));
    for (const QLineEdit *editor : view()->viewport()->findChildren<QLineEdit *>())
        EXPECT_FALSE(editor->isVisible());
    EXPECT_EQ(grid().TextMatrix(1, ColumnOf(ColumnKey::Name)), "a.pdf");
}

TEST_F(GridMouseTest, AHeaderClickOnSizeSortsByTheNumber)
{
    w.InitFiles();
    const char *sizes[] = {"1,500 KB", "900 KB", "20 KB"};
    for (const char *size : sizes) {
        const int r = AddResultRow(w, {QString::fromLatin1(size), "1"});
        grid().setTextMatrix(r, ColumnOf(ColumnKey::Size), QString::fromLatin1(size));
    }
    grid().setExplorerBar(3); // as a search leaves it
    settings().setSortbyNumeric(0);
    QTest::mouseClick(header()->viewport(), Qt::LeftButton, {}, headerCenter(ColumnOf(ColumnKey::Size)));
    QStringList column;
    for (int r = 1; r < grid().Rows(); ++r)
        column << grid().TextMatrix(r, ColumnOf(ColumnKey::Size));
    EXPECT_EQ(column, QStringList({"20 KB", "900 KB", "1,500 KB"}));
}

TEST_F(GridMouseTest, AHeaderClickOnNameSortsTheNumbersInNamesWhenNumericSortingIsAllowed)
{
    const QStringList names = {"file 10.pdf", "Ärger.pdf", "file 2.pdf", "zero.pdf", "file 1.pdf", "Arger.pdf"};
    struct Case {
        const char *locale;
        int sortByNumeric;
        QStringList expected;
    } cases[] = {
        {"en_US", 1, {"Arger.pdf", "Ärger.pdf", "file 1.pdf", "file 2.pdf", "file 10.pdf", "zero.pdf"}},
        {"en_US", 0, {"Arger.pdf", "Ärger.pdf", "file 1.pdf", "file 10.pdf", "file 2.pdf", "zero.pdf"}},
        {"de_DE", 1, {"Arger.pdf", "Ärger.pdf", "file 1.pdf", "file 2.pdf", "file 10.pdf", "zero.pdf"}},
    };
    const QLocale saved;
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.locale) + " SortbyNumeric " + std::to_string(c.sortByNumeric));
        QLocale::setDefault(QLocale(QString::fromLatin1(c.locale)));
        w.InitFiles();
        for (const QString &name : names)
            AddResultRow(w, {name, "1"});
        grid().setExplorerBar(3); // as a search leaves it
        settings().setSortbyNumeric(static_cast<std::int16_t>(c.sortByNumeric));
        QTest::mouseClick(header()->viewport(), Qt::LeftButton, {}, headerCenter(ColumnOf(ColumnKey::Name)));
        QStringList column;
        for (int r = 1; r < grid().Rows(); ++r)
            column << grid().TextMatrix(r, ColumnOf(ColumnKey::Name));
        EXPECT_EQ(column.join(" | ").toStdString(), c.expected.join(" | ").toStdString());
    }
    QLocale::setDefault(saved);
}

}  // namespace
