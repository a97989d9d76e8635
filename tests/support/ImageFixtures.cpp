#include "support/ImageFixtures.h"

#include "support/TestEnv.h"
#include "support/TiffFixtures.h"

#include <QBuffer>
#include <QFile>
#include <QImageWriter>

#include <poppler-qt6.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include <jpeglib.h>

namespace folvane::test {

QImage RenderPdfPage(const QString &pdf, int page, double dpi)
{
    std::unique_ptr<Poppler::Document> doc = Poppler::Document::load(pdf);
    if (!doc || doc->isLocked() || page < 1 || page > doc->numPages())
        return {};
    doc->setPaperColor(Qt::white);
    std::unique_ptr<Poppler::Page> p = doc->page(page - 1);
    if (!p)
        return {};
    // poppler smooths an image drawn at less than four times its size (even at its own size, where
    // it blurs each edge by a pixel); at four times it repeats pixels, and the middle of each
    // 4 x 4 block is the pixel as drawn.
    const QImage big = p->renderToImage(dpi * 4, dpi * 4).convertToFormat(QImage::Format_RGB32);
    QImage out(big.width() / 4, big.height() / 4, QImage::Format_RGB32);
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x)
            out.setPixel(x, y, big.pixel(4 * x + 2, 4 * y + 2));
    return out;
}

QStringList PopplerInfoKeys(const QString &pdf)
{
    std::unique_ptr<Poppler::Document> doc = Poppler::Document::load(pdf);
    return doc ? doc->infoKeys() : QStringList();
}

QImage OverWhite(const QImage &image)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    QImage out(argb.size(), QImage::Format_RGB32);
    for (int y = 0; y < argb.height(); ++y) {
        for (int x = 0; x < argb.width(); ++x) {
            const QRgb c = argb.pixel(x, y);
            const int a = qAlpha(c);
            auto over = [a](int v) { return (v * a + 255 * (255 - a) + 127) / 255; };
            out.setPixel(x, y, qRgb(over(qRed(c)), over(qGreen(c)), over(qBlue(c))));
        }
    }
    return out;
}

namespace {

/// Calls onPixel with the three channel differences of each pixel of two images seen on white;
/// false when the sizes differ or either is null.
bool ForEachPixelDiff(const QImage &a, const QImage &b, const std::function<void(int, int, int)> &onPixel)
{
    if (a.isNull() || b.isNull() || a.size() != b.size())
        return false;
    const QImage x = OverWhite(a), y = OverWhite(b);
    for (int row = 0; row < x.height(); ++row) {
        const auto *p = reinterpret_cast<const QRgb *>(x.constScanLine(row));
        const auto *q = reinterpret_cast<const QRgb *>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col)
            onPixel(std::abs(qRed(p[col]) - qRed(q[col])), std::abs(qGreen(p[col]) - qGreen(q[col])),
                    std::abs(qBlue(p[col]) - qBlue(q[col])));
    }
    return true;
}

}  // namespace

int MaxChannelDiff(const QImage &a, const QImage &b)
{
    int worst = 0;
    const bool compared = ForEachPixelDiff(a, b, [&](int r, int g, int bl) { worst = std::max({worst, r, g, bl}); });
    return compared ? worst : -1;
}

double MeanChannelDiff(const QImage &a, const QImage &b)
{
    double sum = 0;
    const bool compared = ForEachPixelDiff(a, b, [&](int r, int g, int bl) { sum += r + g + bl; });
    return compared ? sum / (3.0 * a.width() * a.height()) : -1;
}

QString DiffReport(const QImage &expected, const QImage &actual)
{
    if (actual.isNull())
        return QStringLiteral("no image");
    if (expected.size() != actual.size())
        return QStringLiteral("size %1 x %2, expected %3 x %4")
            .arg(actual.width())
            .arg(actual.height())
            .arg(expected.width())
            .arg(expected.height());
    const QImage e = OverWhite(expected), a = OverWhite(actual);
    for (int y = 0; y < e.height(); ++y)
        for (int x = 0; x < e.width(); ++x)
            if (e.pixel(x, y) != a.pixel(x, y))
                return QStringLiteral("first difference at %1,%2: %3, expected %4 (largest channel difference %5)")
                    .arg(x)
                    .arg(y)
                    .arg(a.pixel(x, y), 8, 16, QLatin1Char('0'))
                    .arg(e.pixel(x, y), 8, 16, QLatin1Char('0'))
                    .arg(MaxChannelDiff(expected, actual));
    return QStringLiteral("same pixels");
}

