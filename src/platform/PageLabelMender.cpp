#include "platform/PageLabelMender.h"

namespace folvane::PdfEngine {

void PageLabelMender::PageAdded(QPDFPageLabelDocumentHelper &sourceLabels, bool sourceHasLabels, long long index,
                                long long outputIndex)
{
    if (sourceHasLabels)
        any_ = true;
    // A page without a label continues the numbering of an unlabelled page before it, and qpdf adds
    // no entry for it; asking for one would build and drop a label for every page.
    const std::size_t before = labels_.size();
    if (sourceHasLabels || !lastPageUnlabeled_)
        sourceLabels.getLabelsForPageRange(index, index, outputIndex, labels_);
    lastPageUnlabeled_ = !sourceHasLabels;
    // The labels are copies, but what they name indirectly (a prefix, say) is the source's: it would
    // be gone with the source, which is let go before the output is written. Read it now.
    for (std::size_t i = before; i < labels_.size(); ++i)
        labels_[i].makeDirect();
}

void PageLabelMender::Finish(QPDF &output) const
{
    if (!any_)
        return;
    QPDFObjectHandle labels = QPDFObjectHandle::newDictionary();
    labels.replaceKey("/Nums", QPDFObjectHandle::newArray(labels_));
    output.getRoot().replaceKey("/PageLabels", labels);
}

}  // namespace folvane::PdfEngine
