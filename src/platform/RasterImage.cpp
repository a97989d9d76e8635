#include "platform/RasterImage.h"

#include "platform/AtomicOutput.h"
#include "platform/PageCounters.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>

#include <cmath>
#include <cstring>

namespace folvane::RasterImage {

namespace {

bool IsMono(QImage::Format f) { return f == QImage::Format_Mono || f == QImage::Format_MonoLSB; }

bool IsTiff(const QByteArray &head)
{
    return head.startsWith("II*\0") || head.startsWith("MM\0*") || head.startsWith("II+\0") || head.startsWith("MM\0+");
}

QByteArray FileHead(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.read(4) : QByteArray();
}

QImage OverWhite(const QImage &image)
{
    if (!image.hasAlphaChannel())
        return image;
    QImage flat(image.size(), QImage::Format_RGB32);
    flat.setDotsPerMeterX(image.dotsPerMeterX());
    flat.setDotsPerMeterY(image.dotsPerMeterY());
    flat.fill(Qt::white);
    QPainter painter(&flat);
    painter.drawImage(0, 0, image);
    return flat;
}

/// Black 0, white 1 whatever colour table the 1-bit image has.
QImage MonoBlackZero(const QImage &image)
{
    QImage mono = image.convertToFormat(QImage::Format_Mono);
    const QList<QRgb> table = mono.colorTable();
    const bool zeroIsLight = !table.isEmpty() && qGray(table[0]) >= 128;
    const bool oneIsLight = table.size() < 2 || qGray(table[1]) >= 128;
    if (zeroIsLight == oneIsLight) {
        // Both entries alike: the picture is one tone.
        mono.fill(zeroIsLight ? 1 : 0);
    } else if (zeroIsLight) {
        mono.invertPixels();
    }
    mono.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    return mono;
}

std::int32_t DepthOf(QImage::Format format)
{
    switch (format) {
    case QImage::Format_Invalid:
        return 0;
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
        return 1;
    case QImage::Format_Indexed8:
    case QImage::Format_Grayscale8:
    case QImage::Format_Alpha8:
        return 8;
    case QImage::Format_Grayscale16:
        return 16;
    case QImage::Format_RGB32:
    case QImage::Format_RGB888:
    case QImage::Format_BGR888:
    case QImage::Format_RGBX8888:
        return 24;
    default:
        return QImage(1, 1, format).hasAlphaChannel() ? 32 : 24;
    }
}

}  // namespace

ColourClass ClassOf(const QImage &image)
{
    switch (image.format()) {
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
        return ColourClass::BlackWhite;
    case QImage::Format_Grayscale8:
    case QImage::Format_Grayscale16:
    case QImage::Format_Alpha8:
        return ColourClass::Grey;
    case QImage::Format_Indexed8:
        return image.allGray() ? ColourClass::Grey : ColourClass::Colour;  // a palette of greys only
    default:
        return ColourClass::Colour;
    }
}

QImage Normalized(const QImage &image, ColourClass cls)
{
    QImage out;
    switch (cls) {
    case ColourClass::BlackWhite:
        out = IsMono(image.format()) ? MonoBlackZero(image)
                                     : MonoBlackZero(OverWhite(image).convertToFormat(QImage::Format_Grayscale8)
                                                         .convertToFormat(QImage::Format_Mono, Qt::ThresholdDither));
        break;
    case ColourClass::Grey:
        out = OverWhite(image).convertToFormat(QImage::Format_Grayscale8);
        break;
    case ColourClass::Colour:
        out = OverWhite(image).convertToFormat(QImage::Format_RGB888);
        break;
    }
    out.setDotsPerMeterX(image.dotsPerMeterX());
    out.setDotsPerMeterY(image.dotsPerMeterY());
    return out;
}

QByteArray PackedRows(const QImage &normalized)
{
    const qsizetype rowBytes = (static_cast<qsizetype>(normalized.width()) * normalized.depth() + 7) / 8;
    QByteArray out;
    out.reserve(rowBytes * normalized.height());
    for (int y = 0; y < normalized.height(); ++y)
        out.append(reinterpret_cast<const char *>(normalized.constScanLine(y)), rowBytes);
    return out;
}

namespace {

/// QImage keeps whole dots per metre, so 144 dpi comes back as 143.99: a figure that close to a
/// whole number of dots per inch is taken as that number.
double DpiFromDotsPerMetre(int dpm)
{
    const double dpi = dpm * 0.0254;
    if (dpi < 1)
        return 72.0;
    const double whole = std::round(dpi);
    return std::abs(dpi - whole) < 0.05 ? whole : dpi;
}

}  // namespace

double DpiX(const QImage &image) { return DpiFromDotsPerMetre(image.dotsPerMeterX()); }

double DpiY(const QImage &image) { return DpiFromDotsPerMetre(image.dotsPerMeterY()); }

Outcome ForEachPage(const QString &path, const std::function<Outcome(const QImage &)> &onPage)
{
    const QFileInfo info(path);
    if (!info.isFile())
        return Outcome::Failed(QStringLiteral("%1: %2").arg(path, info.exists() ? QStringLiteral("not a regular file")
                                                                                : QStringLiteral("the file does not exist")));
    int pages = 1;
    if (IsTiff(FileHead(path))) {
        // libtiff is the reliable counter: Qt's reader may count part of a damaged file.
        pages = TiffPageCounter().PageCount(path);
        if (pages < 1)
            return Outcome::Failed(QStringLiteral("%1: damaged TIFF, or one without pages").arg(path));
    }
    for (int k = 0; k < pages; ++k) {
        // A reader of its own for each page: Qt's TIFF reader does not move on after a read.
        QImageReader reader(path);
        reader.setAutoTransform(true);
        if (k > 0 && !reader.jumpToImage(k))
            return Outcome::Failed(QStringLiteral("%1: page %2 cannot be read").arg(path).arg(k + 1));
        QImage image = reader.read();
        if (image.isNull())
            return Outcome::Failed(QStringLiteral("%1: damaged or not an image (%2)").arg(path, reader.errorString()));
        if (Outcome done = onPage(image); !done)
            return done;
    }
    return Outcome::Done();
}

std::optional<JpegInfo> ParseJpeg(const QByteArray &bytes)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData());
    const qsizetype n = bytes.size();
    if (n < 4 || p[0] != 0xFF || p[1] != 0xD8)
        return std::nullopt;
    JpegInfo info;
    qsizetype i = 2;
    while (i + 4 <= n) {
        if (p[i] != 0xFF)
            return std::nullopt;
        const unsigned char marker = p[i + 1];
        if (marker == 0xFF) {  // fill byte
            ++i;
            continue;
        }
        if (marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {
            i += 2;
            continue;
        }
        const qsizetype length = (p[i + 2] << 8) | p[i + 3];
        if (length < 2 || i + 2 + length > n)
            return std::nullopt;
        const unsigned char *seg = p + i + 4;
        const qsizetype segLength = length - 2;
        if (marker == 0xE0 && segLength >= 12 && std::memcmp(seg, "JFIF\0", 5) == 0) {
            const int unit = seg[7];
            const int x = (seg[8] << 8) | seg[9], y = (seg[10] << 8) | seg[11];
            const double scale = unit == 1 ? 1.0 : unit == 2 ? 2.54 : 0.0;
            info.dpiX = x * scale;
            info.dpiY = y * scale;
        } else if (marker == 0xEE && segLength >= 5 && std::memcmp(seg, "Adobe", 5) == 0) {
            info.adobe = true;
        } else if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
            if (segLength < 6)
                return std::nullopt;
            info.bitsPerComponent = seg[0];
            info.height = (seg[1] << 8) | seg[2];
            info.width = (seg[3] << 8) | seg[4];
            info.components = seg[5];
            // Only the formats every PDF reader decodes: baseline, extended and progressive Huffman.
            const bool supported = marker == 0xC0 || marker == 0xC1 || marker == 0xC2;
            if (!supported || info.width < 1 || info.height < 1 || info.bitsPerComponent != 8
                || (info.components != 1 && info.components != 3 && info.components != 4))
                return std::nullopt;
            return info;
        } else if (marker == 0xDA || marker == 0xD9) {
            return std::nullopt;  // image data before any frame header
        }
        i += 2 + length;
    }
    return std::nullopt;
}

Outcome SaveImage(const QImage &image, const QString &path, const char *format, int quality)
{
    AtomicOutput target(path);
    if (!target.Opened())
        return target.Opened();
    QImageWriter writer(target.TempPath(), format);
    writer.setQuality(quality);
    if (!writer.write(image))
        return Outcome::Failed(QStringLiteral("%1: cannot be written: %2").arg(path, writer.errorString()));
    return target.Commit();
}

std::int32_t BitsPerPixel(const QString &path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray head = file.read(256 * 1024);
    file.close();
    if (const std::optional<JpegInfo> jpeg = ParseJpeg(head))
        return jpeg->components * 8;
    QImageReader reader(path);
    QImage::Format format = reader.imageFormat();
    if (format == QImage::Format_Invalid)
        format = reader.read().format();  // the header did not tell: decode the first page
    return DepthOf(format);
}

}  // namespace folvane::RasterImage
