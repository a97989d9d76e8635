#include "platform/DataGrid.h"

#include "app/ErrorLog.h"

#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QLineEdit>
#include <QLocale>
#include <QPainter>
#include <QPixmap>
#include <QTableView>
#include <QTemporaryFile>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

using namespace folvane;

namespace {

QIcon SolidIcon(Qt::GlobalColor color)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(color);
    return QIcon(pixmap);
}

/// A shown grid with a header row and three columns: "Name" (text), "Selection" (boolean), "Pages".
class DataGridTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        grid.resize(500, 300);
        grid.setCols(3);
        grid.setFixedRows(1);
        grid.setRows(1);
        grid.setTextMatrix(0, 0, "Name");
        grid.setTextMatrix(0, 1, "Selection");
        grid.setTextMatrix(0, 2, "Pages");
        grid.setColDataType(1, GridDataType::Boolean);
        grid.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    }

    /// Appends rows of (name, pages).
    void addRows(const std::vector<std::pair<QString, QString>> &rows)
    {
        for (const auto &[name, pages] : rows) {
            grid.setRows(grid.Rows() + 1);
            grid.setTextMatrix(grid.Rows() - 1, 0, name);
            grid.setTextMatrix(grid.Rows() - 1, 2, pages);
        }
    }

    QStringList column(int col) const
    {
        QStringList texts;
        for (int r = 1; r < grid.Rows(); ++r)
            texts << grid.TextMatrix(r, col);
        return texts;
    }

    QTableView *view() const { return grid.view(); }
    QHeaderView *header() const { return grid.view()->horizontalHeader(); }
    QPoint cellCenter(int row, int col) const
    {
        return view()->visualRect(view()->model()->index(row - grid.FixedRows(), col)).center();
    }
    QPoint headerCenter(int col) const
    {
        return QPoint(header()->sectionViewportPosition(col) + header()->sectionSize(col) / 2, header()->height() / 2);
    }

    DataGrid grid;
};

TEST_F(DataGridTest, TextMatrixRoundTripAndHeaderRow)
{
    addRows({{"a.pdf", "3"}, {"b.pdf", "4"}});
    EXPECT_EQ(grid.TextMatrix(2, 0), "b.pdf");
    EXPECT_EQ(grid.TextMatrix(1, 2), "3");
    // Row 0 is what the header shows; data rows start below it.
    EXPECT_EQ(view()->model()->rowCount(), 2);
    EXPECT_EQ(view()->model()->headerData(2, Qt::Horizontal).toString(), "Pages");
    grid.setTextMatrix(0, 2, "Pg");
    EXPECT_EQ(view()->model()->headerData(2, Qt::Horizontal).toString(), "Pg");
    EXPECT_EQ(view()->model()->index(0, 0).data().toString(), "a.pdf");
    EXPECT_EQ(grid.Cell(flexcpText, 2, 0).toString(), "b.pdf");
}

TEST_F(DataGridTest, RowsGrowWithEmptyCellsAndShrinkFromTheEnd)
{
    addRows({{"a.pdf", "3"}, {"b.pdf", "4"}});
    grid.setCell(flexcpChecked, 2, 1, GridCheck::Checked);
    grid.setRows(5);
    EXPECT_EQ(grid.Rows(), 5);
    EXPECT_EQ(grid.TextMatrix(4, 0), "");
    EXPECT_EQ(grid.Cell(flexcpChecked, 4, 1).toInt(), GridCheck::Unset);
    grid.setRows(2);
    EXPECT_EQ(column(0), QStringList({"a.pdf"}));
    grid.setRows(3);
    // A row dropped and added again comes back empty, not with its old content.
    EXPECT_EQ(grid.TextMatrix(2, 0), "");
    EXPECT_EQ(grid.Cell(flexcpChecked, 2, 1).toInt(), GridCheck::Unset);
    grid.setRows(1);
    EXPECT_EQ(view()->model()->rowCount(), 0);
    EXPECT_EQ(grid.TextMatrix(0, 0), "Name");
}

TEST_F(DataGridTest, OutOfRangeAddressesRaiseAnError)
{
    addRows({{"a.pdf", "3"}});
    EXPECT_THROW(grid.TextMatrix(2, 0), AppError);
    EXPECT_THROW(grid.setTextMatrix(0, 3, "x"), AppError);
    EXPECT_THROW(grid.setCell(flexcpChecked, 1, 1, 5, 1, GridCheck::Checked), AppError);
    EXPECT_THROW(grid.setCell(flexcpChecked, 1, 1, 7), AppError);
    EXPECT_THROW(grid.setColWidth(-1, 100), AppError);
    EXPECT_THROW(grid.setRowPosition(1, 0), AppError);
    EXPECT_EQ(grid.Cell(flexcpChecked, 1, 1).toInt(), GridCheck::Unset);
}

TEST_F(DataGridTest, CheckStatesShowBoxesInBooleanColumnsAndWhereSet)
{
    addRows({{"a.pdf", "3"}, {"b.pdf", "4"}, {"c.pdf", "5"}});
    QAbstractItemModel *model = view()->model();
    // Unset counts as unchecked and still shows a box in the boolean column, none elsewhere.
    EXPECT_EQ(model->index(0, 1).data(Qt::CheckStateRole).value<Qt::CheckState>(), Qt::Unchecked);
    EXPECT_FALSE(model->index(0, 0).data(Qt::CheckStateRole).isValid());
    grid.setCell(flexcpChecked, 1, 1, 3, 1, GridCheck::Checked);
    grid.setCell(flexcpChecked, 2, 1, GridCheck::Unchecked);
    grid.setCell(flexcpChecked, 1, 2, GridCheck::Checked);
    EXPECT_EQ(grid.Cell(flexcpChecked, 1, 1).toInt(), GridCheck::Checked);
    EXPECT_EQ(grid.Cell(flexcpChecked, 2, 1).toInt(), GridCheck::Unchecked);
    EXPECT_EQ(grid.Cell(flexcpChecked, 3, 1).toInt(), GridCheck::Checked);
    EXPECT_EQ(model->index(0, 2).data(Qt::CheckStateRole).value<Qt::CheckState>(), Qt::Checked);
}

