#include "docops/TiffPdfCommands.h"

#include "docops/CombineProgress.h"
#include "support/HostilePdfs.h"
#include "support/PdfFixtures.h"
#include "support/TestEnv.h"
#include "support/WithinLimits.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

using namespace folvane;
using folvane::test::MakeTaggedPdf;
using folvane::test::Markers;
using folvane::test::PageMarkers;
using folvane::test::PdfSpec;

namespace {

clsColSetOrderGrid Record(const QString &path, const QString &range, bool trailingSlash = false)
{
    const QFileInfo fi(path);
    clsColSetOrderGrid r;
    r.filename = fi.fileName();
    r.FileLocation = fi.absolutePath() + (trailingSlash ? "/" : "");
    r.Range = range;
    return r;
}

/// Stands in for the combine dialog: records every value and can act on it.
class FakeDialog : public CombineProgress {
public:
    void SetProgressValue(std::int32_t value) override
    {
        values.push_back(value);
        if (onValue)
            onValue(value);
    }
    std::vector<std::int32_t> values;
    std::function<void(std::int32_t)> onValue;
};

bool LoggedFor(const char *procedure, const QString &reasonPart)
{
    for (const QString &line : test::ErrorLogLines())
        if (line.contains(QStringLiteral("in procedure %1 at Line No. ").arg(procedure))
            && line.contains(" of Class Module TiffPdfCommands at time") && line.contains(reasonPart))
            return true;
    return false;
}

class TiffPdfCommandsTest : public ::testing::Test {
protected:
    void SetUp() override { test::ClearErrorLog(); }
    test::TempDir dir;
};

}  // namespace

TEST_F(TiffPdfCommandsTest, CombineMergesRecordsInOrderWithProgressAfterEachDocument)
{
    const QString a = MakeTaggedPdf(dir.path(), "a", 3), b = MakeTaggedPdf(dir.path(), "b", 4), c = MakeTaggedPdf(dir.path(), "c", 2);
    TiffPdfCommands cmd;
    cmd.colOrderedData = {Record(a, ""), Record(b, "2;4", true), Record(c, "0"), Record(b, "1-2")};
    cmd.FileNameToSave = dir.filePath("out.pdf");
    FakeDialog dialog;
    cmd.SetProgress(&dialog);
    // A call queued from each progress update runs at the next document's yield.
    int yieldsSeen = 0;
    dialog.onValue = [&](std::int32_t) { QTimer::singleShot(0, [&] { ++yieldsSeen; }); };

    ASSERT_TRUE(cmd.CombineOrderPdf()) << test::ErrorLogLines().join('\n').toStdString();
    EXPECT_EQ(PageMarkers(cmd.FileNameToSave),
              Markers("a", {1, 2, 3}) + Markers("b", {2, 4}) + Markers("c", {1, 2}) + Markers("b", {1, 2}));
    EXPECT_EQ(dialog.values, (std::vector<std::int32_t>{1, 2, 3, 4}));
    EXPECT_EQ(yieldsSeen, 3);
    EXPECT_EQ(cmd.FileProccessed, 4);
    EXPECT_EQ(cmd.colOrderedData.size(), 4u);
    EXPECT_TRUE(test::ErrorLogLines().isEmpty());
}

TEST_F(TiffPdfCommandsTest, CombineWithoutOutputNameDoesNothing)
{
    const QString a = MakeTaggedPdf(dir.path(), "a", 1);
    TiffPdfCommands cmd;
    cmd.colOrderedData = {Record(a, "")};
    cmd.FileProccessed = 7;
    FakeDialog dialog;
    cmd.SetProgress(&dialog);
    EXPECT_FALSE(cmd.CombineOrderPdf());
    EXPECT_EQ(cmd.FileProccessed, 7);
    EXPECT_TRUE(dialog.values.empty());
    EXPECT_TRUE(test::ErrorLogLines().isEmpty());
}

