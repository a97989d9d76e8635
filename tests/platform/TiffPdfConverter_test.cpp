#include "platform/TiffPdfConverter.h"

#include "platform/TiffFile.h"

#include "support/ImageFixtures.h"
#include "support/PdfFixtures.h"
#include "support/RenderHazards.h"
#include "support/TestEnv.h"
#include "support/TiffFixtures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
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
    const QString hugeSecond = test::MakePdfWithHugeSecondPage(dir.filePath("huge.pdf"));
    const QStringList inputs = test::FolderEntries(dir.path());
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
        // The first page is done before the second fails: neither the TIFF nor the first page's file stays.
        {"page that cannot be rendered, into a TIFF", hugeSecond, dir.filePath("x.tif"), 0, 0, 0},
        {"page that cannot be rendered, a file a page", hugeSecond, dir.filePath("x.png"), 0, 0, 0},
    };
    for (const Case &c : cases) {
        EXPECT_FALSE(converter.PDFToImage(c.pdf, c.image, 36, 36, c.first, c.mode, c.last).ok) << c.name;
        const QStringList left = test::FolderEntries(dir.path());
        EXPECT_EQ(left, inputs) << c.name << ": " << left.join(", ").toStdString();
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

TEST_F(TiffPdfConverterTest, EveryImageClassBecomesATiffOfTheSamePixels)
{
    // Read back by Qt's TIFF reader, not by the code that wrote it.
    for (const test::ImageCase &c : test::ImageClassCases(dir.path())) {
        const QString out = dir.filePath(QStringLiteral("%1.out.tif").arg(QFileInfo(c.path).fileName()));
        const Outcome done = converter.ConvertImageToTiff(c.path, out, TiffFile::Compression::Default);
        ASSERT_TRUE(done.ok) << c.name << ": " << done.reason.toStdString();
        const QImage back(out);
        if (c.lossy) {
            const double mean = test::MeanChannelDiff(c.expected, back);
            EXPECT_TRUE(mean >= 0 && mean <= 10) << c.name << ": mean difference " << mean;
        } else {
            const int diff = test::MaxChannelDiff(c.expected, back);
            EXPECT_TRUE(diff >= 0 && diff <= c.tolerance) << c.name << ": " << test::DiffReport(c.expected, back).toStdString();
        }
        const auto pages = TiffPages(out);
        ASSERT_EQ(pages.size(), 1u) << c.name;
        EXPECT_EQ(pages[0].bitsPerSample == 1, c.blackWhite) << c.name;
    }
}

TEST_F(TiffPdfConverterTest, TiffPagesOfEveryLayoutAndOrientationRenderBackUpright)
{
    const QImage upright = test::Quadrants(64, 32);
    QImage redBlue(64, 32, QImage::Format_Mono);
    redBlue.setColorTable({qRgb(220, 20, 20), qRgb(20, 40, 230)});
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x)
            redBlue.setPixel(x, y, (x / 16 + y / 16) % 2);
    for (const bool tiled : {false, true}) {
        for (int orientation = 1; orientation <= 8; ++orientation) {
            test::TiffOptions options;
            options.orientation = orientation;
            options.tiled = tiled;
            options.compression = 5;
            const QString tif = test::MakeTiffOf(dir.filePath(QStringLiteral("o%1%2.tif").arg(orientation).arg(tiled)),
                                                 {test::StoredFor(upright, orientation),
                                                  test::StoredFor(redBlue.convertToFormat(QImage::Format_RGB32), orientation)},
                                                 options);
            const QString pdf = dir.filePath("o.pdf");
            const Outcome done = converter.ConvertTiffToPDF(tif, pdf);
            ASSERT_TRUE(done.ok) << done.reason.toStdString();
            for (int page = 1; page <= 2; ++page) {
                const QImage want = page == 1 ? upright : redBlue;
                const QImage got = test::RenderPdfPage(pdf, page, 72);
                EXPECT_EQ(test::MaxChannelDiff(want, got), 0) << "orientation " << orientation << (tiled ? ", tiles" : ", strips")
                                                               << ", page " << page << ": "
                                                               << test::DiffReport(want, got).toStdString();
            }
        }
    }
}

TEST_F(TiffPdfConverterTest, PdfPagesBecomeImagesOfTheirPixels)
{
    // A 16 x 16 image at 72 dpi; pages rendered at 288 dpi repeat each pixel 4 x 4 times, and the
    // middle of each block is compared with the source (poppler smooths below four times).
    const QImage source = test::Quadrants(16, 16);
    const QString tif = test::MakeTiffOf(dir.filePath("src.tif"), {source, source}, {.dpi = 72});
    const QString pdf = dir.filePath("src.pdf");
    ASSERT_TRUE(converter.ConvertTiffToPDF(tif, pdf).ok);
    auto sampled = [](const QImage &big) {
        QImage out(big.width() / 4, big.height() / 4, QImage::Format_RGB32);
        for (int y = 0; y < out.height(); ++y)
            for (int x = 0; x < out.width(); ++x)
                out.setPixel(x, y, big.pixel(4 * x + 2, 4 * y + 2));
        return out;
    };
    // Grey as Qt computes it (luminance of the sRGB colours); black-and-white cut at its middle.
    const QImage grey = source.convertToFormat(QImage::Format_Grayscale8);
    QImage blackWhite(16, 16, QImage::Format_RGB32);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            blackWhite.setPixel(x, y, qGray(grey.pixel(x, y)) < 128 ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
    struct Case {
        const char *file;
        TiffPdfConverter::ColourMode mode;
        QImage expected;
        int tolerance;
    } cases[] = {
        {"colour.png", TiffPdfConverter::Colour, source, 0},
        {"colour.bmp", TiffPdfConverter::Colour, source, 0},
        {"colour.tif", TiffPdfConverter::Colour, source, 0},
        {"grey.png", TiffPdfConverter::Grey, grey, 0},
        {"grey.tif", TiffPdfConverter::Grey, grey, 0},
        {"bw.png", TiffPdfConverter::BlackWhite, blackWhite, 0},
        {"bw.tif", TiffPdfConverter::BlackWhite, blackWhite, 0},
    };
    for (const Case &c : cases) {
        const QString out = dir.filePath(c.file);
        const Outcome done = converter.PDFToImage(pdf, out, 288, 288, 2, c.mode, 2);
        ASSERT_TRUE(done.ok) << c.file << ": " << done.reason.toStdString();
        const QImage back = sampled(QImage(out));
        const int diff = test::MaxChannelDiff(c.expected, back);
        EXPECT_TRUE(diff >= 0 && diff <= c.tolerance) << c.file << ": " << test::DiffReport(c.expected, back).toStdString();
    }
}
