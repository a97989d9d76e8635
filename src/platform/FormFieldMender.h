#pragma once
// The form fields of a merge's output, as qpdf's own page selection keeps them: the fields of each
// copied page copied with it, renamed where they clash, and in the end only the fields of copied
// pages listed in the output's form. Private to src/platform (it includes qpdf).

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFAcroFormDocumentHelper.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <set>

namespace folvane::PdfEngine {

class FormFieldMender {
public:
    explicit FormFieldMender(QPDF &output);

    /// Fixes up the fields of copy, the output's copy of original, a page of a source whose form is
    /// sourceForm. A page whose fields cannot be fixed up goes in without them.
    void PageCopied(QPDFObjectHandle copy, QPDFObjectHandle original, QPDFAcroFormDocumentHelper &sourceForm);
    /// Leaves in the output's form only the fields of copied pages, and no form without fields.
    void Finish();

private:
    QPDF &output_;
    QPDFAcroFormDocumentHelper form_;
    std::set<QPDFObjGen> referencedFields_;
};

}  // namespace folvane::PdfEngine
