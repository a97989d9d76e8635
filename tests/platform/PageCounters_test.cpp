#include "platform/PageCounters.h"

#include "support/HostilePdfs.h"
#include "support/PdfFixtures.h"
#include "support/RenderHazards.h"
#include "support/TestEnv.h"
#include "support/WithinLimits.h"

#include <QFile>
#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <functional>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFWriter.hh>
#include <qpdf/QUtil.hh>
#include <tiffio.h>

#include <sys/stat.h>

using namespace folvane;
using folvane::test::MakePdf;
using folvane::test::PdfSpec;

namespace {

QByteArray ReadAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray RandomBytes(int size)
{
    QByteArray bytes(size, '\0');
    for (char &c : bytes)
        c = static_cast<char>(QRandomGenerator::global()->bounded(256));
    return bytes;
}

/// Rewrites the PDF with its page-tree root changed by edit.
QString EditPageTree(const QString &path, const std::function<void(QPDF &, QPDFObjectHandle)> &edit)
{
    QPDF pdf;
    pdf.processFile(path.toLocal8Bit().constData());
    edit(pdf, pdf.getRoot().getKey("/Pages"));
    const QString out = path + QStringLiteral(".edited.pdf");
    const QByteArray file = out.toLocal8Bit(); // the writer keeps the name until it has written
    QPDFWriter w(pdf, file.constData());
    w.write();
    return out;
}

QString MakeTiff(const QString &path, int pages)
{
    TIFF *tif = TIFFOpen(path.toLocal8Bit().constData(), "w");
    std::vector<unsigned char> row(16, 128);
    for (int p = 0; p < pages; ++p) {
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 16);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 16);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 16);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
        for (int r = 0; r < 16; ++r)
            TIFFWriteScanline(tif, row.data(), r, 0);
        TIFFWriteDirectory(tif);
    }
    TIFFClose(tif);
    return path;
}

/// The PDF rewritten with its objects packed into object streams and a cross-reference stream.
QString WithObjectStreams(const QString &path)
{
    QPDF pdf;
    pdf.processFile(path.toLocal8Bit().constData());
    const QString out = path + QStringLiteral(".packed.pdf");
    const QByteArray file = out.toLocal8Bit();
    QPDFWriter w(pdf, file.constData());
    w.setObjectStreamMode(qpdf_o_generate);
    w.write();
    return out;
}

/// A three-page document whose startxref leads nowhere, its lines ended by eol: qpdf rebuilds its
/// cross-reference table by reading it line by line.
QString LostCrossReference(const test::TempDir &dir, const QString &name, const QByteArray &eol)
{
    const QByteArray page = "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >>";
    QByteArray bytes = test::RawPdf({"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R 4 0 R 5 0 R] /Count 3 >>",
                                     page, page, page});
    bytes.replace(bytes.lastIndexOf("startxref\n") + 10, 3, "999");
    return dir.createFile(name, bytes.replace("\n", eol));
}

std::uint32_t Le32(const QByteArray &b, int at)
{
    return std::uint8_t(b[at]) | std::uint8_t(b[at + 1]) << 8 | std::uint8_t(b[at + 2]) << 16
           | std::uint32_t(std::uint8_t(b[at + 3])) << 24;
}

}  // namespace

TEST(PdfPageCounter, CountsReadablePdfsAndSettlesImplausibleRootCounts)
{
    test::TempDir dir;
    const QString five = MakePdf(dir.filePath("five.pdf"), 5);
    const QString two = MakePdf(dir.filePath("two.pdf"), 2);
    struct Case {
        const char *name;
        QString path;
        int expected;
    } cases[] = {
        {"plain", five, 5},
        {"count says 2^31", EditPageTree(two, [](QPDF &, QPDFObjectHandle pages) {
             pages.replaceKey("/Count", QPDFObjectHandle::newInteger(2147483648LL));
         }), 2},
        {"count larger than the file", EditPageTree(two, [](QPDF &, QPDFObjectHandle pages) {
             pages.replaceKey("/Count", QPDFObjectHandle::newInteger(1000000));
         }), 2},
        {"negative count", EditPageTree(two, [](QPDF &, QPDFObjectHandle pages) {
             pages.replaceKey("/Count", QPDFObjectHandle::newInteger(-3));
         }), 2},
        {"count not a number", EditPageTree(two, [](QPDF &, QPDFObjectHandle pages) {
             pages.replaceKey("/Count", QPDFObjectHandle::newName("/Two"));
         }), 2},
        {"count missing", EditPageTree(two, [](QPDF &, QPDFObjectHandle pages) { pages.removeKey("/Count"); }), 2},
        // A /Count past the number of objects, though not past the number of bytes.
        {"count larger than the objects", test::LyingCountPdf(dir.filePath("lying.pdf"), 400), 1},
        {"catalog naming a page, not the root", EditPageTree(two, [](QPDF &pdf, QPDFObjectHandle pages) {
             pdf.getRoot().replaceKey("/Pages", pages.getKey("/Kids").getArrayItem(1));
         }), 2},
        {"page tree in object streams", WithObjectStreams(five), 5},
        {"cross-reference table rebuilt, LF", LostCrossReference(dir, "lf.pdf", "\n"), 3},
        {"cross-reference table rebuilt, CR LF", LostCrossReference(dir, "crlf.pdf", "\r\n"), 3},
        {"cross-reference table rebuilt, CR", LostCrossReference(dir, "cr.pdf", "\r"), 3},
    };
    PdfPageCounter counter;
    for (const Case &c : cases)
        EXPECT_EQ(counter.PageCount(c.path), c.expected) << c.name;
}

