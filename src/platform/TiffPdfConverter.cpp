#include "platform/TiffPdfConverter.h"

#include "platform/AtomicOutput.h"
#include "platform/PdfImageBuilder.h"
#include "platform/PdfRender.h"
#include "platform/RasterImage.h"
#include "platform/TiffFile.h"

#include <QDir>
#include <QFileInfo>
#include <QImageWriter>

#include <memory>
#include <vector>

namespace folvane {

namespace {

bool IsTiffName(const QString &path)
{
    const QString ext = QFileInfo(path).suffix().toLower();
    return ext == QLatin1String("tif") || ext == QLatin1String("tiff");
}

}  // namespace

Outcome TiffPdfConverter::PDFToImage(const QString &pdf, const QString &image, std::int32_t xDpi, std::int32_t yDpi,
                                     std::int32_t firstPage, std::int32_t colourMode, std::int32_t lastPage) const
{
    using RasterImage::ColourClass;
    if (colourMode < Colour || colourMode > BlackWhite)
        return Outcome::Failed(QStringLiteral("colour mode %1 is not offered").arg(colourMode));
    const ColourClass cls = colourMode == Colour ? ColourClass::Colour
                            : colourMode == Grey ? ColourClass::Grey
                                                 : ColourClass::BlackWhite;
    const PdfRenderDocument doc(pdf);
    if (!doc.Opened())
        return doc.Opened();
    const std::int32_t first = firstPage == 0 ? 1 : firstPage;
    const std::int32_t last = lastPage == 0 ? doc.Pages() : lastPage;
    if (first < 1 || first > last || last > doc.Pages())
        return Outcome::Failed(
            QStringLiteral("%1: pages %2 to %3 are not pages of the document (1 to %4)").arg(pdf).arg(first).arg(last).arg(doc.Pages()));

    auto render = [&](std::int32_t page, QImage &out) {
        const Expected<QImage> rendered = doc.Render(page, xDpi, yDpi);
        if (!rendered)
            return Outcome::Failed(QStringLiteral("%1: %2").arg(pdf, rendered.reason));
        out = RasterImage::Normalized(*rendered, cls);
        return Outcome::Done();
    };

    if (IsTiffName(image)) {
        TiffFile::ImageWriter writer(image, TiffFile::Compression::Lzw);
        if (!writer.Opened())
            return writer.Opened();
        for (std::int32_t page = first; page <= last; ++page) {
            QImage rendered;
            if (Outcome done = render(page, rendered); !done)
                return done;
            if (Outcome done = writer.Add(rendered); !done)
                return done;
        }
        return writer.Commit();
    }

    const QFileInfo target(image);
    const QByteArray format = target.suffix().toLower().toLatin1();
    if (format.isEmpty() || !QImageWriter::supportedImageFormats().contains(format))
        return Outcome::Failed(QStringLiteral("%1: no image format is known by that name").arg(image));
    // A file per page, none named before every page is written.
    std::vector<std::unique_ptr<AtomicOutput>> outputs;
    for (std::int32_t page = first; page <= last; ++page) {
        QImage rendered;
        if (Outcome done = render(page, rendered); !done)
            return done;
        const QString path = first == last ? image
                                           : target.dir().filePath(QStringLiteral("%1_%2.%3")
                                                                       .arg(target.completeBaseName())
                                                                       .arg(page)
                                                                       .arg(target.suffix()));
        outputs.push_back(std::make_unique<AtomicOutput>(path));
        if (Outcome done = RasterImage::WriteImage(rendered, *outputs.back(), format.constData()); !done)
            return done;
    }
    return CommitTogether(outputs);
}

Outcome TiffPdfConverter::ConvertImageToTiff(const QString &image, const QString &tiff, std::int32_t encoding) const
{
    if (Outcome offered = TiffFile::CheckCompression(encoding); !offered)
        return offered;
    TiffFile::ImageWriter writer(tiff, encoding);
    if (!writer.Opened())
        return writer.Opened();
    if (Outcome read = RasterImage::ForEachPage(image, [&](const QImage &page) { return writer.Add(page); }); !read)
        return read;
    return writer.Commit();
}

Outcome TiffPdfConverter::ConvertTiffToPDF(const QString &tiff, const QString &pdf) const
{
    PdfImageBuilder builder;
    if (Outcome added = builder.AddImageFile(tiff); !added)
        return added;
    return builder.Write(pdf);
}

CallResult TiffPdfConverter::Invoke(const QString &method, const QVariantList &args)
{
    const automation::Args a(method, args);
    auto is = [&](const char *name) { return method.compare(QLatin1String(name), Qt::CaseInsensitive) == 0; };
    bool bad = false;
    if (is("PDFToImage")) {
        if (auto wrong = a.ExpectCount(7))
            return *wrong;
        const std::int32_t x = a.Number(2, bad), y = a.Number(3, bad), first = a.Number(4, bad), mode = a.Number(5, bad),
                           last = a.Number(6, bad);
        if (bad)
            return automation::TypeMismatch(method);
        return automation::FromOutcome(PDFToImage(a.Text(0), a.Text(1), x, y, first, mode, last), true);
    }
    if (is("ConvertImageToTiff")) {
        if (auto wrong = a.ExpectCount(3))
            return *wrong;
        const std::int32_t encoding = a.Number(2, bad);
        if (bad)
            return automation::TypeMismatch(method);
        return automation::FromOutcome(ConvertImageToTiff(a.Text(0), a.Text(1), encoding), true);
    }
    if (is("ConvertTiffToPDF")) {
        if (auto wrong = a.ExpectCount(2))
            return *wrong;
        return automation::FromOutcome(ConvertTiffToPDF(a.Text(0), a.Text(1)), true);
    }
    return automation::NoSuchMethod(method);
}

}  // namespace folvane
