#include "platform/RasterImage.h"

#include "platform/AtomicOutput.h"
#include "platform/TiffFile.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QStringList>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>
#include <jerror.h>
#include <sys/mman.h>
#include <unistd.h>

namespace folvane::RasterImage {

namespace {

bool IsMono(QImage::Format f) { return f == QImage::Format_Mono || f == QImage::Format_MonoLSB; }

/// What decoders say while one image is read: Qt's messages (qt.gui.imageio...) and what C
/// libraries print on stderr (libpng prints its errors there). Kept for the image's reason, so
/// nothing reaches the terminal or the session's stderr. The program reads images on one thread.
class DecoderMessages {
public:
    DecoderMessages() : outer_(active_)
    {
        active_ = this;
        previousHandler_ = qInstallMessageHandler(OnMessage);
        std::fflush(stderr);
        sink_ = ::memfd_create("decoder-messages", MFD_CLOEXEC);
        saved_ = sink_ >= 0 ? ::dup(STDERR_FILENO) : -1;
        if (saved_ >= 0)
            ::dup2(sink_, STDERR_FILENO);
    }
    ~DecoderMessages()
    {
        Restore();
        qInstallMessageHandler(previousHandler_);
        active_ = outer_;
    }
    DecoderMessages(const DecoderMessages &) = delete;
    DecoderMessages &operator=(const DecoderMessages &) = delete;

    /// Everything said so far, one message after another.
    QString Text()
    {
        Restore();
        return lines_.join(QLatin1String("; "));
    }

private:
    static void OnMessage(QtMsgType, const QMessageLogContext &context, const QString &message)
    {
        if (!active_)
            return;
        const QString category = QString::fromUtf8(context.category ? context.category : "");
        active_->lines_ << (category.isEmpty() || category == QLatin1String("default") ? message
                                                                                      : category + QLatin1String(": ") + message);
    }
    void Restore()
    {
        if (saved_ < 0) {
            if (sink_ >= 0)
                ::close(sink_);
            sink_ = -1;
            return;
        }
        std::fflush(stderr);
        ::dup2(saved_, STDERR_FILENO);
        ::close(saved_);
        saved_ = -1;
        QByteArray said(4096, Qt::Uninitialized);
        const ssize_t n = ::pread(sink_, said.data(), static_cast<std::size_t>(said.size()), 0);
        ::close(sink_);
        sink_ = -1;
        said.truncate(n > 0 ? n : 0);
        for (const QByteArray &line : said.split('\n'))
            if (!line.trimmed().isEmpty())
                lines_ << QString::fromUtf8(line.trimmed());
    }

