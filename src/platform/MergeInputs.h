#pragma once
// The documents a merge takes pages from: how each is read, opened once while it is needed, and let
// go once its pages are in. Private to src/platform (it includes qpdf).
//
// qpdf parses a file through many small seeks and reads, three times faster from memory; light
// documents, the many-file case, are read at once. Larger ones would cost their size in memory for
// the whole merge, so they are kept open instead, as long as the open-file limit leaves room; past
// that they are reopened for every read, the slow way that works under any limit. The output holds
// on to every source for the stream data it copies, so what a document costs counts for the whole
// merge, also after it is let go.

#include "platform/Outcome.h"
#include "platform/PdfMerge.h"
#include "platform/QpdfOpen.h"
#include "platform/UnusedResources.h"

#include <QString>

#include <qpdf/PDFVersion.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFAcroFormDocumentHelper.hh>
#include <qpdf/QPDFPageLabelDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

class ClosedFileInputSource;

namespace folvane::PdfEngine {

/// One document a merge takes pages from, opened.
struct MergeSource {
    std::size_t id = 0;  ///< the same for every add of one path, also after a reopen
    std::unique_ptr<QPDF> pdf;
    ClosedFileInputSource *closed = nullptr;
    std::vector<QPDFPageObjectHelper> pages;
    std::set<QPDFObjGen> pageSet;     ///< every page, for the targets of links
    std::set<QPDFObjGen> copiedPages; ///< pages already in the output: a repeat is a shallow copy
    std::optional<UnusedResources> unusedResources;
    std::unique_ptr<QPDFAcroFormDocumentHelper> form;
    std::unique_ptr<QPDFPageLabelDocumentHelper> labels;
    bool hasLabels = false;
    PDFVersion version;  ///< the header's, with its extension level
};

/// Holds a source read from its closed file open while it is worked on.
class KeepOpen {
public:
    explicit KeepOpen(ClosedFileInputSource *source);
    ~KeepOpen();
    KeepOpen(const KeepOpen &) = delete;
    KeepOpen &operator=(const KeepOpen &) = delete;

private:
    ClosedFileInputSource *source_;
};

class MergeInputs {
public:
    explicit MergeInputs(const Passwords &passwords);
    ~MergeInputs();
    MergeInputs(const MergeInputs &) = delete;
    MergeInputs &operator=(const MergeInputs &) = delete;

    /// The document at path, opened unless it still is, within the budget of an open: past it, qpdf
    /// would have gone on with what it could not read replaced by nothing, so the document counts as
    /// damaged. Throws nothing.
    Expected<MergeSource *> Open(const QString &path);
    /// Lets go of a document whose pages are in (see the source).
    void Release(const QString &path);

private:
    Expected<MergeSource *> Load(const QString &path);
    qpdfopen::SourceKind ChooseSource(std::int64_t fileSize) const;

    Passwords passwords_;
    std::map<QString, std::unique_ptr<MergeSource>> sources_;  ///< the documents still open, by path
    std::map<QString, std::size_t> documentIds_;
    std::size_t openFiles_ = 0;
    std::int64_t bytesInMemory_ = 0;
};

}  // namespace folvane::PdfEngine
