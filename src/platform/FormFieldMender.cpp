#include "platform/FormFieldMender.h"

namespace folvane::PdfEngine {

FormFieldMender::FormFieldMender(QPDF &output) : output_(output), form_(output) {}

void FormFieldMender::PageCopied(QPDFObjectHandle copy, QPDFObjectHandle original, QPDFAcroFormDocumentHelper &sourceForm)
{
    // qpdf's page selection goes on without the fields of a page it cannot fix up.
    try {
        form_.fixCopiedAnnotations(copy, original, sourceForm, &referencedFields_);
    } catch (const std::exception &) {
    }
}

void FormFieldMender::Finish()
{
    if (!form_.hasAcroForm())
        return;
    QPDFObjectHandle acroForm = output_.getRoot().getKey("/AcroForm");
    QPDFObjectHandle fields = acroForm.getKey("/Fields");
    if (!fields.isArray())
        return;
    QPDFObjectHandle kept = QPDFObjectHandle::newArray();
    if (fields.isIndirect())
        kept = output_.makeIndirectObject(kept);
    for (QPDFObjectHandle field : fields.aitems())
        if (referencedFields_.count(field.getObjGen()))
            kept.appendItem(field);
    if (kept.getArrayNItems() > 0)
        acroForm.replaceKey("/Fields", kept);
    else
        output_.getRoot().removeKey("/AcroForm");
}

}  // namespace folvane::PdfEngine
