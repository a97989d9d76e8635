#include "platform/PageRange.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

using namespace folvane;
using namespace folvane::PdfEngine;

namespace {

constexpr std::int64_t Huge = std::numeric_limits<std::int64_t>::max() / 2;

std::string Describe(const std::vector<PageSpan> &items)
{
    std::string out;
    for (const PageSpan &s : items)
        out += std::to_string(s.first) + "-" + std::to_string(s.last) + " ";
    return out;
}

}  // namespace

TEST(PageRange, TextsTheEngineIsHandedParseOrFailWithTheirReason)
{
    struct Case {
        const char *text;
        bool all;
        std::vector<PageSpan> items;
        const char *reason;  // empty when the text parses
    };
    const Case cases[] = {
        // All pages: what the commands hand on for an empty or "0" range.
        {"0", true, {}, ""},
        {" 0 ", true, {}, ""},
        // Single pages and ranges, page 1 the first.
        {"3", false, {{3, 3}}, ""},
        {"2-4", false, {{2, 4}}, ""},
        {"4-4", false, {{4, 4}}, ""},
        // The combine dialog's "1,3-5,8" as it reaches the engine: "," became ";".
        {"1;3-5;8", false, {{1, 1}, {3, 5}, {8, 8}}, ""},
        {"5;1-2", false, {{5, 5}, {1, 2}}, ""},  // the order given, not sorted
        {"2;2", false, {{2, 2}, {2, 2}}, ""},    // a page twice is in twice
        // Spaces around items and empty items (",," in the dialog) are skipped.
        {" 2 ; 3-4 ", false, {{2, 2}, {3, 4}}, ""},
        {"1;;3", false, {{1, 1}, {3, 3}}, ""},
        {"2;", false, {{2, 2}}, ""},
        // Numbers too long to read stay past any end; the document refuses them (FitsIn).
        {"99999999999999999999", false, {{Huge, Huge}}, ""},
        {"1-99999999999999999999", false, {{1, Huge}}, ""},
        // Backwards: the append dialog hands "3-2" on unchanged, and a combine cell is not examined.
        {"3-2", false, {}, "page range \"3-2\": \"3-2\" runs backwards"},
        {"1;9-2", false, {}, "page range \"1;9-2\": \"9-2\" runs backwards"},
        // Page 0 anywhere but alone.
        {"0;2", false, {}, "page range \"0;2\": there is no page 0"},
        {"2;0", false, {}, "page range \"2;0\": there is no page 0"},
        {"0-2", false, {}, "page range \"0-2\": there is no page 0"},
        {"00", false, {}, "page range \"00\": there is no page 0"},
        // A "," never reaches the engine from the dialogs; it is not guessed at.
        {"1,2", false, {}, "page range \"1,2\": \"1,2\" is not a page or a range of pages"},
        {"1 - 3", false, {}, "page range \"1 - 3\": \"1 - 3\" is not a page or a range of pages"},
        {"-3", false, {}, "page range \"-3\": \"-3\" is not a page or a range of pages"},
        {"3-", false, {}, "page range \"3-\": \"3-\" is not a page or a range of pages"},
        {"1-2-3", false, {}, "page range \"1-2-3\": \"1-2-3\" is not a page or a range of pages"},
        {"+1", false, {}, "page range \"+1\": \"+1\" is not a page or a range of pages"},
        {"2;abc;3", false, {}, "page range \"2;abc;3\": \"abc\" is not a page or a range of pages"},
        // No pages at all.
        {"", false, {}, "page range \"\" names no pages"},
        {";;", false, {}, "page range \";;\" names no pages"},
        {" ; ", false, {}, "page range \" ; \" names no pages"},
    };
    for (const Case &c : cases) {
        const Expected<PageRange> r = PageRange::Parse(QString::fromUtf8(c.text));
        EXPECT_EQ(r.reason.toStdString(), c.reason) << '"' << c.text << '"';
        EXPECT_EQ(r.ok, *c.reason == '\0') << '"' << c.text << '"';
        if (r) {
            EXPECT_EQ(r->All(), c.all) << '"' << c.text << '"';
            EXPECT_EQ(r->Items(), c.items) << '"' << c.text << "\": " << Describe(r->Items());
        }
    }
}

TEST(PageRange, EveryPageNamedMustLieInTheDocument)
{
    struct Case {
        const char *text;
        std::int64_t pages;
        const char *reason;  // empty when the range fits
    };
    const Case cases[] = {
        {"0", 1, ""},
        {"5", 5, ""},
        {"1-5;3", 5, ""},
        {"6", 5, "page range \"6\": page 6 is past the end of the document (5 pages)"},
        {"2-9", 5, "page range \"2-9\": page 9 is past the end of the document (5 pages)"},
        // The first item past the end, in the order given, is the one named.
        {"9;7", 5, "page range \"9;7\": page 9 is past the end of the document (5 pages)"},
        {" 1 ; 6 ", 5, "page range \" 1 ; 6 \": page 6 is past the end of the document (5 pages)"},
        {"99999999999999999999", 5,
         "page range \"99999999999999999999\": page 4611686018427387903 is past the end of the document (5 pages)"},
    };
    for (const Case &c : cases) {
        const Expected<PageRange> range = PageRange::Parse(QString::fromUtf8(c.text));
        ASSERT_TRUE(range) << range.reason.toStdString();
        const Outcome fits = range->FitsIn(c.pages);
        EXPECT_EQ(fits.reason.toStdString(), c.reason) << '"' << c.text << '"';
        EXPECT_EQ(fits.ok, *c.reason == '\0') << '"' << c.text << '"';
    }
}

TEST(PageRange, PagesComeInTheOrderNamedAndEachItemSplitsOnItsOwn)
{
    struct Case {
        const char *text;
        std::int64_t pages;
        std::vector<std::size_t> indexes;  // from 0
        QStringList items;                 // what a split writes a file for each of
    };
    const Case cases[] = {
        {"0", 3, {0, 1, 2}, {"0"}},
        {"5;1-2", 5, {4, 0, 1}, {"5", "1-2"}},
        {"3-4;;1", 4, {2, 3, 0}, {"3-4", "1"}},
        {"4-4; 2 ", 4, {3, 1}, {"4", "2"}},
        {"2;2", 2, {1, 1}, {"2", "2"}},
    };
    for (const Case &c : cases) {
        const Expected<PageRange> range = PageRange::Parse(QString::fromUtf8(c.text));
        ASSERT_TRUE(range) << range.reason.toStdString();
        ASSERT_TRUE(range->FitsIn(c.pages)) << c.text;
        EXPECT_EQ(range->PageIndexes(c.pages), c.indexes) << c.text;
        EXPECT_EQ(range->ItemTexts(), c.items) << c.text;
        // An item's text names the same pages again.
        std::vector<std::size_t> again;
        for (const QString &item : range->ItemTexts()) {
            const Expected<PageRange> one = PageRange::Parse(item);
            ASSERT_TRUE(one) << one.reason.toStdString();
            const std::vector<std::size_t> pages = one->PageIndexes(c.pages);
            again.insert(again.end(), pages.begin(), pages.end());
        }
        EXPECT_EQ(again, c.indexes) << c.text;
    }
}
