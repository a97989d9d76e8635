#pragma once
// Small TIFFs made with libtiff inside the tests. A page's width tells it apart ("marker"), its
// shade is the value of every sample, so a test can read back which pages a file holds, in which
// order, and whether their samples came through.

#include <QImage>
#include <QList>
#include <QString>

#include <vector>

namespace folvane::test {

struct TiffPage {
    int width = 16;
    int height = 8;
    int bits = 8;       ///< 1 (black-and-white), 8 (grey), 16 (grey) or 24 (colour)
    int shade = 200;    ///< sample value (0 or 1 for 1 bit; the high byte for 16 bits; for colour the
                        ///< red, with green 255 - shade and blue shade / 2)
};

struct TiffOptions {
    int compression = 1;     ///< a TIFF compression code: 1 none, 5 LZW, 7 JPEG, 4 CCITT G4, 32773 PackBits
    bool bigEndian = false;  ///< "MM" byte order
    double dpi = 0;          ///< 0: no resolution tags
    bool tiled = false;      ///< 16 x 16 tiles instead of strips (MakeTiffOf)
    int orientation = 0;     ///< the Orientation tag, 1-8; 0: none (MakeTiffOf)
    bool cmyk = false;       ///< colour pages stored as CMYK inks, C = 255 - R and so on, K = 0 (MakeTiffOf)
};

/// Writes the TIFF at path and returns path.
QString MakeTiff(const QString &path, const std::vector<TiffPage> &pages, const TiffOptions &options = {});
/// `pages` 8-bit grey pages; with 0 pages the file is a bare header whose first directory offset is 0:
/// a valid file that holds no page.
QString MakeTiff(const QString &path, int pages);
/// Pages of the given widths, 8-bit grey.
QString MakeTiffWidths(const QString &path, std::initializer_list<int> widths);

/// A TIFF whose pages hold the images' samples in the layout of their format: Format_Mono as 1 bit
/// (min-is-black for a black-and-white table {black, white}, min-is-white for {white, black}, a
/// palette otherwise), Grayscale8 and Grayscale16 as grey, Indexed8 as an 8-bit palette, RGB888 as
/// RGB (or CMYK), ARGB32 as RGB with unassociated alpha, RGBA64 as 16-bit RGB. Returns path.
QString MakeTiffOf(const QString &path, const std::vector<QImage> &pages, const TiffOptions &options = {});

/// The widths of the file's pages in order; empty when it cannot be read.
QList<int> TiffPageWidths(const QString &path);

/// Facts of one page as libtiff reads them.
struct TiffPageFacts {
    int width = 0;
    int height = 0;
    int bitsPerSample = 0;
    int samplesPerPixel = 0;
    int compression = 0;
    unsigned rgbaFirstPixel = 0;  ///< the first pixel decoded to RGBA (ABGR packed, as libtiff gives it)
};
/// The facts of every page; empty when the file cannot be read.
std::vector<TiffPageFacts> TiffPages(const QString &path);

}  // namespace folvane::test
