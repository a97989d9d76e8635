#include "platform/ImagePdfEngine.h"

#include "support/PdfFixtures.h"
#include "support/TestEnv.h"
#include "support/TiffFixtures.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageWriter>

#include <gtest/gtest.h>

using namespace folvane;
namespace engine = folvane::ImagePdfEngine;
using folvane::test::PageImages;

namespace {

QImage Filled(QImage::Format format, QRgb colour, int w = 8, int h = 4)
{
    QImage image(w, h, format);
    if (format == QImage::Format_Mono) {
        image.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});  // index 0 white: the writer must turn it
        image.fill(qGray(colour) < 128 ? 1 : 0);
    } else {
        image.fill(colour);
    }
    return image;
}

class ImagePdfEngineTest : public ::testing::Test {
protected:
    QString Save(const QImage &image, const char *name, int dpi = 0)
    {
        QImage copy = image;
        if (dpi > 0) {
            copy.setDotsPerMeterX(qRound(dpi / 0.0254));
            copy.setDotsPerMeterY(qRound(dpi / 0.0254));
        }
        const QString path = dir.filePath(name);
        EXPECT_TRUE(QImageWriter(path).write(copy)) << name;
        return path;
    }
    /// The PDF of the images, written with the compressions given for classes 1, 2 and 3 (empty: none set).
    QString Pdf(const QStringList &images, const QStringList &compressions = {})
    {
        const QString out = dir.filePath(QStringLiteral("out%1.pdf").arg(++made));
        const std::int32_t h = engine::ApCreate(out);
        EXPECT_GT(h, 0);
        for (int cls = 0; cls < compressions.size(); ++cls) {
            if (!compressions[cls].isEmpty()) {
                EXPECT_EQ(engine::ApSetFunction(h, engine::FnCompression, cls + 1, 0, compressions[cls], 0), 0);
            }
        }
        for (const QString &image : images)
            EXPECT_EQ(engine::ApAddImage(h, image), 0) << engine::ApLastError().toStdString();
        EXPECT_EQ(engine::ApClose(h), 0) << engine::ApLastError().toStdString();
        return out;
    }
    test::TempDir dir;
    int made = 0;
};

}  // namespace

TEST_F(ImagePdfEngineTest, JpegFilesGoInUnchangedAndOtherImagesLossless)
{
    const QString jpeg = Save(Filled(QImage::Format_RGB32, qRgb(200, 30, 60), 144, 72), "photo.jpg", 144);
    const QString greyJpeg = Save(Filled(QImage::Format_Grayscale8, qRgb(90, 90, 90)), "grey.jpg");
    const QString png = Save(Filled(QImage::Format_RGB32, qRgb(10, 20, 30)), "colour.png");
    const QString greyPng = Save(Filled(QImage::Format_Grayscale8, qRgb(77, 77, 77)), "grey.png");
    const QString mono = Save(Filled(QImage::Format_Mono, qRgb(0, 0, 0)), "mono.png");
    const QString tiff = test::MakeTiff(dir.filePath("two.tif"), {{8, 4, 1, 1}, {8, 4, 8, 50}});

    const QList<test::PdfPageImage> pages = PageImages(Pdf({jpeg, greyJpeg, png, greyPng, mono, tiff}));
    ASSERT_EQ(pages.size(), 7);
    EXPECT_EQ(pages[0].filter, "/DCTDecode");
    EXPECT_EQ(pages[0].storedData, test::FileBytes(jpeg));
    EXPECT_EQ(pages[0].colourSpace, "/DeviceRGB");
    EXPECT_DOUBLE_EQ(pages[0].pageWidth, 72.0);  // 144 pixels at 144 dpi
    EXPECT_EQ(pages[1].storedData, test::FileBytes(greyJpeg));
    EXPECT_EQ(pages[1].colourSpace, "/DeviceGray");
    EXPECT_DOUBLE_EQ(pages[1].pageWidth, 6.0);  // 8 pixels at the 96 dpi Qt writes by default

    struct Expect {
        int bits;
        const char *space;
        QByteArray firstSamples;
    } expect[] = {
        {8, "/DeviceRGB", QByteArray("\x0a\x14\x1e", 3)},
        {8, "/DeviceGray", QByteArray("\x4d", 1)},
        {1, "/DeviceGray", QByteArray("\x00", 1)},  // black is 0
        {1, "/DeviceGray", QByteArray("\xff", 1)},  // white is 1
        {8, "/DeviceGray", QByteArray("\x32", 1)},
    };
    for (int i = 0; i < 5; ++i) {
        const test::PdfPageImage &p = pages[i + 2];
        EXPECT_EQ(p.filter, "/FlateDecode") << i;
        EXPECT_EQ(p.bitsPerComponent, expect[i].bits) << i;
        EXPECT_EQ(p.colourSpace, expect[i].space) << i;
        EXPECT_TRUE(p.samples.startsWith(expect[i].firstSamples)) << i << ": " << p.samples.toHex().toStdString();
    }
}