TEST(PdfPageCounter, UnreadableInputsCountBelowOneQuietlyAndAtOnce)
{
    test::TempDir dir;
    const QString good = MakePdf(dir.filePath("good.pdf"), 4);
    const QByteArray bytes = ReadAll(good);
    const QString fifo = dir.filePath("x.pdf");
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    // A page tree that contains itself, with no count to short-cut the walk.
    const QString loop = EditPageTree(good, [](QPDF &, QPDFObjectHandle pages) {
        pages.removeKey("/Count");
        pages.getKey("/Kids").appendItem(pages);
    });
    struct Case {
        const char *name;
        QString path;
    } cases[] = {
        {"empty file", dir.createFile("empty.pdf")},
        {"header only", dir.createFile("header.pdf", "%PDF-1.4\n")},
        {"first 60 bytes", dir.createFile("cut.pdf", bytes.left(60))},
        {"random bytes", dir.createFile("random.pdf", RandomBytes(8192))},
        {"random after a header", dir.createFile("random2.pdf", "%PDF-1.7\n" + RandomBytes(8192))},
        {"page tree loop", loop},
        {"missing", dir.filePath("missing.pdf")},
        {"folder", dir.createFolder("folder.pdf")},
        {"FIFO", fifo},
        {"device", QStringLiteral("/dev/zero")},
    };
    PdfPageCounter counter;
    test::StderrCapture err;
    for (const Case &c : cases)
        EXPECT_LT(counter.PageCount(c.path), 1) << c.name;
    EXPECT_TRUE(err.text().isEmpty()) << err.text().toStdString();
}

TEST(PdfPageCounter, TriesOwnerThenUserPasswordThenNone)
{
    test::TempDir dir;
    PdfSpec aes;
    aes.pages = 3;
    aes.userPassword = "user-pw";
    aes.ownerPassword = "owner-pw";
    const QString aesFile = MakePdf(dir.filePath("aes.pdf"), aes);
    // RC4 with a non-ASCII password: stored in PDFDocEncoding, typed in UTF-8.
    PdfSpec rc4;
    rc4.pages = 2;
    rc4.userPassword = QStringLiteral("pässwörd");
    rc4.ownerPassword = QStringLiteral("öwner");
    rc4.rc4 = true;
    const QString rc4File = MakePdf(dir.filePath("rc4.pdf"), rc4);
    PdfSpec ownerOnly;
    ownerOnly.pages = 6;
    ownerOnly.ownerPassword = "restrict";
    const QString ownerOnlyFile = MakePdf(dir.filePath("owner-only.pdf"), ownerOnly);
    const QString plain = MakePdf(dir.filePath("plain.pdf"), 7);

    struct Case {
        QString owner, user, path;
        int expected;
    } cases[] = {
        {"owner-pw", "", aesFile, 3},
        {"", "user-pw", aesFile, 3},
        {"wrong", "user-pw", aesFile, 3},
        {"wrong", "also wrong", aesFile, -1},
        {"", "", aesFile, -1},
        {"", QStringLiteral("pässwörd"), rc4File, 2},
        {QStringLiteral("öwner"), "", rc4File, 2},
        {"", "passwort", rc4File, -1},
        {"anything", "", ownerOnlyFile, 6},
        {"anything", "else", plain, 7},
    };
    test::StderrCapture err;
    for (const Case &c : cases) {
        PdfPageCounter counter;
        counter.SetOwnerPassword(c.owner);
        counter.SetUserPassword(c.user);
        const int n = counter.PageCount(c.path);
        if (c.expected < 0)
            EXPECT_LT(n, 1) << c.owner.toStdString() << "/" << c.user.toStdString();
        else
            EXPECT_EQ(n, c.expected) << c.owner.toStdString() << "/" << c.user.toStdString();
    }
    EXPECT_TRUE(err.text().isEmpty()) << err.text().toStdString();
}

