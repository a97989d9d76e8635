#include "platform/TiffPdfConverter.h"

#include "support/PdfFixtures.h"
#include "support/TestEnv.h"
#include "support/TiffFixtures.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageWriter>

#include <gtest/gtest.h>

using namespace folvane;
using folvane::test::MakeTaggedPdf;
using folvane::test::MakeTiff;
using folvane::test::PageImages;
using folvane::test::TiffPages;

namespace {

class TiffPdfConverterTest : public ::testing::Test {
protected:
    test::TempDir dir;
    TiffPdfConverter converter;
};

}  // namespace

TEST_F(TiffPdfConverterTest, PdfPagesBecomeOneTiffOrOneImageFileEach)
{
    const QString pdf = MakeTaggedPdf(dir.path(), "doc", 3);
    // A TIFF takes every page of the range; 72 dpi makes a page of 612 x 792 points as many pixels.
    ASSERT_TRUE(converter.PDFToImage(pdf, dir.filePath("all.tif"), 72, 72, 0, TiffPdfConverter::Grey, 0).ok);
    const auto pages = TiffPages(dir.filePath("all.tif"));
    ASSERT_EQ(pages.size(), 3u);
    EXPECT_EQ(pages[0].width, 612);
    EXPECT_EQ(pages[0].height, 792);
    EXPECT_EQ(pages[0].bitsPerSample, 8);
    EXPECT_EQ(pages[0].samplesPerPixel, 1);

    ASSERT_TRUE(converter.PDFToImage(pdf, dir.filePath("p.png"), 36, 36, 2, TiffPdfConverter::BlackWhite, 3).ok);
    EXPECT_FALSE(QFile::exists(dir.filePath("p.png")));
    const QImage second(dir.filePath("p_2.png"));
    ASSERT_FALSE(second.isNull());
    EXPECT_EQ(second.size(), QSize(306, 396));
    EXPECT_EQ(second.depth(), 1);
    EXPECT_TRUE(QFile::exists(dir.filePath("p_3.png")));
    EXPECT_FALSE(QFile::exists(dir.filePath("p_1.png")));

    ASSERT_TRUE(converter.PDFToImage(pdf, dir.filePath("one.jpg"), 36, 36, 1, TiffPdfConverter::Colour, 1).ok);
    EXPECT_FALSE(QImage(dir.filePath("one.jpg")).isNull());
}

TEST_F(TiffPdfConverterTest, PdfToImageRefusesWhatItCannotDo)
{
    const QString pdf = MakeTaggedPdf(dir.path(), "doc", 2);
    const QString damaged = dir.createFile("damaged.pdf", "%PDF-1.4\nnot really");
    struct Case {
        const char *name;
        QString pdf, image;
        int first, mode, last;
    } cases[] = {
        {"page past the end", pdf, dir.filePath("x.tif"), 1, 0, 3},
        {"colour mode unknown", pdf, dir.filePath("x.tif"), 0, 7, 0},
        {"format unknown", pdf, dir.filePath("x.nope"), 0, 0, 0},
        {"damaged PDF", damaged, dir.filePath("x.tif"), 0, 0, 0},
        {"missing folder", pdf, dir.filePath("none/x.tif"), 0, 0, 0},
    };
    for (const Case &c : cases) {
        EXPECT_FALSE(converter.PDFToImage(c.pdf, c.image, 36, 36, c.first, c.mode, c.last).ok) << c.name;
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2) << c.name;
    }
}

TEST_F(TiffPdfConverterTest, ImageToTiffUsesTheEncodingAsked)
{
    const QString src = MakeTiff(dir.filePath("src.tif"), {{20, 16, 24, 90}, {20, 16, 8, 40}});
    struct Case {
        int encoding;
        int storedCompression;
        int bitsPerSample;  ///< of the first page
        bool lossless;
    } cases[] = {
        {0, 5, 8, true},      {1, 1, 8, true},     {5, 5, 8, true}, {8, 8, 8, true},
        {32773, 32773, 8, true}, {7, 7, 8, false}, {4, 4, 1, false},
    };
    const auto original = TiffPages(src);
    for (const Case &c : cases) {
        const QString out = dir.filePath(QStringLiteral("out%1.tif").arg(c.encoding));
        const Outcome done = converter.ConvertImageToTiff(src, out, c.encoding);
        ASSERT_TRUE(done.ok) << c.encoding << done.reason.toStdString();
        const auto pages = TiffPages(out);
        ASSERT_EQ(pages.size(), 2u) << c.encoding;
        EXPECT_EQ(pages[0].compression, c.storedCompression) << c.encoding;
        EXPECT_EQ(pages[0].bitsPerSample, c.bitsPerSample) << c.encoding;
        if (c.lossless) {
            EXPECT_EQ(pages[0].rgbaFirstPixel, original[0].rgbaFirstPixel) << c.encoding;
            EXPECT_EQ(pages[1].rgbaFirstPixel, original[1].rgbaFirstPixel) << c.encoding;
            EXPECT_EQ(pages[1].samplesPerPixel, 1) << c.encoding;  // a grey page stays grey
        }
    }
    // A PNG, one page.
    QImage png(10, 6, QImage::Format_RGB32);
    png.fill(qRgb(10, 200, 30));
    ASSERT_TRUE(png.save(dir.filePath("a.png")));
    ASSERT_TRUE(converter.ConvertImageToTiff(dir.filePath("a.png"), dir.filePath("png.tif"), 5).ok);
    ASSERT_EQ(TiffPages(dir.filePath("png.tif")).size(), 1u);
    EXPECT_EQ(QImage(dir.filePath("png.tif")).pixel(0, 0), qRgb(10, 200, 30));

    EXPECT_FALSE(converter.ConvertImageToTiff(src, dir.filePath("bad.tif"), 3).ok);
    EXPECT_FALSE(converter.ConvertImageToTiff(dir.createFile("junk.png", "junk"), dir.filePath("bad.tif"), 5).ok);
    EXPECT_FALSE(QFile::exists(dir.filePath("bad.tif")));
}

TEST_F(TiffPdfConverterTest, TiffPagesBecomePdfPagesSizedByTheirResolution)
{
    test::TiffOptions options;
    options.dpi = 144;
    options.compression = 5;
    const QString src = MakeTiff(dir.filePath("scan.tif"), {{288, 144, 1, 1}, {144, 72, 8, 30}, {72, 72, 24, 90}}, options);
    ASSERT_TRUE(converter.ConvertTiffToPDF(src, dir.filePath("scan.pdf")).ok);
    const QList<test::PdfPageImage> images = PageImages(dir.filePath("scan.pdf"));
    ASSERT_EQ(images.size(), 3);
    EXPECT_DOUBLE_EQ(images[0].pageWidth, 144.0);  // 288 pixels at 144 dpi: two inches
    EXPECT_DOUBLE_EQ(images[0].pageHeight, 72.0);
    struct Expect {
        int bits;
        const char *space;
    } expect[] = {{1, "/DeviceGray"}, {8, "/DeviceGray"}, {8, "/DeviceRGB"}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(images[i].bitsPerComponent, expect[i].bits) << i;
        EXPECT_EQ(images[i].colourSpace, expect[i].space) << i;
        EXPECT_EQ(images[i].filter, "/FlateDecode") << i;
    }
    EXPECT_FALSE(converter.ConvertTiffToPDF(dir.createFile("bad.tif", QByteArray("MM\0*", 4) + "xx"), dir.filePath("bad.pdf")).ok);
    EXPECT_FALSE(QFile::exists(dir.filePath("bad.pdf")));
}
