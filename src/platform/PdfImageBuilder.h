#pragma once
// A new PDF made of image pages, one image filling each page, built with qpdf so that images keep
// their quality: a JPEG file is embedded unchanged (DCTDecode) once its data was decoded whole, and
// placed upright by its EXIF orientation; other images as Flate-compressed 1-bit, grey or RGB
// samples, unless a compression is chosen for their colour class.

#include "platform/Outcome.h"
#include "platform/RasterImage.h"

#include <QImage>
#include <QString>

#include <memory>
#include <optional>

namespace folvane {

/// How the samples of one image are stored.
enum class ImageCompression {
    Flate,  ///< lossless
    Jpeg,   ///< re-encoded as JPEG (grey and colour; a JPEG file stays as it is)
    None,   ///< uncompressed
};

/// "Flate", "JPEG" or "None" (any case); nothing for other names.
std::optional<ImageCompression> CompressionByName(const QString &name);

/// The compression chosen for each colour class; an unset class uses Flate, and JPEG files in it
/// stay as they are.
struct ImageCompressions {
    std::optional<ImageCompression> blackWhite;
    std::optional<ImageCompression> grey;
    std::optional<ImageCompression> colour;
};

class PdfImageBuilder {
public:
    PdfImageBuilder();
    ~PdfImageBuilder();
    PdfImageBuilder(const PdfImageBuilder &) = delete;
    PdfImageBuilder &operator=(const PdfImageBuilder &) = delete;

    /// Adds every page of the image file (all pages of a multi-page TIFF). Nothing is added when a
    /// page fails.
    Outcome AddImageFile(const QString &path, const ImageCompressions &compressions = {});
    /// Adds one image as a page; its resolution sets the page size (72 dpi when it has none).
    Outcome AddImage(const QImage &image, ImageCompression compression = ImageCompression::Flate);
    int Pages() const noexcept;
    /// Writes the PDF through an AtomicOutput; a builder with no page writes nothing and fails.
    Outcome Write(const QString &outputPath);

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};

}  // namespace folvane
