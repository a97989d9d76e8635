#pragma once
// The page labels of a merge's output, carried over from its sources and renumbered as qpdf's own
// page selection does. Private to src/platform (it includes qpdf).

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageLabelDocumentHelper.hh>

#include <vector>

namespace folvane::PdfEngine {

class PageLabelMender {
public:
    /// Notes the label of page index (from 0) of a source, whose labels are sourceLabels, as that of
    /// output page outputIndex; sourceHasLabels says whether the source has any.
    void PageAdded(QPDFPageLabelDocumentHelper &sourceLabels, bool sourceHasLabels, long long index, long long outputIndex);
    /// Puts the labels into the output, when any source had some.
    void Finish(QPDF &output) const;

private:
    std::vector<QPDFObjectHandle> labels_;
    bool any_ = false;
    bool lastPageUnlabeled_ = false;
};

}  // namespace folvane::PdfEngine
