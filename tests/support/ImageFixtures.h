#pragma once
// Images for the image engines' tests: source files of each kind made in the test, PDF pages
// rendered back with poppler, and pixel comparisons. An output is right when its pixels are.

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace folvane::test {

/// The page (from 1) of the PDF rendered by poppler at dpi, on white, each image pixel as drawn
/// (without smoothing); a null image when it cannot be rendered.
QImage RenderPdfPage(const QString &pdf, int page, double dpi);

/// The document information keys of the PDF as poppler reads them (another reader than qpdf).
QStringList PopplerInfoKeys(const QString &pdf);

/// The largest difference of one colour channel between two images of the same size, compared as
/// they are seen on white; -1 when the sizes differ or either is null.
int MaxChannelDiff(const QImage &a, const QImage &b);

/// The mean difference of the colour channels, for lossy outputs: JPEG moves single pixels at
/// colour edges a long way (its colour is kept at half resolution) but the picture little, while a
/// wrong picture (turned, mirrored, other colours) is off by tens on average. -1 as above.
double MeanChannelDiff(const QImage &a, const QImage &b);

/// The image as it is seen laid over white: each channel c with alpha a becomes
/// c * a / 255 + 255 * (255 - a) / 255, rounded (computed here, not by the code under test).
QImage OverWhite(const QImage &image);

/// A size and "what went wrong" text for a failed comparison.
QString DiffReport(const QImage &expected, const QImage &actual);

/// A JPEG of the image written by Qt (quality 100, stating 72 dpi) and, with orientation
/// 1-8, an EXIF block holding that orientation right after the start marker.
QByteArray JpegOf(const QImage &image, int orientation = 0);

/// A CMYK JPEG with an Adobe marker, its samples stored inverted as Adobe's writers do; the pixel at
/// (x, y) gets the ink amounts cmyk(x, y) (0-255 each, packed C << 24 | M << 16 | Y << 8 | K).
QByteArray CmykJpeg(int width, int height, const std::function<unsigned(int x, int y)> &cmyk);

/// What a plain reader shows for CMYK ink amounts: R = (255 - C) * (255 - K) / 255, and so on.
QRgb NaiveCmykToRgb(unsigned cmyk);

/// The upright image seen through an orientation (1-8): the stored image whose pixel (x, y) is seen
/// at the place the EXIF orientation gives, so that a reader that turns it shows upright again.
QImage StoredFor(const QImage &upright, int orientation);

/// An image of four flat quadrants (red, green, blue, yellow on the left-top, right-top,
/// left-bottom, right-bottom) with a black square in the left-top corner: every turn and mirror of
/// it differs, and JPEG keeps flat blocks nearly exact (at sizes that are multiples of 64).
QImage Quadrants(int width, int height, QImage::Format format = QImage::Format_RGB32);

/// One source image file of a class the engines accept, and what it shows.
struct ImageCase {
    const char *name;
    QString path;
    QImage expected;       ///< upright, as it is to be seen (alpha is laid over white when compared)
    int tolerance = 0;     ///< largest channel difference allowed (16-bit samples may round either way)
    bool blackWhite = false;  ///< to be stored with 1 bit
    bool lossy = false;    ///< JPEG data: compared by MeanChannelDiff
};
/// The files, made in folder: 1-bit black and white and with a colour palette, 8-bit grey, palettes,
/// RGB, CMYK, 16-bit grey and colour, alpha, in PNG, BMP, TIFF (strips and tiles) and JPEG; none
/// states a resolution, so each is to be shown at 72 dpi.
std::vector<ImageCase> ImageClassCases(const QString &folder);

/// An RGB888 image of random pixels, the same for the same seed: no image compression shrinks it.
QImage NoiseImage(int width, int height, quint32 seed);
/// Writes bytes to path and returns path.
QString WriteBytes(const QString &path, const QByteArray &bytes);

}  // namespace folvane::test