    static inline DecoderMessages *active_ = nullptr;
    DecoderMessages *outer_;
    QtMessageHandler previousHandler_ = nullptr;
    int sink_ = -1;
    int saved_ = -1;
    QStringList lines_;
};

/// Qt's own reading limit (128 MB) is below an A4 colour scan at 600 dpi; it is raised once to what
/// MaxPixels needs at 8 bytes a pixel, so our limit, which names the size, is the one that refuses.
void AllowLargeImages()
{
    static const bool raised = [] {
        QImageReader::setAllocationLimit(static_cast<int>(MaxPixels * 8 / (1024 * 1024)) + 1);
        return true;
    }();
    (void)raised;
}

/// Whether every colour of the 1-bit image's palette is an opaque pure black or white.
bool BlackAndWhiteTable(const QImage &image)
{
    const QList<QRgb> table = image.colorTable();
    return std::all_of(table.begin(), table.end(), [](QRgb c) {
        return qAlpha(c) == 255 && qRed(c) == qGreen(c) && qGreen(c) == qBlue(c) && (qRed(c) == 0 || qRed(c) == 255);
    });
}

bool GreyTable(const QImage &image)
{
    const QList<QRgb> table = image.colorTable();
    return std::all_of(table.begin(), table.end(), [](QRgb c) { return qRed(c) == qGreen(c) && qGreen(c) == qBlue(c); });
}

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

Outcome CheckPixels(const QString &path, std::int64_t width, std::int64_t height)
{
    if (width > 0 && height > 0 && width * height <= MaxPixels)
        return Outcome::Done();
    if (width < 1 || height < 1)
        return Outcome::Failed(QStringLiteral("%1: damaged image (%2 x %3 pixels)").arg(path).arg(width).arg(height));
    return Outcome::Failed(QStringLiteral("%1: %2 x %3 pixels, above the limit of %4 million pixels")
                               .arg(path)
                               .arg(width)
                               .arg(height)
                               .arg(MaxPixels / 1'000'000));
}

ColourClass ClassOf(const QImage &image)
{
    switch (image.format()) {
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
        // The colours of a palette are kept: only black and white makes a black-and-white page.
        if (BlackAndWhiteTable(image))
            return ColourClass::BlackWhite;
        return GreyTable(image) ? ColourClass::Grey : ColourClass::Colour;
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
        out = IsMono(image.format()) && BlackAndWhiteTable(image)
                  ? MonoBlackZero(image)
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

QImage Oriented(const QImage &stored, int orientation)
{
    // The orientation tells where the stored first row and column are to be seen (EXIF and TIFF
    // use the same eight values).
    const QTransform quarter = QTransform().rotate(90);
    switch (orientation) {
    case 2:
        return stored.mirrored(true, false);
    case 3:
        return stored.mirrored(true, true);
    case 4:
        return stored.mirrored(false, true);
    case 5:
        return stored.transformed(quarter).mirrored(true, false);
    case 6:
        return stored.transformed(quarter);
    case 7:
        return stored.transformed(quarter).mirrored(false, true);
    case 8:
        return stored.transformed(QTransform().rotate(270));
    default:
        return stored;
    }
}

namespace {

std::uint32_t Big32(const unsigned char *p) { return (std::uint32_t(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3]; }
std::uint32_t Little32(const unsigned char *p) { return (std::uint32_t(p[3]) << 24) | (p[2] << 16) | (p[1] << 8) | p[0]; }

/// The resolution a PNG, BMP or JPEG file states; nothing when it states none (Qt then reports its
/// own default, which is no fact of the file).
std::optional<std::pair<double, double>> StatedDpi(const QByteArray &bytes)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData());
    const qsizetype n = bytes.size();
    if (bytes.startsWith("\x89PNG\r\n\x1a\n")) {
        for (qsizetype i = 8; i + 8 <= n;) {
            const qsizetype length = Big32(p + i);
            const QByteArray type = bytes.mid(i + 4, 4);
            if (type == "IDAT" || type == "IEND" || length < 0 || i + 12 + length > n)
                break;
            if (type == "pHYs" && length >= 9 && p[i + 16] == 1) {  // unit 1: pixels per metre
                const double x = Big32(p + i + 8) * 0.0254, y = Big32(p + i + 12) * 0.0254;
                if (x >= 1 && y >= 1)
                    return std::pair(x, y);
            }
            i += 12 + length;
        }
        return std::nullopt;
    }
    if (bytes.startsWith("BM") && n >= 46 && Little32(p + 14) >= 40) {
        const double x = static_cast<std::int32_t>(Little32(p + 38)) * 0.0254,
                     y = static_cast<std::int32_t>(Little32(p + 42)) * 0.0254;
        if (x >= 1 && y >= 1)
            return std::pair(x, y);
        return std::nullopt;
    }
    if (const std::optional<JpegInfo> jpeg = ParseJpeg(bytes); jpeg && jpeg->dpiX >= 1 && jpeg->dpiY >= 1)
        return std::pair(jpeg->dpiX, jpeg->dpiY);
    return std::nullopt;
}

void SetDpi(QImage &image, double dpiX, double dpiY)
{
    image.setDotsPerMeterX(static_cast<int>(std::lround(dpiX / 0.0254)));
    image.setDotsPerMeterY(static_cast<int>(std::lround(dpiY / 0.0254)));
}

/// One image file that is not a TIFF, through Qt's codecs.
Outcome ReadWithQt(const QString &path, QImage &out)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Outcome::Failed(QStringLiteral("%1: cannot be read: %2").arg(path, file.errorString()));
    const QByteArray head = file.read(256 * 1024);
    const bool jpeg = head.startsWith("\xff\xd8");
    const QByteArray bytes = jpeg ? head + file.readAll() : head;
    file.close();

    AllowLargeImages();
    DecoderMessages messages;
    QImageReader reader(path);
    reader.setAutoTransform(true);
    if (const QSize size = reader.size(); size.isValid()) {
        if (Outcome fits = CheckPixels(path, size.width(), size.height()); !fits)
            return fits;
    }
    if (jpeg) {
        if (const std::optional<JpegInfo> info = ParseJpeg(bytes)) {
            if (Outcome fits = CheckPixels(path, info->width, info->height); !fits)
                return fits;
        }
        if (Outcome intact = CheckJpegData(bytes); !intact)
            return Outcome::Failed(QStringLiteral("%1: damaged JPEG (%2)").arg(path, intact.reason));
    }
    QImage image = reader.read();
    if (image.isNull()) {
        QString why = reader.errorString();
        if (const QString said = messages.Text(); !said.isEmpty())
            why += QLatin1String("; ") + said;
        return Outcome::Failed(QStringLiteral("%1: damaged or not an image (%2)").arg(path, why));
    }
    if (Outcome fits = CheckPixels(path, image.width(), image.height()); !fits)
        return fits;
    const std::optional<std::pair<double, double>> dpi = StatedDpi(bytes);
    SetDpi(image, dpi ? dpi->first : DefaultDpi, dpi ? dpi->second : DefaultDpi);
    out = std::move(image);
    return Outcome::Done();
}

}  // namespace

Outcome ForEachPage(const QString &path, const std::function<Outcome(const QImage &)> &onPage)
{
    const QFileInfo info(path);
    if (!info.isFile())
        return Outcome::Failed(QStringLiteral("%1: %2").arg(path, info.exists() ? QStringLiteral("not a regular file")
                                                                                : QStringLiteral("the file does not exist")));
    if (IsTiff(FileHead(path))) {
        // libtiff reads the pages one after another: Qt's reader finds each page again from the
        // start of the file, which makes a long document cost quadratic time.
        return TiffFile::ReadPages(path, onPage);
    }
    QImage image;
    if (Outcome read = ReadWithQt(path, image); !read)
        return read;
    return onPage(image);
}

namespace {

/// The Orientation entry of the first directory of an EXIF block (a little TIFF file); 1 when it
/// has none or it is out of range.
int ExifOrientation(const unsigned char *tiff, qsizetype size)
{
    const bool little = tiff[0] == 'I' && tiff[1] == 'I';
    if (!little && !(tiff[0] == 'M' && tiff[1] == 'M'))
        return 1;
    auto u16 = [&](qsizetype at) { return little ? tiff[at] | (tiff[at + 1] << 8) : (tiff[at] << 8) | tiff[at + 1]; };
    auto u32 = [&](qsizetype at) { return little ? Little32(tiff + at) : Big32(tiff + at); };
    const qsizetype ifd = u32(4);
    if (ifd < 8 || ifd + 2 > size)
        return 1;
    const int entries = u16(ifd);
    for (int k = 0; k < entries; ++k) {
        const qsizetype at = ifd + 2 + 12 * k;
        if (at + 12 > size)
            break;
        if (u16(at) == 0x0112 && u16(at + 2) == 3) {  // Orientation, a SHORT
            const int value = u16(at + 8);
            return value >= 1 && value <= 8 ? value : 1;
        }
    }
    return 1;
}

/// Errors end the decoding; warnings are kept for the reason, and the one a decoder gives for data
/// that ends early makes the data damaged, as a PDF reader given the same data would find it.
struct JpegErrors {
    jpeg_error_mgr manager{};
    std::jmp_buf jump{};
    bool endedEarly = false;
    char message[JMSG_LENGTH_MAX] = {};
};

[[noreturn]] void OnJpegError(j_common_ptr info)
{
    auto *errors = reinterpret_cast<JpegErrors *>(info->err);
    (*info->err->format_message)(info, errors->message);
    std::longjmp(errors->jump, 1);
}

void OnJpegMessage(j_common_ptr info, int level)
{
    auto *errors = reinterpret_cast<JpegErrors *>(info->err);
    if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF && !errors->endedEarly) {
        errors->endedEarly = true;
        (*info->err->format_message)(info, errors->message);
    }
}

}  // namespace

Outcome CheckJpegData(const QByteArray &bytes)
{
    jpeg_decompress_struct info{};
    JpegErrors errors;
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = OnJpegError;
    errors.manager.emit_message = OnJpegMessage;
    // Nothing with a destructor lives between setjmp and the decoder's end.
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&info);
        return Outcome::Failed(QString::fromUtf8(errors.message));
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char *>(bytes.constData()), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    // Every coefficient is still decoded at an eighth of the size; only the output is smaller.
    info.scale_num = 1;
    info.scale_denom = 8;
    info.dct_method = JDCT_IFAST;
    info.do_fancy_upsampling = FALSE;
    jpeg_start_decompress(&info);
    // From the decoder's own pool, which its end frees also after an error.
    JSAMPARRAY rows = (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                                info.output_width * static_cast<JDIMENSION>(info.output_components), 1);
    while (info.output_scanline < info.output_height && !errors.endedEarly)
        jpeg_read_scanlines(&info, rows, 1);
    if (!errors.endedEarly)
        jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return errors.endedEarly ? Outcome::Failed(QString::fromUtf8(errors.message)) : Outcome::Done();
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
        } else if (marker == 0xE1 && segLength >= 14 && std::memcmp(seg, "Exif\0\0", 6) == 0) {
            info.orientation = ExifOrientation(seg + 6, segLength - 6);
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
    if (Outcome written = WriteImage(image, target, format, quality); !written)
        return written;
    return target.Commit();
}

