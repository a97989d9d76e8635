#include "platform/PdfImageBuilder.h"

#include "platform/AtomicOutput.h"
#include "platform/QpdfOpen.h"
#include "platform/QpdfOutput.h"

#include <QBuffer>
#include <QFile>
#include <QImageWriter>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <string>
#include <vector>

#include <zlib.h>

namespace folvane {

namespace {

// The largest page PDF readers agree on (200 inches); larger images are scaled down to it.
constexpr double MaxPagePoints = 14400.0;
constexpr int JpegQuality = 90;

/// Flate compression with one zlib stream for all the pages of a document. A stream of its own for
/// each page made the allocator hand its buffers back to the system and fetch them again page after
/// page, which cost several times the compression itself on a long multi-page TIFF.
class Deflater {
public:
    Deflater() { ready_ = deflateInit(&stream_, Z_DEFAULT_COMPRESSION) == Z_OK; }
    ~Deflater()
    {
        if (ready_)
            deflateEnd(&stream_);
    }
    Deflater(const Deflater &) = delete;
    Deflater &operator=(const Deflater &) = delete;

    /// The rows of a normalized image compressed, row by row, without a packed copy of the image
    /// (an A3 colour scan at 600 dpi is 209 MB of samples); nothing when zlib fails (it does not,
    /// short of memory).
    std::optional<std::string> Rows(const QImage &normalized)
    {
        if (!ready_ || deflateReset(&stream_) != Z_OK)
            return std::nullopt;
        const qsizetype rowBytes = (static_cast<qsizetype>(normalized.width()) * normalized.depth() + 7) / 8;
        std::string out;
        for (int y = 0; y < normalized.height(); ++y) {
            stream_.next_in = const_cast<Bytef *>(normalized.constScanLine(y));
            stream_.avail_in = static_cast<uInt>(rowBytes);
            if (!Drain(out, y + 1 == normalized.height() ? Z_FINISH : Z_NO_FLUSH))
                return std::nullopt;
        }
        out.shrink_to_fit();
        return out;
    }

private:
    /// Runs deflate until it has taken all its input (and, finishing, written the end).
    bool Drain(std::string &out, int flush)
    {
        int result = Z_OK;
        do {
            stream_.next_out = reinterpret_cast<Bytef *>(chunk_.data());
            stream_.avail_out = static_cast<uInt>(chunk_.size());
            result = deflate(&stream_, flush);
            if (result == Z_STREAM_ERROR)
                return false;
            out.append(chunk_.data(), chunk_.size() - stream_.avail_out);
        } while (stream_.avail_out == 0 || (flush == Z_FINISH && result != Z_STREAM_END));
        return flush != Z_FINISH || result == Z_STREAM_END;
    }

