#include "platform/PageLabelMender.h"

namespace folvane::PdfEngine {

void PageLabelMender::PageAdded(QPDFPageLabelDocumentHelper &sourceLabels, bool sourceHasLabels, long long index,
                                long long outputIndex)
{
    if (sourceHasLabels)
        any_ = true;
    // A page without a label continues the numbering of an unlabelled page before it, and qpdf adds
    // no entry for it; asking for one would build and drop a label for every page.
    if (sourceHasLabels || !lastPageUnlabeled_)
        sourceLabels.getLabelsForPageRange(index, index, outputIndex, labels_);
    lastPageUnlabeled_ = !sourceHasLabels;
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
