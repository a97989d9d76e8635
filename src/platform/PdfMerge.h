#pragma once
// A merge of PDF documents, or page ranges of them, into one new PDF: the PDF engine's core. The
// flat entry points (PdfEngine.h) and splits (PdfSplit.h) work through it.
//
// The output goes through an AtomicOutput and appears only when complete, so a failure leaves no
// file behind and never touches a file already at the output path.
//
// A merge keeps what qpdf's own page selection keeps (annotations, form fields renamed where they
// clash, page labels; bookmarks are dropped), and its header takes the highest input version. A link
// to a page that is also in the output keeps leading to that page (to its first copy when it is
// there more than once); a link to a page left out leads nowhere.
//
// A document that takes more to open or copy than any sound one (a page tree deeper than
// qpdfopen::MaxPageTreeDepth, more reading, inflating, time or memory than qpdfopen::OpenLimits)
// fails its add as damaged. A stream the writer would decode only to compress it again is copied as it is stored
// when it inflates past what the merge allows.

#include "platform/Outcome.h"

#include <QString>

#include <memory>

namespace folvane {

class AtomicOutput;

namespace PdfEngine {

/// Passwords tried on encrypted inputs, in this order, then none (the callers pass the preferences').
struct Passwords {
    QString owner;
    QString user;
};

/// One merge; a merge that is never closed is discarded, writing nothing.
class PdfMerge {
public:
    /// Opens a merge into outputPath; it does not open when the target folder is missing or cannot
    /// be written, or the path is a folder.
    explicit PdfMerge(const QString &outputPath, const Passwords &passwords = {});
    ~PdfMerge();
    PdfMerge(const PdfMerge &) = delete;
    PdfMerge &operator=(const PdfMerge &) = delete;

    /// Whether the merge opened, and why not.
    const Outcome &Opened() const noexcept { return opened_; }
    /// Adds the pages of the document at path that the range names (see PageRange.h), after those
    /// added before. A failed add makes the whole merge fail.
    Outcome Add(const QString &path, const QString &range);
    /// Writes the output and puts it in place; the merge is closed afterwards whatever the result.
    /// Fails when no document was added, an add failed, or the write failed.
    Outcome Close();
    /// As Close, but the output is left written and synced without its name, for outputs that appear
    /// together (CommitTogether); the writer's decoding is bounded only stream by stream.
    Expected<std::unique_ptr<AtomicOutput>> CloseUnnamed();

private:
    struct State;
    Outcome opened_;
    std::unique_ptr<State> d_;  ///< null once closed, or when the merge did not open
};

}  // namespace PdfEngine
}  // namespace folvane
