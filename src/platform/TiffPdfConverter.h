#pragma once
// The component "TiffPdf.Converter": conversions between PDF, TIFF and other image files.
//
//   PDFToImage(pdf, image, xDpi, yDpi, firstPage, colourMode, lastPage): renders pages firstPage to
//     lastPage (0: the first and the last page) at the resolution given. colourMode 0 writes 24-bit
//     colour, 1 8-bit grey, 2 black-and-white. An image path ending in ".tif" or ".tiff" receives
//     every page as one multi-page TIFF (LZW); any other format Qt writes (by the extension: .png,
//     .jpg, .bmp, ...) receives one page, or, for several, "<path without extension>_<page>.<ext>".
//   ConvertImageToTiff(image, tiff, encoding): every page of the image (all pages of a multi-page
//     TIFF) into a new TIFF compressed with encoding, a TIFF compression code: 0 (LZW), 1 none,
//     4 CCITT group 4, 5 LZW, 7 JPEG, 8 Deflate, 32773 PackBits.
//   ConvertTiffToPDF(tiff, pdf): every page of the TIFF (or any image) as a page of a new PDF.
// Each answers True when done; anything else is an error and leaves no output.

#include "platform/AutomationComponent.h"

#include <cstdint>

namespace folvane {

class TiffPdfConverter final : public AutomationComponent {
public:
    enum ColourMode : std::int32_t { Colour = 0, Grey = 1, BlackWhite = 2 };

    Outcome PDFToImage(const QString &pdf, const QString &image, std::int32_t xDpi, std::int32_t yDpi,
                       std::int32_t firstPage, std::int32_t colourMode, std::int32_t lastPage) const;
    Outcome ConvertImageToTiff(const QString &image, const QString &tiff, std::int32_t encoding) const;
    Outcome ConvertTiffToPDF(const QString &tiff, const QString &pdf) const;

    CallResult Invoke(const QString &method, const QVariantList &args) override;
};

}  // namespace folvane
