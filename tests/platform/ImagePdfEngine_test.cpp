#include "platform/ImagePdfEngine.h"

#include "support/ImageFixtures.h"
#include "support/PdfFixtures.h"
#include "support/TestEnv.h"
#include "support/TiffFixtures.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QBuffer>
#include <QImageWriter>

#include <gtest/gtest.h>

using namespace folvane;
namespace engine = folvane::ImagePdfEngine;
using folvane::test::PageImages;

namespace {

/// A lossy image (a JPEG file, or JPEG chosen for the PDF) may differ this much from its source on
/// average over its channels (see MeanChannelDiff); a wrong picture is off by tens.
constexpr double LossyMeanTolerance = 10;

quint32 Crc32(const QByteArray &data)
{
    quint32 crc = 0xffffffffu;
    for (const char byte : data) {
        crc ^= static_cast<unsigned char>(byte);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

QByteArray Big32(quint32 v)
{
    return QByteArray(1, char(v >> 24)) + char((v >> 16) & 0xff) + char((v >> 8) & 0xff) + char(v & 0xff);
}

QByteArray PngBytes(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "png").write(image);
    return bytes;
}

/// The PNG with a header that claims the size (a valid checksum, so only the size is wrong).
QByteArray PngClaiming(const QImage &image, quint32 w, quint32 h)
{
    QByteArray bytes = PngBytes(image);
    bytes.replace(16, 8, Big32(w) + Big32(h));
    bytes.replace(29, 4, Big32(Crc32(bytes.mid(12, 17))));
    return bytes;
}

/// The JPEG with a frame header that claims the size.
QByteArray JpegClaiming(QByteArray jpeg, int w, int h)
{
    const qsizetype sof = jpeg.indexOf("\xff\xc0");
    jpeg[sof + 5] = char(h >> 8);
    jpeg[sof + 6] = char(h & 0xff);
    jpeg[sof + 7] = char(w >> 8);
    jpeg[sof + 8] = char(w & 0xff);
    return jpeg;
}

/// A little TIFF whose one page claims the size, with no data behind it.
QByteArray TiffClaiming(quint32 w, quint32 h)
{
    auto le16 = [](quint16 v) { return QByteArray(1, char(v & 0xff)) + char(v >> 8); };
    auto le32 = [&](quint32 v) { return le16(quint16(v & 0xffff)) + le16(quint16(v >> 16)); };
    auto entry = [&](quint16 tag, quint16 type, quint32 value) {
        return le16(tag) + le16(type) + le32(1) + (type == 3 ? le16(quint16(value)) + le16(0) : le32(value));
    };
    QByteArray t = QByteArray("II*\0", 4) + le32(8) + le16(8);
    t += entry(256, 4, w) + entry(257, 4, h) + entry(258, 3, 8) + entry(259, 3, 1) + entry(262, 3, 1) + entry(273, 4, 200)
         + entry(278, 4, h) + entry(279, 4, w * h);
    return t + le32(0) + QByteArray(64, '\0');
}

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

TEST_F(ImagePdfEngineTest, EveryImageClassRendersBackAsItsSource)
{
    // Rendered at 72 dpi: none of the files states a resolution, so a page pixel is a point.
    struct Pass {
        const char *name;
        QStringList compressions;  ///< for black-and-white, grey, colour
    } passes[] = {{"default", {}}, {"JPEG for grey and colour", {"", "JPEG", "JPEG"}}, {"no compression", {"None", "None", "None"}}};
    for (const test::ImageCase &c : test::ImageClassCases(dir.path())) {
        for (const Pass &pass : passes) {
            const QString pdf = Pdf({c.path}, pass.compressions);
            const QImage page = test::RenderPdfPage(pdf, 1, 72);
            const bool lossy = c.lossy || (pass.compressions.value(1) == QLatin1String("JPEG") && !c.blackWhite);
            if (lossy) {
                const double mean = test::MeanChannelDiff(c.expected, page);
                EXPECT_TRUE(mean >= 0 && mean <= LossyMeanTolerance)
                    << c.name << ", " << pass.name << ": mean difference " << mean << "; " << test::DiffReport(c.expected, page).toStdString();
            } else {
                const int diff = test::MaxChannelDiff(c.expected, page);
                EXPECT_TRUE(diff >= 0 && diff <= c.tolerance)
                    << c.name << ", " << pass.name << ": " << test::DiffReport(c.expected, page).toStdString();
            }
            if (c.blackWhite) {
                const QList<test::PdfPageImage> images = PageImages(pdf);
                ASSERT_EQ(images.size(), 1) << c.name;
                EXPECT_EQ(images[0].bitsPerComponent, 1) << c.name << ", " << pass.name;
            }
        }
    }
}

TEST_F(ImagePdfEngineTest, CmykJpegKeptAsItIsShowsItsColours)
{
    // Four inks and white in 16-pixel blocks.
    const unsigned inks[] = {0x00000000u, 0xff000000u, 0x00ff0000u, 0x0000ff00u, 0x000000ffu, 0x40802000u};
    auto at = [&](int x, int y) { return inks[(x / 16 + 2 * (y / 16)) % 6]; };
    const QString path = test::WriteBytes(dir.filePath("cmyk.jpg"), test::CmykJpeg(48, 48, at));
    QImage expected(48, 48, QImage::Format_RGB32);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 48; ++x)
            expected.setPixel(x, y, test::NaiveCmykToRgb(at(x, y)));
    const QString pdf = Pdf({path});
    const QList<test::PdfPageImage> images = PageImages(pdf);
    ASSERT_EQ(images.size(), 1);
    EXPECT_EQ(images[0].colourSpace, "/DeviceCMYK");
    EXPECT_EQ(images[0].storedData, test::FileBytes(path));
    // PDF readers turn device CMYK into RGB with their own approximation of printing inks (poppler
    // shows pure cyan as 0, 172, 239 and magenta as 236, 0, 140, not 0, 255, 255 and 255, 0, 255),
    // so each pixel is only asked to be within 128 of the plain conversion: an inverted or swapped
    // ink is off by 200 and more.
    const QImage page = test::RenderPdfPage(pdf, 1, 72);
    const int diff = test::MaxChannelDiff(expected, page);
    EXPECT_TRUE(diff >= 0 && diff <= 128) << test::DiffReport(expected, page).toStdString();
}

TEST_F(ImagePdfEngineTest, ExifOrientedJpegsComeOutUprightWhateverTheCompression)
{
    const QImage upright = test::Quadrants(48, 32);
    for (int orientation = 1; orientation <= 8; ++orientation) {
        const QByteArray jpeg = test::JpegOf(test::StoredFor(upright, orientation), orientation);
        const QString path = test::WriteBytes(dir.filePath(QStringLiteral("turned%1.jpg").arg(orientation)), jpeg);
        for (const QString &colour : {QString(), QStringLiteral("Flate")}) {
            const QString pdf = Pdf({path}, {"", "", colour});
            const QImage page = test::RenderPdfPage(pdf, 1, 72);
            const double diff = test::MeanChannelDiff(upright, page);
            EXPECT_TRUE(diff >= 0 && diff <= LossyMeanTolerance) << "orientation " << orientation << (colour.isEmpty() ? ", kept" : ", decoded")
                                                 << ": " << test::DiffReport(upright, page).toStdString();
            if (colour.isEmpty()) {
                EXPECT_EQ(PageImages(pdf).value(0).storedData, jpeg) << orientation;  // still unchanged
            }
        }
    }
}

TEST_F(ImagePdfEngineTest, DamagedAndOversizedImagesAreRefusedWithTheReason)
{
    const QImage small = test::Quadrants(64, 64);
    QImage noisy(128, 128, QImage::Format_RGB32);  // mostly compressed data, so a cut falls in it
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x)
            noisy.setPixel(x, y, qRgb((x * 37 + y * 91) % 256, (x * y) % 256, (x * 13 + y * y) % 256));
    const QByteArray jpeg = test::JpegOf(noisy);
    const QByteArray png = PngBytes(small);
    const QString tiff = test::MakeTiffOf(dir.filePath("long.tif"), {small, small, small});
    struct Case {
        const char *name;
        QString path;
        QStringList reasonParts;
    } cases[] = {
        {"truncated JPEG", test::WriteBytes(dir.filePath("cut.jpg"), jpeg.left(jpeg.size() * 2 / 3)),
         {"cut.jpg", "damaged JPEG", "Premature end of JPEG file"}},
        {"JPEG claiming 65000 x 65000", test::WriteBytes(dir.filePath("huge.jpg"), JpegClaiming(jpeg, 65000, 65000)),
         {"huge.jpg", "65000 x 65000 pixels", "limit of 100 million pixels"}},
        {"truncated PNG", test::WriteBytes(dir.filePath("cut.png"), png.left(png.size() / 2)), {"cut.png", "libpng error"}},
        {"PNG claiming 20000 x 20000", test::WriteBytes(dir.filePath("huge.png"), PngClaiming(small, 20000, 20000)),
         {"huge.png", "20000 x 20000 pixels"}},
        {"TIFF claiming 50000 x 50000", test::WriteBytes(dir.filePath("huge.tif"), TiffClaiming(50000, 50000)),
         {"huge.tif", "50000 x 50000 pixels"}},
        {"truncated TIFF", test::WriteBytes(dir.filePath("cut.tif"), test::FileBytes(tiff).left(test::FileBytes(tiff).size() / 2)),
         {"cut.tif", "damaged"}},
        {"not an image", dir.createFile("text.png", "just text"), {"text.png", "damaged or not an image"}},
    };
    for (const Case &c : cases) {
        for (const QString &colour : {QString(), QStringLiteral("Flate")}) {
            const std::int32_t h = engine::ApCreate(dir.filePath("refused.pdf"));
            if (!colour.isEmpty()) {
                EXPECT_EQ(engine::ApSetFunction(h, engine::FnCompression, 3, 0, colour, 0), 0);
            }
            std::int32_t added = 0;
            QByteArray said;
            {
                const test::StderrCapture stderrText;
                added = engine::ApAddImage(h, c.path);
                said = stderrText.text();
            }
            const QString reason = engine::ApLastError();
            EXPECT_EQ(added, -1) << c.name;
            for (const QString &part : c.reasonParts)
                EXPECT_TRUE(reason.contains(part)) << c.name << ": " << reason.toStdString();
            EXPECT_TRUE(said.isEmpty()) << c.name << ": " << said.toStdString();
            EXPECT_EQ(engine::ApClose(h), -1) << c.name;
        }
    }
    EXPECT_FALSE(QFile::exists(dir.filePath("refused.pdf")));
}

