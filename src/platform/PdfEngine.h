#pragma once
// The PDF engine: merges documents (or page ranges of them) into one new PDF, and splits one PDF
// into several. The flat entry points work by handle, as the document commands call them; PdfMerge
// and PdfSplit own a handle each and are what code should use.
//
// Outputs go through an AtomicOutput and appear only when complete, so a failure leaves no file
// behind and never touches a file already at the output path; a split names none of its files
// before all of them are written.
//
// A merge keeps what qpdf's own page selection keeps (annotations, form fields renamed where they
// clash, page labels; bookmarks are dropped), and its header takes the highest input version. A link
// to a page that is also in the output keeps leading to that page (to its first copy when it is
// there more than once); a link to a page left out leads nowhere.
//
// A document that takes more to open or copy than any sound one (a page tree deeper than
// qpdfopen::MaxPageTreeDepth, more reading or inflating than qpdfopen::OpenLimits) fails its add as
// damaged. A stream the writer would decode only to compress it again is copied as it is stored
// when it inflates past what the merge allows.
//
// Page range text: "0" means all pages; anything else is a list of items separated by ";", each a
// page number or "a-b" (a <= b), page 1 being the first. Empty items are skipped. A page 0 inside a
// list, a backwards item, a page past the document's end, a list with no pages or any other text
// makes the add fail: nothing is guessed.

#include <QString>

#include <cstdint>

namespace folvane::PdfEngine {

inline constexpr std::int32_t FnSplit = 170;       ///< on a split handle
inline constexpr std::int32_t FnAddDocument = 175; ///< on a merge handle

/// Passwords tried on encrypted inputs, in this order, then none (the callers pass the preferences').
struct Passwords {
    QString owner;
    QString user;
};

/// Result of an engine operation: done, or the reason it was not (fit for the error log).
struct [[nodiscard]] Result {
    bool ok = false;
    QString reason;
    explicit operator bool() const noexcept { return ok; }
};

/// Opens a merge into outputPath. A handle greater than 0 is an open merge; any other value means
/// no merge was opened (the target folder is missing or cannot be written, or the path is a folder).
std::int32_t apCreateMerge(const QString &outputPath, const Passwords &passwords = {});
/// Opens a split of the PDF at sourcePath; handle as for apCreateMerge.
std::int32_t apOpenSplit(const QString &sourcePath, const Passwords &passwords = {});
/// FnAddDocument on a merge: adds document text1 with page range text2 (n1 = n2 = 0).
/// FnSplit on a split: n1 = 1; n2 = 1 writes every page to its own file, n2 = 2 every item of the
/// range text1 to its own file; text2 is the output base path, the files being "<base>_<k>.pdf",
/// k counting the written files from 1.
/// Answers 0 when done, -1 when it failed. A failed add makes the whole merge fail.
std::int32_t apSetFunction(std::int32_t handle, std::int32_t function, std::int32_t n1, std::int32_t n2,
                           const QString &text1, const QString &text2);
/// Ends a merge or split and forgets the handle. A merge writes its output: 0 when the file was
/// written, -1 when it was not (no documents added, an add failed, or the write failed).
std::int32_t apClose(std::int32_t handle);
/// Ends a merge or split without writing anything.
void apDiscard(std::int32_t handle);
/// Reason of the last call that failed.
QString apLastError();

/// One merge; a merge that is never closed is discarded, writing nothing.
class PdfMerge {
public:
    explicit PdfMerge(const QString &outputPath, const Passwords &passwords = {});
    ~PdfMerge();
    PdfMerge(const PdfMerge &) = delete;
    PdfMerge &operator=(const PdfMerge &) = delete;

    /// Whether the engine opened the merge, and why not.
    const Result &Opened() const noexcept { return opened_; }
    std::int32_t Handle() const noexcept { return handle_; }
    Result Add(const QString &path, const QString &range);
    /// Writes the output; the merge is closed afterwards whatever the result.
    Result Close();

private:
    std::int32_t handle_ = 0;
    Result opened_;
};

/// One split of a source PDF.
class PdfSplit {
public:
    explicit PdfSplit(const QString &sourcePath, const Passwords &passwords = {});
    ~PdfSplit();
    PdfSplit(const PdfSplit &) = delete;
    PdfSplit &operator=(const PdfSplit &) = delete;

    const Result &Opened() const noexcept { return opened_; }
    /// An empty range writes every page to its own file, otherwise every item of the range.
    Result Run(const QString &range, const QString &outputBase);

private:
    std::int32_t handle_ = 0;
    Result opened_;
};

}  // namespace folvane::PdfEngine
