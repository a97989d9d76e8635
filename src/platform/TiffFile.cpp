#include "platform/TiffFile.h"

#include "platform/AtomicOutput.h"
#include "platform/FileDescriptor.h"
#include "platform/RasterImage.h"

#include <QFile>

#include <tiffio.h>

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <optional>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace folvane::TiffFile {

namespace {

/// The first error libtiff reported on one file; warnings are dropped.
struct ErrorSink {
    bool fired = false;
    QString first;
};

int OnError(TIFF *, void *user, const char *module, const char *fmt, va_list ap)
{
    auto *sink = static_cast<ErrorSink *>(user);
    if (!sink->fired) {
        char text[512];
        std::vsnprintf(text, sizeof text, fmt, ap);
        sink->first = QStringLiteral("%1: %2").arg(QString::fromUtf8(module ? module : ""), QString::fromUtf8(text));
    }
    sink->fired = true;
    return 1;  // handled: libtiff's own handlers (stderr) are not called
}

int OnWarning(TIFF *, void *, const char *, const char *, va_list) { return 1; }

/// One open TIFF with its own error sink.
class Tiff {
public:
    Tiff() = default;
    ~Tiff()
    {
        if (tif_)
            TIFFClose(tif_);
    }
    Tiff(const Tiff &) = delete;
    Tiff &operator=(const Tiff &) = delete;

    /// Opens a regular file for reading; a FIFO or device is never opened.
    Outcome OpenRead(const QString &path)
    {
        const QByteArray name = QFile::encodeName(path);
        RegularFile file = OpenRegularFile(name.constData(), O_RDONLY);
        if (file.failure == RegularFile::Failure::CannotOpen)
            return Outcome::Failed(QStringLiteral("%1: cannot be opened").arg(path));
        if (file.failure == RegularFile::Failure::NotRegular)
            return Outcome::Failed(QStringLiteral("%1: not a regular file").arg(path));
        fileSize_ = static_cast<std::uint64_t>(file.size);
        // "m": no memory mapping, so a file truncated while it is read cannot fault.
        tif_ = TIFFFdOpenExt(file.fd.get(), name.constData(), "rm", Options());
        if (!tif_)
            return Outcome::Failed(QStringLiteral("%1: damaged or not a TIFF (%2)").arg(path, errors_.first));
        file.fd.release();  // TIFFClose closes it
        return Checked(path);
    }

    /// Opens a new TIFF that writes into the output, every write checked by it.
    Outcome OpenWrite(AtomicOutput &output)
    {
        const QString &path = output.TargetPath();
        if (!output.Opened())
            return output.Opened();
        tif_ = TIFFClientOpenExt(QFile::encodeName(path).constData(), "w", &output, OutputRead, OutputWrite,
                                 OutputSeek, OutputClose, OutputSize, NoMap, NoUnmap, Options());
        return tif_ ? Outcome::Done() : Outcome::Failed(QStringLiteral("%1: cannot be written (%2)").arg(path, errors_.first));
    }

    /// Flushes and closes; the outcome tells whether everything reached the file.
    Outcome Close(const QString &path)
    {
        bool flushed = true;
        if (tif_) {
            // The close flushes too, but says nothing of a failure.
            flushed = TIFFFlush(tif_) != 0;
            TIFFClose(tif_);
            tif_ = nullptr;
        }
        if (Outcome checked = Checked(path); !checked)
            return checked;
        return flushed ? Outcome::Done() : Outcome::Failed(QStringLiteral("%1: cannot be written").arg(path));
    }

    Outcome Checked(const QString &path) const
    {
        return errors_.fired ? Outcome::Failed(QStringLiteral("%1: %2").arg(path, errors_.first)) : Outcome::Done();
    }

    TIFF *get() const noexcept { return tif_; }
    std::uint64_t fileSize() const noexcept { return fileSize_; }

private:
    // libtiff's file procedures over an AtomicOutput's descriptor; the output owns the descriptor.
    static AtomicOutput &Output(thandle_t handle) { return *static_cast<AtomicOutput *>(handle); }
    static tmsize_t OutputRead(thandle_t handle, void *data, tmsize_t size)
    {
        return ::read(Output(handle).Handle(), data, static_cast<size_t>(size));
    }
    static tmsize_t OutputWrite(thandle_t handle, void *data, tmsize_t size)
    {
        // A refused write is remembered by the output, which then never puts the file in place.
        return Output(handle).Write(static_cast<const char *>(data), size) ? size : -1;
    }
    static toff_t OutputSeek(thandle_t handle, toff_t offset, int whence)
    {
        return static_cast<toff_t>(::lseek(Output(handle).Handle(), static_cast<off_t>(offset), whence));
    }
    static int OutputClose(thandle_t) { return 0; }
    static toff_t OutputSize(thandle_t handle)
    {
        struct stat st {};
        return ::fstat(Output(handle).Handle(), &st) == 0 ? static_cast<toff_t>(st.st_size) : 0;
    }
    static int NoMap(thandle_t, void **, toff_t *) { return 0; }
    static void NoUnmap(thandle_t, void *, toff_t) {}

    TIFFOpenOptions *Options()
    {
        options_.reset(TIFFOpenOptionsAlloc());
        TIFFOpenOptionsSetErrorHandlerExtR(options_.get(), OnError, &errors_);
        TIFFOpenOptionsSetWarningHandlerExtR(options_.get(), OnWarning, nullptr);
        TIFFOpenOptionsSetMaxSingleMemAlloc(options_.get(), 256 * 1024 * 1024);
        return options_.get();
    }
    struct FreeOptions {
        void operator()(TIFFOpenOptions *o) const { TIFFOpenOptionsFree(o); }
    };

    TIFF *tif_ = nullptr;
    ErrorSink errors_;
    std::unique_ptr<TIFFOpenOptions, FreeOptions> options_;
    std::uint64_t fileSize_ = 0;
};

// No real document has more pages; the cap bounds the walk on a file built to make it long.
constexpr std::int32_t MaxPages = 1 << 20;

template <class T>
void CopyField(TIFF *in, TIFF *out, ttag_t tag)
{
    T value{};
    if (TIFFGetField(in, tag, &value))
        TIFFSetField(out, tag, value);
}

void CopyTags(TIFF *in, TIFF *out)
{
    for (ttag_t tag : {TIFFTAG_IMAGEWIDTH, TIFFTAG_IMAGELENGTH, TIFFTAG_ROWSPERSTRIP, TIFFTAG_TILEWIDTH,
                       TIFFTAG_TILELENGTH})
        CopyField<std::uint32_t>(in, out, tag);
    // The compression first: the codec it selects owns the tags that follow it.
    for (ttag_t tag : {TIFFTAG_COMPRESSION, TIFFTAG_BITSPERSAMPLE, TIFFTAG_SAMPLESPERPIXEL, TIFFTAG_PHOTOMETRIC,
                       TIFFTAG_PLANARCONFIG, TIFFTAG_FILLORDER, TIFFTAG_ORIENTATION, TIFFTAG_RESOLUTIONUNIT,
                       TIFFTAG_SAMPLEFORMAT, TIFFTAG_YCBCRPOSITIONING, TIFFTAG_INKSET, TIFFTAG_THRESHHOLDING,
                       TIFFTAG_PREDICTOR})
        CopyField<std::uint16_t>(in, out, tag);
    for (ttag_t tag : {TIFFTAG_GROUP3OPTIONS, TIFFTAG_GROUP4OPTIONS})
        CopyField<std::uint32_t>(in, out, tag);
    for (ttag_t tag : {TIFFTAG_XRESOLUTION, TIFFTAG_YRESOLUTION, TIFFTAG_XPOSITION, TIFFTAG_YPOSITION})
        CopyField<float>(in, out, tag);
    for (ttag_t tag : {TIFFTAG_IMAGEDESCRIPTION, TIFFTAG_SOFTWARE, TIFFTAG_DATETIME, TIFFTAG_ARTIST, TIFFTAG_MAKE,
                       TIFFTAG_MODEL, TIFFTAG_DOCUMENTNAME, TIFFTAG_PAGENAME, TIFFTAG_HOSTCOMPUTER, TIFFTAG_COPYRIGHT})
        CopyField<const char *>(in, out, tag);

    std::uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
    if (TIFFGetField(in, TIFFTAG_COLORMAP, &red, &green, &blue))
        TIFFSetField(out, TIFFTAG_COLORMAP, red, green, blue);
    std::uint16_t extraCount = 0;
    std::uint16_t *extra = nullptr;
    if (TIFFGetField(in, TIFFTAG_EXTRASAMPLES, &extraCount, &extra))
        TIFFSetField(out, TIFFTAG_EXTRASAMPLES, extraCount, extra);
    std::uint16_t subH = 0, subV = 0;
    if (TIFFGetField(in, TIFFTAG_YCBCRSUBSAMPLING, &subH, &subV))
        TIFFSetField(out, TIFFTAG_YCBCRSUBSAMPLING, subH, subV);
    float *floats = nullptr;
    if (TIFFGetField(in, TIFFTAG_REFERENCEBLACKWHITE, &floats))
        TIFFSetField(out, TIFFTAG_REFERENCEBLACKWHITE, floats);
    if (TIFFGetField(in, TIFFTAG_YCBCRCOEFFICIENTS, &floats))
        TIFFSetField(out, TIFFTAG_YCBCRCOEFFICIENTS, floats);
    for (ttag_t tag : {TIFFTAG_JPEGTABLES, TIFFTAG_ICCPROFILE}) {
        std::uint32_t count = 0;
        void *data = nullptr;
        if (TIFFGetField(in, tag, &count, &data))
            TIFFSetField(out, tag, count, data);
    }
}

/// Copies the stored (still compressed) strips or tiles.
Outcome CopyRawData(const Tiff &in, TIFF *out, const QString &path)
{
    TIFF *src = in.get();
    const bool tiled = TIFFIsTiled(src);
    const std::uint32_t chunks = tiled ? TIFFNumberOfTiles(src) : TIFFNumberOfStrips(src);
    std::uint64_t *counts = nullptr;
    if (!TIFFGetField(src, tiled ? TIFFTAG_TILEBYTECOUNTS : TIFFTAG_STRIPBYTECOUNTS, &counts) || !counts)
        return Outcome::Failed(QStringLiteral("%1: damaged TIFF (no data sizes)").arg(path));
    std::vector<unsigned char> buffer;
    for (std::uint32_t i = 0; i < chunks; ++i) {
        if (counts[i] > in.fileSize())
            return Outcome::Failed(QStringLiteral("%1: damaged TIFF (data past the end of the file)").arg(path));
        buffer.resize(static_cast<std::size_t>(counts[i]));
        const tmsize_t got = tiled ? TIFFReadRawTile(src, i, buffer.data(), static_cast<tmsize_t>(buffer.size()))
                                   : TIFFReadRawStrip(src, i, buffer.data(), static_cast<tmsize_t>(buffer.size()));
        if (got < 0)
            return Outcome::Failed(QStringLiteral("%1: damaged TIFF (data cannot be read)").arg(path));
        const tmsize_t put = tiled ? TIFFWriteRawTile(out, i, buffer.data(), got) : TIFFWriteRawStrip(out, i, buffer.data(), got);
        if (put != got)
            return Outcome::Failed(QStringLiteral("the copy of %1 cannot be written").arg(path));
    }
    return Outcome::Done();
}

/// Copies decoded strips or tiles, re-encoding them with the same codec: for samples wider than a
/// byte stored in the other byte order, which the stored bytes would get wrong.
Outcome CopyDecodedData(const Tiff &in, TIFF *out, const QString &path)
{
    TIFF *src = in.get();
    const bool tiled = TIFFIsTiled(src);
    const std::uint32_t chunks = tiled ? TIFFNumberOfTiles(src) : TIFFNumberOfStrips(src);
    std::vector<unsigned char> buffer(static_cast<std::size_t>(tiled ? TIFFTileSize(src) : TIFFStripSize(src)));
    for (std::uint32_t i = 0; i < chunks; ++i) {
        const tmsize_t got = tiled ? TIFFReadEncodedTile(src, i, buffer.data(), static_cast<tmsize_t>(buffer.size()))
                                   : TIFFReadEncodedStrip(src, i, buffer.data(), static_cast<tmsize_t>(buffer.size()));
        if (got < 0)
            return Outcome::Failed(QStringLiteral("%1: damaged TIFF (data cannot be decoded)").arg(path));
        const tmsize_t put = tiled ? TIFFWriteEncodedTile(out, i, buffer.data(), got)
                                   : TIFFWriteEncodedStrip(out, i, buffer.data(), got);
        if (put < 0)
            return Outcome::Failed(QStringLiteral("the copy of %1 cannot be written").arg(path));
    }
    return Outcome::Done();
}

/// Old-style JPEG cannot be written: the page is decoded to colour and stored as LZW.
Outcome CopyAsColour(const Tiff &in, TIFF *out, const QString &path)
{
    TIFF *src = in.get();
    std::uint32_t width = 0, height = 0;
    TIFFGetField(src, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(src, TIFFTAG_IMAGELENGTH, &height);
    std::vector<std::uint32_t> raster(static_cast<std::size_t>(width) * height);
    if (raster.empty() || !TIFFReadRGBAImageOriented(src, width, height, raster.data(), ORIENTATION_TOPLEFT, 0))
        return Outcome::Failed(QStringLiteral("%1: damaged TIFF (page cannot be decoded)").arg(path));
    TIFFSetField(out, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(out, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(out, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(out, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(out, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(out, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(out, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    TIFFSetField(out, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(out, 0));
    for (ttag_t tag : {TIFFTAG_XRESOLUTION, TIFFTAG_YRESOLUTION})
        CopyField<float>(src, out, tag);
    CopyField<std::uint16_t>(src, out, TIFFTAG_RESOLUTIONUNIT);
    std::vector<unsigned char> row(static_cast<std::size_t>(width) * 3);
    for (std::uint32_t y = 0; y < height; ++y) {
        const std::uint32_t *pixel = raster.data() + static_cast<std::size_t>(y) * width;
        for (std::uint32_t x = 0; x < width; ++x) {
            row[x * 3] = TIFFGetR(pixel[x]);
            row[x * 3 + 1] = TIFFGetG(pixel[x]);
            row[x * 3 + 2] = TIFFGetB(pixel[x]);
        }
        if (TIFFWriteScanline(out, row.data(), y, 0) < 0)
            return Outcome::Failed(QStringLiteral("the copy of %1 cannot be written").arg(path));
    }
    return Outcome::Done();
}

Outcome CopyPage(const Tiff &in, TIFF *out, const QString &path)
{
    TIFF *src = in.get();
    CopyTags(src, out);
    TIFFSetField(out, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
    std::uint16_t compression = COMPRESSION_NONE, bits = 1;
    TIFFGetFieldDefaulted(src, TIFFTAG_COMPRESSION, &compression);
    TIFFGetFieldDefaulted(src, TIFFTAG_BITSPERSAMPLE, &bits);
    Outcome copied;
    if (compression == COMPRESSION_OJPEG)
        copied = CopyAsColour(in, out, path);
    else if (bits > 8 && TIFFIsByteSwapped(src))
        copied = CopyDecodedData(in, out, path);
    else
        copied = CopyRawData(in, out, path);
    if (!copied)
        return copied;
    if (Outcome read = in.Checked(path); !read)
        return read;
    if (!TIFFWriteDirectory(out))
        return Outcome::Failed(QStringLiteral("the copy of %1 cannot be written").arg(path));
    return Outcome::Done();
}

/// The colour map of a palette page; 16-bit entries, or 8-bit ones in files that wrote them so
/// (no entry above 255).
QList<QRgb> ColourMap(TIFF *tif, int entries)
{
    std::uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
    QList<QRgb> table;
    if (!TIFFGetField(tif, TIFFTAG_COLORMAP, &red, &green, &blue))
        return table;
    bool eightBit = true;
    for (int i = 0; i < entries; ++i)
        eightBit = eightBit && red[i] < 256 && green[i] < 256 && blue[i] < 256;
    const int shift = eightBit ? 0 : 8;
    for (int i = 0; i < entries; ++i)
        table << qRgb(red[i] >> shift, green[i] >> shift, blue[i] >> shift);
    return table;
}

/// Rows read as stored, for the layouts a QImage holds as they are.
Outcome ReadRows(const Tiff &in, const QString &path, QImage &image)
{
    const tmsize_t rowBytes = TIFFScanlineSize(in.get());
    const qsizetype lineBytes = (static_cast<qsizetype>(image.width()) * image.depth() + 7) / 8;
    if (rowBytes != lineBytes)
        return Outcome::Failed(QStringLiteral("%1: damaged TIFF (rows of %2 bytes)").arg(path).arg(rowBytes));
    for (int y = 0; y < image.height(); ++y) {
        if (TIFFReadScanline(in.get(), image.scanLine(y), static_cast<std::uint32_t>(y), 0) < 0)
            return Outcome::Failed(QStringLiteral("%1: damaged TIFF (%2)").arg(path, in.Checked(path).reason));
    }
    return Outcome::Done();
}

/// Any other layout, through libtiff's RGBA reader, in stored order.
Outcome ReadRgba(const Tiff &in, const QString &path, std::uint16_t orientation, bool alpha, QImage &image)
{
    TIFF *tif = in.get();
    char message[1024] = {};
    if (!TIFFRGBAImageOK(tif, message))
        return Outcome::Failed(QStringLiteral("%1: the page cannot be read (%2)").arg(path, QString::fromUtf8(message)));
    TIFFRGBAImage reader{};
    if (!TIFFRGBAImageBegin(&reader, tif, 0, message))
        return Outcome::Failed(QStringLiteral("%1: the page cannot be read (%2)").arg(path, QString::fromUtf8(message)));
    // Asking for the page's own orientation keeps the rows as stored; Oriented() turns them after.
    reader.req_orientation = orientation;
    QImage rgba(image.width(), image.height(), QImage::Format_RGBA8888_Premultiplied);
    if (rgba.isNull()) {
        TIFFRGBAImageEnd(&reader);
        return Outcome::Failed(QStringLiteral("%1: no memory for a page of %2 x %3 pixels").arg(path).arg(image.width()).arg(image.height()));
    }
    // libtiff packs R | G << 8 | B << 16 | A << 24, alpha premultiplied: RGBA8888 in the memory of a
    // little-endian machine.
    static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN);
    const int got = TIFFRGBAImageGet(&reader, reinterpret_cast<std::uint32_t *>(rgba.bits()), rgba.width(), rgba.height());
    TIFFRGBAImageEnd(&reader);
    if (!got)
        return Outcome::Failed(QStringLiteral("%1: damaged TIFF (%2)").arg(path, in.Checked(path).reason));
    image = rgba.convertToFormat(alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    return Outcome::Done();
}

/// The current page of the open file as an image, upright and with its resolution.
Outcome DecodePage(const Tiff &in, const QString &path, QImage &out)
{
    TIFF *tif = in.get();
    std::uint32_t width = 0, height = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
    if (Outcome fits = RasterImage::CheckPixels(path, width, height); !fits)
        return fits;
    std::uint16_t bits = 1, samples = 1, planar = PLANARCONFIG_CONTIG, orientation = ORIENTATION_TOPLEFT,
                  photometric = PHOTOMETRIC_MINISWHITE, extraCount = 0;
    std::uint16_t *extra = nullptr;
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &orientation);
    TIFFGetFieldDefaulted(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extra);
    const bool hasPhotometric = TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric) != 0;
    std::uint16_t sampleFormat = SAMPLEFORMAT_UINT;
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &sampleFormat);

    const bool grey = hasPhotometric && (photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE);
    const bool palette = hasPhotometric && photometric == PHOTOMETRIC_PALETTE;
    const bool plainRows = !TIFFIsTiled(tif) && sampleFormat == SAMPLEFORMAT_UINT;
    const int w = static_cast<int>(width), h = static_cast<int>(height);
    QImage image;
    Outcome read;
    if (plainRows && samples == 1 && (bits == 1 || bits == 8) && (grey || palette)) {
        image = QImage(w, h, bits == 1 ? QImage::Format_Mono : palette ? QImage::Format_Indexed8 : QImage::Format_Grayscale8);
        if (image.isNull())
            return Outcome::Failed(QStringLiteral("%1: no memory for a page of %2 x %3 pixels").arg(path).arg(w).arg(h));
        if (palette) {
            image.setColorTable(ColourMap(tif, 1 << bits));
            if (image.colorTable().isEmpty())
                return Outcome::Failed(QStringLiteral("%1: damaged TIFF (a palette page without its colours)").arg(path));
        } else if (bits == 1) {
            image.setColorTable(photometric == PHOTOMETRIC_MINISWHITE ? QList<QRgb>{qRgb(255, 255, 255), qRgb(0, 0, 0)}
                                                                      : QList<QRgb>{qRgb(0, 0, 0), qRgb(255, 255, 255)});
        }
        read = ReadRows(in, path, image);
        if (read && bits == 8 && photometric == PHOTOMETRIC_MINISWHITE)
            image.invertPixels();
    } else if (plainRows && samples == 1 && bits == 16 && grey) {
        image = QImage(w, h, QImage::Format_Grayscale16);
        if (image.isNull())
            return Outcome::Failed(QStringLiteral("%1: no memory for a page of %2 x %3 pixels").arg(path).arg(w).arg(h));
        read = ReadRows(in, path, image);  // libtiff hands 16-bit samples in the machine's order
        if (read && photometric == PHOTOMETRIC_MINISWHITE)
            image.invertPixels();
    } else if (plainRows && samples == 3 && bits == 8 && planar == PLANARCONFIG_CONTIG && hasPhotometric
               && photometric == PHOTOMETRIC_RGB) {
        image = QImage(w, h, QImage::Format_RGB888);
        if (image.isNull())
            return Outcome::Failed(QStringLiteral("%1: no memory for a page of %2 x %3 pixels").arg(path).arg(w).arg(h));
        read = ReadRows(in, path, image);
    } else {
        image = QImage(w, h, QImage::Format_RGB32);  // only the size is used
        read = ReadRgba(in, path, orientation, extraCount > 0, image);
        if (read && grey && extraCount == 0)
            image = image.convertToFormat(QImage::Format_Grayscale8);  // 2- and 4-bit grey stay grey
    }
    if (!read)
        return read;
    if (Outcome checked = in.Checked(path); !checked)
        return checked;

    float xRes = 0, yRes = 0;
    std::uint16_t unit = RESUNIT_INCH;
    TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
    const bool stated = TIFFGetField(tif, TIFFTAG_XRESOLUTION, &xRes) && TIFFGetField(tif, TIFFTAG_YRESOLUTION, &yRes)
                        && unit != RESUNIT_NONE && xRes > 0 && yRes > 0;
    const double toInch = unit == RESUNIT_CENTIMETER ? 2.54 : 1.0;
    const double dpiX = stated ? xRes * toInch : RasterImage::DefaultDpi, dpiY = stated ? yRes * toInch : RasterImage::DefaultDpi;
    image = RasterImage::Oriented(image, orientation);
    const bool turned = orientation >= ORIENTATION_LEFTTOP;
    image.setDotsPerMeterX(static_cast<int>(std::lround((turned ? dpiY : dpiX) / 0.0254)));
    image.setDotsPerMeterY(static_cast<int>(std::lround((turned ? dpiX : dpiY) / 0.0254)));
    out = std::move(image);
    return Outcome::Done();
}

}  // namespace

Outcome ReadPages(const QString &path, const std::function<Outcome(const QImage &)> &onPage)
{
    Tiff tiff;
    if (Outcome opened = tiff.OpenRead(path); !opened)
        return opened;
    std::int32_t pages = 0;
    do {
        QImage page;
        if (Outcome decoded = DecodePage(tiff, path, page); !decoded)
            return decoded;
        if (Outcome done = onPage(page); !done)
            return done;
    } while (++pages < MaxPages && TIFFReadDirectory(tiff.get()));
    // A next page that cannot be read fires the error handler: the file is damaged.
    if (Outcome read = tiff.Checked(path); !read)
        return Outcome::Failed(QStringLiteral("damaged TIFF: %1").arg(read.reason));
    return Outcome::Done();
}

namespace {
}  // namespace

Outcome CheckCompression(std::int32_t compression)
{
    switch (compression) {
    case Compression::Default:
    case Compression::None:
    case Compression::CcittGroup4:
    case Compression::Lzw:
    case Compression::Jpeg:
    case Compression::Deflate:
    case Compression::PackBits:
        return Outcome::Done();
    default:
        return Outcome::Failed(QStringLiteral("TIFF compression %1 is not offered").arg(compression));
    }
}

Expected<std::int32_t> CountPages(const QString &path)
{
    Tiff tiff;
    if (Outcome opened = tiff.OpenRead(path); !opened)
        return opened;
    // libtiff detects directory loops itself (and reports them as errors).
    std::int32_t pages = 1;
    while (pages < MaxPages && TIFFReadDirectory(tiff.get()))
        ++pages;
    if (Outcome read = tiff.Checked(path); !read)
        return Outcome::Failed(QStringLiteral("damaged TIFF: %1").arg(read.reason));
    return pages;
}

namespace {

/// Moves the open file to page (1-based): straight there for the first page of a run, then one
/// directory on for each next page, so a run costs one walk of the file and not one per page.
Outcome GoToPage(const Tiff &in, const QString &path, std::int32_t page, bool next)
{
    const bool there = next ? TIFFReadDirectory(in.get()) != 0 : TIFFSetDirectory(in.get(), static_cast<tdir_t>(page - 1)) != 0;
    if (!there)
        return Outcome::Failed(QStringLiteral("%1: page %2 cannot be read").arg(path).arg(page));
    return in.Checked(path);
}

/// A new TIFF written into target by body, closed but not committed; a failure marks the target
/// failed, so it is never put in place.
Outcome WriteTiff(AtomicOutput &target, const std::function<Outcome(TIFF *)> &body)
{
    Outcome written = [&] {
        Tiff out;
        if (Outcome opened = out.OpenWrite(target); !opened)
            return opened;
        if (Outcome done = body(out.get()); !done)
            return done;
        return out.Close(target.TargetPath());
    }();
    // A refused write says more (a full disk) than what libtiff made of it.
    if (!target.Written())
        return target.Written();
    if (!written)
        target.Abandon(written.reason);
    return written;
}

}  // namespace

Outcome CopyPages(const std::vector<PageRun> &runs, const QString &output)
{
    AtomicOutput target(output);
    if (Outcome written = CopyPages(runs, target); !written)
        return written;
    return target.Commit();
}

Outcome CopyPages(const std::vector<PageRun> &runs, AtomicOutput &output)
{
    return WriteTiff(output, [&](TIFF *out) {
        std::int32_t written = 0;
        for (const PageRun &run : runs) {
            Tiff in;
            if (Outcome opened = in.OpenRead(run.path); !opened)
                return opened;
            for (std::int32_t page = run.first; page <= run.last; ++page) {
                if (Outcome there = GoToPage(in, run.path, page, page > run.first); !there)
                    return there;
                if (Outcome copied = CopyPage(in, out, run.path); !copied)
                    return copied;
                ++written;
            }
        }
        return written == 0 ? Outcome::Failed(QStringLiteral("%1: no pages to write").arg(output.TargetPath())) : Outcome::Done();
    });
}

Outcome CopyEachPage(const QString &source, std::int32_t first, std::int32_t last,
                     const std::function<AtomicOutput &(std::int32_t)> &outputOf)
{
    Tiff in;
    if (Outcome opened = in.OpenRead(source); !opened)
        return opened;
    for (std::int32_t page = first; page <= last; ++page) {
        if (Outcome there = GoToPage(in, source, page, page > first); !there)
            return there;
        if (Outcome written = WriteTiff(outputOf(page), [&](TIFF *out) { return CopyPage(in, out, source); }); !written)
            return written;
    }
    return Outcome::Done();
}

struct ImageWriter::Impl {
    explicit Impl(const QString &path) : target(path) {}
    AtomicOutput target;
    Tiff out;
    std::int32_t compression = Compression::Default;
    std::int32_t pages = 0;
    Outcome opened;
};

ImageWriter::ImageWriter(const QString &output, std::int32_t compression) : d_(std::make_unique<Impl>(output))
{
    d_->compression = compression;
    d_->opened = CheckCompression(compression);
    if (d_->opened)
        d_->opened = d_->target.Opened();
    if (d_->opened)
        d_->opened = d_->out.OpenWrite(d_->target);
}

ImageWriter::~ImageWriter() = default;

const Outcome &ImageWriter::Opened() const noexcept { return d_->opened; }

std::int32_t ImageWriter::Pages() const noexcept { return d_->pages; }

Outcome ImageWriter::Add(const QImage &page)
{
    if (!d_->opened)
        return d_->opened;
    Outcome added = AddPage(page);
    if (!added && !d_->target.Written())
        added = d_->target.Written();  // a refused write says more than what libtiff made of it
    if (!added)
        d_->opened = added;  // a file with a broken page is never put in place
    else
        ++d_->pages;
    return added;
}

Outcome ImageWriter::AddPage(const QImage &page)
{
    using RasterImage::ColourClass;
    const std::int32_t compression = d_->compression == Compression::Default ? Compression::Lzw : d_->compression;
    ColourClass cls = RasterImage::ClassOf(page);
    if (compression == Compression::CcittGroup4)
        cls = ColourClass::BlackWhite;
    else if (compression == Compression::Jpeg && cls == ColourClass::BlackWhite)
        cls = ColourClass::Grey;
    const QImage image = RasterImage::Normalized(page, cls);
    TIFF *out = d_->out.get();
    TIFFSetField(out, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(image.width()));
    TIFFSetField(out, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(image.height()));
    TIFFSetField(out, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
    TIFFSetField(out, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(out, TIFFTAG_COMPRESSION, static_cast<std::uint16_t>(compression));
    TIFFSetField(out, TIFFTAG_BITSPERSAMPLE, cls == ColourClass::BlackWhite ? 1 : 8);
    TIFFSetField(out, TIFFTAG_SAMPLESPERPIXEL, cls == ColourClass::Colour ? 3 : 1);
    if (cls == ColourClass::Colour && compression == Compression::Jpeg) {
        // YCbCr is what JPEG readers expect; libtiff converts the RGB rows as it writes.
        TIFFSetField(out, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_YCBCR);
        TIFFSetField(out, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
    } else {
        TIFFSetField(out, TIFFTAG_PHOTOMETRIC, cls == ColourClass::Colour ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK);
    }
    TIFFSetField(out, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(out, 0));
    TIFFSetField(out, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    TIFFSetField(out, TIFFTAG_XRESOLUTION, static_cast<float>(RasterImage::DpiX(image)));
    TIFFSetField(out, TIFFTAG_YRESOLUTION, static_cast<float>(RasterImage::DpiY(image)));
    const QByteArray rows = RasterImage::PackedRows(image);
    const qsizetype rowBytes = image.height() > 0 ? rows.size() / image.height() : 0;
    for (int y = 0; y < image.height(); ++y) {
        if (TIFFWriteScanline(out, const_cast<char *>(rows.constData() + y * rowBytes), static_cast<std::uint32_t>(y), 0) < 0)
            return Outcome::Failed(QStringLiteral("%1: cannot be written (%2)").arg(d_->target.TargetPath(),
                                                                                 d_->out.Checked({}).reason));
    }
    if (!TIFFWriteDirectory(out))
        return Outcome::Failed(QStringLiteral("%1: cannot be written").arg(d_->target.TargetPath()));
    return d_->out.Checked(d_->target.TargetPath());
}

Outcome ImageWriter::Commit()
{
    if (!d_->opened)
        return d_->opened;
    if (d_->pages == 0)
        return Outcome::Failed(QStringLiteral("%1: no pages to write").arg(d_->target.TargetPath()));
    if (Outcome closed = d_->out.Close(d_->target.TargetPath()); !closed)
        return d_->target.Written() ? closed : d_->target.Written();
    return d_->target.Commit();
}

}  // namespace folvane::TiffFile
