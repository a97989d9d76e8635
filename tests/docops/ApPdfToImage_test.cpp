#include "docops/ApPdfToImage.h"

#include "docops/ConversionProgress.h"
#include "support/PdfFixtures.h"
#include "support/RenderHazards.h"
#include "support/TestEnv.h"
#include "support/TiffFixtures.h"

#include <QDir>
#include <QFile>
#include <QImage>

#include <gtest/gtest.h>

using namespace folvane;

namespace {

bool Logged(const QString &part)
{
    return test::LoggedFor("ConvertPDFToImage", " of Class Module ApPdfToImage at time", part);
}

/// Records every update as "bar=<n>", "file=<name>" or "no=<text>", in order.
class FakeProgress : public ConversionProgress {
public:
    void SetProgressBarValue(std::int32_t percent) override { log << QStringLiteral("bar=%1").arg(percent); }
    void SetFileNameCaption(const QString &name) override { log << "file=" + name; }
    void SetProgressNumberCaption(const QString &text) override { log << "no=" + text; }
    QStringList log;
};

class ApPdfToImageTest : public ::testing::Test {
protected:
    void SetUp() override { test::ClearErrorLog(); }
    test::TempDir dir;
    QString out = dir.createFolder("out");
    ApPdfToImage pdf2img;
};

}  // namespace

TEST_F(ApPdfToImageTest, PagesGoIntoAFolderNamedAfterTheSourceWithTheLastDot)
{
    const QString src = test::MakeTaggedPdf(dir.path(), "annual.final", 8);
    FakeProgress progress;
    pdf2img.SetProgress(&progress);
    ASSERT_TRUE(pdf2img.ConvertPDFToImage(src, out, 8, "pg", 3)) << test::ErrorLogLines().join('\n').toStdString();
    EXPECT_EQ(test::FolderEntries(out), QStringList{"annual.final."});
    EXPECT_EQ(test::FolderEntries(out + "/annual.final.").size(), 8);
    EXPECT_FALSE(QImage(out + "/annual.final./pg8.png").isNull());

    QStringList expected;
    // 12.5 and 62.5 go to the even neighbour, 37.5 and 87.5 too.
    for (int percent : {12, 25, 38, 50, 62, 75, 88, 100})
        expected << QStringLiteral("bar=%1").arg(percent) << "file=annual.final.pdf" << QStringLiteral("no=%1").arg(percent);
    expected << "bar=0" << "file=" << "no=0";
    EXPECT_EQ(progress.log, expected);
}

TEST_F(ApPdfToImageTest, TypeSevenWritesOneTiffIntoTheOutputFolderItself)
{
    const QString src = test::MakeTaggedPdf(dir.path(), "doc", 2);
    ASSERT_TRUE(pdf2img.ConvertPDFToImage(src, out, 2, "all", 7));
    EXPECT_EQ(test::FolderEntries(out), QStringList{"all.tif"});
    const auto pages = test::TiffPages(out + "/all.tif");
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_EQ(pages[0].samplesPerPixel, 3);
    EXPECT_EQ(pages[0].compression, 1);
}

TEST_F(ApPdfToImageTest, NoPagesAskedConvertsNothingButResetsTheProgress)
{
    const QString src = test::MakeTaggedPdf(dir.path(), "nodot", 1);
    QFile::rename(src, dir.filePath("nodot"));
    FakeProgress progress;
    pdf2img.SetProgress(&progress);
    EXPECT_TRUE(pdf2img.ConvertPDFToImage(dir.filePath("nodot"), out, 0, "p", 2));
    EXPECT_EQ(progress.log, (QStringList{"bar=0", "file=", "no=0"}));
    EXPECT_TRUE(test::FolderEntries(out).isEmpty());
    // A name without a dot: straight into the output folder.
    EXPECT_TRUE(pdf2img.ConvertPDFToImage(dir.filePath("nodot"), out, 1, "p", 2));
    EXPECT_EQ(test::FolderEntries(out), QStringList{"p1.jpg"});
}

TEST_F(ApPdfToImageTest, FilesThatDoNotOpenOrPagesThatFailAnswerFalse)
{
    const QString src = test::MakeTaggedPdf(dir.path(), "doc", 2);
    const QString damaged = dir.createFile("damaged.pdf", "%PDF-1.4\ngarbage");
    EXPECT_FALSE(pdf2img.ConvertPDFToImage("", out, 1, "p", 3));
    EXPECT_TRUE(test::ErrorLogLines().isEmpty());
    struct Case {
        const char *name;
        QString source;
        std::int32_t pages, type;
        const char *reasonPart;
    } cases[] = {
        {"damaged", damaged, 1, 3, "damaged.pdf"},
        {"missing", dir.filePath("gone.pdf"), 1, 3, "gone.pdf"},
        {"more pages than the file has", src, 3, 3, "no page 3"},
        {"unknown image type", src, 1, 9, "image type 9"},
    };
    for (const Case &c : cases) {
        test::ClearErrorLog();
        EXPECT_FALSE(pdf2img.ConvertPDFToImage(c.source, out, c.pages, "p", c.type)) << c.name;
        EXPECT_TRUE(Logged(c.reasonPart)) << c.name << ": " << test::ErrorLogLines().join('\n').toStdString();
    }
}

TEST_F(ApPdfToImageTest, ARendererKilledInMidPageFailsTheConversionAndLeavesNoPartialFile)
{
    // Page 1 renders at once; page 2 never finishes, and its render child is killed from outside.
    const QString src = test::MakeEndlessPdf(dir.filePath("doc.pdf"), true);
    struct Case {
        const char *name;
        std::int32_t type;
        const char *pagesFolder;  ///< where the pages go, in the output folder
        QStringList left;
    } cases[] = {
        {"one PNG a page", 3, "doc.", {"p1.png"}},
        {"one multi-page TIFF", 7, "", {}},
    };
    for (const Case &c : cases) {
        test::ClearErrorLog();
        const QString folder = dir.createFolder(c.name);
        test::RenderChildKiller killer(test::RenderChildKiller::BusyFor(0.3), 8);
        EXPECT_FALSE(pdf2img.ConvertPDFToImage(src, folder, 2, "p", c.type)) << c.name;
        EXPECT_TRUE(killer.Killed()) << c.name;
        EXPECT_TRUE(Logged("doc.pdf: rendering page 2 failed: the renderer was ended by signal 9"))
            << c.name << ": " << test::ErrorLogLines().join('\n').toStdString();
        const QStringList left = test::FolderEntries(QDir(folder).filePath(c.pagesFolder));
        EXPECT_EQ(left, c.left) << c.name << ": " << left.join(", ").toStdString();
    }
}