TEST_F(TiffPdfCommandsTest, CombineAnswersFalseAndLogsWhenNothingIsWritten)
{
    const QString a = MakeTaggedPdf(dir.path(), "a", 2);
    const QString damaged = dir.createFile("damaged.pdf", "%PDF-1.4\ngarbage");
    struct Case {
        const char *name;
        SetOrderRecords records;
        QString output;
        QString reasonPart;
    } cases[] = {
        {"empty record list", {}, dir.filePath("out.pdf"), "no documents"},
        {"range past the end", {Record(a, ""), Record(a, "3")}, dir.filePath("out.pdf"), "past the end"},
        {"damaged input", {Record(a, ""), Record(damaged, "")}, dir.filePath("out.pdf"), "damaged.pdf"},
        {"missing input", {Record(dir.filePath("gone.pdf"), "")}, dir.filePath("out.pdf"), "gone.pdf"},
        {"output folder missing", {Record(a, "")}, dir.filePath("nowhere/out.pdf"), "cannot write"},
    };
    const QString existing = dir.createFile("existing.pdf", "OLD");
    for (const Case &c : cases) {
        test::ClearErrorLog();
        TiffPdfCommands cmd;
        cmd.colOrderedData = c.records;
        cmd.FileNameToSave = c.output;
        EXPECT_FALSE(cmd.CombineOrderPdf()) << c.name;
        EXPECT_FALSE(QFile::exists(c.output)) << c.name;
        EXPECT_TRUE(LoggedFor("CombineOrderPdf", c.reasonPart))
            << c.name << ": " << test::ErrorLogLines().join('\n').toStdString();
        if (c.output.contains("nowhere"))
            continue;  // its records merge fine into an existing folder
        // The same failure over an existing file leaves it as it was.
        cmd.FileNameToSave = existing;
        EXPECT_FALSE(cmd.CombineOrderPdf()) << c.name;
        QFile f(existing);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), "OLD") << c.name;
    }
}

// A combine of documents made to hurt ends within ten seconds and a gigabyte: one whose pages cannot
// be read fails it with the reason logged; a page drawing gigabytes comes in between sound ones.
TEST_F(TiffPdfCommandsTest, CombineOfFilesMadeToHurtEndsWithinLimits)
{
    if (test::RanWithinLimits())
        return;
    const QString a = MakeTaggedPdf(dir.path(), "a", 2), b = MakeTaggedPdf(dir.path(), "b", 1);
    const QString deep = test::DeepPageTreePdf(dir.filePath("deep.pdf"), 20000, 1);
    const QString drawing = test::ContentBombPdf(dir.filePath("drawing.pdf"), 4LL << 30, true);
    TiffPdfCommands cmd;
    cmd.colOrderedData = {Record(a, ""), Record(deep, ""), Record(b, "")};
    cmd.FileNameToSave = dir.filePath("out.pdf");
    EXPECT_FALSE(cmd.CombineOrderPdf());
    EXPECT_FALSE(QFile::exists(cmd.FileNameToSave));
    EXPECT_TRUE(LoggedFor("CombineOrderPdf", "levels deep")) << test::ErrorLogLines().join('\n').toStdString();

    test::ClearErrorLog();
    cmd.colOrderedData = {Record(a, ""), Record(drawing, "1"), Record(b, "")};
    ASSERT_TRUE(cmd.CombineOrderPdf()) << test::ErrorLogLines().join('\n').toStdString();
    EXPECT_EQ(test::QpdfPageCount(cmd.FileNameToSave), 4);
    EXPECT_TRUE(test::ErrorLogLines().isEmpty()) << test::ErrorLogLines().join('\n').toStdString();
}

