#include "support/TiffFixtures.h"

#include <QFile>

#include <gtest/gtest.h>

#include <tiffio.h>

#include <cstdarg>
#include <cstring>
#include <algorithm>
#include <vector>

namespace folvane::test {

namespace {

int Quiet(TIFF *, void *, const char *, const char *, va_list) { return 1; }

TIFF *Open(const QString &path, const char *mode)
{
    TIFFOpenOptions *options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, Quiet, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, Quiet, nullptr);
    TIFF *tif = TIFFOpenExt(QFile::encodeName(path).constData(), mode, options);
    TIFFOpenOptionsFree(options);
    return tif;
}

}  // namespace

QString MakeTiff(const QString &path, const std::vector<TiffPage> &pages, const TiffOptions &options)
{
    TIFF *tif = Open(path, options.bigEndian ? "wb" : "wl");
    if (!tif)
        return path;
    for (const TiffPage &p : pages) {
        const int spp = p.bits == 24 ? 3 : 1;
        const int bps = p.bits == 24 ? 8 : p.bits;
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, p.width);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, p.height);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bps);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, spp);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, spp == 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK);
        TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, options.compression);
        if (options.compression == COMPRESSION_JPEG && spp == 3) {
            TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_YCBCR);
            TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
        }
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, options.compression == COMPRESSION_JPEG ? 16 : 4);
        if (options.dpi > 0) {
            TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
            TIFFSetField(tif, TIFFTAG_XRESOLUTION, static_cast<float>(options.dpi));
            TIFFSetField(tif, TIFFTAG_YRESOLUTION, static_cast<float>(options.dpi));
        }
        const tmsize_t rowBytes = TIFFScanlineSize(tif);
        std::vector<unsigned char> row(static_cast<std::size_t>(rowBytes));
        if (bps == 1) {
            std::fill(row.begin(), row.end(), p.shade ? 0xFF : 0x00);
        } else if (bps == 16) {
            for (std::size_t i = 0; i + 1 < row.size(); i += 2) {
                const std::uint16_t v = static_cast<std::uint16_t>(p.shade << 8);  // bytes differ: a swap shows
                std::memcpy(&row[i], &v, 2);  // host order: libtiff swaps for a big-endian file
            }
        } else if (spp == 3) {
            // A colour that is not a grey: red shade, green its complement, blue half of it.
            for (std::size_t i = 0; i + 2 < row.size(); i += 3) {
                row[i] = static_cast<unsigned char>(p.shade);
                row[i + 1] = static_cast<unsigned char>(255 - p.shade);
                row[i + 2] = static_cast<unsigned char>(p.shade / 2);
            }
        } else {
            std::fill(row.begin(), row.end(), static_cast<unsigned char>(p.shade));
        }
        for (int y = 0; y < p.height; ++y)
            TIFFWriteScanline(tif, row.data(), static_cast<std::uint32_t>(y), 0);
        TIFFWriteDirectory(tif);
    }
    TIFFClose(tif);
    return path;
}