TEST_F(ImagePdfEngineTest, CompressionIsChosenByColourClass)
{
    const QString jpeg = Save(Filled(QImage::Format_RGB32, qRgb(200, 30, 60)), "photo.jpg");
    const QString png = Save(Filled(QImage::Format_RGB32, qRgb(10, 20, 30)), "colour.png");
    const QString greyPng = Save(Filled(QImage::Format_Grayscale8, qRgb(77, 77, 77)), "grey.png");
    const QString mono = Save(Filled(QImage::Format_Mono, qRgb(0, 0, 0)), "mono.png");

    const auto pages = PageImages(Pdf({jpeg, png, greyPng, mono}, {"None", "JPEG", "Flate"}));
    ASSERT_EQ(pages.size(), 4);
    EXPECT_EQ(pages[0].filter, "/FlateDecode");  // a colour JPEG decoded, as colour is Flate now
    EXPECT_EQ(pages[1].filter, "/FlateDecode");
    EXPECT_EQ(pages[2].filter, "/DCTDecode");    // grey: JPEG
    EXPECT_EQ(pages[3].filter, "");              // black-and-white: none
    EXPECT_EQ(pages[3].storedData.size(), 4);    // 4 rows of one byte

    const std::int32_t h = engine::ApCreate(dir.filePath("x.pdf"));
    EXPECT_EQ(engine::ApSetFunction(h, engine::FnCompression, 1, 0, "JPEG", 0), -1);
    EXPECT_EQ(engine::ApSetFunction(h, engine::FnCompression, 3, 0, "LZW", 0), -1);
    EXPECT_EQ(engine::ApSetFunction(h, engine::FnCompression, 4, 0, "Flate", 0), -1);
    EXPECT_EQ(engine::ApSetFunction(h, 124, 3, 0, "Flate", 0), -1);
    engine::ApDiscard(h);
}

TEST_F(ImagePdfEngineTest, BitsPerPixelOfImageFiles)
{
    struct Case {
        QString path;
        std::int32_t bits;
    } cases[] = {
        {Save(Filled(QImage::Format_Mono, qRgb(0, 0, 0)), "mono.png"), 1},
        {Save(Filled(QImage::Format_Grayscale8, qRgb(9, 9, 9)), "grey.png"), 8},
        {Save(Filled(QImage::Format_RGB32, qRgb(1, 2, 3)), "colour.png"), 24},
        {Save(Filled(QImage::Format_ARGB32, qRgba(1, 2, 3, 4)), "alpha.png"), 32},
        {Save(Filled(QImage::Format_Grayscale8, qRgb(9, 9, 9)), "grey.jpg"), 8},
        {Save(Filled(QImage::Format_RGB32, qRgb(1, 2, 3)), "colour.jpg"), 24},
        {test::MakeTiff(dir.filePath("bw.tif"), {{8, 4, 1, 1}}), 1},
        {test::MakeTiff(dir.filePath("rgb.tif"), {{8, 4, 24, 9}}), 24},
        {dir.createFile("junk.png", "junk"), 0},
        {dir.filePath("gone.png"), 0},
    };
    for (const Case &c : cases)
        EXPECT_EQ(engine::ApGetFunction(0, engine::FnBitsPerPixel, 0, 0, c.path, 0), c.bits) << c.path.toStdString();
}

TEST_F(ImagePdfEngineTest, NothingIsWrittenUnlessEveryImageWentIn)
{
    const QString png = Save(Filled(QImage::Format_RGB32, qRgb(10, 20, 30)), "colour.png");
    const QString junk = dir.createFile("junk.tif", QByteArray("II*\0", 4) + "junk");
    EXPECT_EQ(engine::ApCreate(dir.filePath("none/x.pdf")), -1);
    EXPECT_TRUE(engine::ApLastError().contains("cannot write"));
    EXPECT_EQ(engine::ApCreate(""), -1);
    EXPECT_EQ(engine::ApCreate(dir.path()), -1);

    const QString out = dir.createFile("out.pdf", "OLD");
    std::int32_t h = engine::ApCreate(out);
    ASSERT_GT(h, 0);
    EXPECT_EQ(engine::ApAddImage(h, png), 0);
    EXPECT_EQ(engine::ApAddImage(h, junk), -1);
    EXPECT_TRUE(engine::ApLastError().contains("junk.tif"));
    EXPECT_EQ(engine::ApAddImage(h, png), -1);
    EXPECT_EQ(engine::ApClose(h), -1);
    EXPECT_EQ(test::FileBytes(out), "OLD");

    h = engine::ApCreate(out);
    EXPECT_EQ(engine::ApClose(h), -1);  // no image
    EXPECT_EQ(engine::ApClose(h), -1);  // no longer open
    EXPECT_EQ(engine::ApAddImage(h, png), -1);
    EXPECT_EQ(test::FileBytes(out), "OLD");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 3);
}