    z_stream stream_{};
    bool ready_ = false;
    std::vector<char> chunk_ = std::vector<char>(64 * 1024);
};

/// One image ready to become a page: its dictionary entries and stored bytes.
struct PageImage {
    int width = 0;
    int height = 0;
    std::string colourSpace;
    int bitsPerComponent = 8;
    std::string filter;  ///< empty: none
    std::string decode;  ///< empty: the default
    std::string data;
    double dpiX = RasterImage::DefaultDpi;
    double dpiY = RasterImage::DefaultDpi;
    int orientation = 1;  ///< EXIF orientation of data kept as it is: the page shows it upright
};

/// The placement of the image's unit square on a page of w x h points that shows it upright: the
/// stored first row and column go where the orientation says they are seen.
std::string PlacementMatrix(int orientation, const std::string &w, const std::string &h)
{
    switch (orientation) {
    case 2:
        return "-" + w + " 0 0 " + h + " " + w + " 0";
    case 3:
        return "-" + w + " 0 0 -" + h + " " + w + " " + h;
    case 4:
        return w + " 0 0 -" + h + " 0 " + h;
    case 5:
        return "0 -" + h + " -" + w + " 0 " + w + " " + h;
    case 6:
        return "0 -" + h + " " + w + " 0 0 " + h;
    case 7:
        return "0 " + h + " " + w + " 0 0 0";
    case 8:
        return "0 " + h + " -" + w + " 0 " + w + " 0";
    default:
        return w + " 0 0 " + h + " 0 0";
    }
}

ImageCompression ChosenFor(RasterImage::ColourClass cls, const ImageCompressions &c)
{
    using RasterImage::ColourClass;
    const std::optional<ImageCompression> &chosen =
        cls == ColourClass::BlackWhite ? c.blackWhite : cls == ColourClass::Grey ? c.grey : c.colour;
    return chosen.value_or(ImageCompression::Flate);
}

bool JpegKeptAsIs(const RasterImage::JpegInfo &info, const ImageCompressions &c)
{
    const std::optional<ImageCompression> &chosen = info.components == 1 ? c.grey : c.colour;
    return !chosen || *chosen == ImageCompression::Jpeg;
}

PageImage FromJpeg(const QByteArray &bytes, const RasterImage::JpegInfo &info)
{
    PageImage p;
    p.width = info.width;
    p.height = info.height;
    p.colourSpace = info.components == 1 ? "/DeviceGray" : info.components == 3 ? "/DeviceRGB" : "/DeviceCMYK";
    p.filter = "/DCTDecode";
    // Adobe's CMYK JPEGs store their samples inverted.
    if (info.components == 4 && info.adobe)
        p.decode = "[1 0 1 0 1 0 1 0]";
    p.data = bytes.toStdString();
    if (info.dpiX >= 1 && info.dpiY >= 1) {
        p.dpiX = info.dpiX;
        p.dpiY = info.dpiY;
    }
    p.orientation = info.orientation;
    return p;
}

Outcome FromImage(const QImage &source, ImageCompression compression, Deflater &deflate, PageImage &p)
{
    using RasterImage::ColourClass;
    ColourClass cls = RasterImage::ClassOf(source);
    if (compression == ImageCompression::Jpeg && cls == ColourClass::BlackWhite)
        cls = ColourClass::Grey;
    const QImage image = RasterImage::Normalized(source, cls);
    p.width = image.width();
    p.height = image.height();
    p.colourSpace = cls == ColourClass::Colour ? "/DeviceRGB" : "/DeviceGray";
    p.bitsPerComponent = cls == ColourClass::BlackWhite ? 1 : 8;
    p.dpiX = RasterImage::DpiX(image);
    p.dpiY = RasterImage::DpiY(image);
    switch (compression) {
    case ImageCompression::Jpeg: {
        QByteArray encoded;
        QBuffer buffer(&encoded);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "jpeg");
        writer.setQuality(JpegQuality);
        if (!writer.write(image))
            return Outcome::Failed(QStringLiteral("the image cannot be encoded as JPEG: %1").arg(writer.errorString()));
        p.filter = "/DCTDecode";
        p.data = encoded.toStdString();
        break;
    }
    case ImageCompression::Flate: {
        std::optional<std::string> packed = deflate.Rows(image);
        if (!packed)
            return Outcome::Failed(QStringLiteral("the image cannot be compressed"));
        p.filter = "/FlateDecode";
        p.data = std::move(*packed);
        break;
    }
    case ImageCompression::None:
        p.data = RasterImage::PackedRows(image).toStdString();
        break;
    }
    return Outcome::Done();
}

}  // namespace

std::optional<ImageCompression> CompressionByName(const QString &name)
{
    if (name.compare(QLatin1String("Flate"), Qt::CaseInsensitive) == 0)
        return ImageCompression::Flate;
    if (name.compare(QLatin1String("JPEG"), Qt::CaseInsensitive) == 0)
        return ImageCompression::Jpeg;
    if (name.compare(QLatin1String("None"), Qt::CaseInsensitive) == 0)
        return ImageCompression::None;
    return std::nullopt;
}

struct PdfImageBuilder::Impl {
    std::vector<PageImage> pages;
    Deflater deflate;
};

PdfImageBuilder::PdfImageBuilder() : d_(std::make_unique<Impl>()) {}

PdfImageBuilder::~PdfImageBuilder() = default;

int PdfImageBuilder::Pages() const noexcept { return static_cast<int>(d_->pages.size()); }

Outcome PdfImageBuilder::AddImage(const QImage &image, ImageCompression compression)
{
    if (image.isNull())
        return Outcome::Failed(QStringLiteral("no image"));
    PageImage page;
    if (Outcome made = FromImage(image, compression, d_->deflate, page); !made)
        return made;
    d_->pages.push_back(std::move(page));
    return Outcome::Done();
}

