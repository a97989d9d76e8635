#pragma once
// Dropping the resources a copied page does not use, as qpdf's own page selection does: only where
// pages or their form XObjects share resource dictionaries (else each page's are its own), and only
// within a parsing budget for each document. Finding the resources a page uses parses its content
// streams and those of the forms it draws, at about 5 MB a second: content built to be parsed would
// hold a merge for minutes. Past the budget, pages keep the resources they share (as complete as
// they were, only larger). Private to src/platform (it includes qpdf).

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <cstdint>

namespace folvane::PdfEngine {

/// Content a document's pages may have parsed to find their unused resources.
inline constexpr std::int64_t PruningBytesPerDocument = 16LL << 20;

class UnusedResources {
public:
    /// For the pages of document; looks at how its pages share their resources.
    explicit UnusedResources(QPDF &document);

    /// Drops the page's unused resources, in the source document, when that is worth it and its
    /// content fits in what the document may still parse.
    void DropFrom(QPDFPageObjectHelper &page);

private:
    bool worthIt_;
    std::int64_t bytesLeft_ = PruningBytesPerDocument;
};

}  // namespace folvane::PdfEngine
