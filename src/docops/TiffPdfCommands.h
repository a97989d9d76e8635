#pragma once
// The document command object: merges the documents of a combine run, or two documents of an
// append run, into one new PDF through the PDF engine.

#include "docops/clsColSetOrderGrid.h"

#include <QString>

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

    /// The receiver of combine progress, or none (see CombineProgress.h for the dialog's part).
    void SetProgress(CombineProgress *progress) noexcept { progress_ = progress; }
    /// Ends the current combine run after the document being added, writing no output.
    void CancelRun() noexcept { cancelRequested_ = true; }

private:
    CombineProgress *progress_ = nullptr;
    bool cancelRequested_ = false;
};

}  // namespace folvane