Outcome PdfImageBuilder::AddImageFile(const QString &path, const ImageCompressions &compressions)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Outcome::Failed(QStringLiteral("%1: cannot be read: %2").arg(path, file.errorString()));
    const QByteArray head = file.peek(2);
    if (head.size() == 2 && static_cast<unsigned char>(head[0]) == 0xFF && static_cast<unsigned char>(head[1]) == 0xD8) {
        const QByteArray bytes = file.readAll();
        const std::optional<RasterImage::JpegInfo> info = RasterImage::ParseJpeg(bytes);
        if (info) {
            if (Outcome fits = RasterImage::CheckPixels(path, info->width, info->height); !fits)
                return fits;
        }
        if (info && JpegKeptAsIs(*info, compressions)) {
            // Kept as it is, the data must be whole: a reader of the PDF decodes it all.
            if (Outcome intact = RasterImage::CheckJpegData(bytes); !intact)
                return Outcome::Failed(QStringLiteral("%1: damaged JPEG (%2)").arg(path, intact.reason));
            d_->pages.push_back(FromJpeg(bytes, *info));
            return Outcome::Done();
        }
    }
    file.close();
    std::vector<PageImage> added;
    const Outcome read = RasterImage::ForEachPage(path, [&](const QImage &image) {
        PageImage page;
        const Outcome made = FromImage(image, ChosenFor(RasterImage::ClassOf(image), compressions), d_->deflate, page);
        if (made)
            added.push_back(std::move(page));
        return made;
    });
    if (!read)
        return read;
    for (PageImage &page : added)
        d_->pages.push_back(std::move(page));
    return Outcome::Done();
}

Outcome PdfImageBuilder::Write(const QString &outputPath)
{
    if (d_->pages.empty())
        return Outcome::Failed(QStringLiteral("%1: no images were added, nothing written").arg(outputPath));
    AtomicOutput target(outputPath);
    if (!target.Opened())
        return target.Opened();
    const QString cannotWrite = QStringLiteral("%1: the PDF cannot be written").arg(outputPath);
    try {
        QPDF pdf;
        pdf.setLogger(qpdfopen::QuietLogger());
        pdf.emptyPDF();
        QPDFPageDocumentHelper doc(pdf);
        for (const PageImage &p : d_->pages) {
            QPDFObjectHandle dict = QPDFObjectHandle::parse(
                "<< /Type /XObject /Subtype /Image /Width " + std::to_string(p.width) + " /Height "
                + std::to_string(p.height) + " /ColorSpace " + p.colourSpace + " /BitsPerComponent "
                + std::to_string(p.bitsPerComponent) + (p.decode.empty() ? "" : " /Decode " + p.decode) + " >>");
            QPDFObjectHandle image = QPDFObjectHandle::newStream(&pdf);
            image.replaceDict(dict);
            image.replaceStreamData(p.data,
                                    p.filter.empty() ? QPDFObjectHandle::newNull() : QPDFObjectHandle::newName(p.filter),
                                    QPDFObjectHandle::newNull());
            // A quarter-turned image shows its rows as columns: the page takes the turned size.
            const bool turned = p.orientation >= 5 && p.orientation <= 8;
            double w = turned ? p.height * 72.0 / p.dpiY : p.width * 72.0 / p.dpiX;
            double h = turned ? p.width * 72.0 / p.dpiX : p.height * 72.0 / p.dpiY;
            const double scale = std::min({1.0, MaxPagePoints / w, MaxPagePoints / h});
            w *= scale;
            h *= scale;
            const std::string ws = QString::number(w, 'f', 4).toStdString(), hs = QString::number(h, 'f', 4).toStdString();
            QPDFObjectHandle page = QPDFObjectHandle::parse("<< /Type /Page /MediaBox [0 0 " + ws + " " + hs
                                                            + "] /Resources << /XObject << >> >> >>");
            page.getKey("/Resources").getKey("/XObject").replaceKey("/Im0", image);
            page.replaceKey("/Contents",
                            QPDFObjectHandle::newStream(&pdf, "q " + PlacementMatrix(p.orientation, ws, hs) + " cm /Im0 Do Q\n"));
            doc.addPage(QPDFPageObjectHelper(pdf.makeIndirectObject(page)), false);
        }
        // The image data is stored as built above: nothing is decoded or compressed again.
        const Outcome written = qpdfoutput::WritePdf(pdf, target, cannotWrite, [](QPDFWriter &writer) {
            writer.setDecodeLevel(qpdf_dl_none);
            writer.setCompressStreams(false);
        });
        if (!written)
            return written;
    } catch (const std::exception &e) {
        return Outcome::Failed(QStringLiteral("%1: %2").arg(cannotWrite, QString::fromStdString(e.what())));
    }
    return target.Commit();
}

}  // namespace folvane
