#include "support/TiffFixtures.h"

#include <QFile>

#include <tiffio.h>

#include <gtest/gtest.h>

#include <vector>

namespace folvane::test {

QString MakeTiff(const QString &path, int pages)
{
    if (pages == 0) {
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(QByteArray("II*\0\0\0\0\0", 8));
        return path;
    }
    TIFF *tif = TIFFOpen(QFile::encodeName(path).constData(), "w");
    EXPECT_NE(tif, nullptr) << path.toStdString();
    if (!tif)
        return path;
    std::vector<unsigned char> row(8, 128);
    for (int p = 0; p < pages; ++p) {
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 8);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 8);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
        TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 8);
        TIFFSetField(tif, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
        TIFFSetField(tif, TIFFTAG_PAGENUMBER, p, pages);
        for (int y = 0; y < 8; ++y)
            TIFFWriteScanline(tif, row.data(), y, 0);
        TIFFWriteDirectory(tif);
    }
    TIFFClose(tif);
    return path;
}

}  // namespace folvane::test
