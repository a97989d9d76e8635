#pragma once
// A split of one PDF into several: every page, or every item of a page range (see PageRange.h), to
// a file of its own, "<base>_<k>.pdf" with k counting the written files from 1. Each file is a merge
// of its pages (PdfMerge.h), and none of them is named before all are written, so a failure leaves
// none of them behind.

#include "platform/Outcome.h"
#include "platform/PdfMerge.h"

#include <QString>

#include <cstdint>

namespace folvane::PdfEngine {

class PdfSplit {
public:
    /// Opens the PDF at sourcePath and counts its pages; it does not open when the document cannot be
    /// read or has no pages.
    explicit PdfSplit(const QString &sourcePath, const Passwords &passwords = {});

    const Outcome &Opened() const noexcept { return opened_; }
    /// Writes every page to its own file.
    Outcome EachPage(const QString &outputBase) const;
    /// Writes every item of the range to its own file; every item is checked before the first file
    /// is written.
    Outcome EachItem(const QString &range, const QString &outputBase) const;
    /// An empty range writes every page to its own file, otherwise every item of the range.
    Outcome Run(const QString &range, const QString &outputBase) const;

private:
    Outcome Write(const QStringList &pieces, const QString &outputBase) const;

    QString sourcePath_;
    Passwords passwords_;
    std::int64_t pages_ = 0;
    Outcome opened_;
};

}  // namespace folvane::PdfEngine
