#include "platform/PdfRasterEngine.h"

#include "support/PdfFixtures.h"
#include "support/TestEnv.h"
#include "support/TiffFixtures.h"

#include <QDir>
#include <QFile>
#include <QImage>

#include <gtest/gtest.h>

using namespace folvane;
namespace engine = folvane::PdfRasterEngine;

namespace {

class PdfRasterEngineTest : public ::testing::Test {
protected:
    /// An open handle on a fresh PDF of pages pages, writing into the folder out.
    std::int32_t Open(int pages, std::int32_t type, const QString &prefix = "pg")
    {
        const std::int32_t h = engine::apOpen(test::MakeTaggedPdf(dir.path(), "doc", pages), {}, {});
        EXPECT_GT(h, 0);
        EXPECT_EQ(engine::apSetProperty(h, engine::PropOutputFolder, out, 0, 0), 0);
        EXPECT_EQ(engine::apSetProperty(h, engine::PropPrefix, prefix, 0, 0), 0);
        EXPECT_EQ(engine::apSetProperty(h, engine::PropImageType, {}, type, 0), 0);
        return h;
    }
    test::TempDir dir;
    QString out = dir.createFolder("out");
};

}  // namespace

TEST_F(PdfRasterEngineTest, OpenTellsWhyAFileDidNotOpen)
{
    test::PdfSpec locked;
    locked.userPassword = "u";
    locked.ownerPassword = "o";
    test::MakePdf(dir.filePath("locked.pdf"), locked);
    test::PdfSpec empty;
    empty.pages = 0;
    test::MakePdf(dir.filePath("empty.pdf"), empty);
    struct Case {
        QString path, password;
        std::int32_t answer;
    } cases[] = {
        {dir.filePath("gone.pdf"), {}, engine::OpenNotReadable},
        {dir.path(), {}, engine::OpenNotReadable},
        {dir.createFile("damaged.pdf", "%PDF-1.4\ngarbage"), {}, engine::OpenDamaged},
        {dir.filePath("locked.pdf"), "wrong", engine::OpenPassword},
        {dir.filePath("empty.pdf"), {}, engine::OpenNoPages},
    };
    for (const Case &c : cases)
        EXPECT_EQ(engine::apOpen(c.path, c.password, {}), c.answer) << c.path.toStdString();
    const std::int32_t h = engine::apOpen(dir.filePath("locked.pdf"), {}, "u");
    EXPECT_GT(h, 0);
    EXPECT_EQ(engine::apClose(h), 0);
}

TEST_F(PdfRasterEngineTest, EachImageTypeWritesItsFiles)
{
    struct Case {
        std::int32_t type;
        const char *second;
    } cases[] = {{engine::TypeBmp, "pg2.bmp"}, {engine::TypeJpeg, "pg2.jpg"}, {engine::TypePng, "pg2.png"},
                 {engine::TypeTiff, "pg2.tif"}};
    for (const Case &c : cases) {
        const std::int32_t h = Open(2, c.type);
        EXPECT_EQ(engine::apConvertPage(h, 2), 0) << c.type;
        EXPECT_EQ(engine::apClose(h), 0);
        EXPECT_EQ(test::FolderEntries(out), QStringList{c.second}) << c.type;
        const QImage image(QDir(out).filePath(c.second));
        EXPECT_EQ(image.size(), QSize(1275, 1650)) << c.type;  // a letter page at 150 dpi
        QFile::remove(QDir(out).filePath(c.second));
    }

    std::int32_t h = Open(1, engine::TypePng);
    EXPECT_EQ(engine::apSetProperty(h, engine::PropBitsPerPixel, {}, 1, 0), 0);
    EXPECT_EQ(engine::apConvertPage(h, 1), 0);
    EXPECT_EQ(engine::apClose(h), 0);
    EXPECT_EQ(QImage(out + "/pg1.png").depth(), 1);
}

TEST_F(PdfRasterEngineTest, AMultiPageTiffAppearsWhenTheHandleCloses)
{
    std::int32_t h = Open(3, engine::TypeMultiPageTiff, "all");
    EXPECT_EQ(engine::apSetProperty(h, engine::PropBitsPerPixel, {}, 8, 0), 0);
    EXPECT_EQ(engine::apSetProperty(h, engine::PropTiffCompression, {}, 1, 0), 0);
    EXPECT_EQ(engine::apConvertPage(h, 3), 0);
    EXPECT_EQ(engine::apConvertPage(h, 1), 0);
    EXPECT_FALSE(QFile::exists(out + "/all.tif"));
    EXPECT_EQ(engine::apSetProperty(h, engine::PropImageType, {}, engine::TypePng, 0), -1);
    EXPECT_EQ(engine::apClose(h), 0);
    const auto pages = test::TiffPages(out + "/all.tif");
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_EQ(pages[0].compression, 1);
    EXPECT_EQ(pages[0].bitsPerSample, 8);
    EXPECT_EQ(pages[0].samplesPerPixel, 1);
    EXPECT_EQ(test::FolderEntries(out), QStringList{"all.tif"});

    // Without a prefix the file is named after the PDF.
    h = Open(1, engine::TypeMultiPageTiff, "");
    EXPECT_EQ(engine::apConvertPage(h, 1), 0);
    EXPECT_EQ(engine::apClose(h), 0);
    EXPECT_TRUE(QFile::exists(out + "/doc.tif"));
}

TEST_F(PdfRasterEngineTest, BadRequestsAnswerMinusOneAndWriteNothing)
{
    std::int32_t h = Open(2, engine::TypePng);
    EXPECT_EQ(engine::apConvertPage(h, 0), -1);
    EXPECT_EQ(engine::apConvertPage(h, 3), -1);
    EXPECT_TRUE(engine::apLastError().contains("no page 3"));
    struct Property {
        std::int32_t number, value;
    } bad[] = {{engine::PropImageType, 6}, {engine::PropBitsPerPixel, 16}, {engine::PropTiffCompression, 3},
               {engine::PropJpegQuality, 101}, {99, 0}};
    for (const Property &p : bad)
        EXPECT_EQ(engine::apSetProperty(h, p.number, {}, p.value, 0), -1) << p.number;
    EXPECT_EQ(engine::apSetProperty(h, engine::PropOutputFolder, dir.filePath("none"), 0, 0), 0);
    EXPECT_EQ(engine::apConvertPage(h, 1), -1);
    EXPECT_EQ(engine::apClose(h), 0);
    EXPECT_EQ(engine::apClose(h), -1);
    EXPECT_EQ(engine::apConvertPage(h, 1), -1);
    EXPECT_TRUE(test::FolderEntries(out).isEmpty());
}
