#include "platform/TiffPagesEditor.h"

#include "support/TestEnv.h"
#include "support/TiffFixtures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace folvane;
using folvane::test::MakeTiff;
using folvane::test::MakeTiffWidths;
using folvane::test::TiffPages;
using folvane::test::TiffPageWidths;

namespace {

class TiffPagesEditorTest : public ::testing::Test {
protected:
    test::TempDir dir;
    TiffPagesEditor editor;
};

}  // namespace

TEST_F(TiffPagesEditorTest, PageOperationsGiveThePagesInTheirOrder)
{
    const QString a = MakeTiffWidths(dir.filePath("a.tif"), {11, 12, 13});
    const QString b = MakeTiffWidths(dir.filePath("b.tif"), {21, 22});

    ASSERT_TRUE(editor.MergeTIFF(a, b, dir.filePath("ab.tif")).ok);
    EXPECT_EQ(TiffPageWidths(dir.filePath("ab.tif")), (QList<int>{11, 12, 13, 21, 22}));

    ASSERT_TRUE(editor.SplitTIFF(a, 1, dir.filePath("s1.tif"), dir.filePath("s2.tif")).ok);
    EXPECT_EQ(TiffPageWidths(dir.filePath("s1.tif")), (QList<int>{11}));
    EXPECT_EQ(TiffPageWidths(dir.filePath("s2.tif")), (QList<int>{12, 13}));

    struct Insert {
        int after;
        QList<int> expected;
    } inserts[] = {{0, {21, 22, 11, 12, 13}}, {2, {11, 12, 21, 22, 13}}, {3, {11, 12, 13, 21, 22}}};
    for (const Insert &c : inserts) {
        const QString target = MakeTiffWidths(dir.filePath("t.tif"), {11, 12, 13});
        ASSERT_TRUE(editor.AddTIFFPages(target, c.after, b).ok) << c.after;
        EXPECT_EQ(TiffPageWidths(target), c.expected) << c.after;
    }

    for (int page = 1; page <= 3; ++page) {
        const QString target = MakeTiffWidths(dir.filePath("d.tif"), {11, 12, 13});
        ASSERT_TRUE(editor.DeleteTIFFPages(target, page).ok) << page;
        QList<int> expected{11, 12, 13};
        expected.removeAt(page - 1);
        EXPECT_EQ(TiffPageWidths(target), expected) << page;
    }
}

TEST_F(TiffPagesEditorTest, ExtractWritesOnePageAFileNamedAfterTheSource)
{
    const QString src = MakeTiffWidths(dir.filePath("scan.final.tif"), {11, 12, 13, 14});
    const QString out = dir.createFolder("out");
    ASSERT_TRUE(editor.ExtractPages(src, 2, 3, out).ok);
    EXPECT_EQ(test::FolderEntries(out), (QStringList{"scan.final_2.tif", "scan.final_3.tif"}));
    EXPECT_EQ(TiffPageWidths(out + "/scan.final_3.tif"), (QList<int>{13}));

    const QString all = dir.createFolder("all");
    ASSERT_TRUE(editor.ExtractAllTIFFpages(src, all).ok);
    EXPECT_EQ(test::FolderEntries(all).size(), 4);
    EXPECT_EQ(TiffPageWidths(all + "/scan.final_4.tif"), (QList<int>{14}));
}

TEST_F(TiffPagesEditorTest, PagesKeepTheirCompressionAndSamples)
{
    struct Case {
        const char *name;
        test::TiffPage page;
        test::TiffOptions options;
    } cases[] = {
        {"grey LZW", {16, 8, 8, 77}, {5, false, 0}},
        {"colour PackBits", {16, 8, 24, 90}, {32773, false, 0}},
        {"black-and-white G4", {64, 8, 1, 1}, {4, false, 0}},
        {"colour JPEG", {16, 16, 24, 128}, {7, false, 0}},
        {"16-bit grey, big-endian", {16, 8, 16, 60}, {1, true, 0}},
        {"16-bit grey LZW, big-endian", {16, 8, 16, 60}, {5, true, 0}},
    };
    for (const Case &c : cases) {
        const QString src = MakeTiff(dir.filePath("src.tif"), {c.page, c.page}, c.options);
        const QString other = MakeTiffWidths(dir.filePath("other.tif"), {5});
        ASSERT_EQ(TiffPages(src).size(), 2u) << c.name;
        ASSERT_TRUE(editor.MergeTIFF(src, other, dir.filePath("m.tif")).ok) << c.name;
        const auto before = TiffPages(src), after = TiffPages(dir.filePath("m.tif"));
        ASSERT_EQ(after.size(), 3u) << c.name;
        for (int i = 0; i < 2; ++i) {
            EXPECT_EQ(after[i].compression, before[i].compression) << c.name;
            EXPECT_EQ(after[i].bitsPerSample, before[i].bitsPerSample) << c.name;
            EXPECT_EQ(after[i].rgbaFirstPixel, before[i].rgbaFirstPixel) << c.name;
        }
    }
}

