#include "docops/ApImgToPdf.h"

#include "docops/CombineProgress.h"
#include "support/ImageFixtures.h"
#include "support/PdfFixtures.h"
#include "support/Records.h"
#include "support/SmallDisk.h"
#include "support/TestEnv.h"
#include "support/TiffFixtures.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImage>

#include <gtest/gtest.h>

using namespace folvane;
using folvane::test::PageImages;

namespace {

bool Logged(const char *procedure, const QString &part)
{
    return test::LoggedFor(procedure, " of Class Module ApImgToPdf at time", part);
}

class FakeDialog : public CombineProgress {
public:
    void SetProgressValue(std::int32_t value) override { values.push_back(value); }
    std::vector<std::int32_t> values;
};

class ApImgToPdfTest : public ::testing::Test {
protected:
    void SetUp() override { test::ClearErrorLog(); }
    QString Image(const char *name, QImage::Format format, QRgb colour)
    {
        QImage image(8, 4, format);
        if (format == QImage::Format_Mono) {
            image.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
            image.fill(1);
        } else {
            image.fill(colour);
        }
        const QString path = dir.filePath(name);
        EXPECT_TRUE(image.save(path));
        return path;
    }
    test::TempDir dir;
    ApImgToPdf img;
};

}  // namespace

TEST_F(ApImgToPdfTest, MergeAddsEveryImageInOrderWithProgress)
{
    const QString jpeg = Image("a.jpg", QImage::Format_RGB32, qRgb(200, 10, 10));
    const QString png = Image("b.png", QImage::Format_Grayscale8, qRgb(50, 50, 50));
    const QString tiff = test::MakeTiff(dir.filePath("c.tif"), {{8, 4, 1, 1}, {8, 4, 24, 70}});
    img.colOrderedData = {test::RecordOf(jpeg), test::RecordOf(png), test::RecordOf(tiff)};
    img.FileNameToSave = dir.filePath("out.pdf");
    FakeDialog dialog;
    img.SetProgress(&dialog);
    ASSERT_TRUE(img.MergeConvert_TiffToPdfx()) << test::ErrorLogLines().join('\n').toStdString();
    const auto pages = PageImages(img.FileNameToSave);
    ASSERT_EQ(pages.size(), 4);
    EXPECT_EQ(pages[0].filter, "/DCTDecode");
    EXPECT_EQ(pages[1].colourSpace, "/DeviceGray");
    EXPECT_EQ(pages[2].bitsPerComponent, 1);
    EXPECT_EQ(pages[3].colourSpace, "/DeviceRGB");
    EXPECT_EQ(dialog.values, (std::vector<std::int32_t>{1, 2, 3}));
    EXPECT_EQ(img.colOrderedData.size(), 3u);
}

TEST_F(ApImgToPdfTest, MergeWithoutANameDoesNothingAndAFailedImageWritesNothing)
{
    const QString png = Image("b.png", QImage::Format_RGB32, qRgb(1, 2, 3));
    const QString junk = dir.createFile("junk.tif", "II*junk");
    img.colOrderedData = {test::RecordOf(png), test::RecordOf(junk)};
    FakeDialog dialog;
    img.SetProgress(&dialog);
    EXPECT_TRUE(img.MergeConvert_TiffToPdfx());
    EXPECT_TRUE(dialog.values.empty());
    EXPECT_TRUE(test::ErrorLogLines().isEmpty());

    img.FileNameToSave = dir.createFile("out.pdf", "OLD");
    EXPECT_FALSE(img.MergeConvert_TiffToPdfx());
    EXPECT_TRUE(Logged("MergeConvert_TiffToPdfx", "junk.tif"));
    EXPECT_EQ(test::FileBytes(img.FileNameToSave), "OLD");
    EXPECT_EQ(dialog.values, (std::vector<std::int32_t>{1}));
}

TEST_F(ApImgToPdfTest, AMergeThatFillsTheDiskAnswersFalseAndKeepsTheOldFile)
{
    if (test::RanOnSmallDisk(2 << 20))
        return;
    const QString disk = test::SmallDisk();
    // Two images of 1.5 MB each that no compression shrinks, for a 2 MB disk.
    for (quint32 seed : {1u, 2u}) {
        const QString path = dir.filePath(QStringLiteral("noise%1.png").arg(seed));
        ASSERT_TRUE(test::NoiseImage(700, 700, seed).save(path));
        img.colOrderedData.push_back(test::RecordOf(path));
    }
    img.FileNameToSave = test::WriteBytes(disk + "/out.pdf", "OLD");
    const QStringList entries = test::FolderEntries(disk);
    EXPECT_FALSE(img.MergeConvert_TiffToPdfx());
    EXPECT_TRUE(Logged("MergeConvert_TiffToPdfx", "No space left on device")) << test::ErrorLogLines().join('\n').toStdString();
    EXPECT_EQ(test::FileBytes(img.FileNameToSave), "OLD");
    EXPECT_EQ(test::FolderEntries(disk), entries);
}