TEST_F(TiffPdfCommandsTest, ClosingTheDialogDuringARunEndsItWithoutOutput)
{
    const QString a = MakeTaggedPdf(dir.path(), "a", 1), b = MakeTaggedPdf(dir.path(), "b", 1), c = MakeTaggedPdf(dir.path(), "c", 1);
    TiffPdfCommands cmd;
    cmd.colOrderedData = {Record(a, ""), Record(b, ""), Record(c, "")};
    cmd.FileNameToSave = dir.filePath("out.pdf");
    FakeDialog dialog;
    cmd.SetProgress(&dialog);
    // What the dialog's close handler does when the user closes it during the first yield.
    dialog.onValue = [&](std::int32_t) {
        cmd.SetProgress(nullptr);
        cmd.CancelRun();
    };
    EXPECT_FALSE(cmd.CombineOrderPdf());
    EXPECT_EQ(dialog.values, (std::vector<std::int32_t>{1}));
    EXPECT_FALSE(QFile::exists(cmd.FileNameToSave));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 3);

    // The next run starts afresh.
    EXPECT_TRUE(cmd.CombineOrderPdf());
    EXPECT_EQ(PageMarkers(cmd.FileNameToSave), Markers("a", {1}) + Markers("b", {1}) + Markers("c", {1}));
}

TEST_F(TiffPdfCommandsTest, AppendPutsTheRangeOnTheDocumentNamed)
{
    const QString src = MakeTaggedPdf(dir.path(), "src", 2), app = MakeTaggedPdf(dir.path(), "app", 5);
    const QString out = dir.filePath("out.pdf");
    using R = TiffPdfCommands::RangeGoesTo;
    struct Case {
        const char *name;
        QString first, second, range;
        R goesTo;
        QStringList expected;
    } cases[] = {
        {"at end, all", src, app, "", R::SecondDocument, Markers("src", {1, 2}) + Markers("app", {1, 2, 3, 4, 5})},
        {"at end, 0", src, app, "0", R::SecondDocument, Markers("src", {1, 2}) + Markers("app", {1, 2, 3, 4, 5})},
        {"at end, 2-4", src, app, "2-4", R::SecondDocument, Markers("src", {1, 2}) + Markers("app", {2, 3, 4})},
        {"at start, 2-4", app, src, "2-4", R::FirstDocument, Markers("app", {2, 3, 4}) + Markers("src", {1, 2})},
        {"at start, 3-2 passes the dialog's check", app, src, "3-2", R::FirstDocument, {}},
    };
    for (const Case &c : cases) {
        QFile::remove(out);
        TiffPdfCommands cmd;
        const bool ok = cmd.AppendPdfFile(c.first, c.second, c.range, out, c.goesTo);
        EXPECT_EQ(ok, !c.expected.isEmpty()) << c.name;
        EXPECT_EQ(PageMarkers(out), c.expected) << c.name;
    }
    EXPECT_TRUE(LoggedFor("AppendPdfFile", "backwards"));
}

TEST_F(TiffPdfCommandsTest, AppendFailsCleanlyAndMayWriteOverItsSource)
{
    const QString src = MakeTaggedPdf(dir.path(), "src", 2), app = MakeTaggedPdf(dir.path(), "app", 1);
    PdfSpec locked;
    locked.tag = "locked";
    locked.userPassword = "secret";
    locked.ownerPassword = "owner";
    const QString enc = test::MakePdf(dir.filePath("locked.pdf"), locked);
    TiffPdfCommands cmd;

    EXPECT_FALSE(cmd.AppendPdfFile(src, enc, "", dir.filePath("out.pdf")));
    EXPECT_FALSE(QFile::exists(dir.filePath("out.pdf")));
    EXPECT_TRUE(LoggedFor("AppendPdfFile", "password"));
    EXPECT_FALSE(cmd.AppendPdfFile(src, app, "", dir.filePath("missing/out.pdf")));

    ASSERT_TRUE(cmd.AppendPdfFile(src, app, "", src));
    EXPECT_EQ(PageMarkers(src), Markers("src", {1, 2}) + Markers("app", {1}));
}
