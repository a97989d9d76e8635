#include "platform/MergedDocument.h"

#include "platform/MergeInputs.h"
#include "platform/QpdfBudget.h"
#include "platform/QpdfOpen.h"
#include "platform/QpdfOutput.h"

#include <qpdf/QPDFWriter.hh>

namespace folvane::PdfEngine {

namespace {

/// An empty document, quiet, for the output to be built in; made before the helpers that work on it.
QPDF &Empty(QPDF &pdf)
{
    pdf.setLogger(qpdfopen::QuietLogger());
    pdf.setSuppressWarnings(true);
    pdf.emptyPDF();
    return pdf;
}

}  // namespace

MergedDocument::MergedDocument() : pages_(Empty(pdf_)), forms_(pdf_) {}

void MergedDocument::CopyPages(MergeSource &src, const std::vector<std::size_t> &pageIndexes)
{
    const KeepOpen keep(src.closed);
    const bool hasForm = src.form->hasAcroForm();
    maxVersion_.updateIfGreater(src.version);
    for (const std::size_t index : pageIndexes) {
        labels_.PageAdded(*src.labels, src.hasLabels, static_cast<long long>(index), pageCount_);
        ++pageCount_;
        QPDFPageObjectHelper toCopy = src.pages.at(index);
        const QPDFObjGen og = toCopy.getObjectHandle().getObjGen();
        const bool first = src.copiedPages.insert(og).second;
        if (first) {
            src.unusedResources->DropFrom(toCopy);
            links_.MarkLinks(*src.pdf, src.id, src.pageSet, toCopy.getObjectHandle());
        } else {
            toCopy = toCopy.shallowCopyPage();
        }
        pages_.addPage(toCopy, false);
        QPDFObjectHandle copied = pdf_.copyForeignObject(toCopy.getObjectHandle());
        if (first)
            links_.FirstCopy(src.id, og, copied);
        if (hasForm)
            forms_.PageCopied(copied, toCopy.getObjectHandle(), *src.form);
    }
}

Outcome MergedDocument::Write(AtomicOutput &output, const QString &couldNotWrite)
{
    // The finishing work reads what the copies brought in; anything it had to read from a source
    // past a bound qpdf would give as null, so a bound passed fails the merge instead.
    const Outcome finished = qpdfbudget::Within({}, [&] {
        labels_.Finish(pdf_);
        forms_.Finish();
        links_.Resolve(pages_);
        return Outcome::Done();
    });
    if (!finished)
        return Outcome::Failed(QStringLiteral("%1: %2").arg(couldNotWrite, finished.reason));
    // Closed-file sources are reopened by the writer for each stream it copies.
    return qpdfoutput::WritePdf(pdf_, output, couldNotWrite,
                                [&](QPDFWriter &writer) { writer.setMinimumPDFVersion(maxVersion_); });
}

}  // namespace folvane::PdfEngine
