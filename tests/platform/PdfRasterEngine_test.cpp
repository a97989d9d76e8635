#include "platform/PdfRasterEngine.h"

#include "platform/ImagePdfEngine.h"

#include "support/ImageFixtures.h"
#include "support/PdfFixtures.h"
#include "support/RenderHazards.h"
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

TEST_F(PdfRasterEngineTest, AMultiPageTiffLackingAPageIsNotWritten)
{
    const std::int32_t h = engine::apOpen(test::MakePdfWithHugeSecondPage(dir.filePath("doc.pdf")), {}, {});
    ASSERT_GT(h, 0);
    EXPECT_EQ(engine::apSetProperty(h, engine::PropOutputFolder, out, 0, 0), 0);
    EXPECT_EQ(engine::apSetProperty(h, engine::PropImageType, {}, engine::TypeMultiPageTiff, 0), 0);
    EXPECT_EQ(engine::apConvertPage(h, 1), 0);
    EXPECT_EQ(engine::apConvertPage(h, 2), -1);
    EXPECT_TRUE(engine::apLastError().contains("page 2 is too large to render")) << engine::apLastError().toStdString();
    EXPECT_EQ(engine::apClose(h), -1);
    EXPECT_TRUE(engine::apLastError().contains("doc.tif is not written: page 2 was not converted")) << engine::apLastError().toStdString();
    EXPECT_TRUE(test::FolderEntries(out).isEmpty());
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

TEST_F(PdfRasterEngineTest, PagesComeOutWithTheColoursOfThePdf)
{
    // A page showing four flat quadrants and a black corner (64 x 64 pixels at 72 dpi), converted
    // at the engine's 150 dpi; the middle of each area is compared, away from the smoothed edges.
    const QImage source = test::Quadrants(64, 64);
    const QString pdf = dir.filePath("quadrants.pdf");
    {
        const std::int32_t h = ImagePdfEngine::ApCreate(pdf);
        ASSERT_EQ(ImagePdfEngine::ApAddImage(h, test::MakeTiffOf(dir.filePath("q.tif"), {source}, {.dpi = 72})), 0);
        ASSERT_EQ(ImagePdfEngine::ApClose(h), 0);
    }
    const QPoint middles[] = {{8, 8}, {24, 24}, {48, 16}, {16, 48}, {48, 48}};
    struct Case {
        std::int32_t type, bits;
        const char *file;
        int tolerance;  ///< summed over the channels
    } cases[] = {
        {engine::TypePng, 24, "pg1.png", 0},   {engine::TypeBmp, 24, "pg1.bmp", 0},
        {engine::TypeTiff, 24, "pg1.tif", 0},  {engine::TypeJpeg, 24, "pg1.jpg", 12},
        {engine::TypePng, 8, "pg1.png", 0},    {engine::TypeTiff, 1, "pg1.tif", 0},
        {engine::TypeMultiPageTiff, 24, "pg.tif", 0},
    };
    for (const Case &c : cases) {
        const std::int32_t h = engine::apOpen(pdf, {}, {});
        ASSERT_GT(h, 0);
        EXPECT_EQ(engine::apSetProperty(h, engine::PropOutputFolder, out, 0, 0), 0);
        EXPECT_EQ(engine::apSetProperty(h, engine::PropPrefix, "pg", 0, 0), 0);
        EXPECT_EQ(engine::apSetProperty(h, engine::PropImageType, {}, c.type, 0), 0);
        EXPECT_EQ(engine::apSetProperty(h, engine::PropBitsPerPixel, {}, c.bits, 0), 0);
        EXPECT_EQ(engine::apConvertPage(h, 1), 0) << engine::apLastError().toStdString();
        EXPECT_EQ(engine::apClose(h), 0);
        const QString path = QDir(out).filePath(c.file);
        const QImage image(path);
        ASSERT_EQ(image.size(), QSize(133, 133)) << c.file << " " << c.bits;
        for (const QPoint &m : middles) {
            QRgb want = source.pixel(m);
            if (c.bits == 8) {
                const int g = qGray(source.convertToFormat(QImage::Format_Grayscale8).pixel(m));
                want = qRgb(g, g, g);
            } else if (c.bits == 1) {
                want = qGray(source.convertToFormat(QImage::Format_Grayscale8).pixel(m)) < 128 ? qRgb(0, 0, 0) : qRgb(255, 255, 255);
            }
            const QRgb got = image.pixel(m * 150 / 72);
            EXPECT_LE(std::abs(qRed(want) - qRed(got)) + std::abs(qGreen(want) - qGreen(got)) + std::abs(qBlue(want) - qBlue(got)),
                      c.tolerance)
                << c.file << ", " << c.bits << " bits, at " << m.x() << "," << m.y() << ": " << std::hex << got << " for " << want;
        }
        QFile::remove(path);
    }
}
