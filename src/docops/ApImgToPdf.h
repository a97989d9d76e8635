#pragma once
// Image files into PDF files through the image-to-PDF engine (platform/ImagePdfEngine.h). No window
// uses it. Each command logs a failure with its own name and answers False; nothing is shown.

#include "docops/clsColSetOrderGrid.h"

#include <QString>

namespace folvane {

class CombineProgress;

class ApImgToPdf {
public:
    /// The images of a merge, in output order; never cleared by the object.
    SetOrderRecords colOrderedData;
    /// Full path of the PDF of a merge.
    QString FileNameToSave;

    /// Every record's image (all pages of a multi-page TIFF) into FileNameToSave, reporting the
    /// number of images added after each. True, doing nothing, when FileNameToSave is empty; False
    /// when the PDF was not written (an image that cannot be read writes nothing).
    bool MergeConvert_TiffToPdfx();
    /// One image file into the PDF OutputPath; False for an empty path or when nothing was written.
    bool Convert_EachTiffToPDFbyOne(QString SrcFilePath, QString OutputPath);
    /// One image into the PDF strOutputImage, stored with the compression named for its depth
    /// ("Flate", "JPEG" or "None"): EncodBW for 1 bit, EncodGraycale for 8, EncodColor for 24 bits
    /// per pixel; an empty name, or another depth, keeps the engine's default.
    bool ConverImageToPdf(QString strInputImage, QString strOutputImage, QString EncodColor, QString EncodGraycale,
                          QString EncodBW);

    /// The receiver of merge progress, or none (see CombineProgress.h).
    void SetProgress(CombineProgress *progress) noexcept { progress_ = progress; }

private:
    CombineProgress *progress_ = nullptr;
};

}  // namespace folvane
