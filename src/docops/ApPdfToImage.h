#pragma once
// Pages of a PDF file into image files through the PDF-to-image engine
// (platform/PdfRasterEngine.h). No window uses it. The command logs a failure with its own name and
// answers False; nothing is shown.

#include <QString>

#include <cstdint>

namespace folvane {

class ConversionProgress;

class ApPdfToImage {
public:
    /// Renders pages 1 to iPageAmount of SrcFilePath into image files named Prefix + page number,
    /// of the engine's image type ImgType (1 BMP, 2 JPEG, 3 PNG, 4 TIFF, 7 one multi-page TIFF).
    /// The files go into "<StrOutputDir>/<source name up to and with its last dot>", a folder made
    /// when missing; with ImgType 7 into StrOutputDir itself. Reports the percentage done after
    /// each page. False when the PDF does not open or a page was not written.
    bool ConvertPDFToImage(QString SrcFilePath, QString StrOutputDir, std::int32_t iPageAmount, QString Prefix,
                           std::int32_t ImgType);

    /// The receiver of progress, or none (see ConversionProgress.h).
    void SetProgress(ConversionProgress *progress) noexcept { progress_ = progress; }

private:
    ConversionProgress *progress_ = nullptr;
};

}  // namespace folvane