TEST_F(DataGridTest, SortCarriesChecksPicturesAndColoursWithTheirRows)
{
    addRows({{"c.pdf", "30"}, {"a.pdf", "10"}, {"b.pdf", "20"}});
    const QIcon pdf = SolidIcon(Qt::red);
    grid.setCell(flexcpChecked, 1, 1, GridCheck::Checked); // c
    grid.setCell(flexcpPicture, 2, 0, pdf);                 // a
    grid.setCell(flexcpForeColor, 3, 2, 255);               // b, red in colour-number form
    grid.setCell(flexcpBackColor, 1, 0, QColor(Qt::yellow)); // c
    grid.Sort(0, GridSort::GenericAscending);
    EXPECT_EQ(column(0), QStringList({"a.pdf", "b.pdf", "c.pdf"}));
    EXPECT_EQ(grid.Cell(flexcpChecked, 3, 1).toInt(), GridCheck::Checked);
    EXPECT_EQ(grid.Cell(flexcpChecked, 1, 1).toInt(), GridCheck::Unset);
    EXPECT_EQ(grid.Cell(flexcpPicture, 1, 0).value<QIcon>().cacheKey(), pdf.cacheKey());
    EXPECT_TRUE(grid.Cell(flexcpPicture, 3, 0).value<QIcon>().isNull());
    EXPECT_EQ(grid.Cell(flexcpForeColor, 2, 2).value<QColor>(), QColor(Qt::red));
    EXPECT_FALSE(grid.Cell(flexcpForeColor, 3, 2).value<QColor>().isValid());
    EXPECT_EQ(grid.Cell(flexcpBackColor, 3, 0).value<QColor>(), QColor(Qt::yellow));
    // Copying a default colour back restores the default.
    grid.setCell(flexcpForeColor, 2, 2, grid.Cell(flexcpForeColor, 2, 0));
    EXPECT_FALSE(grid.Cell(flexcpForeColor, 2, 2).value<QColor>().isValid());
}

TEST_F(DataGridTest, SortRulesPerDataTypeAndOrder)
{
    struct Case {
        const char *what;
        int dataType;
        int order;
        QStringList texts;
        QStringList expected;
    } cases[] = {
        {"generic is case-blind text", GridDataType::String, GridSort::GenericAscending,
         {"b.pdf", "A.pdf", "a2.pdf", "C.pdf"}, {"A.pdf", "a2.pdf", "b.pdf", "C.pdf"}},
        {"generic descending", GridDataType::String, GridSort::GenericDescending,
         {"b", "A", "c"}, {"c", "b", "A"}},
        {"generic puts whole numbers first, by value", GridDataType::String, GridSort::GenericAscending,
         {"10", "x", "9", "1a"}, {"9", "10", "1a", "x"}},
        {"numeric reads sizes without the grouping", GridDataType::Decimal, GridSort::NumericAscending,
         {"1,500 KB", "20 KB", "0 KB", "999 KB", "1,000,001 KB"},
         {"0 KB", "20 KB", "999 KB", "1,500 KB", "1,000,001 KB"}},
        {"numeric puts texts without a number last", GridDataType::Decimal, GridSort::NumericAscending,
         {"12", "Secured or Corrupted", "", "3"}, {"3", "12", "", "Secured or Corrupted"}},
        {"numeric descending still puts them last", GridDataType::Decimal, GridSort::NumericDescending,
         {"12", "Secured or Corrupted", "3", "100"}, {"100", "12", "3", "Secured or Corrupted"}},
        {"numeric keeps equal numbers in their order", GridDataType::Decimal, GridSort::NumericAscending,
         {"2 b", "1", "2 a"}, {"1", "2 b", "2 a"}},
        {"dates by date and time, not by text", GridDataType::Date, GridSort::GenericAscending,
         {"02/01/2024 01:00 PM", "15/12/2023 09:30 AM", "02/01/2024 11:59 AM", "01/02/2024 12:05 AM"},
         {"15/12/2023 09:30 AM", "02/01/2024 11:59 AM", "02/01/2024 01:00 PM", "01/02/2024 12:05 AM"}},
        {"dates descending, unreadable last", GridDataType::Date, GridSort::NumericDescending,
         {"", "01/01/2020 12:00 PM", "31/12/2019 11:59 PM"},
         {"01/01/2020 12:00 PM", "31/12/2019 11:59 PM", ""}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        grid.setRows(1);
        grid.setColDataType(2, c.dataType);
        for (const QString &text : c.texts)
            addRows({{text, text}});
        grid.Sort(2, c.order);
        EXPECT_EQ(column(2), c.expected);
        EXPECT_EQ(column(0), c.expected); // the whole row moved
    }
}

TEST_F(DataGridTest, BooleanColumnSortsByCheckState)
{
    addRows({{"a", ""}, {"b", ""}, {"c", ""}});
    grid.setCell(flexcpChecked, 2, 1, GridCheck::Checked);
    grid.setCell(flexcpChecked, 3, 1, GridCheck::Unchecked);
    grid.Sort(1, GridSort::GenericAscending);
    EXPECT_EQ(column(0), QStringList({"b", "a", "c"}));
    grid.Sort(1, GridSort::GenericDescending);
    EXPECT_EQ(column(0), QStringList({"a", "c", "b"}));
}

/// The default locale for the life of the object; texts compare and dates read in it.
class DefaultLocale {
public:
    explicit DefaultLocale(const QLocale &locale) { QLocale::setDefault(locale); }
    ~DefaultLocale() { QLocale::setDefault(saved_); }
    DefaultLocale(const DefaultLocale &) = delete;
    DefaultLocale &operator=(const DefaultLocale &) = delete;

private:
    QLocale saved_;
};

TEST_F(DataGridTest, NamesSortInTheUsersLanguageWithTheNumbersInThemAsNumbers)
{
    const QStringList names = {"zero.pdf", "file 10.pdf", "Ärger.pdf", "inv-100.pdf", "file 2.pdf",
                               "Arger.pdf", "inv-001.pdf", "file 1.pdf", "inv-010.pdf"};
    const QStringList byNumbers = {"Arger.pdf", "Ärger.pdf", "file 1.pdf", "file 2.pdf", "file 10.pdf",
                                   "inv-001.pdf", "inv-010.pdf", "inv-100.pdf", "zero.pdf"};
    const QStringList byText = {"Arger.pdf", "Ärger.pdf", "file 1.pdf", "file 10.pdf", "file 2.pdf",
                                "inv-001.pdf", "inv-010.pdf", "inv-100.pdf", "zero.pdf"};
    QStringList reversed = byNumbers;
    std::reverse(reversed.begin(), reversed.end());
    struct Case {
        const char *locale;
        int order;
        QStringList expected;
    } cases[] = {
        {"en_US", GridSort::NumericAscending, byNumbers},
        {"de_DE", GridSort::NumericAscending, byNumbers},
        {"C", GridSort::NumericAscending, byNumbers}, // no language: the root order
        {"en_US", GridSort::NumericDescending, reversed},
        {"en_US", GridSort::GenericAscending, byText},
        {"C", GridSort::GenericAscending, byText},
        // Swedish puts Ä after Z.
        {"sv_SE", GridSort::NumericAscending,
         {"Arger.pdf", "file 1.pdf", "file 2.pdf", "file 10.pdf", "inv-001.pdf", "inv-010.pdf", "inv-100.pdf",
          "zero.pdf", "Ärger.pdf"}},
    };
    grid.setColDataType(0, GridDataType::String);
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.locale) + " order " + std::to_string(c.order));
        const DefaultLocale locale{QLocale(QString::fromLatin1(c.locale))};
        grid.setRows(1);
        for (const QString &name : names)
            addRows({{name, name}});
        grid.Sort(0, c.order);
        EXPECT_EQ(column(0).join(" | ").toStdString(), c.expected.join(" | ").toStdString());
        EXPECT_EQ(column(2), c.expected); // the whole row moved
    }
}