QByteArray JpegOf(const QImage &image, int orientation)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(100);
    QImage at72 = image;  // a stated 72 dpi: a page pixel is a point
    at72.setDotsPerMeterX(2835);
    at72.setDotsPerMeterY(2835);
    writer.write(at72);
    if (orientation < 1 || orientation > 8)
        return bytes;
    // APP1 "Exif": a little-endian TIFF header and one directory with the Orientation entry.
    QByteArray tiff("II*\0\x08\0\0\0", 8);
    tiff += QByteArray("\x01\0", 2);                                      // one entry
    tiff += QByteArray("\x12\x01\x03\0\x01\0\0\0", 8);                    // 0x0112, SHORT, count 1
    tiff += QByteArray(1, char(orientation)) + QByteArray("\0\0\0", 3);  // the value, padded
    tiff += QByteArray(4, '\0');                                         // no next directory
    const QByteArray body = QByteArray("Exif\0\0", 6) + tiff;
    const int length = body.size() + 2;
    const QByteArray segment = QByteArray("\xff\xe1", 2) + char(length >> 8) + char(length & 0xff) + body;
    return bytes.left(2) + segment + bytes.mid(2);
}

QByteArray CmykJpeg(int width, int height, const std::function<unsigned(int x, int y)> &cmyk)
{
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char *out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 4;
    info.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 100, TRUE);
    info.write_Adobe_marker = TRUE;
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(static_cast<std::size_t>(width) * 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const unsigned v = cmyk(x, y);
            for (int k = 0; k < 4; ++k)
                row[static_cast<std::size_t>(x) * 4 + k] = static_cast<JSAMPLE>(255 - ((v >> (24 - 8 * k)) & 0xff));
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    QByteArray bytes(reinterpret_cast<const char *>(out), static_cast<qsizetype>(size));
    std::free(out);
    return bytes;
}

QRgb NaiveCmykToRgb(unsigned cmyk)
{
    const int c = (cmyk >> 24) & 0xff, m = (cmyk >> 16) & 0xff, y = (cmyk >> 8) & 0xff, k = cmyk & 0xff;
    return qRgb((255 - c) * (255 - k) / 255, (255 - m) * (255 - k) / 255, (255 - y) * (255 - k) / 255);
}

QImage StoredFor(const QImage &upright, int orientation)
{
    const bool turned = orientation >= 5 && orientation <= 8;
    const int W = turned ? upright.height() : upright.width(), H = turned ? upright.width() : upright.height();
    QImage stored(W, H, QImage::Format_RGB32);
    for (int y = 0; y < H; ++y) {
        for (int x = 0; x < W; ++x) {
            // Where the stored pixel (x, y) is seen, by the definition of the EXIF orientations.
            int sx = x, sy = y;
            switch (orientation) {
            case 2: sx = W - 1 - x; break;
            case 3: sx = W - 1 - x; sy = H - 1 - y; break;
            case 4: sy = H - 1 - y; break;
            case 5: sx = y; sy = x; break;
            case 6: sx = H - 1 - y; sy = x; break;
            case 7: sx = H - 1 - y; sy = W - 1 - x; break;
            case 8: sx = y; sy = W - 1 - x; break;
            default: break;
            }
            stored.setPixel(x, y, upright.pixel(sx, sy));
        }
    }
    return stored;
}

QImage Quadrants(int width, int height, QImage::Format format)
{
    QImage image(width, height, QImage::Format_RGB32);
    const int hw = width / 2, hh = height / 2;
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            QRgb c = y < hh ? (x < hw ? qRgb(220, 30, 30) : qRgb(30, 200, 40)) : (x < hw ? qRgb(30, 40, 210) : qRgb(240, 220, 20));
            if (x < hw / 2 && y < hh / 2)
                c = qRgb(0, 0, 0);
            line[x] = c;
        }
    }
    return format == QImage::Format_RGB32 ? image : image.convertToFormat(format);
}

namespace {

/// 16 x 16 blocks cycling through n values: edges fall between JPEG's blocks (16 x 16 where colour
/// is kept at half resolution), so JPEG keeps them nearly.
int Block(int x, int y, int n) { return (x / 16 + 3 * (y / 16)) % n; }

/// A PNG without the pHYs chunk Qt always writes: a file that states no resolution.
QString PngWithoutResolution(const QImage &image, const QString &path)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "png").write(image);
    QByteArray out = bytes.left(8);
    for (qsizetype i = 8; i + 8 <= bytes.size();) {
        const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData() + i);
        const qsizetype length = (qsizetype(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
        if (bytes.mid(i + 4, 4) != "pHYs")
            out += bytes.mid(i, 12 + length);
        i += 12 + length;
    }
    return WriteBytes(path, out);
}

/// A BMP whose header gives 0 pixels per metre: no resolution.
QString BmpWithoutResolution(const QImage &image, const QString &path)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "bmp").write(image);
    bytes.replace(38, 8, QByteArray(8, '\0'));
    return WriteBytes(path, bytes);
}

}  // namespace

