#pragma once
// What the image engines share about raster images: their colour class, their rows packed as PDF
// and TIFF store them, reading every page of an image file, and the facts of a JPEG file's header.
// Whatever a decoder says about an image it refuses goes into that image's reason, never to stderr.

#include "platform/Outcome.h"

#include <QByteArray>
#include <QImage>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

namespace folvane {
class AtomicOutput;
}

namespace folvane::RasterImage {

/// The largest image the engines read, in pixels. A3 at 600 dpi in colour (7016 x 9921, 69.6
/// million) fits with room for oversize scans; decoded at up to 8 bytes a pixel (16-bit colour) an
/// image then needs at most 800 MB, and about as much again while it is converted. A larger image,
/// or a header that claims one, is refused before anything is decoded.
inline constexpr std::int64_t MaxPixels = 100'000'000;

/// Done when width x height is within MaxPixels; else the reason, naming the size.
Outcome CheckPixels(const QString &path, std::int64_t width, std::int64_t height);

/// Resolution given to an image whose file states none.
inline constexpr double DefaultDpi = 72.0;

enum class ColourClass { BlackWhite, Grey, Colour };

/// By the image's format, so a page keeps its depth: 1-bit images of black and white are
/// black-and-white, grey formats and palettes of greys only (a 1-bit one too) are grey, the rest
/// colour (also a 1-bit image with a colour palette, and a colour image that shows only greys).
ColourClass ClassOf(const QImage &image);

/// The image in the form a class is stored in: Format_Mono with black 0 and white 1 (other images
/// cut at mid grey), Format_Grayscale8 or Format_RGB888; transparency is laid over white.
QImage Normalized(const QImage &image, ColourClass cls);

/// Rows of a normalized image without the padding QImage keeps at the end of each row.
QByteArray PackedRows(const QImage &normalized);

/// Dots per inch of the image, 72 when it carries none.
double DpiX(const QImage &image);
double DpiY(const QImage &image);

/// The image as it is to be seen, for an EXIF or TIFF orientation (1-8; others leave it as stored).
QImage Oriented(const QImage &stored, int orientation);

/// Reads every page of the image file (all pages of a multi-page TIFF, read once from start to end,
/// one page of the others) and hands each to onPage in order, upright and carrying its resolution
/// (DefaultDpi when the file states none), stopping at the first failure. A damaged file, a
/// truncated one and one above MaxPixels fail with the reason.
Outcome ForEachPage(const QString &path, const std::function<Outcome(const QImage &)> &onPage);

/// The header facts of a baseline or progressive JPEG (from its start-of-frame and JFIF/Adobe
/// segments).
struct JpegInfo {
    int width = 0;
    int height = 0;
    int components = 0;  ///< 1 grey, 3 colour, 4 CMYK
    int bitsPerComponent = 8;
    bool adobe = false;  ///< an Adobe segment: CMYK data is stored inverted
    double dpiX = 0;     ///< 0 when the file gives none
    double dpiY = 0;
    int orientation = 1;  ///< EXIF orientation, 1 (as stored) to 8
};
std::optional<JpegInfo> ParseJpeg(const QByteArray &bytes);

/// Decodes the whole JPEG as a PDF reader would, failing where the data is damaged or ends early
/// (the reason has the decoder's message).
Outcome CheckJpegData(const QByteArray &bytes);

/// Writes the image to path in the format (Qt's name: "png", "jpeg", "bmp"...), through an
/// AtomicOutput. quality: 0-100, or -1 for the format's default.
Outcome SaveImage(const QImage &image, const QString &path, const char *format, int quality = -1);
/// As above, into an output that the caller commits (with others that must appear together).
Outcome WriteImage(const QImage &image, AtomicOutput &output, const char *format, int quality = -1);

/// Bits per pixel of the image file's first page: 1, 8, 16, 24 or 32; 0 when it cannot be read.
std::int32_t BitsPerPixel(const QString &path);

}  // namespace folvane::RasterImage