QString MakeTiffOf(const QString &path, const std::vector<QImage> &pages, const TiffOptions &options)
{
    TIFF *tif = Open(path, options.bigEndian ? "wb" : "wl");
    if (!tif)
        return path;
    for (const QImage &source : pages) {
        QImage image = source;
        int bps = 8, spp = 1;
        std::uint16_t photometric = PHOTOMETRIC_MINISBLACK;
        const QList<QRgb> table = image.colorTable();
        switch (image.format()) {
        case QImage::Format_Mono:
            bps = 1;
            if (table == QList<QRgb>{qRgb(0, 0, 0), qRgb(255, 255, 255)})
                photometric = PHOTOMETRIC_MINISBLACK;
            else if (table == QList<QRgb>{qRgb(255, 255, 255), qRgb(0, 0, 0)})
                photometric = PHOTOMETRIC_MINISWHITE;
            else
                photometric = PHOTOMETRIC_PALETTE;
            break;
        case QImage::Format_Indexed8:
            photometric = PHOTOMETRIC_PALETTE;
            break;
        case QImage::Format_Grayscale8:
            break;
        case QImage::Format_Grayscale16:
            bps = 16;
            break;
        case QImage::Format_ARGB32:
            image = image.convertToFormat(QImage::Format_RGBA8888);  // R, G, B, A bytes
            spp = 4;
            photometric = PHOTOMETRIC_RGB;
            break;
        case QImage::Format_RGBA64:
            image = image.convertToFormat(QImage::Format_RGBX64);
            bps = 16;
            spp = 4;  // the fourth sample is dropped below
            photometric = PHOTOMETRIC_RGB;
            break;
        default:
            image = image.convertToFormat(QImage::Format_RGB888);
            spp = 3;
            photometric = options.cmyk ? PHOTOMETRIC_SEPARATED : PHOTOMETRIC_RGB;
            if (options.cmyk)
                spp = 4;
            break;
        }
        const int storedSpp = image.format() == QImage::Format_RGBX64 ? 3 : spp;
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, image.width());
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, image.height());
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bps);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, storedSpp);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, photometric);
        TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, options.compression);
        if (options.compression == COMPRESSION_JPEG && photometric == PHOTOMETRIC_RGB && storedSpp == 3) {
            // YCbCr, as JPEG pages are stored; libtiff converts the RGB rows as it writes.
            TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_YCBCR);
            TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
        }
        if (image.format() == QImage::Format_RGBA8888) {
            const std::uint16_t extra[] = {EXTRASAMPLE_UNASSALPHA};
            TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, extra);
        }
        if (photometric == PHOTOMETRIC_PALETTE) {
            std::vector<std::uint16_t> r(1u << bps), g(1u << bps), b(1u << bps);
            for (int i = 0; i < table.size() && i < (1 << bps); ++i) {
                r[i] = static_cast<std::uint16_t>(qRed(table[i]) * 257);
                g[i] = static_cast<std::uint16_t>(qGreen(table[i]) * 257);
                b[i] = static_cast<std::uint16_t>(qBlue(table[i]) * 257);
            }
            TIFFSetField(tif, TIFFTAG_COLORMAP, r.data(), g.data(), b.data());
        }
        if (options.orientation > 0)
            TIFFSetField(tif, TIFFTAG_ORIENTATION, options.orientation);
        if (options.dpi > 0) {
            TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
            TIFFSetField(tif, TIFFTAG_XRESOLUTION, static_cast<float>(options.dpi));
            TIFFSetField(tif, TIFFTAG_YRESOLUTION, static_cast<float>(options.dpi));
        }
        // Rows of stored samples.
        const std::size_t rowBytes = (static_cast<std::size_t>(image.width()) * bps * storedSpp + 7) / 8;
        std::vector<std::vector<unsigned char>> rows(static_cast<std::size_t>(image.height()), std::vector<unsigned char>(rowBytes));
        for (int y = 0; y < image.height(); ++y) {
            unsigned char *row = rows[static_cast<std::size_t>(y)].data();
            const uchar *line = image.constScanLine(y);
            if (image.format() == QImage::Format_RGBX64) {
                for (int x = 0; x < image.width(); ++x)
                    std::memcpy(row + x * 6, line + x * 8, 6);  // host order: libtiff swaps for a big-endian file
            } else if (photometric == PHOTOMETRIC_SEPARATED) {
                for (int x = 0; x < image.width(); ++x) {
                    for (int k = 0; k < 3; ++k)
                        row[x * 4 + k] = static_cast<unsigned char>(255 - line[x * 3 + k]);
                    row[x * 4 + 3] = 0;
                }
            } else {
                std::memcpy(row, line, rowBytes);
            }
        }
        if (options.tiled) {
            TIFFSetField(tif, TIFFTAG_TILEWIDTH, 16);
            TIFFSetField(tif, TIFFTAG_TILELENGTH, 16);
            const std::size_t tileRow = (16u * bps * storedSpp + 7) / 8;
            std::vector<unsigned char> tile(tileRow * 16);
            for (int ty = 0; ty < image.height(); ty += 16) {
                for (int tx = 0; tx < image.width(); tx += 16) {
                    std::fill(tile.begin(), tile.end(), 0);
                    for (int y = 0; y < 16 && ty + y < image.height(); ++y) {
                        const std::size_t from = static_cast<std::size_t>(tx) * bps * storedSpp / 8;
                        const std::size_t n = std::min(tileRow, rowBytes - from);
                        std::memcpy(tile.data() + y * tileRow, rows[static_cast<std::size_t>(ty + y)].data() + from, n);
                    }
                    TIFFWriteTile(tif, tile.data(), static_cast<std::uint32_t>(tx), static_cast<std::uint32_t>(ty), 0, 0);
                }
            }
        } else {
            TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 16);
            for (int y = 0; y < image.height(); ++y)
                TIFFWriteScanline(tif, rows[static_cast<std::size_t>(y)].data(), static_cast<std::uint32_t>(y), 0);
        }
        TIFFWriteDirectory(tif);
    }
    TIFFClose(tif);
    return path;
}

QString MakeTiffWidths(const QString &path, std::initializer_list<int> widths)
{
    std::vector<TiffPage> pages;
    for (int w : widths) {
        TiffPage p;
        p.width = w;
        pages.push_back(p);
    }
    return MakeTiff(path, pages);
}

std::vector<TiffPageFacts> TiffPages(const QString &path)
{
    std::vector<TiffPageFacts> out;
    TIFF *tif = Open(path, "r");
    if (!tif)
        return out;
    do {
        TiffPageFacts f;
        std::uint32_t w = 0, h = 0;
        std::uint16_t bps = 0, spp = 0, comp = 0;
        TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
        TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
        TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bps);
        TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &spp);
        TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &comp);
        f.width = static_cast<int>(w);
        f.height = static_cast<int>(h);
        f.bitsPerSample = bps;
        f.samplesPerPixel = spp;
        f.compression = comp;
        std::vector<std::uint32_t> raster(static_cast<std::size_t>(w) * h);
        if (!raster.empty() && TIFFReadRGBAImageOriented(tif, w, h, raster.data(), ORIENTATION_TOPLEFT, 0))
            f.rgbaFirstPixel = raster[0];
        out.push_back(f);
    } while (TIFFReadDirectory(tif));
    TIFFClose(tif);
    return out;
}

QList<int> TiffPageWidths(const QString &path)
{
    QList<int> out;
    for (const TiffPageFacts &f : TiffPages(path))
        out << f.width;
    return out;
}

QString MakeTiff(const QString &path, int pages)
{
    if (pages == 0) {
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(QByteArray("II*\0\0\0\0\0", 8));
        return path;
    }
    return MakeTiff(path, std::vector<TiffPage>(static_cast<std::size_t>(pages), TiffPage{8, 8, 8, 128}));
}

}  // namespace folvane::test
