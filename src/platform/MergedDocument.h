#pragma once
// The output of a merge as it is built: pages copied in from the sources as qpdf's own page
// selection copies them (repeated pages as shallow copies, unused resources dropped where pages
// share them, form fields copied and renamed where they clash, page labels carried over), links
// mended to lead to their pages' copies, and its header the highest of its sources'. Private to
// src/platform (it includes qpdf).

#include "platform/FormFieldMender.h"
#include "platform/LinkMender.h"
#include "platform/Outcome.h"
#include "platform/PageLabelMender.h"

#include <QString>

#include <qpdf/PDFVersion.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

#include <cstddef>
#include <vector>

namespace folvane {

class AtomicOutput;

namespace PdfEngine {

struct MergeSource;

class MergedDocument {
public:
    MergedDocument();
    MergedDocument(const MergedDocument &) = delete;
    MergedDocument &operator=(const MergedDocument &) = delete;

    /// Copies the source's pages at pageIndexes (from 0), in that order, to the end. Throws what qpdf
    /// throws on a damaged source.
    void CopyPages(MergeSource &src, const std::vector<std::size_t> &pageIndexes);
    long long Pages() const noexcept { return pageCount_; }

    /// Finishes the document (only the fields of copied pages, page labels renumbered, links mended)
    /// and writes it into output; couldNotWrite leads the reason of any failure but the output's own.
    /// Nothing is committed here.
    Outcome Write(AtomicOutput &output, const QString &couldNotWrite);

private:
    QPDF pdf_;
    QPDFPageDocumentHelper pages_;
    FormFieldMender forms_;
    PageLabelMender labels_;
    LinkMender links_;
    long long pageCount_ = 0;
    PDFVersion maxVersion_{1, 3};
};

}  // namespace PdfEngine
}  // namespace folvane