TEST_F(ImagePdfEngineTest, AnA3ColourScanAt600DpiGoesIn)
{
    // 7016 x 9921 pixels: above Qt's own reading limit, within ours. Flat quadrants keep the files
    // small and quick to write.
    QImage scan = test::Quadrants(7016, 9921);
    scan.setDotsPerMeterX(qRound(600 / 0.0254));
    scan.setDotsPerMeterY(qRound(600 / 0.0254));
    const QString png = dir.filePath("scan.png"), jpeg = dir.filePath("scan.jpg");
    QImageWriter pngWriter(png);
    pngWriter.setQuality(90);  // light compression: quicker to write
    ASSERT_TRUE(pngWriter.write(scan));
    ASSERT_TRUE(QImageWriter(jpeg).write(scan));
    for (const QString &path : {png, jpeg}) {
        const QString pdf = Pdf({path});
        // Rendered at 6 dpi, an A3 page (842 x 1191 points) is 70 x 99 pixels. Then the middle of
        // each quadrant and of the black corner.
        const QImage page = test::RenderPdfPage(pdf, 1, 6);
        ASSERT_EQ(page.size(), QSize(70, 99)) << path.toStdString();
        for (const QPoint &p : {QPoint(9, 12), QPoint(26, 37), QPoint(52, 37), QPoint(17, 74), QPoint(52, 74)}) {
            const QRgb want = scan.pixel(p.x() * 100 + 50, p.y() * 100 + 50), got = page.pixel(p);
            EXPECT_LE(std::abs(qRed(want) - qRed(got)) + std::abs(qGreen(want) - qGreen(got)) + std::abs(qBlue(want) - qBlue(got)), 24)
                << path.toStdString() << " at " << p.x() << "," << p.y();
        }
    }
}
