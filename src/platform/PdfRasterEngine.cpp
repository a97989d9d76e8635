#include "platform/PdfRasterEngine.h"

#include "platform/HandleTable.h"
#include "platform/PdfRender.h"
#include "platform/RasterImage.h"
#include "platform/TiffFile.h"

#include <QDir>
#include <QFileInfo>

#include <memory>

namespace folvane::PdfRasterEngine {

namespace {

constexpr double RenderDpi = 150.0;

struct Session {
    explicit Session(const QString &path, const QString &owner, const QString &user) : pdfPath(path), doc(path, owner, user) {}
    QString pdfPath;
    PdfRenderDocument doc;
    QString folder;
    QString prefix;
    std::int32_t type = TypePng;
    std::int32_t bitsPerPixel = 24;
    std::int32_t tiffCompression = TiffFile::Compression::Lzw;
    std::int32_t jpegQuality = -1;
    std::unique_ptr<TiffFile::ImageWriter> multiPage;  ///< made at the first page of a multi-page TIFF
    QString missing;  ///< why the multi-page TIFF lacks a page asked for, which keeps it from being written
};

HandleTable<Session> &Sessions()
{
    static HandleTable<Session> table;
    return table;
}

std::int32_t Fail(const QString &reason) { return Sessions().Fail(reason); }

RasterImage::ColourClass ClassFor(std::int32_t bitsPerPixel)
{
    using RasterImage::ColourClass;
    return bitsPerPixel == 1 ? ColourClass::BlackWhite : bitsPerPixel == 8 ? ColourClass::Grey : ColourClass::Colour;
}

QString MultiPageName(const Session &s)
{
    return (s.prefix.isEmpty() ? QFileInfo(s.pdfPath).completeBaseName() : s.prefix) + QStringLiteral(".tif");
}

}  // namespace

std::int32_t apOpen(const QString &pdfPath, const QString &ownerPassword, const QString &userPassword)
{
    auto session = std::make_unique<Session>(pdfPath, ownerPassword, userPassword);
    switch (session->doc.Failure()) {
    case PdfRenderDocument::OpenFailure::None:
        return Sessions().Add(std::move(session));
    case PdfRenderDocument::OpenFailure::NotReadable:
        Fail(session->doc.Opened().reason);
        return OpenNotReadable;
    case PdfRenderDocument::OpenFailure::Damaged:
        Fail(session->doc.Opened().reason);
        return OpenDamaged;
    case PdfRenderDocument::OpenFailure::Password:
        Fail(session->doc.Opened().reason);
        return OpenPassword;
    case PdfRenderDocument::OpenFailure::NoPages:
        break;
    }
    Fail(session->doc.Opened().reason);
    return OpenNoPages;
}

std::int32_t apSetProperty(std::int32_t handle, std::int32_t property, const QString &text, std::int32_t n1, std::int32_t)
{
    Session *s = Sessions().Find(handle);
    if (!s)
        return Fail(QStringLiteral("engine handle %1 is not open").arg(handle));
    if (s->multiPage && property != PropJpegQuality)
        return Fail(QStringLiteral("property %1 cannot change once pages were converted").arg(property));
    switch (property) {
    case PropOutputFolder:
        s->folder = text;
        return 0;
    case PropPrefix:
        s->prefix = text;
        return 0;
    case PropImageType:
        if (n1 != TypeBmp && n1 != TypeJpeg && n1 != TypePng && n1 != TypeTiff && n1 != TypeMultiPageTiff)
            return Fail(QStringLiteral("image type %1 is not offered").arg(n1));
        s->type = n1;
        return 0;
    case PropBitsPerPixel:
        if (n1 != 1 && n1 != 8 && n1 != 24)
            return Fail(QStringLiteral("%1 bits per pixel are not offered").arg(n1));
        s->bitsPerPixel = n1;
        return 0;
    case PropTiffCompression:
        if (Outcome offered = TiffFile::CheckCompression(n1); !offered)
            return Fail(offered.reason);
        s->tiffCompression = n1;
        return 0;
    case PropJpegQuality:
        if (n1 < -1 || n1 > 100)
            return Fail(QStringLiteral("JPEG quality %1 is not offered").arg(n1));
        s->jpegQuality = n1;
        return 0;
    default:
        return Fail(QStringLiteral("property %1 is not known").arg(property));
    }
}

namespace {

Outcome ConvertPage(Session &s, std::int32_t page)
{
    if (!QFileInfo(s.folder).isDir())
        return Outcome::Failed(QStringLiteral("%1: the output folder does not exist").arg(s.folder));
    const Expected<QImage> rendered = s.doc.Render(page, RenderDpi, RenderDpi);
    if (!rendered)
        return Outcome::Failed(QStringLiteral("%1: %2").arg(s.pdfPath, rendered.reason));
    const QImage image = RasterImage::Normalized(*rendered, ClassFor(s.bitsPerPixel));
    const QDir folder(s.folder);
    if (s.type == TypeMultiPageTiff) {
        if (!s.multiPage)
            s.multiPage = std::make_unique<TiffFile::ImageWriter>(folder.filePath(MultiPageName(s)), s.tiffCompression);
        return s.multiPage->Add(image);
    }
    if (s.type == TypeTiff) {
        TiffFile::ImageWriter writer(folder.filePath(QStringLiteral("%1%2.tif").arg(s.prefix).arg(page)), s.tiffCompression);
        const Outcome written = writer.Add(image);
        return written ? writer.Commit() : written;
    }
    const char *format = s.type == TypeBmp ? "bmp" : s.type == TypeJpeg ? "jpeg" : "png";
    const char *ext = s.type == TypeBmp ? "bmp" : s.type == TypeJpeg ? "jpg" : "png";
    return RasterImage::SaveImage(image, folder.filePath(QStringLiteral("%1%2.%3").arg(s.prefix).arg(page).arg(ext)), format,
                                  s.jpegQuality);
}

}  // namespace

std::int32_t apConvertPage(std::int32_t handle, std::int32_t page)
{
    Session *s = Sessions().Find(handle);
    if (!s)
        return Fail(QStringLiteral("engine handle %1 is not open").arg(handle));
    const Outcome converted = ConvertPage(*s, page);
    if (converted)
        return 0;
    if (s->type == TypeMultiPageTiff && s->missing.isEmpty())
        s->missing = QStringLiteral("page %1 was not converted: %2").arg(page).arg(converted.reason);
    return Fail(converted.reason);
}

std::int32_t apClose(std::int32_t handle)
{
    const std::unique_ptr<Session> s = Sessions().Take(handle);
    if (!s)
        return Fail(QStringLiteral("engine handle %1 is not open").arg(handle));
    // A multi-page TIFF without a page that was asked for is not the document: none is written.
    if (!s->missing.isEmpty())
        return Fail(QStringLiteral("%1 is not written: %2").arg(MultiPageName(*s), s->missing));
    if (s->multiPage) {
        if (Outcome written = s->multiPage->Commit(); !written)
            return Fail(written.reason);
    }
    return 0;
}

QString apLastError() { return Sessions().LastError(); }

}  // namespace folvane::PdfRasterEngine