TEST_F(DataGridTest, AHeaderClickAfterAChangeThatBreaksTheSortStartsAnewAscending)
{
    grid.setExplorerBar(1);
    std::vector<int> proposed;
    QObject::connect(&grid, &DataGrid::BeforeSort, [&](int, int &order) { proposed.push_back(order); });
    struct Case {
        const char *what;
        int sorted;                    // the column first clicked
        std::function<int()> change;   // changes the grid; gives the column to click next
        bool holds;                    // the sort still holds: the next click reverses it
    };
    const std::vector<Case> cases = {
        {"rows cleared and found again", 0, [&] { grid.setRows(1); addRows({{"c", "1"}, {"a", "2"}, {"b", "3"}}); return 0; }, false},
        {"a row added", 0, [&] { addRows({{"0", "9"}}); return 0; }, false},
        {"a row moved", 0, [&] { grid.setRowPosition(1, 3); return 0; }, false},
        {"a cell of the sorted column", 0, [&] { grid.setTextMatrix(2, 0, "zz"); return 0; }, false},
        {"a check box of the sorted column", 1, [&] { grid.setCell(flexcpChecked, 2, 1, GridCheck::Checked); return 1; }, false},
        {"a cell of another column", 0, [&] { grid.setTextMatrix(2, 2, "77"); return 0; }, true},
        {"a check box of another column", 0, [&] { grid.setCell(flexcpChecked, 1, 1, 3, 1, GridCheck::Checked); return 0; }, true},
        {"the header's caption", 0, [&] { grid.setTextMatrix(0, 0, "File"); return 0; }, true},
        {"the sorted column moved", 0, [&] { grid.setColPosition(0, 2); return 2; }, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        grid.setRows(1);
        for (int col = 0; col < 3; ++col)
            grid.setTextMatrix(0, col, QStringLiteral("c%1").arg(col));
        addRows({{"c", "1"}, {"a", "2"}, {"b", "3"}});
        QTest::mouseClick(header()->viewport(), Qt::LeftButton, {}, headerCenter(c.sorted));
        const int next = c.change();
        proposed.clear();
        QTest::mouseClick(header()->viewport(), Qt::LeftButton, {}, headerCenter(next));
        ASSERT_EQ(proposed.size(), 1u);
        EXPECT_EQ(proposed[0], c.holds ? GridSort::GenericDescending : GridSort::GenericAscending);
        if (next != 0)
            grid.setColPosition(next, 0); // the columns back in their places for the next case
    }
}

TEST_F(DataGridTest, OnlyTheCellsOfTheRuleTakeEditsAndEditingEndsWhenTheCursorLeavesThem)
{
    addRows({{"a", "1"}, {"b", "2"}});
    // The check boxes of column 1 and the texts of column 2; never column 0.
    grid.setEditableCells([](int, int col) { return col == 1 || col == 2; });
    // A closed editor lingers until it is deleted; only a shown one takes keys.
    auto editor = [&]() -> QLineEdit * {
        for (QLineEdit *box : view()->viewport()->findChildren<QLineEdit *>())
            if (box->isVisible())
                return box;
        return nullptr;
    };

    grid.setEditable(2);
    grid.Select(1, 0, 1, 0);
    QTest::keyClick(view(), Qt::Key_Z);
    QTest::keyClick(view(), Qt::Key_F2);
    QTest::mouseDClick(view()->viewport(), Qt::LeftButton, {}, cellCenter(2, 0));
    EXPECT_EQ(editor(), nullptr);
    EXPECT_FALSE(view()->model()->setData(view()->model()->index(0, 0), "x", Qt::EditRole));
    EXPECT_EQ(column(0), QStringList({"a", "b"}));
    EXPECT_FALSE(grid.CellEditable(1, 0));
    EXPECT_TRUE(grid.CellEditable(1, 2));
    EXPECT_FALSE(grid.CellEditable(0, 2)) << "the header row";
    EXPECT_FALSE(grid.CellEditable(-1, -1)) << "no cursor";

    // Within the rule, editing works as the mode says.
    grid.setEditable(2);
    QTest::mouseClick(view()->viewport(), Qt::LeftButton, {}, cellCenter(1, 1));
    EXPECT_EQ(grid.Cell(flexcpChecked, 1, 1).toInt(), GridCheck::Checked);
    QTest::keyClick(view(), Qt::Key_Right);
    ASSERT_EQ(grid.Col(), 2);
    EXPECT_EQ(grid.Editable(), 2) << "from one editable cell to another";
    QTest::keyClick(view(), Qt::Key_7);
    ASSERT_NE(editor(), nullptr);
    QTest::keyClick(editor(), Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_EQ(grid.TextMatrix(1, 2), "7");

    // The cursor leaves the editable cells: editing ends, and stays ended on the way back.
    grid.Select(1, 1, 1, 1);
    QTest::keyClick(view(), Qt::Key_Left);
    EXPECT_EQ(grid.Editable(), 0);
    QTest::keyClick(view(), Qt::Key_Right);
    QTest::keyClick(view(), Qt::Key_Right);
    QTest::keyClick(view(), Qt::Key_8);
    EXPECT_EQ(editor(), nullptr);
    EXPECT_EQ(grid.TextMatrix(1, 2), "7");

    // A mode given while the cursor stands outside the rule lasts until the cursor has been inside.
    grid.Select(2, 0, 2, 0);
    grid.setEditable(1);
    QTest::keyClick(view(), Qt::Key_Up);
    EXPECT_EQ(grid.Editable(), 1);
    QTest::keyClick(view(), Qt::Key_Right);
    QTest::keyClick(view(), Qt::Key_Right);
    QTest::keyClick(view(), Qt::Key_9);
    ASSERT_NE(editor(), nullptr);
    QTest::keyClick(editor(), Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_EQ(grid.TextMatrix(1, 2), "9");
}

TEST_F(DataGridTest, EveryChangeOfCheckStatesIsReportedOnce)
{
    addRows({{"a", "1"}, {"b", "2"}, {"c", "3"}});
    std::vector<std::vector<int>> reported;
    QObject::connect(&grid, &DataGrid::CheckStatesChanged,
                     [&](int row1, int col1, int row2, int col2) { reported.push_back({row1, col1, row2, col2}); });
    grid.setCell(flexcpChecked, 1, 1, 3, 1, GridCheck::Checked);
    grid.setCell(flexcpChecked, 2, 1, GridCheck::Unchecked);
    grid.setTextMatrix(2, 0, "text only");
    grid.setEditable(2);
    QTest::mouseClick(view()->viewport(), Qt::LeftButton, {}, cellCenter(3, 1));
    EXPECT_EQ(grid.Cell(flexcpChecked, 3, 1).toInt(), GridCheck::Unchecked);
    EXPECT_EQ(reported, (std::vector<std::vector<int>>{{1, 1, 3, 1}, {2, 1, 2, 1}, {3, 1, 3, 1}}));
}

TEST(DataGridParse, LeadingNumbersAndDates)
{
    struct NumberCase {
        QString text;
        bool ok;
        double value;
    } numbers[] = {
        {"1,500 KB", true, 1500}, {"  42", true, 42}, {"-3 x", true, -3}, {"2.5", true, 2.5},
        {"Secured or Corrupted", false, 0}, {"", false, 0}, {",5", false, 0}, {"7,", true, 7},
    };
    for (const NumberCase &c : numbers) {
        SCOPED_TRACE(c.text.toStdString());
        double value = 0;
        EXPECT_EQ(DataGridModel::LeadingNumber(c.text, value), c.ok);
        if (c.ok) {
            EXPECT_DOUBLE_EQ(value, c.value);
        }
    }
    std::int64_t noon = 0, midnight = 0, pm = 0, later = 0, dotted = 0;
    ASSERT_TRUE(DataGridModel::DateKey("05/03/2024 12:00 PM", {}, noon));
    ASSERT_TRUE(DataGridModel::DateKey("05/03/2024 12:00 AM", {}, midnight));
    ASSERT_TRUE(DataGridModel::DateKey("05/03/2024 01:00 pm", {}, pm));
    ASSERT_TRUE(DataGridModel::DateKey("06/03/2024 12:00 AM", {}, later));
    ASSERT_TRUE(DataGridModel::DateKey("05.03.2024 12.00 PM", {}, dotted)); // other separators
    EXPECT_LT(midnight, noon);
    EXPECT_LT(noon, pm);
    EXPECT_LT(pm, later);
    EXPECT_EQ(dotted, noon);
    std::int64_t key = 0;
    EXPECT_FALSE(DataGridModel::DateKey("Secured", {}, key));
    EXPECT_FALSE(DataGridModel::DateKey("32/01/2024 01:00 AM", {}, key));
    EXPECT_FALSE(DataGridModel::DateKey("01/13/2024 01:00 AM", {}, key));
    std::int64_t a = 0, b = 0;
    ASSERT_TRUE(DataGridModel::DateKey("2024-03-05 23:10", "yyyy-mm-dd hh:mm", a));
    ASSERT_TRUE(DataGridModel::DateKey("05/03/2024 11:10 PM", {}, b));
    EXPECT_EQ(a, b);
}

TEST_F(DataGridTest, HeaderClickSortsThroughBeforeSort)
{
    addRows({{"b", "10"}, {"a", "9"}, {"c", "100"}});
    grid.setExplorerBar(1);
    std::vector<std::pair<int, int>> proposed;
    int replacement = -1; // -1 leaves the proposal alone
    QObject::connect(&grid, &DataGrid::BeforeSort, [&](int col, int &order) {
        proposed.emplace_back(col, order);
        if (replacement >= 0)
            order = replacement;
    });
    QTest::mouseClick(header()->viewport(), Qt::LeftButton, {}, headerCenter(0));
    EXPECT_EQ(column(0), QStringList({"a", "b", "c"}));
    QTest::mouseClick(header()->viewport(), Qt::LeftButton, {}, headerCenter(0));
    EXPECT_EQ(column(0), QStringList({"c", "b", "a"}));
    ASSERT_EQ(proposed.size(), 2u);
    EXPECT_EQ(proposed[1], std::make_pair(0, int(GridSort::GenericDescending)));

    // The handler turns the text sort of "Pages" into a numeric one; the next click reverses it.
    replacement = GridSort::NumericAscending;
    QTest::mouseClick(header()->viewport(), Qt::LeftButton, {}, headerCenter(2));
    EXPECT_EQ(column(2), QStringList({"9", "10", "100"}));
    replacement = -1;
    QTest::mouseClick(header()->viewport(), Qt::LeftButton, {}, headerCenter(2));
    EXPECT_EQ(proposed.back(), std::make_pair(2, int(GridSort::NumericDescending)));
    EXPECT_EQ(column(2), QStringList({"100", "10", "9"}));

    replacement = GridSort::None; // cancel
    QTest::mouseClick(header()->viewport(), Qt::LeftButton, {}, headerCenter(0));
    EXPECT_EQ(column(2), QStringList({"100", "10", "9"}));

    // Without the sort bit a click sorts nothing and selects no column.
    replacement = -1;
    proposed.clear();
    grid.setExplorerBar(2);
    QTest::mouseClick(header()->viewport(), Qt::LeftButton, {}, headerCenter(0));
    EXPECT_TRUE(proposed.empty());
    EXPECT_EQ(grid.GetSelection().row1, -1);
}

TEST_F(DataGridTest, ColPositionMovesCellsAndColumnProperties)
{
    addRows({{"a.pdf", "3"}, {"b.pdf", "4"}});
    grid.setCell(flexcpChecked, 2, 1, GridCheck::Checked);
    grid.setColWidth(2, 600);
    grid.setColHidden(0, true);
    int raised = 0;
    QObject::connect(&grid, &DataGrid::AfterMoveColumn, [&](int, int) { ++raised; });
    grid.setColPosition(2, 0); // Pages, Name, Selection
    EXPECT_EQ(grid.TextMatrix(0, 0), "Pages");
    EXPECT_EQ(grid.TextMatrix(2, 0), "4");
    EXPECT_EQ(grid.TextMatrix(1, 1), "a.pdf");
    EXPECT_EQ(grid.Cell(flexcpChecked, 2, 2).toInt(), GridCheck::Checked);
    EXPECT_EQ(grid.ColDataType(2), GridDataType::Boolean);
    EXPECT_EQ(grid.ColWidth(0), 600);
    EXPECT_TRUE(grid.ColHidden(1));
    EXPECT_FALSE(grid.ColHidden(0));
    EXPECT_TRUE(header()->isSectionHidden(1));
    EXPECT_EQ(header()->sectionSize(0), (600 * grid.logicalDpiX() + 720) / 1440);
    EXPECT_EQ(raised, 0); // only a move by the user is reported
    grid.setColPosition(0, 2); // back: Name, Selection, Pages
    EXPECT_EQ(grid.TextMatrix(0, 2), "Pages");
    EXPECT_EQ(grid.Cell(flexcpChecked, 2, 1).toInt(), GridCheck::Checked);
}

TEST_F(DataGridTest, DraggingAHeaderMovesTheColumnAndRaisesAfterMoveColumn)
{
    addRows({{"a.pdf", "3"}});
    grid.setCell(flexcpChecked, 1, 1, GridCheck::Checked);
    grid.setExplorerBar(2);
    std::vector<std::pair<int, int>> moves;
    QObject::connect(&grid, &DataGrid::AfterMoveColumn, [&](int col, int position) { moves.emplace_back(col, position); });
    const QPoint from = headerCenter(0);
    const QPoint to(header()->sectionViewportPosition(2) + header()->sectionSize(2) - 5, from.y());
    QTest::mousePress(header()->viewport(), Qt::LeftButton, {}, from);
    for (int x = from.x(); x <= to.x(); x += 10)
        QTest::mouseMove(header()->viewport(), QPoint(x, from.y()));
    QTest::mouseMove(header()->viewport(), to);
    QTest::mouseRelease(header()->viewport(), Qt::LeftButton, {}, to);
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(moves[0], std::make_pair(0, 2));
    EXPECT_EQ(grid.TextMatrix(0, 2), "Name");
    EXPECT_EQ(grid.TextMatrix(1, 2), "a.pdf");
    EXPECT_EQ(grid.Cell(flexcpChecked, 1, 0).toInt(), GridCheck::Checked);
    // The header keeps display order equal to column order.
    EXPECT_EQ(header()->visualIndex(2), 2);
    EXPECT_EQ(view()->model()->headerData(2, Qt::Horizontal).toString(), "Name");
}

TEST_F(DataGridTest, RowPositionMovesWholeRows)
{
    addRows({{"a", "1"}, {"b", "2"}, {"c", "3"}, {"d", "4"}});
    grid.setCell(flexcpChecked, 1, 1, GridCheck::Checked);
    grid.setCell(flexcpPicture, 1, 0, SolidIcon(Qt::blue));
    grid.setRowPosition(1, 3);
    EXPECT_EQ(column(0), QStringList({"b", "c", "a", "d"}));
    EXPECT_EQ(grid.Cell(flexcpChecked, 3, 1).toInt(), GridCheck::Checked);
    EXPECT_FALSE(grid.Cell(flexcpPicture, 3, 0).value<QIcon>().isNull());
    grid.setRowPosition(4, 1);
    EXPECT_EQ(column(0), QStringList({"d", "b", "c", "a"}));
}

TEST_F(DataGridTest, GetSelectionAfterSelectingABlockWithTheMouse)
{
    addRows({{"a", "1"}, {"b", "2"}, {"c", "3"}, {"d", "4"}});
    EXPECT_EQ(grid.GetSelection().row1, -1);
    EXPECT_EQ(grid.GetSelection().row2, -1);
    QTest::mouseClick(view()->viewport(), Qt::LeftButton, {}, cellCenter(3, 2));
    QTest::mouseClick(view()->viewport(), Qt::LeftButton, Qt::ShiftModifier, cellCenter(2, 0));
    const GridSelection s = grid.GetSelection();
    EXPECT_EQ(s.row1, 2);
    EXPECT_EQ(s.col1, 0);
    EXPECT_EQ(s.row2, 3);
    EXPECT_EQ(s.col2, 2);
    grid.Select(1, 0, 4, 1);
    const GridSelection t = grid.GetSelection();
    EXPECT_EQ(std::vector<int>({t.row1, t.col1, t.row2, t.col2}), std::vector<int>({1, 0, 4, 1}));
    EXPECT_EQ(grid.Row(), 1);
    EXPECT_EQ(grid.Col(), 0);
}

TEST_F(DataGridTest, MouseEventsReportTheCellUnderTheMouse)
{
    addRows({{"a", "1"}, {"b", "2"}});
    struct Seen {
        int button, shift, mouseRow, mouseCol, row, col;
    };
    std::vector<Seen> downs, ups;
    QObject::connect(&grid, &DataGrid::MouseDown, [&](int button, int shift, float, float) {
        downs.push_back({button, shift, grid.MouseRow(), grid.MouseCol(), grid.Row(), grid.Col()});
    });
    QObject::connect(&grid, &DataGrid::MouseUp, [&](int button, int shift, float, float) {
        ups.push_back({button, shift, grid.MouseRow(), grid.MouseCol(), grid.Row(), grid.Col()});
    });
    QTest::mouseClick(view()->viewport(), Qt::RightButton, Qt::ControlModifier, cellCenter(2, 1));
    ASSERT_EQ(downs.size(), 1u);
    EXPECT_EQ(downs[0].button, 2);
    EXPECT_EQ(downs[0].shift, 2);
    EXPECT_EQ(downs[0].mouseRow, 2);
    EXPECT_EQ(downs[0].mouseCol, 1);
    EXPECT_EQ(downs[0].row, 2); // the cursor is already on the pressed cell
    EXPECT_EQ(downs[0].col, 1);
    ASSERT_EQ(ups.size(), 1u);
    EXPECT_EQ(ups[0].button, 2);

    QTest::mouseClick(header()->viewport(), Qt::RightButton, {}, headerCenter(2));
    EXPECT_EQ(downs.back().mouseRow, 0);
    EXPECT_EQ(downs.back().mouseCol, 2);

    // Below the last row: no cell.
    QTest::mouseClick(view()->viewport(), Qt::LeftButton, {}, QPoint(10, view()->viewport()->height() - 3));
    EXPECT_EQ(downs.back().mouseRow, -1);
    EXPECT_EQ(downs.back().mouseCol, -1);
    EXPECT_EQ(downs.back().button, 1);
}

TEST_F(DataGridTest, KeyDownComesFirstAndCanConsumeTheKey)
{
    addRows({{"a", "1"}, {"b", "2"}});
    grid.setEditable(2);
    grid.Select(1, 1, 1, 1);
    view()->setFocus();
    bool consume = true;
    std::vector<std::pair<int, int>> keys;
    QObject::connect(&grid, &DataGrid::KeyDown, [&](int &keyCode, int shift) {
        keys.emplace_back(keyCode, shift);
        if (consume && keyCode == 32)
            keyCode = 0;
    });
    QTest::keyClick(view(), Qt::Key_Space, Qt::ShiftModifier);
    EXPECT_EQ(grid.Cell(flexcpChecked, 1, 1).toInt(), GridCheck::Unset);
    // The Shift key itself comes first, as its own key.
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[0], std::make_pair(16, 1));
    EXPECT_EQ(keys[1], std::make_pair(32, 1));
    // Not consumed: the grid's own handling toggles the cursor's check box.
    consume = false;
    QTest::keyClick(view(), Qt::Key_Space);
    EXPECT_EQ(grid.Cell(flexcpChecked, 1, 1).toInt(), GridCheck::Checked);
    QTest::keyClick(view(), Qt::Key_Down);
    EXPECT_EQ(keys.back().first, 40);
    EXPECT_EQ(grid.Row(), 2);
    QTest::keyClick(view(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(keys.back(), std::make_pair(65, 2));
}

TEST_F(DataGridTest, ColWidthRoundTripsInTwips)
{
    const int dpi = grid.logicalDpiX();
    for (const int twips : {1000, 1455, 750, 250, 0, 15}) {
        SCOPED_TRACE(twips);
        grid.setColWidth(0, twips);
        EXPECT_EQ(grid.ColWidth(0), twips);
        EXPECT_EQ(header()->sectionSize(0), static_cast<int>(std::lround(twips * dpi / 1440.0)));
    }
    // A width the user dragged is reported from its pixels.
    grid.setColWidth(0, 1500);
    header()->resizeSection(0, 120);
    EXPECT_EQ(grid.ColWidth(0), static_cast<int>(std::lround(120 * 1440.0 / dpi)));
    // Hidden columns keep their width.
    grid.setColWidth(2, 900);
    grid.setColHidden(2, true);
    EXPECT_TRUE(grid.ColHidden(2));
    EXPECT_TRUE(header()->isSectionHidden(2));
    EXPECT_EQ(grid.ColWidth(2), 900);
    grid.setColHidden(2, false);
    EXPECT_FALSE(header()->isSectionHidden(2));
    EXPECT_EQ(grid.ColWidth(2), 900);
}

TEST_F(DataGridTest, ColumnPropertiesReadBack)
{
    grid.setColFormat(2, "dd/mm/yyyy hh:mm ampm");
    EXPECT_EQ(grid.ColFormat(2), "dd/mm/yyyy hh:mm ampm");
    grid.setColAlignment(-1, GridAlign::LeftCenter);
    grid.setColAlignment(2, GridAlign::RightCenter);
    EXPECT_EQ(grid.ColAlignment(0), GridAlign::LeftCenter);
    EXPECT_EQ(grid.ColAlignment(2), GridAlign::RightCenter);
    addRows({{"a", "12"}});
    EXPECT_EQ(view()->model()->index(0, 2).data(Qt::TextAlignmentRole).value<Qt::Alignment>(),
              Qt::AlignRight | Qt::AlignVCenter);
}

TEST_F(DataGridTest, EditableDecidesWhatTheUserCanChange)
{
    addRows({{"a", "1"}, {"b", "2"}});
    auto clickCheck = [&](int row) { QTest::mouseClick(view()->viewport(), Qt::LeftButton, {}, cellCenter(row, 1)); };

    // Editable 0: a click on a check box and typing into a text cell change nothing.
    grid.setEditable(0);
    clickCheck(1);
    EXPECT_EQ(grid.Cell(flexcpChecked, 1, 1).toInt(), GridCheck::Unset);
    grid.Select(1, 0, 1, 0);
    QTest::keyClick(view(), Qt::Key_X);
    QTest::mouseDClick(view()->viewport(), Qt::LeftButton, {}, cellCenter(1, 0));
    EXPECT_EQ(view()->findChild<QLineEdit *>(), nullptr);
    EXPECT_FALSE(view()->model()->setData(view()->model()->index(0, 0), "x", Qt::EditRole));
    EXPECT_EQ(grid.TextMatrix(1, 0), "a");

    // Editable 1: the keyboard edits, the mouse does not toggle.
    grid.setEditable(1);
    clickCheck(2);
    EXPECT_EQ(grid.Cell(flexcpChecked, 2, 1).toInt(), GridCheck::Unset);
    grid.Select(1, 0, 1, 0);
    QTest::keyClick(view(), Qt::Key_Z);
    auto *editor = view()->findChild<QLineEdit *>();
    ASSERT_NE(editor, nullptr);
    QTest::keyClick(editor, Qt::Key_Return);
    QApplication::processEvents(); // the delegate commits on a queued call
    EXPECT_EQ(grid.TextMatrix(1, 0), "z");

    // Editable 2: a click toggles the box; a box cell never opens a text editor.
    grid.setEditable(2);
    clickCheck(2);
    EXPECT_EQ(grid.Cell(flexcpChecked, 2, 1).toInt(), GridCheck::Checked);
    clickCheck(2);
    EXPECT_EQ(grid.Cell(flexcpChecked, 2, 1).toInt(), GridCheck::Unchecked);
    EXPECT_FALSE(view()->model()->setData(view()->model()->index(1, 1), "x", Qt::EditRole));
}

TEST_F(DataGridTest, MouseDownHandlerDecidesEditingForThePressedCell)
{
    // The forms open editing only when the press lands on the check-box column.
    addRows({{"a", "1"}, {"b", "2"}});
    QObject::connect(&grid, &DataGrid::MouseDown, [&](int button, int, float, float) {
        grid.setEditable(button == 1 && grid.Col() == 1 ? 2 : 0);
    });
    grid.Select(1, 0, 1, 0);
    QTest::mouseClick(view()->viewport(), Qt::LeftButton, {}, cellCenter(2, 1));
    EXPECT_EQ(grid.Cell(flexcpChecked, 2, 1).toInt(), GridCheck::Checked); // the first click counts
    QTest::mouseClick(view()->viewport(), Qt::LeftButton, {}, cellCenter(1, 0));
    QTest::mouseDClick(view()->viewport(), Qt::LeftButton, {}, cellCenter(1, 0));
    EXPECT_EQ(view()->findChild<QLineEdit *>(), nullptr);
    EXPECT_EQ(grid.Editable(), 0);
    QTest::mouseClick(view()->viewport(), Qt::RightButton, {}, cellCenter(2, 1));
    EXPECT_EQ(grid.Cell(flexcpChecked, 2, 1).toInt(), GridCheck::Checked);
}

TEST_F(DataGridTest, RedrawOffDefersTheViewAndKeepsTheLayout)
{
    grid.setColWidth(0, 2000);
    grid.setColHidden(2, true);
    grid.setRedraw(false);
    for (int i = 0; i < 500; ++i) {
        grid.setRows(grid.Rows() + 1);
        grid.setTextMatrix(grid.Rows() - 1, 0, QString::number(i));
    }
    EXPECT_EQ(view()->model()->rowCount(), 0); // the view has not been told yet
    grid.setRows(3);                            // a shrink while off is fine as well
    grid.setRedraw(true);
    EXPECT_EQ(view()->model()->rowCount(), 2);
    EXPECT_EQ(view()->model()->index(1, 0).data().toString(), "1");
    EXPECT_EQ(grid.ColWidth(0), 2000);
    EXPECT_EQ(header()->sectionSize(0), static_cast<int>(std::lround(2000 * grid.logicalDpiX() / 1440.0)));
    EXPECT_TRUE(header()->isSectionHidden(2));
    grid.setVisible(false);
    EXPECT_FALSE(grid.Visible());
}

TEST_F(DataGridTest, FindRowAndFixedColumns)
{
    addRows({{"a", "Secured or Corrupted"}, {"b", "2"}, {"c", "Secured or Corrupted"}});
    EXPECT_EQ(grid.FindRow("Secured or Corrupted", 1, 2), 1);
    EXPECT_EQ(grid.FindRow("Secured or Corrupted", 2, 2), 3);
    EXPECT_EQ(grid.FindRow("Secured or Corrupted", 4, 2), -1);
    EXPECT_EQ(grid.FindRow("Secured", 1, 2), -1); // whole-cell match
    grid.setFixedCols(1);
    grid.setEditable(1);
    EXPECT_FALSE(view()->model()->flags(view()->model()->index(0, 0)) & Qt::ItemIsSelectable);
    EXPECT_FALSE(view()->model()->flags(view()->model()->index(0, 0)) & Qt::ItemIsEditable);
    EXPECT_TRUE(view()->model()->flags(view()->model()->index(0, 2)) & Qt::ItemIsEditable);
}

// The grid as it is drawn: icons, check boxes, a coloured cell and right alignment, read back from the
// pixels of a grab.
TEST_F(DataGridTest, DrawsIconsChecksColoursAndAlignment)
{
    grid.setCols(4);
    grid.setTextMatrix(0, 3, "Range");
    grid.setColAlignment(-1, GridAlign::LeftCenter);
    grid.setColAlignment(3, GridAlign::RightCenter);
    grid.setColWidth(0, 2400);
    grid.setColWidth(1, 1100);
    grid.setColWidth(3, 1500);
    const QIcon icon = SolidIcon(Qt::darkRed);
    addRows({{"alpha.pdf", "12"}, {"beta.pdf", "Secured or Corrupted"}, {"gamma.pdf", "3"}});
    for (int r = 1; r < grid.Rows(); ++r) {
        grid.setCell(flexcpPicture, r, 0, icon);
        grid.setTextMatrix(r, 3, "0");
    }
    grid.setCell(flexcpChecked, 1, 1, 2, 1, GridCheck::Checked);
    grid.setCell(flexcpForeColor, 2, 3, 255);
    grid.setExplorerBar(3);
    grid.Sort(0, GridSort::GenericAscending);
    // No current cell or selection, so every row is drawn alike.
    view()->selectionModel()->clear();
    view()->setCurrentIndex(QModelIndex());
    QApplication::processEvents();

    const QImage picture = grid.grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(picture.isNull());
    const auto cell = [&](int row, int col) {
        const QRect r = view()->visualRect(view()->model()->index(row - grid.FixedRows(), col));
        return QRect(view()->viewport()->mapTo(&grid, r.topLeft()), r.size()).adjusted(1, 1, -1, -1);
    };
    const auto count = [&](const QRect &area, const std::function<bool(QRgb)> &is) {
        int n = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                n += is(picture.pixel(x, y)) ? 1 : 0;
        return n;
    };
    const auto iconRed = [](QRgb p) { return p == QColor(Qt::darkRed).rgb(); };
    const auto red = [](QRgb p) { return qRed(p) > 150 && qGreen(p) < 110 && qBlue(p) < 110; };
    const auto ink = [](QRgb p) { return qGray(p) < 140; };

    for (int r = 1; r <= 3; ++r) {
        SCOPED_TRACE(r);
        EXPECT_GE(count(cell(r, 0), iconRed), 12 * 12) << "the row's icon";
        // Only the cell given a colour draws its text in it.
        EXPECT_EQ(count(cell(r, 3), red) > 5, r == 2);
    }
    // A checked box carries a mark that an unchecked one lacks.
    EXPECT_GT(count(cell(2, 1), ink), count(cell(3, 1), ink) + 5);
    EXPECT_EQ(count(cell(1, 1), ink), count(cell(2, 1), ink));
    // Right-aligned: the text of "Range" sits in the right half of its cells.
    const QRect range = cell(3, 3);
    const QRect leftHalf(range.topLeft(), QSize(range.width() / 2, range.height()));
    const QRect rightHalf(QPoint(range.left() + range.width() / 2, range.top()), range.bottomRight());
    EXPECT_GT(count(rightHalf, ink), 5);
    EXPECT_EQ(count(leftHalf, ink), 0);

    if (::testing::Test::HasFailure()) {
        QTemporaryFile kept(QDir::temp().filePath("DataGrid_drawn_XXXXXX.png"));
        kept.setAutoRemove(false);
        if (kept.open() && picture.save(&kept, "PNG"))
            ADD_FAILURE() << "the grab is kept in " << kept.fileName().toStdString();
    }
}

}  // namespace