std::vector<ImageCase> ImageClassCases(const QString &folder)
{
    const int w = 64, h = 64;
    auto at = [&](const char *name) { return folder + QLatin1Char('/') + QLatin1String(name); };
    std::vector<ImageCase> cases;

    QImage bw(w, h, QImage::Format_Mono);
    bw.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    QImage redBlue(w, h, QImage::Format_Mono);
    redBlue.setColorTable({qRgb(220, 20, 20), qRgb(20, 40, 230)});
    QImage faxLike(w, h, QImage::Format_Mono);
    faxLike.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
    QImage grey(w, h, QImage::Format_Grayscale8), grey16(w, h, QImage::Format_Grayscale16);
    QImage palette(w, h, QImage::Format_Indexed8);
    palette.setColorTable({qRgb(250, 250, 240), qRgb(200, 30, 90), qRgb(20, 130, 60), qRgb(60, 60, 60)});
    QImage rgb64(w, h, QImage::Format_RGBA64), alpha(w, h, QImage::Format_ARGB32);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const int b = Block(x, y, 2);
            bw.setPixel(x, y, b);
            redBlue.setPixel(x, y, b);
            faxLike.setPixel(x, y, b);
            palette.setPixel(x, y, Block(x, y, 4));
            const int shade = 30 + 60 * Block(x, y, 4);
            reinterpret_cast<quint8 *>(grey.scanLine(y))[x] = static_cast<quint8>(shade);
            // The low byte differs from the high one, so a swapped or dropped byte shows.
            reinterpret_cast<quint16 *>(grey16.scanLine(y))[x] = static_cast<quint16>(shade << 8 | 0x5a);
            rgb64.setPixelColor(x, y, QColor::fromRgba64(static_cast<quint16>(shade << 8 | 0x33), static_cast<quint16>(0xffff - (shade << 8)), 0x8080));
            alpha.setPixel(x, y, qRgba(200, 40 + 50 * Block(x, y, 3), 20, 255 - 80 * Block(x, y, 4)));
        }
    }
    const QImage colour = Quadrants(w, h);

    auto add = [&](const char *name, const QString &path, const QImage &expected, int tolerance = 0, bool blackWhite = false,
                   bool lossy = false) { cases.push_back({name, path, expected, tolerance, blackWhite, lossy}); };
    // Conversions of 16-bit samples to 8 may round either way.
    add("1-bit black and white PNG", PngWithoutResolution(bw, at("bw.png")), bw, 0, true);
    add("1-bit red and blue PNG", PngWithoutResolution(redBlue, at("redblue.png")), redBlue);
    add("1-bit red and blue TIFF", MakeTiffOf(at("redblue.tif"), {redBlue}), redBlue);
    add("1-bit min-is-white TIFF, CCITT G4", MakeTiffOf(at("fax.tif"), {faxLike}, {.compression = 4}), faxLike, 0, true);
    add("8-bit grey PNG", PngWithoutResolution(grey, at("grey.png")), grey);
    add("8-bit grey TIFF, LZW", MakeTiffOf(at("grey.tif"), {grey}, {.compression = 5}), grey);
    add("palette PNG", PngWithoutResolution(palette, at("palette.png")), palette);
    add("palette BMP", BmpWithoutResolution(palette, at("palette.bmp")), palette);
    add("palette TIFF", MakeTiffOf(at("palette.tif"), {palette}), palette);
    add("RGB PNG", PngWithoutResolution(colour, at("rgb.png")), colour);
    add("RGB TIFF, tiles", MakeTiffOf(at("tiles.tif"), {colour}, {.compression = 8, .tiled = true}), colour);
    add("CMYK TIFF", MakeTiffOf(at("cmyk.tif"), {colour}, {.cmyk = true}), colour);
    add("16-bit grey PNG", PngWithoutResolution(grey16, at("grey16.png")), grey16, 1);
    add("16-bit grey TIFF", MakeTiffOf(at("grey16.tif"), {grey16}, {.bigEndian = true}), grey16, 1);
    add("16-bit RGB PNG", PngWithoutResolution(rgb64, at("rgb16.png")), rgb64, 1);
    add("16-bit RGB TIFF", MakeTiffOf(at("rgb16.tif"), {rgb64}), rgb64, 1);
    add("alpha PNG", PngWithoutResolution(alpha, at("alpha.png")), alpha, 1);
    add("alpha TIFF", MakeTiffOf(at("alpha.tif"), {alpha}), alpha, 1);
    // JPEG: lossy even at quality 100.
    add("RGB JPEG", WriteBytes(at("rgb.jpg"), JpegOf(colour)), colour, 0, false, true);
    add("grey JPEG", WriteBytes(at("grey.jpg"), JpegOf(grey)), grey, 0, false, true);
    add("RGB TIFF, JPEG (YCbCr)", MakeTiffOf(at("ycbcr.tif"), {colour}, {.compression = 7}), colour, 0, false, true);
    return cases;
}

QString WriteBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
    return path;
}

QImage NoiseImage(int width, int height, quint32 seed)
{
    QImage image(width, height, QImage::Format_RGB888);
    const QByteArray noise = NoiseBytes(qsizetype(width) * 3 * height, seed);
    for (int y = 0; y < height; ++y)
        std::memcpy(image.scanLine(y), noise.constData() + qsizetype(y) * width * 3, size_t(width) * 3);
    return image;
}

}  // namespace folvane::test
