#pragma once
// The document command object: merges the documents of a combine run, or two documents of an
// append run, into one new PDF through the PDF engine; also splits PDFs and converts, merges and
// cuts TIFF files through the document components (platform/AutomationComponent.h), each command
// creating its own component and releasing it before it returns.
//
// Those further commands log every failure with their own name and answer their failure result
// (False, -1 or "False"); nothing is shown. Arguments marked "by reference" are read, never changed.

#include "docops/clsColSetOrderGrid.h"

#include <QString>
#include <QVariant>

#include <cstdint>

namespace folvane {

class CombineProgress;

class TiffPdfCommands {
public:
    /// Which document of an append takes the page range; the other gives all its pages.
    enum class RangeGoesTo { SecondDocument, FirstDocument };

    /// The documents of a combine run in output order; the object never clears or reorders it.
    SetOrderRecords colOrderedData;
    /// Full path of the output file of a combine run.
    QString FileNameToSave;
    /// Documents the current combine run has passed so far.
    std::int32_t FileProccessed = 0;

    /// Merges colOrderedData into FileNameToSave, each document with its Range ("0" or empty: all
    /// pages), reporting progress and yielding once after each document. True only when the file was
    /// written. False, with nothing logged, when there is no output name or the run was cancelled;
    /// False, with the engine's reason logged, when the merge could not be opened, a document could
    /// not be added or the file was not written (an empty list included).
    bool CombineOrderPdf();

    /// Writes SrcFilename, then AppendFilename, into the new file SrcTarFilename. Range (empty for all
    /// pages) selects pages of the second document, or of the first with RangeGoesTo::FirstDocument.
    /// False, logged, when the file was not written.
    bool AppendPdfFile(QString SrcFilename, QString AppendFilename, QString Range, QString SrcTarFilename,
                       RangeGoesTo rangeGoesTo = RangeGoesTo::SecondDocument);

    /// Renders the pages of the PDF strPDF into strImage at 100 dpi (TiffPdf.Converter's
    /// PDFToImage; param is its colour mode). A QVariant holding the Boolean result.
    QVariant ConvertPDFToImage(QString strPDF, QString strImage, std::int32_t param = 0);
    /// Converts an image into a TIFF with the TIFF compression code nTiffEncoding.
    bool ConverImageToTiff(QString strInputImage, QString strOutputImage, std::int32_t nTiffEncoding);
    /// Writes OutputFilename as SrcFile with the information entries of Keys_values ("Key=Value"
    /// lines, see platform/PdfInfoStamper.h). False, with nothing written, when Keys_values is empty.
    bool UpdatePdfMetaData(QString SrcFile, QString Password, QString Keys_values, QString OutputFilename);
    /// Pages of the PDF, opened without a password (Password is not used); -1 on failure.
    std::int16_t GetNoOfPagesFromPDF(QString filename, const QString &Password);
    /// The information entries of the PDF as "Key=Value" lines; "False" on failure.
    QString GetPdfMetaData(QString filename, QString Password);
    /// Inserts every page of AppendFromtiff into SrcFile after its page insertAtpageno (0: first).
    bool AppendFileTiffFile(QString SrcFile, QString AppendFromtiff, std::int16_t insertAtpageno);
    /// Removes page DeletePageno from SrcFile.
    bool DeleteTiffPage(QString SrcFile, std::int16_t DeletePageno);
    /// Converts every record's TIFF into "<OutputPath>/<name up to its first dot>.Pdf", counting
    /// them in FileProccessed.
    bool Convert_EachTiffToPDFx(const QString &OutputPath);
    /// Converts one TIFF into the PDF OutputPath.
    bool Convert_EachTiffToPDFbyOne(QString SrcFilePath, QString OutputPath);
    /// Merges the records' TIFFs, in order, into FileNameToSave, two at a time through two temporary
    /// files in the storage folder; reports progress after each record. A single record writes
    /// nothing and answers True.
    bool CombineOrderTiff();
    /// True for an existing regular file (after following links); never fails.
    bool FileExists(QString sFIle) const noexcept;
    /// Splits the PDF into "<OutputFolder>/<name>/<filename>_<k>.pdf" (name: the source's file name
    /// without its extension): every page, or every item of Range ("1-3;5"), to its own file.
    bool SplitPDFFiles(QString SourceFilePath, QString Range, QString OutputFolder, QString filename);
    /// Splits the TIFF after page PageNo into "<OutputFolder>/<name.>/<filename>1.tif" and "...2.tif"
    /// (name.: the source's file name up to and with its last dot).
    bool SplitTiffFiles(QString SourceFilePath, const std::int16_t &PageNo, QString OutputFolder, QString filename);
    /// Writes pages iStartPage..iEndPage of the TIFF, each to its own file in "<StrOutputDir>/<name.>".
    bool ExtractTIFFpagesbyRange(QString strInputTIFF, const std::int16_t &iStartPage, const std::int16_t &iEndPage,
                                 QString StrOutputDir);
    /// Writes every page of the TIFF to its own file in "<OutputFolder>/<name.>".
    bool ExtractAllTIFFpages(const QString &SourceFilePath, const QString &OutputFolder);

    /// The receiver of combine progress, or none (see CombineProgress.h for the dialog's part).
    void SetProgress(CombineProgress *progress) noexcept { progress_ = progress; }
    /// Ends the current combine run after the document being added, writing no output.
    void CancelRun() noexcept { cancelRequested_ = true; }

private:
    CombineProgress *progress_ = nullptr;
    bool cancelRequested_ = false;
};

}  // namespace folvane