Outcome WriteImage(const QImage &image, AtomicOutput &output, const char *format, int quality)
{
    if (!output.Opened())
        return output.Opened();
    const QString &path = output.TargetPath();
    QFile file;
    if (!file.open(output.Handle(), QIODevice::WriteOnly, QFileDevice::DontCloseHandle))
        return Outcome::Failed(QStringLiteral("%1: cannot be written: %2").arg(path, file.errorString()));
    QImageWriter writer(&file, format);
    writer.setQuality(quality);
    // Not every image plugin looks at what its device answers: a write the disk refused shows in
    // the file's error, if not in the writer's.
    const bool wrote = writer.write(image);
    const bool flushed = file.flush();
    Outcome written = Outcome::Done();
    if (file.error() != QFileDevice::NoError || !flushed)
        written = Outcome::Failed(QStringLiteral("%1: cannot be written: %2").arg(path, file.errorString()));
    else if (!wrote)
        written = Outcome::Failed(QStringLiteral("%1: cannot be written: %2").arg(path, writer.errorString()));
    file.close();
    if (!written)
        output.Abandon(written.reason);
    return written;
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
    AllowLargeImages();
    const DecoderMessages quiet;  // a refused image is answered with 0, not with lines on stderr
    QImageReader reader(path);
    QImage::Format format = reader.imageFormat();
    if (format == QImage::Format_Invalid) {
        // The header did not tell: decode the first page, when it is not too large.
        const QSize size = reader.size();
        if (size.isValid() && !CheckPixels(path, size.width(), size.height()))
            return 0;
        format = reader.read().format();
    }
    return DepthOf(format);
}

}  // namespace folvane::RasterImage