TEST_F(TiffPagesEditorTest, FailuresWriteNothingAndLeaveInputsAlone)
{
    const QString a = MakeTiffWidths(dir.filePath("a.tif"), {11, 12});
    const QString one = MakeTiffWidths(dir.filePath("one.tif"), {9});
    const QString damaged = dir.createFile("damaged.tif", QByteArray("II*\0", 4) + QByteArray(40, '\xff'));
    QByteArray truncated = test::FileBytes(a);
    truncated.truncate(truncated.size() / 2);
    const QString cut = dir.createFile("cut.tif", truncated);
    const QString out = dir.createFolder("out");
    const QString existing = dir.createFile("existing.tif", "OLD");

    struct Case {
        const char *name;
        std::function<Outcome()> run;
        const char *reasonPart;
    } cases[] = {
        {"split after the last page", [&] { return editor.SplitTIFF(a, 2, out + "/x1.tif", out + "/x2.tif"); }, "cannot split"},
        {"split after page 0", [&] { return editor.SplitTIFF(a, 0, out + "/x1.tif", out + "/x2.tif"); }, "cannot split"},
        {"delete a missing page", [&] { return editor.DeleteTIFFPages(a, 3); }, "no page 3"},
        {"delete the only page", [&] { return editor.DeleteTIFFPages(one, 1); }, "only page"},
        {"insert past the end", [&] { return editor.AddTIFFPages(a, 3, one); }, "cannot insert"},
        {"extract backwards", [&] { return editor.ExtractPages(a, 2, 1, out); }, "not pages"},
        {"extract past the end", [&] { return editor.ExtractPages(a, 1, 3, out); }, "not pages"},
        {"extract into a missing folder", [&] { return editor.ExtractAllTIFFpages(a, dir.filePath("none")); }, "does not exist"},
        {"merge a damaged file", [&] { return editor.MergeTIFF(a, damaged, existing); }, "damaged.tif"},
        {"merge a truncated file", [&] { return editor.MergeTIFF(cut, a, existing); }, "cut.tif"},
        {"merge a missing file", [&] { return editor.MergeTIFF(a, dir.filePath("gone.tif"), existing); }, "gone.tif"},
        {"merge into a missing folder", [&] { return editor.MergeTIFF(a, one, dir.filePath("no/m.tif")); }, "cannot write"},
    };
    const QByteArray aBytes = test::FileBytes(a), oneBytes = test::FileBytes(one);
    for (const Case &c : cases) {
        const Outcome r = c.run();
        EXPECT_FALSE(r.ok) << c.name;
        EXPECT_TRUE(r.reason.contains(c.reasonPart)) << c.name << ": " << r.reason.toStdString();
        EXPECT_TRUE(test::FolderEntries(out).isEmpty()) << c.name;
        EXPECT_EQ(test::FileBytes(existing), "OLD") << c.name;
        EXPECT_EQ(test::FileBytes(a), aBytes) << c.name;
        EXPECT_EQ(test::FileBytes(one), oneBytes) << c.name;
    }
    EXPECT_EQ(test::FolderEntries(dir.path()), (QStringList{"a.tif", "cut.tif", "damaged.tif", "existing.tif", "one.tif", "out"}));
}

TEST_F(TiffPagesEditorTest, InvokeChecksNamesCountsAndNumbers)
{
    const QString a = MakeTiffWidths(dir.filePath("a.tif"), {11, 12});
    struct Case {
        QString method;
        QVariantList args;
        int error;
    } cases[] = {
        {"deletetiffpages", {a, QVariant::fromValue<qint16>(1)}, 0},
        {"DeleteTIFFPages", {a}, 450},
        {"DeleteTIFFPages", {a, "first"}, 13},
        {"RotateTIFF", {a}, 438},
        {"SplitTIFF", {a, 5, "x", "y"}, 1002},
    };
    for (const Case &c : cases) {
        const CallResult r = editor.Invoke(c.method, c.args);
        EXPECT_EQ(r.error, c.error) << c.method.toStdString();
        if (c.error == 0) {
            EXPECT_EQ(r.value_or(QVariant()), QVariant(true));
        }
    }
    EXPECT_EQ(TiffPageWidths(a), (QList<int>{12}));
}
