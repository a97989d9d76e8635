#include "app/GridColumns.h"

#include "support/TestEnv.h"

#include <gtest/gtest.h>

using namespace folvane;

namespace {

QStringList Keys(const GridColumns &model)
{
    QStringList keys;
    for (const GridColumns::Ptr &c : model)
        keys << c->ColumnKey;
    return keys;
}

class GridColumnsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::ClearErrorLog();
        for (const char *k : {"A", "B", "C"})
            model.Add(k, 100, 0, k, ColType::String, k);
    }
    GridColumns model;
};

TEST(DefaultResultColumnsTest, EightColumnsInOrderWithWidthsIndexesAndTypes)
{
    GridColumns model;
    AddDefaultResultColumns(model);
    struct Expected {
        const char *key;
        float width;
        std::int32_t type;
    } expected[] = {
        {"Name", 1800, 8},         {"Selection", 250, 11}, {"Pages", 700, 14},        {"Location", 1800, 8},
        {"Size (In KB)", 1000, 14}, {"Type", 1400, 8},      {"Created Date", 1400, 7}, {"Modified Date", 1400, 7},
    };
    ASSERT_EQ(model.Count(), 8);
    for (int i = 0; i < 8; ++i) {
        const GridColumns::Ptr c = model.Item(i + 1);
        ASSERT_TRUE(c);
        EXPECT_EQ(c->ColumnKey, expected[i].key);
        EXPECT_EQ(c->ColumnName, expected[i].key);
        EXPECT_EQ(c->ColumnWidth, expected[i].width);
        EXPECT_EQ(c->ColumnIndex, i);
        EXPECT_EQ(c->ColumnDatatype, expected[i].type);
        EXPECT_EQ(model.Item(QString(expected[i].key)), c); // the collection key is the column key
    }
}

TEST_F(GridColumnsTest, AddPlacesBeforeAfterOrAtTheEnd)
{
    struct Case {
        const char *what;
        std::optional<ColumnRef> before, after;
        QStringList order;
    } cases[] = {
        {"at the end", {}, {}, {"A", "B", "C", "N"}},
        {"before position 1", ColumnRef(1), {}, {"N", "A", "B", "C"}},
        {"before a key in other case", ColumnRef(QString("c")), {}, {"A", "B", "N", "C"}},
        {"after position 3", {}, ColumnRef(3), {"A", "B", "C", "N"}},
        {"after key A", {}, ColumnRef(QString("A")), {"A", "N", "B", "C"}},
        {"before wins over after", ColumnRef(2), ColumnRef(QString("C")), {"A", "N", "B", "C"}},
    };
    for (const Case &c : cases) {
        GridColumns m;
        for (const char *k : {"A", "B", "C"})
            m.Add(k, 100, 0, k, ColType::String, k);
        EXPECT_TRUE(m.Add("N", 1, 0, "N", ColType::String, "N", c.before, c.after)) << c.what;
        EXPECT_EQ(Keys(m), c.order) << c.what;
    }
    EXPECT_TRUE(test::ErrorLogLines().isEmpty());
}

TEST_F(GridColumnsTest, AddRefusesDuplicateKeysAndMissingAnchorsAndLogs)
{
    struct Case {
        const char *what;
        QString key;
        std::optional<ColumnRef> before, after;
    } cases[] = {
        {"same key", "B", {}, {}},
        {"same key in other case", "b", {}, {}},
        {"before position 0", "N", ColumnRef(0), {}},
        {"before position 4", "N", ColumnRef(4), {}},
        {"after an unknown key", "N", {}, ColumnRef(QString("Z"))},
        {"bad before, good after", "N", ColumnRef(9), ColumnRef(1)},
    };
    for (const Case &c : cases) {
        test::ClearErrorLog();
        EXPECT_FALSE(model.Add("N", 1, 0, "N", ColType::String, c.key, c.before, c.after)) << c.what;
        EXPECT_EQ(Keys(model), (QStringList{"A", "B", "C"})) << c.what;
        const QStringList lines = test::ErrorLogLines();
        ASSERT_EQ(lines.size(), 1) << c.what;
        EXPECT_TRUE(lines[0].contains("in procedure Add at Line No. "));
        EXPECT_TRUE(lines[0].contains(" of Class Module GridColumns at time- "));
    }
}

TEST_F(GridColumnsTest, LookupsAndRemoveOfMissingItemsAreQuiet)
{
    for (const ColumnRef &ref : {ColumnRef(0), ColumnRef(4), ColumnRef(-1), ColumnRef(QString("Z")), ColumnRef(QString())})
        EXPECT_FALSE(model.Item(ref));
    model.Remove(ColumnRef(9));
    model.Remove(ColumnRef(QString("Z")));
    EXPECT_EQ(model.Count(), 3);
    EXPECT_TRUE(test::ErrorLogLines().isEmpty());

    model.Remove(ColumnRef(QString("b")));
    model.Remove(ColumnRef(1));
    EXPECT_EQ(Keys(model), QStringList{"C"});
    // An item added without a key is reached by position only.
    model.Add("K", 1, 0, "K", ColType::String);
    EXPECT_EQ(model.Item(2)->ColumnKey, "K");
    EXPECT_FALSE(model.Item(QString("K")));
}

TEST_F(GridColumnsTest, RecordsAreSharedWithTheModel)
{
    model.Item(QString("B"))->ColumnWidth = 555;
    int seen = 0;
    for (const GridColumns::Ptr &c : model)
        if (c->ColumnKey == "B")
            seen = int(c->ColumnWidth);
    EXPECT_EQ(seen, 555);
}

}  // namespace
