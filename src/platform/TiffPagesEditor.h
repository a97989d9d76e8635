#pragma once
// The component "TiffPages.Editor.1": page operations on TIFF files. Pages count from 1 and keep
// their stored data (see TiffFile::CopyPages). Each method answers True when done; a file that
// cannot be read, a page number outside the file or an output that cannot be written is an error,
// and then no file is written or changed. A file that the operation changes in place (AddTIFFPages,
// DeleteTIFFPages) is replaced in one step.
//
// Files that ExtractPages and ExtractAllTIFFpages write: "<folder>/<name>_<page>.tif", name being
// the source's file name without its last extension and page its number in the source.

#include "platform/AutomationComponent.h"

#include <cstdint>

namespace folvane {

class TiffPagesEditor final : public AutomationComponent {
public:
    /// Inserts every page of from into target after its page afterPage (0: before the first page;
    /// the target's page count: after the last).
    Outcome AddTIFFPages(const QString &target, std::int32_t afterPage, const QString &from) const;
    /// Removes one page; a file's only page cannot be removed.
    Outcome DeleteTIFFPages(const QString &target, std::int32_t page) const;
    /// Writes output with the pages of first, then those of second.
    Outcome MergeTIFF(const QString &first, const QString &second, const QString &output) const;
    /// Writes pages 1..lastOfFirst to firstOutput and the rest to secondOutput; both parts must have
    /// a page.
    Outcome SplitTIFF(const QString &source, std::int32_t lastOfFirst, const QString &firstOutput,
                      const QString &secondOutput) const;
    /// Writes pages first..last, each to its own file in folder.
    Outcome ExtractPages(const QString &source, std::int32_t first, std::int32_t last, const QString &folder) const;
    /// Writes every page to its own file in folder.
    Outcome ExtractAllTIFFpages(const QString &source, const QString &folder) const;

    CallResult Invoke(const QString &method, const QVariantList &args) override;
};

}  // namespace folvane