TEST_F(ApImgToPdfTest, EachImageToItsOwnPdf)
{
    const QString tiff = test::MakeTiff(dir.filePath("c.tif"), {{8, 4, 8, 1}, {8, 4, 8, 70}});
    EXPECT_FALSE(img.Convert_EachTiffToPDFbyOne("", dir.filePath("x.pdf")));
    EXPECT_FALSE(img.Convert_EachTiffToPDFbyOne(tiff, ""));
    EXPECT_TRUE(test::ErrorLogLines().isEmpty());
    ASSERT_TRUE(img.Convert_EachTiffToPDFbyOne(tiff, dir.filePath("c.pdf")));
    EXPECT_EQ(PageImages(dir.filePath("c.pdf")).size(), 2);
    EXPECT_FALSE(img.Convert_EachTiffToPDFbyOne(dir.filePath("gone.tif"), dir.filePath("g.pdf")));
    EXPECT_TRUE(Logged("Convert_EachTiffToPDFbyOne", "gone.tif"));
    EXPECT_FALSE(QFile::exists(dir.filePath("g.pdf")));
}

TEST_F(ApImgToPdfTest, CompressionFollowsTheImageDepth)
{
    const QString colour = Image("colour.png", QImage::Format_RGB32, qRgb(10, 20, 30));
    const QString alpha = Image("alpha.png", QImage::Format_ARGB32, qRgba(10, 20, 30, 128));
    const QString grey = Image("grey.png", QImage::Format_Grayscale8, qRgb(60, 60, 60));
    const QString mono = Image("mono.png", QImage::Format_Mono, 0);
    struct Case {
        const char *name;
        QString image, colourName, greyName, bwName;
        const char *filter;
    } cases[] = {
        {"24-bit, no colour compression", colour, "", "JPEG", "None", "/FlateDecode"},
        {"24-bit, JPEG", colour, "JPEG", "", "", "/DCTDecode"},
        {"24-bit, None", colour, "None", "", "", ""},
        {"32-bit is none of the three", alpha, "JPEG", "JPEG", "None", "/FlateDecode"},
        {"8-bit, None", grey, "JPEG", "None", "JPEG", ""},
        {"1-bit, None", mono, "JPEG", "JPEG", "None", ""},
        {"unknown name keeps the default", colour, "LZW", "", "", "/FlateDecode"},
    };
    for (const Case &c : cases) {
        const QString out = dir.filePath("out.pdf");
        ASSERT_TRUE(img.ConverImageToPdf(c.image, out, c.colourName, c.greyName, c.bwName)) << c.name;
        const auto pages = PageImages(out);
        ASSERT_EQ(pages.size(), 1) << c.name;
        EXPECT_EQ(pages[0].filter, c.filter) << c.name;
    }
    EXPECT_FALSE(img.ConverImageToPdf("", dir.filePath("x.pdf"), "", "", ""));
    EXPECT_FALSE(img.ConverImageToPdf(colour, "", "", "", ""));
    EXPECT_TRUE(test::ErrorLogLines().isEmpty());
    EXPECT_FALSE(img.ConverImageToPdf(colour, dir.filePath("none/x.pdf"), "", "", ""));
    EXPECT_TRUE(Logged("ConverImageToPdf", "cannot write"));
}

TEST_F(ApImgToPdfTest, ARefusedImageIsLoggedWithItsReasonAndNothingOnStderr)
{
    QImage noisy(128, 128, QImage::Format_RGB32);
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x)
            noisy.setPixel(x, y, qRgb((x * 37 + y * 91) % 256, (x * y) % 256, (x * 13 + y * y) % 256));
    const QByteArray jpeg = test::JpegOf(noisy);
    QByteArray huge = jpeg;
    const qsizetype sof = huge.indexOf("\xff\xc0");
    huge.replace(sof + 5, 4, QByteArray("\xfd\xe8\xfd\xe8", 4));  // 65000 x 65000
    const QByteArray png = [&] {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        noisy.save(&buffer, "PNG");
        return bytes;
    }();
    struct Case {
        const char *file;
        QByteArray bytes;
        const char *reason;
    } cases[] = {
        {"cut.jpg", jpeg.left(jpeg.size() / 2), "Premature end of JPEG file"},
        {"huge.jpg", huge, "65000 x 65000 pixels"},
        {"cut.png", png.left(png.size() / 2), "libpng error"},
    };
    for (const Case &c : cases) {
        test::ClearErrorLog();
        const QString path = test::WriteBytes(dir.filePath(c.file), c.bytes);
        bool converted = true;
        QByteArray said;
        {
            const test::StderrCapture stderrText;
            converted = img.ConverImageToPdf(path, dir.filePath("out.pdf"), "JPEG", "", "");
            said = stderrText.text();
        }
        EXPECT_FALSE(converted) << c.file;
        EXPECT_TRUE(Logged("ConverImageToPdf", c.reason)) << c.file << ": " << test::ErrorLogLines().join('\n').toStdString();
        EXPECT_TRUE(said.isEmpty()) << c.file << ": " << said.toStdString();
        EXPECT_FALSE(QFile::exists(dir.filePath("out.pdf"))) << c.file;
    }
}