TEST(TiffPageCounter, CountsPagesAndRejectsDamage)
{
    test::TempDir dir;
    const QString three = MakeTiff(dir.filePath("three.tif"), 3);
    const QByteArray bytes = ReadAll(three);

    // The first directory's "next" pointer aimed at itself.
    QByteArray looped = ReadAll(MakeTiff(dir.filePath("one.tif"), 1));
    const std::uint32_t ifd = Le32(looped, 4);
    const int entries = std::uint8_t(looped[ifd]) | std::uint8_t(looped[ifd + 1]) << 8;
    const int next = static_cast<int>(ifd) + 2 + 12 * entries;
    for (int i = 0; i < 4; ++i)
        looped[next + i] = static_cast<char>((ifd >> (8 * i)) & 0xff);

    const QString fifo = dir.filePath("x.tif");
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    struct Case {
        const char *name;
        QString path;
        int expected;  // -1: any count below 0
    } cases[] = {
        {"three pages", three, 3},
        {"header without a directory", dir.createFile("none.tif", QByteArray("II*\0\0\0\0\0", 8)), 0},
        {"truncated last directory", dir.createFile("cut.tif", bytes.left(bytes.size() - 20)), -1},
        {"truncated in the second page", dir.createFile("cut2.tif", bytes.left(bytes.size() / 2)), -1},
        // libtiff ends the chain at the repeated directory: the walk stops, it does not spin.
        {"directory loop", dir.createFile("loop.tif", looped), 1},
        {"empty file", dir.createFile("empty.tif"), -1},
        {"random bytes", dir.createFile("random.tif", RandomBytes(4096)), -1},
        {"random after a header", dir.createFile("random2.tif", QByteArray("II*\0\x08\0\0\0", 8) + RandomBytes(4096)), -1},
        {"missing", dir.filePath("missing.tif"), -1},
        {"folder", dir.createFolder("folder.tif"), -1},
        {"FIFO", fifo, -1},
    };
    TiffPageCounter counter;
    test::StderrCapture err;
    for (const Case &c : cases) {
        const int n = counter.PageCount(c.path);
        if (c.expected < 0)
            EXPECT_LT(n, 0) << c.name;
        else
            EXPECT_EQ(n, c.expected) << c.name;
    }
    EXPECT_TRUE(err.text().isEmpty()) << err.text().toStdString();
}

// ---- Files made to hurt ---------------------------------------------------------------------------

struct HostileCount {
    const char *name;
    std::function<QString(const test::TempDir &)> make;
    int expected;  ///< below 1: any count below 1
};

void PrintTo(const HostileCount &c, std::ostream *os) { *os << c.name; }

class HostilePdfCount : public ::testing::TestWithParam<HostileCount> {};

TEST_P(HostilePdfCount, EndsWithinTenSecondsAndAGigabyte)
{
    if (test::RanWithinLimits())
        return;
    test::TempDir dir;
    const QString path = GetParam().make(dir);
    ASSERT_FALSE(path.isEmpty());
    PdfPageCounter counter;
    test::StderrCapture err;
    const int pages = counter.PageCount(path);
    if (GetParam().expected < 1)
        EXPECT_LT(pages, 1);
    else
        EXPECT_EQ(pages, GetParam().expected);
    EXPECT_TRUE(err.text().isEmpty()) << err.text().toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    , HostilePdfCount,
    ::testing::Values(
        HostileCount{"DeepTreeSayingNoPages", [](const test::TempDir &d) { return test::DeepPageTreePdf(d.filePath("deep.pdf"), 50000, 0); }, -1},
        HostileCount{"DeepestTreeWalked", [](const test::TempDir &d) { return test::DeepPageTreePdf(d.filePath("deep.pdf"), 1024, 0); }, 1},
        HostileCount{"OneLevelDeeper", [](const test::TempDir &d) { return test::DeepPageTreePdf(d.filePath("deep.pdf"), 1025, 0); }, -1},
        HostileCount{"CatalogInAnObjectStreamOfFourGigabytes",
                     [](const test::TempDir &d) { return test::ObjectStreamBombPdf(d.filePath("bomb.pdf"), 4LL << 30); }, -1},
        HostileCount{"CrossReferenceStreamClaimingFiftyMillionObjects",
                     [](const test::TempDir &d) { return test::XrefStreamBombPdf(d.filePath("xref.pdf"), 100LL << 20); }, -1},
        HostileCount{"EmptySparseFileOfATerabyte", [](const test::TempDir &d) { return test::MakeHugeEmptyPdf(d.filePath("huge.pdf")); }, -1},
        // Damaged files that a repair reads line by line: judged within seconds, whatever they hold.
        HostileCount{"ShortLinesOf300MB", [](const test::TempDir &d) { return test::JunkLinesPdf(d.filePath("x.pdf"), 300LL << 20, false); }, -1},
        HostileCount{"ObjectHeaderLinesOf250MB",
                     [](const test::TempDir &d) { return test::JunkLinesPdf(d.filePath("obj.pdf"), 250LL << 20, true); }, -1},
        // Sound, and large: its cross-reference stream holds a million entries.
        HostileCount{"MillionObjects", [](const test::TempDir &d) { return test::ManyObjectsPdf(d.filePath("many.pdf"), 1000000); }, 1},
        HostileCount{"OverTwoMillionObjects", [](const test::TempDir &d) { return test::ManyObjectsPdf(d.filePath("many.pdf"), 2200000); }, 1},
        // Large and only a little damaged: its table is rebuilt from all of its 300 MB.
        HostileCount{"ScanOf300MBWithItsTableShifted",
                     [](const test::TempDir &d) { return test::ShiftedTableScanPdf(d.filePath("scan.pdf"), 3, 100LL << 20); }, 3}),
    [](const ::testing::TestParamInfo<HostileCount> &info) { return std::string(info.param.name); });
