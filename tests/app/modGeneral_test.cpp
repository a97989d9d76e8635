#include "app/modGeneral.h"

#include "app/GridColumns.h"
#include "app/ProgramState.h"
#include "app/Settings.h"
#include "support/MainWindowFixture.h"
#include "support/TestEnv.h"

#include <QFile>
#include <QStandardPaths>

#include <algorithm>

#include <gtest/gtest.h>

using namespace folvane;
using namespace folvane::modGeneral;

namespace {

TEST(PathHelpersTest, TextRules)
{
    struct Case {
        QString (*fn)(const QString &);
        const char *name;
        QString in, out;
    } cases[] = {
        {ValidateDir, "ValidateDir", "", "/"},
        {ValidateDir, "ValidateDir", "/", "/"},
        {ValidateDir, "ValidateDir", "/docs", "/docs/"},
        {ValidateDir, "ValidateDir", "/docs/", "/docs/"},
        {GetFileExt, "GetFileExt", "report.final.pdf", "pdf"},
        {GetFileExt, "GetFileExt", "name.", ""},
        {GetFileExt, "GetFileExt", "readme", "readme"},
        {GetFileExt, "GetFileExt", "/a.b/readme", "b/readme"},
        {GetFileName, "GetFileName", "/docs/a.pdf", "a.pdf"},
        {GetFileName, "GetFileName", "/docs/", "docs"},
        {GetFileName, "GetFileName", "a.pdf", "a.pdf"},
        {GetFileName, "GetFileName", "/", ""},
        {modMasterLayout::TrimNull, "TrimNull", QString("abc") + QChar(0) + QString(508, 'x'), "abc"},
        {modMasterLayout::TrimNull, "TrimNull", "no nul", "no nul"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.fn(c.in), c.out) << c.name << "(" << c.in.left(20).toStdString() << ")";
}

TEST(PathHelpersTest, HiWordKeepsTheSign)
{
    const std::pair<std::int32_t, std::int16_t> cases[] = {
        {65536, 1}, {65535, 0}, {-1, -1}, {0x7FFF0000, 32767}, {INT32_MIN, -32768}, {-65536, -1}};
    for (const auto &[in, out] : cases)
        EXPECT_EQ(HiWord(in), out) << in;
}

TEST(PathHelpersTest, SavedListsAndNumbers)
{
    EXPECT_TRUE(SplitList("").isEmpty());
    EXPECT_EQ(SplitList("a,,b"), (QStringList{"a", "", "b"}));
    EXPECT_EQ(SplitList(","), (QStringList{"", ""}));
    const std::pair<const char *, std::optional<double>> numbers[] = {
        {"12", 12.0}, {" -1.5 ", -1.5}, {"+.5", 0.5}, {"1e3", 1000.0}, {"7.", 7.0},
        {"", std::nullopt}, {" ", std::nullopt}, {"12abc", std::nullopt}, {"1,5", std::nullopt},
        {"inf", std::nullopt}, {"nan", std::nullopt}, {"1e400", std::nullopt}, {"0x10", std::nullopt},
    };
    for (const auto &[text, value] : numbers)
        EXPECT_EQ(TextToNumber(text), value) << text;
    EXPECT_EQ(RoundHalfEven(2.5), 2);
    EXPECT_EQ(RoundHalfEven(3.5), 4);
    EXPECT_EQ(RoundHalfEven(-2.5), -2);
}

TEST(PathHelpersTest, SavedWidthsAndTheWidthsTheGridTakes)
{
    // What a saved entry gives a column: a negative entry keeps the column's width, and so does one
    // that is no width at all.
    const std::pair<const char *, std::optional<double>> entries[] = {
        {"1800", 1800.0}, {" 700.6 ", 700.6}, {"0", 0.0},        {"32767", 32767.0}, {"32767.4", 32767.4},
        {"-1", std::nullopt}, {"-0.4", std::nullopt}, {"32768", std::nullopt}, {"1e30", std::nullopt},
        {"abc", std::nullopt}, {"", std::nullopt},
    };
    for (const auto &[entry, width] : entries)
        EXPECT_EQ(SavedColumnWidth(entry), width) << entry;
    // What a column model's width gives the grid, without a conversion that has no defined value.
    const std::pair<double, std::optional<int>> widths[] = {
        {1800, 1800},         {700.5, 700},          {701.5, 702},           {-0.4, 0},
        {-1, std::nullopt},   {32767.4, 32767},      {32767.5, std::nullopt}, {1e30, std::nullopt},
        {-1e30, std::nullopt}, {3.4e38, std::nullopt},
    };
    for (const auto &[width, twips] : widths)
        EXPECT_EQ(ColumnTwips(width), twips) << width;
}

TEST(FileExistenceTest, FilesFoldersAndRoot)
{
    test::TempDir dir;
    const QString folder = dir.createFolder("sub");
    const QString file = dir.createFile("sub/a.pdf", "x");
    QFile::link(dir.filePath("gone"), dir.filePath("dangling"));
    struct Case {
        QString path;
        bool isFile, isFolder;
    } cases[] = {
        {folder, false, true},
        {folder + "/", false, true},
        {file, true, true},
        {dir.filePath("missing"), false, false},
        {dir.filePath("dangling"), false, true},
        {"", false, false},
        {"   ", false, false},
        {"/", false, true},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(IsFileExist(c.path), c.isFile) << c.path.toStdString();
        EXPECT_EQ(IsFolderExist(c.path), c.isFolder) << c.path.toStdString();
    }
}

TEST(SpecialFolderTest, DataFolderDesktopAndUnknownNumbers)
{
    using modGetSpecialFolder::GetSpecialfolder;
    {
        test::ScopedEnv data("XDG_DATA_HOME", QString("/x/data/"));
        EXPECT_EQ(GetSpecialfolder(26), "/x/data");
    }
    {
        test::ScopedEnv data("XDG_DATA_HOME", QString("relative/data"));
        test::ScopedEnv home("HOME", QString("/home/u"));
        EXPECT_EQ(GetSpecialfolder(26), "/home/u/.local/share");
    }
    {
        test::ScopedEnv data("XDG_DATA_HOME", std::nullopt);
        test::ScopedEnv home("HOME", std::nullopt);
        EXPECT_EQ(GetSpecialfolder(26), "");
    }
    EXPECT_EQ(GetSpecialfolder(0), QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
    EXPECT_EQ(GetSpecialfolder(5), "");
    EXPECT_EQ(GetSpecialfolder(-1), "");
}

TEST(ExecuteFileTest, VerbsGoToTheOpenerOrThePrinter)
{
    test::ClearErrorLog();
    {
        test::ShellRecorder shell;
        ExecuteFile("open", "/d/a.pdf");
        ExecuteFile("Open", "/d");
        ExecuteFile("Explore", "/d");
        ExecuteFile("Print", "/d/a.pdf");
        ExecuteFile("edit", "/d/a.pdf");
        ASSERT_EQ(shell.requests().size(), 4u);
        EXPECT_EQ(shell.requests()[0].verb, Shell::Verb::Open);
        EXPECT_EQ(shell.requests()[0].target, "/d/a.pdf");
        EXPECT_EQ(shell.requests()[1].verb, Shell::Verb::Open);
        EXPECT_EQ(shell.requests()[2].verb, Shell::Verb::Explore);
        EXPECT_EQ(shell.requests()[3].verb, Shell::Verb::Print);
        EXPECT_EQ(shell.requests()[3].target, "/d/a.pdf");
    }
    Shell::SetInterceptor([](const Shell::Request &) { return false; });
    ExecuteFile("open", "/d/b.pdf");
    Shell::SetInterceptor([](const Shell::Request &) { return true; });
    const QStringList lines = test::ErrorLogLines();
    ASSERT_EQ(lines.size(), 2); // the unknown verb and the failed open
    EXPECT_TRUE(lines[0].contains("Unable to edit /d/a.pdf) in procedure ExecuteFile"));
    EXPECT_TRUE(lines[1].contains("Unable to open /d/b.pdf) in procedure ExecuteFile"));
    EXPECT_TRUE(lines[1].contains(" of Module modGeneral at time- "));
}

const QString kDefaultOrder = "Name,Selection,Pages,Location,Size (In KB),Type,Created Date,Modified Date";

class LoadGridColumnsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::ClearErrorLog();
        State().objSettings = std::make_unique<Settings>();
        State().objGridColumns = std::make_unique<GridColumns>();
        AddDefaultResultColumns(*State().objGridColumns);
    }
    void TearDown() override
    {
        State().objSettings.reset();
        State().objGridColumns.reset();
    }
    void Load(const QString &order, const QString &widths)
    {
        State().objSettings->setColumnReOrder(order);
        State().objSettings->setLastGridColWidth(widths);
        LoadGridColumns();
    }
    static QStringList Keys()
    {
        QStringList keys;
        for (const GridColumns::Ptr &c : *State().objGridColumns)
            keys << c->ColumnKey;
        return keys;
    }
    static float Width(const QString &key) { return State().objGridColumns->Item(key)->ColumnWidth; }
    /// Every column stays in the model, once.
    static void ExpectEveryColumnOnce()
    {
        QStringList keys = Keys();
        EXPECT_EQ(keys.size(), 8);
        keys.sort();
        keys.removeDuplicates();
        EXPECT_EQ(keys.size(), 8);
    }
    /// The model shows `order`: collection order, ColumnIndex and the grid's lookup by key agree.
    static bool ShowsOrder(const QStringList &order)
    {
        if (Keys() != order)
            return false;
        for (int p = 0; p < order.size(); ++p)
            if (State().objGridColumns->Item(p + 1)->ColumnIndex != p || GetColumnIndexByKey(order[p]) != p)
                return false;
        return true;
    }
};

TEST_F(LoadGridColumnsTest, EveryOrderOfTheEightColumnsIsShownAsSavedAndBackAgain)
{
    // Widths are stored by display position; start-up gives the default model the saved list by
    // position, and each load then runs on the model the previous one left.
    const QStringList defaultOrder = kDefaultOrder.split(',');
    const QString widths = "1000,1001,1002,1003,1004,1005,1006,1007";
    auto expectWidths = [&](const QStringList &order, float selectionBefore, bool selectionMoved) {
        for (int p = 0; p < order.size(); ++p) {
            const float expected = order[p] != ColumnKey::Selection ? 1000.0f + p : selectionMoved ? 250.0f : selectionBefore;
            if (Width(order[p]) != expected)
                return false;
        }
        return true;
    };
    const test::StorageInMemory storage;
    auto loadOrder = [](const QString &order) {
        State().objSettings->setColumnReOrder(order);
        LoadGridColumns();
    };
    int orders = 0;
    int wrong = 0;
    QString firstWrong;
    State().objSettings->setLastGridColWidth(widths);
    test::ForEachOrderOfTheDefaultColumns([&](const QStringList &order) {
        ++orders;
        const int selectionAt = order.indexOf(ColumnKey::Selection);
        loadOrder(order.join(','));
        bool right = ShowsOrder(order) && expectWidths(order, 1001, selectionAt != 1);
        const float selectionWidth = Width(ColumnKey::Selection);
        loadOrder(kDefaultOrder);
        right = right && ShowsOrder(defaultOrder) && expectWidths(defaultOrder, selectionWidth, selectionAt != 1);
        if (!right && wrong++ == 0)
            firstWrong = order.join(',');
    });
    EXPECT_EQ(orders, 40320);
    EXPECT_EQ(wrong, 0) << "first wrong order: " << firstWrong.toStdString();
    EXPECT_TRUE(test::ErrorLogLines().isEmpty());
}

TEST_F(LoadGridColumnsTest, DefaultOrderLeavesTheModelUntouched)
{
    Load(kDefaultOrder, "1,1,1,1,1,1,1,1");
    EXPECT_EQ(Keys(), kDefaultOrder.split(','));
    EXPECT_EQ(Width(ColumnKey::Name), 1800);
    EXPECT_EQ(Width(ColumnKey::Modified), 1400);
    EXPECT_EQ(State().ColumnOrder, kDefaultOrder.split(','));
    ExpectEveryColumnOnce();
}

TEST_F(LoadGridColumnsTest, MovedColumnsTakeTheirSavedWidthsSelectionAlways250)
{
    Load("Selection,Name,Pages,Location,Size (In KB),Type,Created Date,Modified Date",
         "111,222,333,444,555,666,777,888");
    EXPECT_EQ(Keys(), QString("Selection,Name,Pages,Location,Size (In KB),Type,Created Date,Modified Date").split(','));
    EXPECT_EQ(Width(ColumnKey::Selection), 250);
    EXPECT_EQ(Width(ColumnKey::Name), 222);
    EXPECT_EQ(Width(ColumnKey::Pages), 700); // did not move
    ExpectEveryColumnOnce();

    Load("Modified Date, Created Date , Type,Size (In KB),Location,Pages,Selection,Name",
         "10,20.5,21.5,40,50,60,70,80");
    EXPECT_EQ(Keys(), QString("Modified Date,Created Date,Type,Size (In KB),Location,Pages,Selection,Name").split(','));
    EXPECT_EQ(Width(ColumnKey::Modified), 10);
    EXPECT_EQ(Width(ColumnKey::Created), 20); // halves go to the even neighbour
    EXPECT_EQ(Width(ColumnKey::Type), 22);
    EXPECT_EQ(Width(ColumnKey::Selection), 250);
    EXPECT_EQ(Width(ColumnKey::Name), 80);
    ExpectEveryColumnOnce();
    EXPECT_TRUE(test::ErrorLogLines().isEmpty());
}

TEST_F(LoadGridColumnsTest, UnusableWidthEntriesKeepTheColumnsWidth)
{
    Load("Modified Date,Created Date,Type,Size (In KB),Location,Pages,Selection,Name", "-5,abc,,12abc,99999,1e30");
    EXPECT_EQ(Keys().first(), "Modified Date");
    for (QLatin1StringView key : {ColumnKey::Modified, ColumnKey::Created, ColumnKey::Type})
        EXPECT_EQ(Width(key), 1400) << key.data();
    EXPECT_EQ(Width(ColumnKey::Size), 1000);
    EXPECT_EQ(Width(ColumnKey::Location), 1800);
    EXPECT_EQ(Width(ColumnKey::Pages), 700);
    EXPECT_EQ(Width(ColumnKey::Name), 1800); // no entry at all
    ExpectEveryColumnOnce();
    EXPECT_TRUE(test::ErrorLogLines().isEmpty());
}

TEST_F(LoadGridColumnsTest, InconsistentOrderListsKeepEveryColumnOnce)
{
    struct Case {
        const char *order;
        QStringList leading; // the keys expected at the start, in order
        const char *last;    // the key expected last, when it matters
    } cases[] = {
        {"Pages", {"Pages", "Name", "Selection"}, "Modified Date"},
        {"Pages,Pages,Name", {"Pages", "Selection", "Name"}, nullptr},
        {"pages,NAME", {"Pages", "Name"}, nullptr},
        {"X1,X2,X3,X4,X5,X6,X7,X8,X9,Name", {"Selection"}, "Name"},
        {"Nothing,Known", {"Name", "Selection"}, "Modified Date"},
        {"", {"Name", "Selection"}, "Modified Date"},
        {"Type,Type,Type,Type,Type,Type,Type,Type,Type", {"Type", "Name"}, "Modified Date"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.order);
        SetUp();
        Load(c.order, "1,2,3,4,5,6,7,8,9,10");
        EXPECT_EQ(Keys().mid(0, c.leading.size()), c.leading);
        if (c.last) {
            EXPECT_EQ(Keys().last(), c.last);
        }
        ExpectEveryColumnOnce();
    }
}

TEST_F(LoadGridColumnsTest, ColumnIndexByExactKey)
{
    EXPECT_EQ(GetColumnIndexByKey("Selection"), 1);
    EXPECT_EQ(GetColumnIndexByKey("Modified Date"), 7);
    EXPECT_EQ(GetColumnIndexByKey("selection"), 0); // exact spelling only
    EXPECT_EQ(GetColumnIndexByKey("Nope"), 0);
    Load("Selection,Name", "");
    EXPECT_EQ(GetColumnIndexByKey("Name"), 1);
    EXPECT_TRUE(test::ErrorLogLines().isEmpty());

    State().objGridColumns.reset();
    EXPECT_EQ(GetColumnIndexByKey("Name"), 0);
    LoadGridColumns();
    const QStringList lines = test::ErrorLogLines();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].contains("in procedure GetColumnIndexByKey at Line No. "));
    EXPECT_TRUE(lines[1].contains("in procedure LoadGridColumns at Line No. "));
    EXPECT_TRUE(lines[1].contains(" of Module modGeneral at time- "));
}

}  // namespace
